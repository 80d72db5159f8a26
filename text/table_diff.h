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

struct FormationLine;

// A line's type by its caption ("type index 9" where it has none), and its
// modifiers by caption ("none" where it has none), as the lists say them.
QString typeText(const FormationLine &line);
QString modifiersText(const FormationLine &line);

// The formations that differ, in order; empty when the tables are the same.
QList<FormationChanges> diffTables(const QByteArray &before, const QByteArray &after);

// The changes for a person: each formation (with its name, when there is
// one, its control characters written out), under it each line, under that
// each field as "old -> new".
QString diffText(const QList<FormationChanges> &changes, const QStringList &names);

// The same for a script, as JSON: the formations that differ (number and
// name), under each the lines, under each the fields that differ with
// both values, A's and B's: offsets in feet (as the text form writes them)
// and in stored units, the type by index and caption, the modifiers by
// caption, the count and the carried bytes as numbers. Tables that are the
// same give an empty list of formations.
QByteArray diffJson(const QByteArray &a, const QByteArray &b, const QStringList &names);
