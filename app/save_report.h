#pragma once

#include "table_text.h"
#include "target_save.h"

struct Invocation;

#include <QString>
#include <QStringList>

// What the modes that save a table into a file (import, merge) print: why
// a text does not fit its target, what the save did, and why it failed.

// How a mode's report names what it saved and itself.
struct SaveWords {
    QString mode;   // "import"
    QString source; // "the text": what gave the table
    QString saved;  // "the imported table": what the save put into the target
};

// Empty when `text` can go into a target that holds `held`; else why not: a
// target without a whole table needs all 31 formations.
QString textFitsTarget(const QString &target, TargetSave::Held held, const TableText &text);

// What the save did, for standard output: the formations and fields it
// changed, as diff lists them (names escaped), then one line saying where
// the table went and where the backup is, or why none was made.
QString saveReport(const QString &target, const TargetSave &saved, const QStringList &names,
                   const SaveWords &words);

// The save's options a mode's command line gives: --force, --no-backup and
// --allow-no-backup, the same for import and merge.
TargetSaveOptions targetSaveOptions(const Invocation &invocation);

// Prints the report on standard output; where that refuses it, says so on
// standard error: the table is in the target all the same.
void printSaveReport(const QString &target, const QString &report, const SaveWords &words);

// Says on standard error why a save into a target failed, with the option
// that would let it go on where one would.
void tellSaveFailed(const TargetSave &saved, const SaveWords &words);

// Refuses, said where it cannot land in them, a target that standard output
// or error is redirected to, or its backup or journal: what the mode prints
// would go into the file it saves.
bool refuseStreamsOnTarget(const QString &target, const QString &mode);
