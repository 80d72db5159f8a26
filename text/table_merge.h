#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Three tables merged field by field: a change made on one side since the
// base is taken, the same change on both sides too, and different changes
// to one field are a conflict, which a side given to take settles.

enum class LineField { Byte0, TypeCode, Count, Byte3, X, Y, Z };
inline constexpr int LineFieldCount = 7;

// The field's name in the text form of the table and in messages.
const char *lineFieldName(LineField field);

struct MergeConflict {
    int formation = 0; // 0..30
    int line = 0;      // 1..3
    LineField field = LineField::Byte0;
    // As stored: a byte, or an offset in 1/21 foot.
    qint64 base = 0;
    qint64 ours = 0;
    qint64 theirs = 0;
};

enum class MergeTake { Neither, Ours, Theirs };

struct TableMerge {
    // The merged table. Where a conflict is left (MergeTake::Neither) it
    // holds ours there; it is to be written only when `conflicts` is empty
    // or every conflict was settled.
    QByteArray table;
    QList<MergeConflict> conflicts; // in the table's order, settled or not
    bool settled = true;            // no conflict, or every one taken from a side
};

// Each of the three is a whole table (1,488 bytes).
TableMerge mergeTables(const QByteArray &base, const QByteArray &ours, const QByteArray &theirs,
                       MergeTake take = MergeTake::Neither);

// The conflicts for a person, one line each: the formation (with its name,
// when there is one), the line, the field and the three values, offsets in
// feet and in stored units, a type code with its type and modifiers.
QString conflictText(const QList<MergeConflict> &conflicts, const QStringList &names);
