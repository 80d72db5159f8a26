#pragma once

#include "file_snapshot.h"
#include "table_text.h"

#include <QByteArray>
#include <QString>

// Where import meets the files: the bytes a target holds now, and saving
// the new table into it as the window saves.

struct TargetTable {
    bool ok = false;
    QByteArray table;    // the 1,488 bytes the text is applied onto
    QString error;       // for the user, naming the target, when not ok
    FileSnapshot source; // the target as it was read, when it holds a table
};

// The table at the start of `target`. A target that does not exist yet, or
// holds less than a table, starts from zero bytes, and then only a text
// with all 31 formations will do.
TargetTable importBase(const QString &target, const TableText &text);

// Saves `table` into `target` through the window's save, which keeps a
// backup of it first; empty when it worked, else the message. Where the
// window asks, the import stops and writes nothing: when another program
// changed the target after `base` read it, and when no backup can be made
// unless `withoutBackup`.
QString saveImported(const QString &target, const QByteArray &table, const TargetTable &base,
                     bool withoutBackup);
