#pragma once

// Files that only POSIX systems make: FIFOs, device nodes, hard links,
// owners and extended attributes. Each helper says whether it worked, so a
// test can skip with a reason where the system or the user cannot do it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif
#endif

namespace unixfiles
{

inline bool isRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

inline bool makeFifo(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A Unix-domain socket bound to `path`, left there with nothing listening.
inline bool makeSocket(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (socket >= 0)
        ::close(socket);
    return bound;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A character device with the numbers of /dev/full (1, 7): reads give
// zeros, writes fail. Needs root.
inline bool makeFullDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A character device with the numbers of /dev/null (1, 3): writes go
// nowhere and succeed. Needs root.
inline bool makeNullDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// What `path` itself is (a link is not followed), as far as these tests care.
enum class FileType { None, Fifo, CharDevice, Other };

inline FileType fileType(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return FileType::None;
    if (S_ISFIFO(status.st_mode))
        return FileType::Fifo;
    return S_ISCHR(status.st_mode) ? FileType::CharDevice : FileType::Other;
#else
    Q_UNUSED(path);
    return FileType::None;
#endif
}

inline bool isCharDevice(const QString &path)
{
    return fileType(path) == FileType::CharDevice;
}

inline bool isFifo(const QString &path)
{
    return fileType(path) == FileType::Fifo;
}

// Puts something that is not a regular file at `path`: "folder", "fifo",
// "device node" (like /dev/full; needs root) or "link to device" (a symbolic
// link to /dev/zero). Empty when it is there; otherwise why it could not be
// made, for a test to skip with.
inline QString makeNotRegular(const QString &kind, const QString &path)
{
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path) ? QString() : QStringLiteral("cannot make a folder");
    if (kind == QLatin1String("fifo"))
        return makeFifo(path) ? QString() : QStringLiteral("this system makes no FIFOs");
    if (kind == QLatin1String("device node"))
        return makeFullDevice(path) ? QString()
                                    : QStringLiteral("device nodes need root on a POSIX system");
    Q_ASSERT(kind == QLatin1String("link to device"));
    const QString device = QStringLiteral("/dev/zero");
    return QFileInfo::exists(device) && QFile::link(device, path)
               ? QString()
               : QStringLiteral("no /dev/zero to link to");
}

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    quint32 owner = 0;
    quint32 group = 0;
    quint32 mode = 0;
    quint64 links = 0;
    friend bool operator==(const Identity &, const Identity &) = default;
};

inline Identity identityOf(const QString &path)
{
    Identity identity;
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        identity = {quint64(status.st_dev), quint64(status.st_ino),  quint32(status.st_uid),
                    quint32(status.st_gid), quint32(status.st_mode), quint64(status.st_nlink)};
#else
    Q_UNUSED(path);
#endif
    return identity;
}

inline bool changeOwner(const QString &path, quint32 owner, quint32 group)
{
#ifdef Q_OS_UNIX
    return ::chown(QFile::encodeName(path).constData(), owner, group) == 0;
#else
    Q_UNUSED(path);
    Q_UNUSED(owner);
    Q_UNUSED(group);
    return false;
#endif
}

inline bool setAttribute(const QString &path, const char *name, const QByteArray &value)
{
#ifdef Q_OS_LINUX
    return ::setxattr(QFile::encodeName(path).constData(), name, value.constData(),
                      size_t(value.size()), 0) == 0;
#else
    Q_UNUSED(path);
    Q_UNUSED(name);
    Q_UNUSED(value);
    return false;
#endif
}

inline QByteArray attribute(const QString &path, const char *name)
{
#ifdef Q_OS_LINUX
    char value[256];
    const ssize_t size = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return size < 0 ? QByteArray() : QByteArray(value, qsizetype(size));
#else
    Q_UNUSED(path);
    Q_UNUSED(name);
    return {};
#endif
}

// An access control list in the kernel's own form: the owner, group and
// others from `mode`, plus read and write for user `uid`.
inline QByteArray aclGrantingUser(quint32 uid)
{
    QByteArray acl;
    auto put32 = [&acl](quint32 value) {
        for (int i = 0; i < 4; ++i)
            acl += char((value >> (8 * i)) & 0xFF);
    };
    auto entry = [&](quint16 tag, quint16 permissions, quint32 id) {
        acl += char(tag & 0xFF);
        acl += char(tag >> 8);
        acl += char(permissions & 0xFF);
        acl += char(permissions >> 8);
        put32(id);
    };
    const quint32 undefined = 0xFFFFFFFF;
    put32(2);                  // version
    entry(0x01, 6, undefined); // owner: rw
    entry(0x02, 6, uid);       // named user: rw
    entry(0x04, 4, undefined); // group: r
    entry(0x10, 6, undefined); // mask: rw
    entry(0x20, 4, undefined); // others: r
    return acl;
}

} // namespace unixfiles
