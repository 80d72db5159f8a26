#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What differs between two tables, field by field of each line, in the words
// of the text form: types and modifiers by caption, offsets in feet.

struct FieldChange {
    QString field; // "type", "modifiers", "count", "xFeet", ..., "byte0", "byte3"
    QString before;
    QString after;
};

struct LineChanges {
    int line = 0; // 1..3
    QList<FieldChange> fields;
};

struct FormationChanges {
    int formation = 0; // 0..30
    QList<LineChanges> lines;
};

// The formations that differ, in order; empty when the tables are the same.
QList<FormationChanges> diffTables(const QByteArray &before, const QByteArray &after);

// The changes for a person: each formation (with its name, when there is
// one, its control characters written out), under it each line, under that
// each field as "old -> new".
QString diffText(const QList<FormationChanges> &changes, const QStringList &names);
