#include "native_file.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

PathKind pathKind(const QString &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path); // follows links
    if (!info.exists())
        return info.isSymLink() ? PathKind::BrokenLink : PathKind::Missing;
    if (info.isDir())
        return PathKind::Folder;
    // Qt counts only regular files as files.
    return info.isFile() ? PathKind::Regular : PathKind::Special;
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            return PathKind::Unknown;
        return ::lstat(name.constData(), &status) == 0 ? PathKind::BrokenLink : PathKind::Missing;
    }
    if (S_ISDIR(status.st_mode))
        return PathKind::Folder;
    return S_ISREG(status.st_mode) ? PathKind::Regular : PathKind::Special;
#endif
}

QString notRegularReason(PathKind kind)
{
    switch (kind) {
    case PathKind::Folder:
        return QStringLiteral("it is a folder, not a regular file");
    case PathKind::BrokenLink:
        return QStringLiteral("it is a link to a file that does not exist");
    case PathKind::Missing:
        return QStringLiteral("it does not exist");
    case PathKind::Regular:
    case PathKind::Special:
    case PathKind::Unknown:
        break;
    }
    return QStringLiteral("it is not a regular file but a pipe, a device or a socket");
}

QString plainReason(const QString &reason, const char *ownWords)
{
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return QString::fromLatin1(ownWords);
    return reason;
}

namespace
{

#ifdef Q_OS_WIN

// A path as the Windows file functions take it, also beyond MAX_PATH
// characters, where they need the "\\?\" form.
std::wstring windowsPath(const QString &path)
{
    QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.size() >= MAX_PATH && !native.startsWith(QLatin1String("\\\\?\\")))
        native = native.startsWith(QLatin1String("\\\\"))
                     ? QStringLiteral("\\\\?\\UNC\\") + native.mid(2)
                     : QStringLiteral("\\\\?\\") + native;
    return native.toStdWString();
}

QString windowsReason(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason;
    if (length && text)
        reason = QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return plainReason(reason, "the system gave no reason");
}

#else

QString errnoReason(int code)
{
    return plainReason(qt_error_string(code), "the system gave no reason");
}

#endif

} // namespace

OpenResult openRegularFile(QFile &file, QIODevice::OpenMode mode)
{
    Q_ASSERT(mode == QIODevice::ReadOnly || mode == QIODevice::ReadWrite);
    OpenResult result;
    // Decide before opening: opening some devices already does something.
    const PathKind kind = pathKind(file.fileName());
    if (kind != PathKind::Regular && kind != PathKind::Unknown) {
        result.reason = notRegularReason(kind);
        return result;
    }
    const bool write = mode == QIODevice::ReadWrite;

#ifdef Q_OS_WIN
    const std::wstring path = windowsPath(file.fileName());
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        result.reason = windowsReason(GetLastError());
        return result;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        result.reason = notRegularReason(PathKind::Special);
        return result;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                           (write ? _O_RDWR : _O_RDONLY) | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        result.reason = QStringLiteral("the system could not hand over the open file");
        return result;
    }
#else
    // O_NONBLOCK: opening a FIFO or device returns at once instead of waiting
    // for the other end; it is then refused below.
    const int flags = (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const QByteArray path = QFile::encodeName(file.fileName());
    int descriptor;
    do {
        descriptor = ::open(path.constData(), flags);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        result.reason = errno == EISDIR ? notRegularReason(PathKind::Folder) : errnoReason(errno);
        return result;
    }
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        const PathKind opened = S_ISDIR(status.st_mode) ? PathKind::Folder : PathKind::Special;
        ::close(descriptor);
        result.reason = notRegularReason(opened);
        return result;
    }
    // Regular files never block; clear the flag so reads and writes behave
    // as usual.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
#endif

    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
#ifdef Q_OS_WIN
        _close(descriptor);
#else
        ::close(descriptor);
#endif
        result.reason = plainReason(file.errorString(), "the file could not be opened");
        return result;
    }
    result.ok = true;
    return result;
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

bool syncFile(QFile &file, QString *reason)
{
    Q_ASSERT(file.isOpen());
    if (!file.flush()) {
        *reason = plainReason(file.errorString(), "the written bytes did not reach the file");
        return false;
    }
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    int status;
    do {
        status = ::fsync(file.handle());
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        *reason = errnoReason(errno);
        return false;
    }
#endif
    return true;
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    // Windows records a rename in the file system's journal; a folder cannot
    // be flushed like a file.
    Q_UNUSED(folder);
#else
    const int descriptor =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
#endif
}
