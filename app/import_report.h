#pragma once

#include "table_text.h"
#include "target_save.h"

#include <QString>
#include <QStringList>

// What import prints: why a text does not fit its target, and what the
// import did.

// Empty when `text` can go into a target that holds `held`; else why not: a
// target without a whole table needs all 31 formations.
QString textFitsTarget(const QString &target, TargetSave::Held held, const TableText &text);

// What the import did, for standard output: the formations and fields it
// changed, as diff lists them (names escaped), then one line saying where
// the table went and where the backup is, or why none was made.
QString importReport(const QString &target, const TargetSave &saved, const QStringList &names);
