#pragma once

#include <QFile>
#include <QString>
#include <functional>

// The few things about files that Qt leaves to the operating system: opening
// a file without ever blocking on what it turns out to be, telling which file
// an open handle is, giving a file a name only while that name is free, and
// pushing written bytes to the disk. Each has a POSIX and a Windows branch.

// Tests: one seam before each system call a save makes through this layer.
// The hook hears the call ("read", "write", "sync", ...) and the path of
// the file, and may have it fail once as the system can make it fail.
// Unset, it costs one test of an empty function.
enum class SystemFault {
    None,
    NoSpace,     // the disk is full
    IoError,     // the device reported an error
    Interrupted, // a signal came first: the call is made again
    Short,       // a read or write moves only part of the bytes
    Garbled,     // a write takes all the bytes but stores one of them wrong, and says nothing
};
using SystemCallHook = std::function<SystemFault(const char *call, const QString &path)>;
void setSystemCallHook(SystemCallHook hook); // an empty hook removes it

// What a path names, after following symbolic links.
enum class PathKind {
    Missing,    // nothing of that name
    Regular,    // a regular file
    Folder,     // a directory
    Device,     // a device, or on Windows a reserved device name such as NUL or COM1.dat
    Special,    // a FIFO or socket: reading or writing it may never end
    BrokenLink, // a symbolic link to nothing
    Unknown,    // cannot be looked at (a folder on the way is closed): opening it tells why
};
PathKind pathKind(const QString &path);

// Why a path that is not a regular file was refused, in words for the user
// ("it is a folder, not a regular file").
QString notRegularReason(PathKind kind);

// A reason from Qt or the system as the user reads it; where there is none
// (empty, or Qt's "Unknown error"), our own words instead.
QString plainReason(const QString &reason, const char *ownWords);

// True when the file at `path` carries no permission to write at all: no
// write bit for anyone (POSIX), or the read-only attribute (Windows).
bool isMarkedReadOnly(const QString &path);

struct OpenResult {
    bool ok = false;
    QString reason; // why not, for the user, when not ok
};

// Opens the existing regular file `file.fileName()` with `mode` (ReadOnly, or
// ReadWrite, which never truncates), unbuffered. Anything else is refused
// before it is opened, and the open itself cannot block, so a path that
// turns into a FIFO or device in between is refused too. On Windows a file
// opened to be written is shared for reading only: while it is open no other
// program may write, rename or delete it, and one that already has it open
// for writing makes the open fail.
OpenResult openRegularFile(QFile &file, QIODevice::OpenMode mode);

// Creates `path`, which must not exist yet (nothing is ever replaced, not
// even a dangling symbolic link), and opens it for reading and writing,
// unbuffered, and held (holdWhileOpen) from its first moment. `permissions`
// are POSIX permission bits given to it exactly, or -1 for the usual ones of
// a new file. On Windows the file is hidden until setHidden(file, false).
OpenResult createNewFile(QFile &file, const QString &path, int permissions = -1);

// Windows: sets or clears the hidden attribute through the open file.
// POSIX: nothing to do. False with the system's reason when it failed.
bool setHidden(QFile &file, bool hidden, QString *reason);

// Which file a handle is: device and inode (POSIX), volume serial number
// and file index (Windows). Another path or a hard link to the same file
// gives the same identity.
struct FileIdentity {
    quint64 volume = 0;
    quint64 index = 0;
    bool valid = false;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

struct FileStatus {
    FileIdentity identity;
    qint64 size = 0;
    // Modification time as the system keeps it: nanoseconds (POSIX) or
    // 100-nanosecond ticks (Windows). Only for comparing and putting back.
    qint64 modifiedNs = 0;
    int permissions = 0; // POSIX permission bits; 0 on Windows
    quint32 owner = 0;   // POSIX user and group; 0 on Windows
    quint32 group = 0;
};

// Which file `path` names now, after following symbolic links. Not valid
// when nothing has that name (`reason` left empty) or it cannot be looked
// at (`reason` says why).
FileIdentity pathIdentity(const QString &path, QString *reason);

// Whether the name `path` itself is a symbolic link (on Windows, any link
// that leads elsewhere), whatever it leads to; true too when it cannot be
// looked at, as neither can be trusted to hold a copy.
bool isSymbolicLink(const QString &path);

// What the open `file` is now, taken from its handle, not from its path.
bool fileStatus(QFile &file, FileStatus *status, QString *reason);

// Gives `copy`, a new file made beside `original` to hold its bytes (a
// backup, a journal) and readable by its owner alone until then, the
// original's owner and group, on Linux its ACL and extended attributes,
// and last its permission bits (but set-user and set-group). Where an owner
// or group, or the ACL, cannot be given (a user who is not root), the copy
// stays readable by its owner alone, so that it never lets in anyone the
// original keeps out. Best effort: nothing here changes the bytes of either
// file.
void keepAccessOf(QFile &copy, QFile &original, const FileStatus &status);

// While a save holds a file of its own open, the file is held: another
// save that finds it knows it is no leftover. POSIX: an advisory lock;
// Windows: a file the save has open is shared for reading only.
void holdWhileOpen(QFile &file);
// Whether a save, of this program or another, holds the file at `path` now.
bool isHeldByAnother(const QString &path);

// Sets the modification time of the open `file` to `modifiedNs` (as
// fileStatus gives it). False with the system's reason when it failed.
bool setModifiedTime(QFile &file, qint64 modifiedNs, QString *reason);

// Windows may move a written file's modification time once more when the
// file is closed; this fixes it at the present moment, so that the time
// fileStatus gives now is the one the file keeps. POSIX: nothing to do.
void settleModifiedTime(QFile &file);

// Reads `length` bytes from the device's position, or as many as there are
// before its end: the count read, or -1 on an error.
qint64 readUpTo(QIODevice &device, char *data, qint64 length);

// Reads `length` bytes of the open `file` at `position`, or as many as
// there are before its end: the count read, or -1 with the system's reason.
qint64 readAt(QFile &file, qint64 position, char *data, qint64 length, QString *reason);

// Writes `length` bytes into the open `file` at `position`: the count
// written, fewer when the disk took only part, or -1 with the system's
// reason when it took nothing.
qint64 writeAt(QFile &file, qint64 position, const char *data, qint64 length, QString *reason);

// Sets the length of the open `file`. False with the system's reason.
bool resizeFile(QFile &file, qint64 size, QString *reason);

// Removes the name `path` (a file, or a link itself). False with the
// system's reason.
bool removeFile(const QString &path, QString *reason);

// Pushes what was written to `file` through to the disk. False with the
// system's reason when the disk did not take it.
bool syncFile(QFile &file, QString *reason);

enum class RenameResult { Done, NameTaken, Failed };

// Gives the file `from` the name `to` only while nothing has that name,
// never copying and never replacing anything, not even a dangling symbolic
// link. NameTaken when something has it; Failed with the system's reason
// for any other cause.
RenameResult renameNoReplace(const QString &from, const QString &to, QString *reason);

// Makes a rename or a newly created name in `folder` survive a power cut, as
// far as the system allows. Best effort: a failure here changes no data.
void syncFolder(const QString &folder);
