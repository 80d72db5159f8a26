#pragma once

#include "table_text.h"

#include <QByteArray>
#include <QString>

// Where import meets the files: the bytes a target holds now, and saving
// the new table into it as the window saves.

struct TargetTable {
    bool ok = false;
    QByteArray table; // the 1,488 bytes the text is applied onto
    QString error;    // for the user, naming the target, when not ok
};

// The table at the start of `target`. A target that does not exist yet, or
// holds less than a table, starts from zero bytes, and then only a text
// with all 31 formations will do.
TargetTable importBase(const QString &target, const TableText &text);

// Saves `table` into `target` through the window's save; empty when it
// worked, else the message.
QString saveImported(const QString &target, const QByteArray &table);
