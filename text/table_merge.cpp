#include "table_merge.h"

#include "formation_line.h"
#include "formation_table.h"
#include "message_text.h"
#include "number_text.h"
#include "table_diff.h"

#include <QtEndian>
#include <array>

namespace
{

// Where each field lies in the 16-byte line (formation_line.h).
struct FieldSpan {
    const char *name;
    int at;
    int size; // 1: a byte; 4: a signed little-endian offset
};

constexpr std::array<FieldSpan, LineFieldCount> Spans = {{{"byte0", 0, 1},
                                                          {"typeCode", 1, 1},
                                                          {"count", 2, 1},
                                                          {"byte3", 3, 1},
                                                          {"x", 4, 4},
                                                          {"y", 8, 4},
                                                          {"z", 12, 4}}};

// The field's stored value in the line that begins at `line`.
qint64 valueAt(const char *line, const FieldSpan &span)
{
    return span.size == 1 ? qint64(quint8(line[span.at]))
                          : qint64(qFromLittleEndian<qint32>(line + span.at));
}

} // namespace

const char *lineFieldName(LineField field)
{
    return Spans[static_cast<int>(field)].name;
}

TableMerge mergeTables(const QByteArray &base, const QByteArray &ours, const QByteArray &theirs,
                       MergeTake take)
{
    Q_ASSERT(base.size() == FormationTable::ByteCount && ours.size() == base.size() &&
             theirs.size() == base.size());
    TableMerge merge;
    merge.table = ours;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
            const int at = (FormationTable::rowOfLine(formation, line) - 1) * FormationLine::Size;
            for (int k = 0; k < LineFieldCount; ++k) {
                const FieldSpan &span = Spans[k];
                const qint64 b = valueAt(base.constData() + at, span);
                const qint64 o = valueAt(ours.constData() + at, span);
                const qint64 t = valueAt(theirs.constData() + at, span);
                // Theirs where they changed it, or nobody did, or both alike.
                bool takeTheirs = o == b || o == t;
                if (!takeTheirs && t != b) {
                    merge.conflicts.append({formation, line, static_cast<LineField>(k), b, o, t});
                    takeTheirs = take == MergeTake::Theirs;
                    merge.settled = merge.settled && take != MergeTake::Neither;
                }
                if (takeTheirs)
                    merge.table.replace(at + span.at, span.size, theirs.constData() + at + span.at,
                                        span.size);
            }
        }
    }
    return merge;
}

namespace
{

QString valueText(LineField field, qint64 value)
{
    switch (field) {
    case LineField::X:
    case LineField::Y:
    case LineField::Z:
        return QStringLiteral("%1 ft (%2 stored)").arg(formatFeet(qint32(value))).arg(value);
    case LineField::TypeCode: {
        FormationLine line;
        line.typeCode = quint8(value);
        return QStringLiteral("%1 (%2; modifiers: %3)")
            .arg(QString::number(value), typeText(line), modifiersText(line));
    }
    case LineField::Byte0:
    case LineField::Count:
    case LineField::Byte3:
        break;
    }
    return QString::number(value);
}

} // namespace

QString conflictText(const QList<MergeConflict> &conflicts, const QStringList &names)
{
    QString text;
    for (const MergeConflict &conflict : conflicts) {
        text += QStringLiteral("formation %1").arg(conflict.formation);
        if (const QString name = names.value(conflict.formation); !name.isEmpty())
            text += QStringLiteral(" (%1)").arg(escapeControls(name)); // names go to terminals
        text += QStringLiteral(", line %1, %2: BASE %3, OURS %4, THEIRS %5\n")
                    .arg(conflict.line)
                    .arg(QLatin1String(lineFieldName(conflict.field)),
                         valueText(conflict.field, conflict.base),
                         valueText(conflict.field, conflict.ours),
                         valueText(conflict.field, conflict.theirs));
    }
    return text;
}
