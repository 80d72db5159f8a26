#pragma once

// Inside the save: the files it has open and what it knows of them.

#include "file_snapshot.h"
#include "table_saver.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>
#include <optional>

// A file a save has open: the file it reads and writes through (which tests
// may wrap), the QFile beneath for what only the system can tell, and its
// path for messages.
struct OpenFile {
    QString path;
    QFile *native = nullptr; // owned by `file`
    std::unique_ptr<WritableFile> file;
};

OpenFile openFile(const QString &path, std::unique_ptr<QFile> qfile, const FileWrapper &wrap);

// A reason from a file that failed, or our own words where it gives none.
QString reasonOf(const WritableFile &file, const char *ownWords);

// Up to `length` bytes at `offset` (fewer where the file ends first);
// nothing when they could not be read.
std::optional<QByteArray> bytesAt(WritableFile &file, qint64 offset, qint64 length);

FileSnapshot snapshotOf(const QString &path, const FileStatus &status, qint64 tableOffset,
                        const QByteArray &tableBytes);

// The open file as it is now; not valid when the system cannot tell.
FileSnapshot snapshotNow(OpenFile &open, qint64 tableOffset);

// Whatever `path` names now, opened afresh. Nothing there: a snapshot with
// no valid identity, which matches no file that appears later.
FileSnapshot snapshotOfPath(const QString &path, qint64 tableOffset);

// What a save's temporary file is for. Each has a name of its own
// (".kgf-save-1a2b3c4d.tmp", ".kgf-backup-...", ".kgf-journal-..."), so
// that one a save cut off left behind is known for what it is.
enum class TemporaryKind {
    NewFile, // a new file, named once complete
    Backup,  // the copy that becomes NAME.bak
    Journal, // the journal, named once complete
};
// The kind a temporary file's name says it is, if it is one of them.
std::optional<TemporaryKind> temporaryKindOf(const QString &fileName);

// Creates and opens a new temporary file of `kind` in `folder`, with POSIX
// `permissions` (-1 for the usual ones), held while it is open: its path,
// or empty with `reason`.
QString createTemporary(const QString &folder, TemporaryKind kind, int permissions, QFile &file,
                        QString *reason);

// Removes a temporary file this save made: empty when it is gone, else
// words for the message that say it is left.
QString removeTemporary(const QString &temporary);

// Gives the complete temporary file the name `path`, which must still be
// free, holding it all the while, so that no other save takes it for a
// leftover. Then it is closed, or with Held it stays open and held under its
// new name (a journal, while its save runs). Empty when it has the name;
// otherwise why not, and the temporary file is gone. `taken` tells that
// something had the name.
enum class AfterNaming { Close, Held };
QString giveName(OpenFile &file, const QString &temporary, const QString &path,
                 const SaveOptions &options, bool *taken, AfterNaming after = AfterNaming::Close);
