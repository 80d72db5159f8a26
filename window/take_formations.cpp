#include "take_formations.h"

#include "formation_table.h"
#include "message_text.h"
#include "table_diff.h"

QList<TakeRow> takeRows(const QByteArray &current, const QByteArray &other,
                        const QStringList &names)
{
    QStringList differences(FormationTable::FormationCount); // empty: the same
    for (const FormationChanges &changes : diffTables(current, other)) {
        QStringList lines;
        for (const LineChanges &line : changes.lines) {
            QStringList fields;
            for (const FieldChange &field : line.fields)
                fields << field.field;
            lines << QStringLiteral("line %1: %2").arg(line.line).arg(fields.join(u", "));
        }
        differences[changes.formation] = lines.join(u"; ");
    }
    QList<TakeRow> rows;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        // A blank or missing name leaves the number alone.
        const QString heading = QStringLiteral("%1 %2")
                                    .arg(formation)
                                    .arg(escapeControls(names.value(formation)))
                                    .simplified();
        const QString &difference = differences[formation];
        rows.append({formation,
                     QStringLiteral("%1: %2").arg(
                         heading, difference.isEmpty() ? QStringLiteral("same") : difference),
                     !difference.isEmpty()});
    }
    return rows;
}

QByteArray tableTaking(const QByteArray &current, const QByteArray &other,
                       const QList<int> &formations)
{
    QByteArray taken = current;
    for (const int formation : formations) {
        const qsizetype at = qsizetype(formation) * FormationTable::FormationBytes;
        taken.replace(at, FormationTable::FormationBytes,
                      other.mid(at, FormationTable::FormationBytes));
    }
    return taken;
}

QString takeStepName(int count, const QString &fileName)
{
    return QStringLiteral("take of %1 %2 from %3")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("formation") : QStringLiteral("formations"),
             escapeControls(fileName));
}
