#include "stream_files.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include "retry_on_interrupt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace
{

int openToWrite(const QByteArray &name, int flags)
{
    return retryOnInterrupt(
        [&] { return ::open(name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | flags); });
}

} // namespace
#endif

FileIdentity regularFileIdentity(const QString &path)
{
    QFile file(path);
    FileStatus status;
    QString reason;
    if (!openRegularFile(file, QIODevice::ReadOnly).ok || !fileStatus(file, &status, &reason))
        return {};
    return status.identity;
}

FileIdentity streamIdentity(FILE *stream)
{
    QFile file;
    FileStatus status;
    QString reason;
    const QIODevice::OpenMode mode = stream == stdin ? QIODevice::ReadOnly : QIODevice::WriteOnly;
    if (!file.open(stream, mode, QFileDevice::DontCloseHandle) ||
        !fileStatus(file, &status, &reason))
        return {};
    return status.identity;
}

bool writeIntoDevice(const QString &path, QByteArrayView bytes, QString *reason)
{
#ifdef Q_OS_WIN
    // The name as typed: Windows itself makes NUL, CON or COM1 a device,
    // which the \\?\ form of a path would not.
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = plainReason(qt_error_string(), "the system refused to open it");
        return false;
    }
    bool written = true;
    for (qsizetype done = 0; written && done < bytes.size();) {
        DWORD wrote = 0;
        const DWORD piece = DWORD(std::min<qsizetype>(bytes.size() - done, 1 << 20));
        written = WriteFile(handle, bytes.data() + done, piece, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    if (!written) {
        const DWORD error = GetLastError();
        *reason = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA
                      ? readerGoneReason()
                      : plainReason(qt_error_string(int(error)), "the system refused the bytes");
    }
    CloseHandle(handle);
    return written;
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat named {
    };
    const bool looked = ::stat(name.constData(), &named) == 0;
    if (looked && S_ISSOCK(named.st_mode)) {
        *reason = socketReason("written");
        return false;
    }
    // Without waiting first: a serial line or terminal would wait for its
    // carrier. Only a FIFO with no reader yet is then opened again to wait
    // for one, as a shell's "> FIFO" does.
    int descriptor = openToWrite(name, O_NONBLOCK);
    if (descriptor < 0 && errno == ENXIO && looked && S_ISFIFO(named.st_mode))
        descriptor = openToWrite(name, 0);
    if (descriptor < 0) {
        *reason = plainReason(qt_error_string(errno), "the system refused to open it");
        return false;
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    struct stat status;
    bool written = ::fstat(descriptor, &status) == 0;
    if (!written) {
        *reason = plainReason(qt_error_string(errno), "the system could not tell what it is");
    } else if (S_ISREG(status.st_mode)) {
        written = false;
        *reason = QStringLiteral("it became a regular file while it was being written");
    }
    for (qsizetype done = 0; written && done < bytes.size();) {
        const ssize_t wrote = retryOnInterrupt(
            [&] { return ::write(descriptor, bytes.data() + done, size_t(bytes.size() - done)); });
        if (wrote <= 0) {
            written = false;
            *reason = wrote == 0 ? QStringLiteral("the system took none of the bytes")
                      : errno == EPIPE
                          ? readerGoneReason()
                          : plainReason(qt_error_string(errno), "the system refused the bytes");
        } else {
            done += wrote;
        }
    }
    if (::close(descriptor) != 0 && written && errno != EINTR) {
        written = false;
        *reason = plainReason(qt_error_string(errno), "the system refused the bytes");
    }
    return written;
#endif
}

QString readerGoneReason()
{
    return QStringLiteral("the program reading it stopped before all of it was written");
}

StreamWrite writeToStream(FILE *stream, QByteArrayView bytes, QString *reason)
{
    errno = 0;
    const size_t size = size_t(bytes.size());
    if ((size == 0 || std::fwrite(bytes.data(), 1, size, stream) == size) &&
        std::fflush(stream) == 0)
        return StreamWrite::Written;
    const int code = errno;
    if (code == EPIPE)
        return StreamWrite::ReaderGone;
    *reason =
        plainReason(code == 0 ? QString() : qt_error_string(code), "the system refused the bytes");
    return StreamWrite::Failed;
}

bool isSocket(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode);
#endif
}

QString socketReason(const char *done)
{
    return QStringLiteral("it is a socket, which cannot be %1 by name").arg(QLatin1String(done));
}
