// Writing the table as JSON or CSV.
#include "csv.h"
#include "formation_table.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text.h"
#include "table_text_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tabletext;

namespace
{

FormationLine lineOf(const QByteArray &table, int formation, int line)
{
    const int at = (FormationTable::LinesPerFormation * formation + line) * FormationLine::Size;
    return FormationLine::fromBytes(table.mid(at, FormationLine::Size));
}

qint32 offsetOf(const FormationLine &line, int axis)
{
    const qint32 offsets[Axes] = {line.xOffset, line.yOffset, line.zOffset};
    return offsets[axis];
}

QJsonObject lineObject(const FormationLine &line, int lineNumber, OffsetUnits units)
{
    QJsonObject object;
    object.insert(QStringLiteral("byte0"), line.byte0);
    object.insert(QStringLiteral("byte3"), line.byte3);
    object.insert(QStringLiteral("count"), line.count);
    object.insert(QStringLiteral("line"), lineNumber);
    QJsonArray modifiers;
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        if (line.hasModifier(k))
            modifiers.append(modifierCaption(k));
    object.insert(QStringLiteral("modifiers"), modifiers);
    if (line.typeIndex() < FormationLine::TypeCount)
        object.insert(QStringLiteral("type"), typeCaption(line.typeIndex()));
    object.insert(QStringLiteral("typeIndex"), line.typeIndex());
    // QJsonDocument writes a double in the fewest digits that read back as it.
    for (int axis = 0; axis < Axes; ++axis) {
        if (carriesFeet(units))
            object.insert(feetField(axis), offsetInFeet(offsetOf(line, axis)));
        if (carriesStored(units))
            object.insert(storedField(axis), offsetOf(line, axis));
    }
    return object;
}

QJsonObject formationObject(const QByteArray &table, int formation, const QString &name,
                            OffsetUnits units)
{
    QJsonArray lines;
    for (int line = 0; line < FormationTable::LinesPerFormation; ++line)
        lines.append(lineObject(lineOf(table, formation, line), line + 1, units));
    QJsonObject object;
    object.insert(QStringLiteral("formation"), formation);
    object.insert(QStringLiteral("formationName"), name);
    object.insert(QStringLiteral("lines"), lines);
    return object;
}

QByteArray jsonDocument(const QJsonArray &formations)
{
    QJsonObject top;
    top.insert(QStringLiteral("format"), QLatin1String(TableTextFormatName));
    top.insert(QStringLiteral("formatVersion"), TableTextFormatVersion);
    top.insert(QStringLiteral("formations"), formations);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

// The header first, as spreadsheets and CSV libraries expect it; its column
// names tell the form. Every cell is guarded against being run as a formula.
QByteArray csvText(const QByteArray &table, const QStringList &names, OffsetUnits units)
{
    QString text = csvRecord(csvHeader(units));
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        for (int lineIndex = 0; lineIndex < FormationTable::LinesPerFormation; ++lineIndex) {
            const FormationLine line = lineOf(table, formation, lineIndex);
            QStringList row{QString::number(formation), names.value(formation),
                            QString::number(lineIndex + 1), typeCaption(line.typeIndex()),
                            QString::number(line.typeIndex())};
            for (int k = 0; k < FormationLine::ModifierCount; ++k)
                row << QString::number(int(line.hasModifier(k)));
            row << QString::number(line.count);
            for (int axis = 0; axis < Axes; ++axis) {
                if (carriesFeet(units))
                    row << formatFeet(offsetOf(line, axis));
                if (carriesStored(units))
                    row << QString::number(offsetOf(line, axis));
            }
            row << QString::number(line.byte0) << QString::number(line.byte3);
            for (QString &cell : row)
                cell = formulaGuarded(cell);
            text += csvRecord(row);
        }
    }
    return text.toUtf8();
}

} // namespace

QByteArray writeTableText(const QByteArray &table, const QStringList &names, TextFormat format,
                          OffsetUnits units)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    if (format == TextFormat::Csv)
        return csvText(table, names, units);
    QJsonArray formations;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation)
        formations.append(formationObject(table, formation, names.value(formation), units));
    return jsonDocument(formations);
}

double offsetInFeet(qint32 stored)
{
    return double(stored) / FormationLine::UnitsPerFoot;
}

QByteArray writeFormationText(const QByteArray &table, int formation, const QString &name)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    Q_ASSERT(formation >= 0 && formation < FormationTable::FormationCount);
    return jsonDocument(QJsonArray{formationObject(table, formation, name, OffsetUnits::Both)});
}
