#include "native_file.h"
#include "native_file_p.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Windows' half of the file layer; native_file.cpp holds what both share.

using nativefile::adopt;
using nativefile::nameOf;
using nativefile::simulatedFault;

namespace
{

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

// Before a system call: true when a test has it fail, with the error set
// where the system sets it, so that the code after the call handles it as
// its own; a short read or write cuts `length` instead.
bool simulatedFailure(const char *call, const QString &path, qint64 *length = nullptr,
                      bool *garble = nullptr)
{
    switch (simulatedFault(call, path, length, garble)) {
    case SystemFault::NoSpace:
        SetLastError(ERROR_DISK_FULL);
        return true;
    case SystemFault::IoError:
        SetLastError(ERROR_IO_DEVICE);
        return true;
    case SystemFault::Interrupted: // Windows calls are not interrupted by signals
    case SystemFault::None:
    case SystemFault::Short:
    case SystemFault::Garbled:
        break;
    }
    return false;
}

} // namespace

void nativefile::closeDescriptor(int descriptor)
{
    _close(descriptor);
}

PathKind pathKind(const QString &path)
{
    // A path that cannot be looked at: opening it tells why.
    if (simulatedFailure("look", path))
        return PathKind::Unknown;
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
}

bool isMarkedReadOnly(const QString &path)
{
    if (simulatedFailure("look", path))
        return false; // opening it tells what is wrong
    const DWORD attributes = GetFileAttributesW(windowsPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    return adopt(file, descriptor, mode);
}

OpenResult createNewFile(QFile &file, const QString &path, int permissions)
{
    Q_ASSERT(!file.isOpen());
    file.setFileName(path);
    OpenResult result;
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
    result = adopt(file, descriptor, QIODevice::ReadWrite);
    if (QString ignored; !result.ok)
        removeFile(path, &ignored);
    return result;
}

bool setHidden(QFile &file, bool hidden, QString *reason)
{
    Q_ASSERT(file.isOpen());
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
    return true;
}

FileIdentity pathIdentity(const QString &path, QString *reason)
{
    FileIdentity identity;
    reason->clear();
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
    return identity;
}

bool isSymbolicLink(const QString &path)
{
    const DWORD attributes = simulatedFailure("look", path)
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesW(windowsPath(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool fileStatus(QFile &file, FileStatus *status, QString *reason)
{
    Q_ASSERT(file.isOpen());
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
    return true;
}

void keepAccessOf(QFile &copy, QFile &original, const FileStatus &status)
{
    Q_ASSERT(copy.isOpen() && original.isOpen());
    // A new file takes the access rules of its folder, as the original did.
    Q_UNUSED(copy);
    Q_UNUSED(original);
    Q_UNUSED(status);
}

void holdWhileOpen(QFile &file)
{
    Q_ASSERT(file.isOpen());
    Q_UNUSED(file); // opened shared for reading only, which no remover gets past
}

bool isHeldByAnother(const QString &path)
{
    // Opened to be removed, as a remover would: refused while a save has it.
    HANDLE handle = CreateFileW(windowsPath(path).c_str(), DELETE, FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
}

bool setModifiedTime(QFile &file, qint64 modifiedNs, QString *reason)
{
    Q_ASSERT(file.isOpen());
    FILETIME time;
    time.dwLowDateTime = DWORD(quint64(modifiedNs) & 0xFFFFFFFF);
    time.dwHighDateTime = DWORD(quint64(modifiedNs) >> 32);
    if (simulatedFailure("set time", nameOf(file)) ||
        !SetFileTime(osHandle(file), nullptr, nullptr, &time)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    return true;
}

void settleModifiedTime(QFile &file)
{
    Q_ASSERT(file.isOpen());
    // A time set through the handle is one the system no longer changes on
    // its own for that handle. Best effort: without it, only the check for
    // other programs' changes may ask once too often.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (!simulatedFailure("set time", nameOf(file)))
        SetFileTime(osHandle(file), nullptr, nullptr, &now);
}

qint64 readAt(QFile &file, qint64 position, char *data, qint64 length, QString *reason)
{
    Q_ASSERT(file.isOpen() && position >= 0 && length >= 0);
    qint64 done = 0;
    while (done < length) {
        qint64 wanted = std::min<qint64>(length - done, qint64(1) << 30);
        OVERLAPPED at = overlappedAt(position + done);
        DWORD got = 0;
        if (simulatedFailure("read", nameOf(file), &wanted) ||
            !ReadFile(osHandle(file), data + done, DWORD(wanted), &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            *reason = windowsReason(GetLastError());
            return -1;
        }
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
        OVERLAPPED at = overlappedAt(position + done);
        DWORD put = 0;
        if (fails || !WriteFile(osHandle(file), from, DWORD(wanted), &put, &at) || put == 0) {
            *reason = windowsReason(put == 0 ? GetLastError() : ERROR_WRITE_FAULT);
            return done > 0 ? done : -1;
        }
        done += qint64(put);
    }
    return done;
}

bool resizeFile(QFile &file, qint64 size, QString *reason)
{
    Q_ASSERT(file.isOpen() && size >= 0);
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = size;
    if (simulatedFailure("resize", nameOf(file)) ||
        !SetFileInformationByHandle(osHandle(file), FileEndOfFileInfo, &end, sizeof end)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    return true;
}

bool removeFile(const QString &path, QString *reason)
{
    if (simulatedFailure("remove", path) || !DeleteFileW(windowsPath(path).c_str())) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    return true;
}

bool syncFile(QFile &file, QString *reason)
{
    Q_ASSERT(file.isOpen());
    if (!file.flush()) {
        *reason = plainReason(file.errorString(), "the written bytes did not reach the file");
        return false;
    }
    const HANDLE handle = osHandle(file);
    if (simulatedFailure("sync", nameOf(file)) || handle == INVALID_HANDLE_VALUE ||
        !FlushFileBuffers(handle)) {
        *reason = windowsReason(GetLastError());
        return false;
    }
    return true;
}

RenameResult renameNoReplace(const QString &from, const QString &to, QString *reason)
{
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
}

void syncFolder(const QString &folder)
{
    // Windows records a rename in the file system's journal; a folder cannot
    // be flushed like a file.
    Q_UNUSED(folder);
}
