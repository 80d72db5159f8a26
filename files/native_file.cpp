#include "native_file.h"
#include "native_file_p.h"

// What both platforms share; each one's system calls are in
// native_file_unix.cpp and native_file_win.cpp.

QString notRegularReason(PathKind kind)
{
    switch (kind) {
    case PathKind::Folder:
        return QStringLiteral("it is a folder, not a regular file");
    case PathKind::Device:
        return QStringLiteral("it is a device, not a regular file");
    case PathKind::BrokenLink:
        return QStringLiteral("it is a link to a file that does not exist");
    case PathKind::Missing:
        return QStringLiteral("it does not exist");
    case PathKind::Regular:
    case PathKind::Special:
    case PathKind::Unknown:
        break;
    }
    return QStringLiteral("it is not a regular file but a pipe or a socket");
}

QString plainReason(const QString &reason, const char *ownWords)
{
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return QString::fromLatin1(ownWords);
    return reason;
}

namespace
{

SystemCallHook &systemCallHook()
{
    static SystemCallHook hook;
    return hook;
}

} // namespace

void setSystemCallHook(SystemCallHook hook)
{
    systemCallHook() = std::move(hook);
}

SystemFault nativefile::simulatedFault(const char *call, const QString &path, qint64 *length,
                                       bool *garble)
{
    const SystemCallHook &hook = systemCallHook();
    if (!hook)
        return SystemFault::None;
    const SystemFault fault = hook(call, path);
    switch (fault) {
    case SystemFault::Garbled:
        if (garble)
            *garble = true;
        return SystemFault::None;
    case SystemFault::Short:
        if (length && *length > 1)
            *length /= 2;
        return SystemFault::None;
    case SystemFault::None:
    case SystemFault::NoSpace:
    case SystemFault::IoError:
    case SystemFault::Interrupted:
        break;
    }
    return fault;
}

OpenResult nativefile::adopt(QFile &file, int descriptor, QIODevice::OpenMode mode)
{
    OpenResult result;
    file.setObjectName(file.fileName());
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        closeDescriptor(descriptor);
        result.reason = plainReason(file.errorString(), "the file could not be opened");
        return result;
    }
    result.ok = true;
    return result;
}

QString nativefile::nameOf(const QFile &file)
{
    return file.fileName().isEmpty() ? file.objectName() : file.fileName();
}

qint64 readUpTo(QIODevice &device, char *data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 got = device.read(data + done, length - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}
