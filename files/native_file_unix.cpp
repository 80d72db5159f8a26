#include "native_file.h"
#include "native_file_p.h"
#include "retry_on_interrupt.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#include <vector>
#endif

// The POSIX half of the file layer; native_file.cpp holds what both share.

using nativefile::adopt;
using nativefile::nameOf;
using nativefile::simulatedFault;

namespace
{

QString errnoReason(int code)
{
    return plainReason(qt_error_string(code), "the system gave no reason");
}

// Before a system call: true when a test has it fail, with the error set
// where the system sets it, so that the code after the call handles it as
// its own; a short read or write cuts `length` instead.
bool simulatedFailure(const char *call, const QString &path, qint64 *length = nullptr,
                      bool *garble = nullptr)
{
    switch (simulatedFault(call, path, length, garble)) {
    case SystemFault::NoSpace:
        errno = ENOSPC;
        return true;
    case SystemFault::IoError:
        errno = EIO;
        return true;
    case SystemFault::Interrupted:
        errno = EINTR;
        return true;
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
    ::close(descriptor);
}

PathKind pathKind(const QString &path)
{
    // A path that cannot be looked at: opening it tells why.
    if (simulatedFailure("look", path))
        return PathKind::Unknown;
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
}

bool isMarkedReadOnly(const QString &path)
{
    if (simulatedFailure("look", path))
        return false; // opening it tells what is wrong
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
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

    // O_NONBLOCK: opening a FIFO or device returns at once instead of waiting
    // for the other end; it is then refused below.
    const int flags = (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const QByteArray path = QFile::encodeName(file.fileName());
    const int descriptor = retryOnInterrupt([&] {
        return simulatedFailure("open", nameOf(file)) ? -1 : ::open(path.constData(), flags);
    });
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
    return adopt(file, descriptor, mode);
}

OpenResult createNewFile(QFile &file, const QString &path, int permissions)
{
    Q_ASSERT(!file.isOpen());
    file.setFileName(path);
    OpenResult result;
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL: fails on any existing name, a dangling link included.
    const int descriptor = retryOnInterrupt([&] {
        return simulatedFailure("create", path)
                   ? -1
                   : ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                            permissions < 0 ? 0666 : 0600);
    });
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
    result = adopt(file, descriptor, QIODevice::ReadWrite);
    if (QString ignored; !result.ok)
        removeFile(path, &ignored);
    return result;
}

bool setHidden(QFile &file, bool hidden, QString *reason)
{
    Q_ASSERT(file.isOpen());
    Q_UNUSED(file);
    Q_UNUSED(hidden);
    Q_UNUSED(reason);
    return true;
}

FileIdentity pathIdentity(const QString &path, QString *reason)
{
    FileIdentity identity;
    reason->clear();
    struct stat status;
    if (simulatedFailure("look", path) ||
        ::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno != ENOENT)
            *reason = errnoReason(errno);
        return identity;
    }
    identity = {quint64(status.st_dev), quint64(status.st_ino), true};
    return identity;
}

bool isSymbolicLink(const QString &path)
{
    struct stat status;
    return simulatedFailure("look", path) ||
           ::lstat(QFile::encodeName(path).constData(), &status) != 0 || S_ISLNK(status.st_mode);
}

bool fileStatus(QFile &file, FileStatus *status, QString *reason)
{
    Q_ASSERT(file.isOpen());
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
}

void holdWhileOpen(QFile &file)
{
    Q_ASSERT(file.isOpen());
    ::flock(file.handle(), LOCK_EX | LOCK_NB);
}

bool isHeldByAnother(const QString &path)
{
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor); // which lets go of a lock it took
    return held;
}

bool setModifiedTime(QFile &file, qint64 modifiedNs, QString *reason)
{
    Q_ASSERT(file.isOpen());
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
    return true;
}

void settleModifiedTime(QFile &file)
{
    Q_ASSERT(file.isOpen());
    Q_UNUSED(file); // a write sets the time at once, and closing leaves it
}

qint64 readAt(QFile &file, qint64 position, char *data, qint64 length, QString *reason)
{
    Q_ASSERT(file.isOpen() && position >= 0 && length >= 0);
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = retryOnInterrupt([&]() -> ssize_t {
            qint64 wanted = std::min<qint64>(length - done, qint64(1) << 30);
            return simulatedFailure("read", nameOf(file), &wanted)
                       ? -1
                       : ::pread(file.handle(), data + done, size_t(wanted),
                                 off_t(position + done));
        });
        if (got < 0) {
            *reason = errnoReason(errno);
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
        const ssize_t put = retryOnInterrupt([&]() -> ssize_t {
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
            return fails ? -1
                         : ::pwrite(file.handle(), from, size_t(wanted), off_t(position + done));
        });
        if (put <= 0) {
            // A disk that takes nothing more and says nothing is full.
            *reason = errnoReason(put < 0 ? errno : ENOSPC);
            return done > 0 ? done : -1;
        }
        done += qint64(put);
    }
    return done;
}

bool resizeFile(QFile &file, qint64 size, QString *reason)
{
    Q_ASSERT(file.isOpen() && size >= 0);
    const int status = retryOnInterrupt([&] {
        return simulatedFailure("resize", nameOf(file)) ? -1
                                                        : ::ftruncate(file.handle(), off_t(size));
    });
    if (status != 0) {
        *reason = errnoReason(errno);
        return false;
    }
    return true;
}

bool removeFile(const QString &path, QString *reason)
{
    if (simulatedFailure("remove", path) || ::unlink(QFile::encodeName(path).constData()) != 0) {
        *reason = errnoReason(errno);
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
    const int status = retryOnInterrupt(
        [&] { return simulatedFailure("sync", nameOf(file)) ? -1 : ::fsync(file.handle()); });
    if (status != 0) {
        *reason = errnoReason(errno);
        return false;
    }
    return true;
}

RenameResult renameNoReplace(const QString &from, const QString &to, QString *reason)
{
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
}

void syncFolder(const QString &folder)
{
    if (simulatedFailure("sync folder", folder))
        return;
    const int descriptor =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}
