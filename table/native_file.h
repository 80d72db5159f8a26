#pragma once

#include <QFile>
#include <QString>

// The few things about files that Qt leaves to the operating system: opening
// a file without ever blocking on what it turns out to be, and pushing
// written bytes to the disk. Each has a POSIX and a Windows branch.

// What a path names, after following symbolic links.
enum class PathKind {
    Missing,    // nothing of that name
    Regular,    // a regular file
    Folder,     // a directory
    Special,    // a FIFO, socket or device: reading or writing it may never end
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

struct OpenResult {
    bool ok = false;
    QString reason; // why not, for the user, when not ok
};

// Opens the existing regular file `file.fileName()` with `mode` (ReadOnly, or
// ReadWrite, which never truncates), unbuffered. Anything else is refused
// before it is opened, and the open itself cannot block, so a path that
// turns into a FIFO or device in between is refused too.
OpenResult openRegularFile(QFile &file, QIODevice::OpenMode mode);

// Reads `length` bytes from the device's position, or as many as there are
// before its end: the count read, or -1 on an error.
qint64 readUpTo(QIODevice &device, char *data, qint64 length);

// Pushes what was written to `file` through to the disk. False with the
// system's reason when the disk did not take it.
bool syncFile(QFile &file, QString *reason);

// Makes a rename or a newly created name in `folder` survive a power cut, as
// far as the system allows. Best effort: a failure here changes no data.
void syncFolder(const QString &folder);
