#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>
#include <memory>

// Saving the formation table to the first 1,488 bytes of a file.
//
// An existing regular file is written in place, as the same file: it keeps
// its identity (hard links, owner, permissions, extended attributes), a
// longer file keeps every later byte and a shorter one grows to 1,488 bytes.
// The bytes it loses and its length are kept in memory first; if writing,
// syncing or reading back fails, they are put back. A file that does not
// exist yet is written complete under a temporary name in its folder and
// only then given its name, so a failed save never leaves part of a file.

// A file a save writes, seen as positioned reads and writes. Tests wrap the
// real one to make any step fail.
class WritableFile
{
public:
    virtual ~WritableFile() = default;
    virtual qint64 size() = 0; // -1 on an error
    // Each returns the number of bytes moved, -1 on an error.
    virtual qint64 readAt(qint64 position, char *data, qint64 length) = 0;
    virtual qint64 writeAt(qint64 position, const char *data, qint64 length) = 0;
    virtual bool resize(qint64 size) = 0;
    virtual bool sync() = 0; // through to the disk
    virtual QString errorString() const = 0;
};

// A WritableFile over an open QFile.
std::unique_ptr<WritableFile> writableFile(std::unique_ptr<QFile> file);

// Given each file a save opens, returns the one the save should use.
using FileWrapper = std::function<std::unique_ptr<WritableFile>(std::unique_ptr<WritableFile>)>;

struct SaveResult {
    bool ok = false;
    QString error; // for the user, naming the file and what state it is in, when not ok
};

// A target that is a program: saving there overwrites its first bytes.
bool isProgramPath(const QString &path);

SaveResult saveTable(const QString &path, const QByteArray &table, const FileWrapper &wrap = {});
