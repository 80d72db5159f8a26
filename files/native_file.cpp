#include "native_file.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#include <vector>
#endif

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
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
        return QStringLiteral("the file is in use by another program");
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

// Names that Windows gives to devices in every folder, also with an
// extension: NUL, C:\Games\nul.dat, COM1.txt, \\.\PhysicalDrive0.
bool isDeviceName(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")))
        return true;
    QString name = native.mid(native.lastIndexOf(u'\\') + 1);
    if (name.size() >= 2 && name[1] == u':') // "C:NUL"
        name = name.mid(2);
    name = name.left(name.indexOf(u'.')).trimmed().toUpper();
    for (const char *reserved : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (name == QLatin1String(reserved))
            return true;
    static const QString digits = QStringLiteral("123456789\u00b9\u00b2\u00b3");
    return name.size() == 4 &&
           (name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT"))) &&
           digits.contains(name[3]);
}

HANDLE osHandle(QFile &file)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
}

// Where a positioned read or write begins, as Windows takes it.
OVERLAPPED overlappedAt(qint64 position)
{
    OVERLAPPED at = {};
    at.Offset = DWORD(quint64(position) & 0xFFFFFFFF);
    at.OffsetHigh = DWORD(quint64(position) >> 32);
    return at;
}

bool missingError(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

#else

QString errnoReason(int code)
{
    return plainReason(qt_error_string(code), "the system gave no reason");
}

#endif

SystemCallHook &systemCallHook()
{
    static SystemCallHook hook;
    return hook;
}

// Before a system call: true when a test has it fail, with the error set
// where the system sets it, so that the code after the call handles it as
// its own; a short read or write cuts `length` instead.
bool simulatedFailure(const char *call, const QString &path, qint64 *length = nullptr,
                      bool *garble = nullptr)
{
    const SystemCallHook &hook = systemCallHook();
    if (!hook)
        return false;
    switch (hook(call, path)) {
    case SystemFault::None:
        return false;
    case SystemFault::Garbled:
        if (garble)
            *garble = true;
        return false;
    case SystemFault::Short:
        if (length && *length > 1)
            *length /= 2;
        return false;
#ifdef Q_OS_WIN
    case SystemFault::NoSpace:
        SetLastError(ERROR_DISK_FULL);
        return true;
    case SystemFault::IoError:
        SetLastError(ERROR_IO_DEVICE);
        return true;
    case SystemFault::Interrupted: // Windows calls are not interrupted by signals
        return false;
#else
    case SystemFault::NoSpace:
        errno = ENOSPC;
        return true;
    case SystemFault::IoError:
        errno = EIO;
        return true;
    case SystemFault::Interrupted:
        errno = EINTR;
        return true;
#endif
    }
    return false;
}

// Hands an open descriptor to `file`; on failure it is closed. QFile
// forgets the file's name once it has a descriptor: it is kept as the
// object's name, for the seam's calls.
OpenResult adopt(QFile &file, int descriptor, QIODevice::OpenMode mode)
{
    OpenResult result;
    file.setObjectName(file.fileName());
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

// The path an open file was opened by.
QString nameOf(const QFile &file)
{
    return file.fileName().isEmpty() ? file.objectName() : file.fileName();
}

} // namespace

void setSystemCallHook(SystemCallHook hook)
{
    systemCallHook() = std::move(hook);
}

PathKind pathKind(const QString &path)
{
    // A path that cannot be looked at: opening it tells why.
    if (simulatedFailure("look", path))
        return PathKind::Unknown;
#ifdef Q_OS_WIN
    // Judged as CreateFileW will see the path: a reserved device name opens
    // the device whatever the folder.
    if (isDeviceName(path))
        return PathKind::Device;
    const std::wstring native = windowsPath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return missingError(GetLastError()) ? PathKind::Missing : PathKind::Unknown;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: what it leads to, as an open that follows it finds it.
        HANDLE handle =
            CreateFileW(native.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return missingError(GetLastError()) ? PathKind::BrokenLink : PathKind::Unknown;
        BY_HANDLE_FILE_INFORMATION information;
        PathKind kind = PathKind::Regular;
        if (GetFileType(handle) != FILE_TYPE_DISK)
            kind = PathKind::Device;
        else if (!GetFileInformationByHandle(handle, &information))
            kind = PathKind::Unknown;
        else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = PathKind::Folder;
        CloseHandle(handle);
        return kind;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Folder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? PathKind::Device : PathKind::Regular;
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
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return PathKind::Device;
    return S_ISREG(status.st_mode) ? PathKind::Regular : PathKind::Special;
#endif
}

bool isMarkedReadOnly(const QString &path)
{
    if (simulatedFailure("look", path))
        return false; // opening it tells what is wrong
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(windowsPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
#endif
}

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
    // A file being written is ours alone until it is closed: others may read it.
    const DWORD share =
        write ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle =
        simulatedFailure("open", nameOf(file))
            ? INVALID_HANDLE_VALUE
            : CreateFileW(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0), share, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        result.reason = windowsReason(GetLastError());
        return result;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        CloseHandle(handle);
        result.reason =
            notRegularReason(type == FILE_TYPE_CHAR ? PathKind::Device : PathKind::Special);
        return result;
    }
    if (simulatedFailure("status", nameOf(file)) ||
        !GetFileInformationByHandle(handle, &information)) {
        result.reason = windowsReason(GetLastError());
        CloseHandle(handle);
        return result;
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        CloseHandle(handle);
        result.reason = notRegularReason(PathKind::Folder);
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
        descriptor = simulatedFailure("open", nameOf(file)) ? -1 : ::open(path.constData(), flags);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        result.reason = errno == EISDIR ? notRegularReason(PathKind::Folder) : errnoReason(errno);
        return result;
    }
    struct stat status;
    if (simulatedFailure("status", nameOf(file)) || ::fstat(descriptor, &status) != 0) {
        result.reason = errnoReason(errno);
        ::close(descriptor);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        result.reason = notRegularReason(S_ISDIR(status.st_mode) ? PathKind::Folder
                                         : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)
                                             ? PathKind::Device
                                             : PathKind::Special);
        return result;
    }
    // Regular files never block; clear the flag so reads and writes behave
    // as usual.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
#endif
    return adopt(file, descriptor, mode);
}

OpenResult createNewFile(QFile &file, const QString &path, int permissions)
{
    Q_ASSERT(!file.isOpen());
    file.setFileName(path);
    OpenResult result;
#ifdef Q_OS_WIN
    Q_UNUSED(permissions); // Windows keeps only the read-only attribute
    HANDLE handle =
        simulatedFailure("create", path)
            ? INVALID_HANDLE_VALUE
            : CreateFileW(windowsPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        result.reason = windowsReason(GetLastError());
        return result;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        QString ignored;
        removeFile(path, &ignored); // ours, made a moment ago
        result.reason = QStringLiteral("the system could not hand over the open file");
        return result;
    }
#else
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL: fails on any existing name, a dangling link included.
    int descriptor;
    do {
        descriptor = simulatedFailure("create", path)
                         ? -1
                         : ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                                  permissions < 0 ? 0666 : 0600);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        result.reason = errnoReason(errno);
        return result;
    }
    // Held from its first moment, so that no other save takes it for a leftover.
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    // fchmod, unlike the creation mode, is not cut down by the umask.
    if (permissions >= 0 && (simulatedFailure("set permissions", path) ||
                             ::fchmod(descriptor, mode_t(permissions & 07777)) != 0)) {
        result.reason = errnoReason(errno);
        ::close(descriptor);
        QString ignored;
        removeFile(path, &ignored); // ours, made a moment ago
        return result;
    }
#endif
    result = adopt(file, descriptor, QIODevice::ReadWrite);
    if (QString ignored; !result.ok)
        removeFile(path, &ignored);
    return result;
}

