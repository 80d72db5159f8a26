#pragma once

#include "file_snapshot.h"
#include "table_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Where import meets the files: where the table lives in a target, the bytes
// it holds there now, saving the new table into it as the window saves, and
// the report of what the import did.

struct TargetTable {
    enum class Holds {
        Table,   // a whole table at `offset`
        Less,    // a file shorter than a table: written from its first byte
        Nothing, // no file yet: made
    };

    bool ok = false;
    QString error;          // for the user, naming the target, when not ok
    QByteArray table;       // the 1,488 bytes the text is applied onto (zeros without a table)
    qint64 offset = 0;      // where the table is read and the new one goes
    bool inProgram = false; // a program's own table, found by its signature
    Holds holds = Holds::Nothing;
    FileSnapshot source; // the target as it was read, when it holds a table
};

// The table in `target` where the window would write it back: in a program
// (by name or content) at the signature, never at its first byte, and
// `start` is refused there; in a data file at `start` when given, where the
// file must hold a whole table, else at its first byte, where a target that
// does not exist yet, or holds less than a table, starts from zero bytes.
TargetTable importBase(const QString &target, std::optional<qint32> start);

// Empty when `text` can go into `base`; else why not: a target without a
// whole table needs all 31 formations.
QString textFitsTarget(const QString &target, const TargetTable &base, const TableText &text);

struct ImportSaved {
    enum class Kind { Saved, Unchanged, Failed };
    Kind kind = Kind::Failed;
    QString error;      // with Failed: the message
    QString backupPath; // the backup this import made, if it made one
    QString noBackup;   // why no backup could be made, when --no-backup let it go on
};

// Saves `table` into `target` at `base.offset` through the window's save,
// which keeps a backup of it first. Where the window asks, the import stops
// and writes nothing: when another program changed the target after `base`
// read it, and when no backup can be made unless `withoutBackup`.
ImportSaved saveImported(const QString &target, const QByteArray &table, const TargetTable &base,
                         bool withoutBackup);

// What the import did, for standard output: the formations and fields it
// changed, as diff lists them (names escaped), then one line saying where
// the table went and where the backup is, or why none was made.
QString importReport(const QString &target, const TargetTable &base, const QByteArray &table,
                     const ImportSaved &saved, const QStringList &names);
