#pragma once

#include "file_snapshot.h"

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
// syncing or reading back fails after the file took any of the new bytes,
// they are put back. A file that does not exist yet is written complete
// under a temporary name in its folder and only then given its name, never
// replacing anything, so a failed save never leaves part of a file.
//
// Two things are asked before an existing file is written, and nothing is
// written until the caller agrees and saves again with the matching option:
// - the file is one of the watched files (the one the table was loaded
//   from, or the one it was last saved to), and another program has
//   changed it since;
// - the save would change the file, no NAME.bak (the full name with ".bak")
//   is beside it yet, and that copy of the file's whole content cannot be
//   made. An existing NAME.bak is never replaced or removed, so it keeps the
//   file as it was before the editor first changed it.
// A save that would change no byte of the file writes nothing and makes no
// backup.

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

struct SaveOptions {
    const WatchedFiles *watched = nullptr; // the files the table came from and last went to
    bool overwriteOtherChanges = false;    // the user agreed to save over another program's changes
    bool withoutBackup = false;            // the user agreed to save without a backup
    FileWrapper wrap{};                    // tests: wraps the file the table is written to
    FileWrapper wrapBackup{};              // tests: wraps the backup being written
    // Tests: runs just before a new file or a backup is given its name.
    std::function<void(const QString &name)> beforeNaming{};
    // Called between the pieces of a long copy (the backup of a big file),
    // so that a window can repaint meanwhile.
    std::function<void()> progress{};
};

struct SaveResult {
    bool ok = false;
    // For the user when not ok, naming the file and what state it is in.
    // When a question is asked it says what stands in the way (the question
    // text without its question), so that a caller that cannot ask can give
    // it as the reason nothing was saved.
    QString error;
    enum class Question { None, ChangedByOtherProgram, NoBackup };
    // Not None: nothing was written; ask, then save again with the option set.
    Question question = Question::None;
    QString questionText;
    // The file as this save left it, after it wrote: the table, or the old
    // bytes put back, or what a failed save left there. Its table bytes are
    // taken at the watched file's table offset when the save wrote one,
    // else at 0. After a save that worked, watchSaved(); after one that
    // failed, refreshWatched().
    FileSnapshot saved;
    // With the question about another program's changes: the file as it was
    // when asked. Saving again with it in its watched place writes only if
    // nothing changed the file meanwhile, and asks again otherwise.
    FileSnapshot seen;
    QString backupPath; // the backup this save made, if it made one
};

// A target that is a program: saving there overwrites its first bytes.
bool isProgramPath(const QString &path);

SaveResult saveTable(const QString &path, const QByteArray &table, const SaveOptions &options = {});