bool setHidden(QFile &file, bool hidden, QString *reason)
{
    Q_ASSERT(file.isOpen());
#ifdef Q_OS_WIN
    const HANDLE handle = osHandle(file);
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    FILE_BASIC_INFO basic = {}; // times of 0 stay as they are
    basic.FileAttributes = hidden ? information.dwFileAttributes | FILE_ATTRIBUTE_HIDDEN
                                  : information.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (simulatedFailure("set hidden", nameOf(file)) ||
        !SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    Q_UNUSED(file);
    Q_UNUSED(hidden);
    Q_UNUSED(reason);
#endif
    return true;
}

FileIdentity pathIdentity(const QString &path, QString *reason)
{
    FileIdentity identity;
    reason->clear();
#ifdef Q_OS_WIN
    // No access asked for: this open conflicts with no other program's.
    HANDLE handle = simulatedFailure("look", path)
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(windowsPath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (!missingError(GetLastError()))
            *reason = windowsReason(GetLastError());
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information))
        identity = {information.dwVolumeSerialNumber,
                    quint64(information.nFileIndexHigh) << 32 | information.nFileIndexLow, true};
    else
        *reason = windowsReason(GetLastError());
    CloseHandle(handle);
#else
    struct stat status;
    if (simulatedFailure("look", path) ||
        ::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno != ENOENT)
            *reason = errnoReason(errno);
        return identity;
    }
    identity = {quint64(status.st_dev), quint64(status.st_ino), true};
#endif
    return identity;
}

bool isSymbolicLink(const QString &path)
{
#ifdef Q_OS_WIN
    const DWORD attributes = simulatedFailure("look", path)
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesW(windowsPath(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    struct stat status;
    return simulatedFailure("look", path) ||
           ::lstat(QFile::encodeName(path).constData(), &status) != 0 || S_ISLNK(status.st_mode);
#endif
}

bool fileStatus(QFile &file, FileStatus *status, QString *reason)
{
    Q_ASSERT(file.isOpen());
#ifdef Q_OS_WIN
    BY_HANDLE_FILE_INFORMATION information;
    if (simulatedFailure("status", nameOf(file)) ||
        !GetFileInformationByHandle(osHandle(file), &information)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    status->identity = {information.dwVolumeSerialNumber,
                        quint64(information.nFileIndexHigh) << 32 | information.nFileIndexLow,
                        true};
    status->size = qint64(quint64(information.nFileSizeHigh) << 32 | information.nFileSizeLow);
    status->modifiedNs = qint64(quint64(information.ftLastWriteTime.dwHighDateTime) << 32 |
                                information.ftLastWriteTime.dwLowDateTime);
    status->permissions = 0;
#else
    struct stat information;
    if (simulatedFailure("status", nameOf(file)) || ::fstat(file.handle(), &information) != 0) {
        *reason = errnoReason(errno);
        return false;
    }
    status->identity = {quint64(information.st_dev), quint64(information.st_ino), true};
    status->size = qint64(information.st_size);
    status->modifiedNs =
        qint64(information.st_mtim.tv_sec) * 1'000'000'000 + information.st_mtim.tv_nsec;
    status->permissions = int(information.st_mode & 07777);
    status->owner = quint32(information.st_uid);
    status->group = quint32(information.st_gid);
#endif
    return true;
}

namespace
{

#ifdef Q_OS_LINUX
// The names of the extended attributes of `descriptor`, ACLs among them
// ("system.posix_acl_access"); nothing when it has none or the system
// cannot tell.
std::vector<QByteArray> attributeNames(int descriptor)
{
    const ssize_t length = ::flistxattr(descriptor, nullptr, 0);
    if (length <= 0)
        return {};
    QByteArray list(length, '\0');
    const ssize_t got = ::flistxattr(descriptor, list.data(), size_t(list.size()));
    if (got <= 0)
        return {};
    list.truncate(got);
    std::vector<QByteArray> names;
    for (const QByteArray &name : list.split('\0'))
        if (!name.isEmpty())
            names.push_back(name);
    return names;
}

// Copies every extended attribute that can be copied; false when the ACL,
// which decides who may read the file, could not be.
bool copyAttributes(int from, int to)
{
    bool aclKept = true;
    for (const QByteArray &name : attributeNames(from)) {
        const ssize_t length = ::fgetxattr(from, name.constData(), nullptr, 0);
        QByteArray value(std::max<ssize_t>(length, 0), '\0');
        const ssize_t got =
            length < 0 ? -1 : ::fgetxattr(from, name.constData(), value.data(), size_t(length));
        if ((got < 0 ||
             ::fsetxattr(to, name.constData(), value.constData(), size_t(got), 0) != 0) &&
            name == "system.posix_acl_access")
            aclKept = false;
    }
    return aclKept;
}
#endif

} // namespace

void keepAccessOf(QFile &copy, QFile &original, const FileStatus &status)
{
    Q_ASSERT(copy.isOpen() && original.isOpen());
#ifdef Q_OS_WIN
    // A new file takes the access rules of its folder, as the original did.
    Q_UNUSED(copy);
    Q_UNUSED(original);
    Q_UNUSED(status);
#else
    const int descriptor = copy.handle();
    bool kept = !simulatedFailure("set owner", nameOf(copy)) &&
                ::fchown(descriptor, uid_t(status.owner), gid_t(status.group)) == 0;
    // A user who is not root may give a group of their own, not an owner.
    const bool groupKept = kept || ::fchown(descriptor, uid_t(-1), gid_t(status.group)) == 0;
#ifdef Q_OS_LINUX
    kept = copyAttributes(original.handle(), descriptor) && groupKept;
#else
    Q_UNUSED(original);
    kept = groupKept;
#endif
    // Only now may the copy be read by more than its owner: by those the
    // original lets in, or where that cannot be given, still by no one else.
    const int permissions = kept ? status.permissions & ~06000 : status.permissions & 0700;
    if (!simulatedFailure("set permissions", nameOf(copy)))
        ::fchmod(descriptor, mode_t(permissions));
#endif
}

void holdWhileOpen(QFile &file)
{
    Q_ASSERT(file.isOpen());
#ifdef Q_OS_WIN
    Q_UNUSED(file); // opened shared for reading only, which no remover gets past
#else
    ::flock(file.handle(), LOCK_EX | LOCK_NB);
#endif
}

bool isHeldByAnother(const QString &path)
{
#ifdef Q_OS_WIN
    // Opened to be removed, as a remover would: refused while a save has it.
    HANDLE handle = CreateFileW(windowsPath(path).c_str(), DELETE, FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
#else
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor); // which lets go of a lock it took
    return held;
#endif
}

bool setModifiedTime(QFile &file, qint64 modifiedNs, QString *reason)
{
    Q_ASSERT(file.isOpen());
#ifdef Q_OS_WIN
    FILETIME time;
    time.dwLowDateTime = DWORD(quint64(modifiedNs) & 0xFFFFFFFF);
    time.dwHighDateTime = DWORD(quint64(modifiedNs) >> 32);
    if (simulatedFailure("set time", nameOf(file)) ||
        !SetFileTime(osHandle(file), nullptr, nullptr, &time)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // the access time stays
    times[1].tv_sec = time_t(modifiedNs / 1'000'000'000);
    times[1].tv_nsec = long(modifiedNs % 1'000'000'000);
    if (times[1].tv_nsec < 0) { // before 1970
        times[1].tv_sec -= 1;
        times[1].tv_nsec += 1'000'000'000;
    }
    if (simulatedFailure("set time", nameOf(file)) || ::futimens(file.handle(), times) != 0) {
        *reason = errnoReason(errno);
        return false;
    }
#endif
    return true;
}

void settleModifiedTime(QFile &file)
{
    Q_ASSERT(file.isOpen());
#ifdef Q_OS_WIN
    // A time set through the handle is one the system no longer changes on
    // its own for that handle. Best effort: without it, only the check for
    // other programs' changes may ask once too often.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (!simulatedFailure("set time", nameOf(file)))
        SetFileTime(osHandle(file), nullptr, nullptr, &now);
#else
    Q_UNUSED(file); // a write sets the time at once, and closing leaves it
#endif
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

qint64 readAt(QFile &file, qint64 position, char *data, qint64 length, QString *reason)
{
    Q_ASSERT(file.isOpen() && position >= 0 && length >= 0);
    qint64 done = 0;
    while (done < length) {
        qint64 wanted = std::min<qint64>(length - done, qint64(1) << 30);
#ifdef Q_OS_WIN
        OVERLAPPED at = overlappedAt(position + done);
        DWORD got = 0;
        if (simulatedFailure("read", nameOf(file), &wanted) ||
            !ReadFile(osHandle(file), data + done, DWORD(wanted), &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            *reason = windowsReason(GetLastError());
            return -1;
        }
#else
        const ssize_t got =
            simulatedFailure("read", nameOf(file), &wanted)
                ? -1
                : ::pread(file.handle(), data + done, size_t(wanted), off_t(position + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *reason = errnoReason(errno);
            return -1;
        }
#endif
        if (got == 0) // the end of the file
            break;
        done += qint64(got);
    }
    return done;
}

qint64 writeAt(QFile &file, qint64 position, const char *data, qint64 length, QString *reason)
{
    Q_ASSERT(file.isOpen() && position >= 0 && length >= 0);
    qint64 done = 0;
    while (done < length) {
        qint64 wanted = std::min<qint64>(length - done, qint64(1) << 30);
        bool garble = false;
        const bool fails = simulatedFailure("write", nameOf(file), &wanted, &garble);
        QByteArray garbled; // what a disk that corrupts the bytes stores
        const char *from = data + done;
        if (garble && wanted > 0) {
            garbled = QByteArray(from, wanted);
            garbled[0] = char(garbled[0] ^ 0x5a);
            from = garbled.constData();
        }
#ifdef Q_OS_WIN
        OVERLAPPED at = overlappedAt(position + done);
        DWORD put = 0;
        if (fails || !WriteFile(osHandle(file), from, DWORD(wanted), &put, &at) || put == 0) {
            *reason = windowsReason(put == 0 ? GetLastError() : ERROR_WRITE_FAULT);
            return done > 0 ? done : -1;
        }
#else
        const ssize_t put =
            fails ? -1 : ::pwrite(file.handle(), from, size_t(wanted), off_t(position + done));
        if (put <= 0) {
            if (put < 0 && errno == EINTR)
                continue;
            // A disk that takes nothing more and says nothing is full.
            *reason = errnoReason(put < 0 ? errno : ENOSPC);
            return done > 0 ? done : -1;
        }
#endif
        done += qint64(put);
    }
    return done;
}

bool resizeFile(QFile &file, qint64 size, QString *reason)
{
    Q_ASSERT(file.isOpen() && size >= 0);
#ifdef Q_OS_WIN
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = size;
    if (simulatedFailure("resize", nameOf(file)) ||
        !SetFileInformationByHandle(osHandle(file), FileEndOfFileInfo, &end, sizeof end)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    int status;
    do {
        status =
            simulatedFailure("resize", nameOf(file)) ? -1 : ::ftruncate(file.handle(), off_t(size));
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        *reason = errnoReason(errno);
        return false;
    }
#endif
    return true;
}

bool removeFile(const QString &path, QString *reason)
{
#ifdef Q_OS_WIN
    if (simulatedFailure("remove", path) || !DeleteFileW(windowsPath(path).c_str())) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    if (simulatedFailure("remove", path) || ::unlink(QFile::encodeName(path).constData()) != 0) {
        *reason = errnoReason(errno);
        return false;
    }
#endif
    return true;
}

bool syncFile(QFile &file, QString *reason)
{
    Q_ASSERT(file.isOpen());
    if (!file.flush()) {
        *reason = plainReason(file.errorString(), "the written bytes did not reach the file");
        return false;
    }
#ifdef Q_OS_WIN
    const HANDLE handle = osHandle(file);
    if (simulatedFailure("sync", nameOf(file)) || handle == INVALID_HANDLE_VALUE ||
        !FlushFileBuffers(handle)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
#else
    int status;
    do {
        status = simulatedFailure("sync", nameOf(file)) ? -1 : ::fsync(file.handle());
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        *reason = errnoReason(errno);
        return false;
    }
#endif
    return true;
}

RenameResult renameNoReplace(const QString &from, const QString &to, QString *reason)
{
#ifdef Q_OS_WIN
    // No MOVEFILE_REPLACE_EXISTING and no MOVEFILE_COPY_ALLOWED: a rename
    // within the folder or nothing.
    if (!simulatedFailure("rename", to) &&
        MoveFileExW(windowsPath(from).c_str(), windowsPath(to).c_str(), 0))
        return RenameResult::Done;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return RenameResult::NameTaken;
    *reason = windowsReason(code);
    return RenameResult::Failed;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef Q_OS_LINUX
    if (!simulatedFailure("rename", to) && ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD,
                                                       target.constData(), RENAME_NOREPLACE) == 0)
        return RenameResult::Done;
    if (errno == EEXIST)
        return RenameResult::NameTaken;
    // Only a file system without the flag goes on to the second way.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        *reason = errnoReason(errno);
        return RenameResult::Failed;
    }
#else
    // Elsewhere the second way is the only one; the test's fault is its.
    if (simulatedFailure("rename", to)) {
        *reason = errnoReason(errno);
        return RenameResult::Failed;
    }
#endif
    // A second name, which link() never takes from anything, then the
    // temporary name goes.
    if (::link(source.constData(), target.constData()) != 0) {
        if (errno == EEXIST)
            return RenameResult::NameTaken;
        *reason = errnoReason(errno);
        return RenameResult::Failed;
    }
    ::unlink(source.constData());
    return RenameResult::Done;
#endif
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    // Windows records a rename in the file system's journal; a folder cannot
    // be flushed like a file.
    Q_UNUSED(folder);
#else
    if (simulatedFailure("sync folder", folder))
        return;
    const int descriptor =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
#endif
}
