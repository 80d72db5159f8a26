#include "line_editing.h"

#include "number_text.h"

#include <cmath>

namespace
{

// Reads one box; on failure sets the message that names line and field.
std::optional<double> readBox(const QString &text, int lineNumber, const char *field,
                              QString *error)
{
    const QString where = QStringLiteral("Line %1, %2").arg(lineNumber).arg(QLatin1String(field));
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("%1: the box is empty.").arg(where);
        return std::nullopt;
    }
    const auto value = parseNumberBox(text);
    if (!value)
        *error = QStringLiteral("%1: \"%2\" is not a number.").arg(where, text.trimmed());
    return value;
}

} // namespace

std::optional<qint32> feetToStored(double feet)
{
    return toInt32(roundHalfEven(feet * FormationLine::UnitsPerFoot));
}

QString feetOutOfRange(const QString &shown, double feet)
{
    return QStringLiteral("%1 feet is %2 what the table can hold (from -102,261,126 to "
                          "102,261,126 feet).")
        .arg(shown, feet < 0 ? QStringLiteral("beyond") : QStringLiteral("more than"));
}

int typeIndexToStore(int buttonOn, int shownWithoutButton)
{
    Q_ASSERT(buttonOn >= -1 && buttonOn < FormationLine::TypeCount);
    if (buttonOn >= 0)
        return buttonOn;
    return shownWithoutButton >= FormationLine::TypeCount ? shownWithoutButton : 0;
}

LineEncoding encodeEditedLine(const EditedLine &edited, const FormationLine &stored, int lineNumber)
{
    Q_ASSERT(edited.typeIndex >= 0 && edited.typeIndex < 16);
    LineEncoding result;
    result.line = stored;
    result.line.typeCode = FormationLine::makeTypeCode(edited.typeIndex, edited.modifiers);

    result.field = LineEncoding::Count;
    const auto count = readBox(edited.count, lineNumber, "Number", &result.error);
    if (!count)
        return result;
    const double wholeCount = roundHalfEven(*count);
    if (!(wholeCount >= 0 && wholeCount <= 255)) {
        result.error = QStringLiteral("Line %1, Number: %2 is not a number of aircraft from 0 to "
                                      "255.")
                           .arg(lineNumber)
                           .arg(edited.count.trimmed());
        return result;
    }
    result.line.count = static_cast<quint8>(wholeCount);

    const struct {
        const QString &text;
        const char *name;
        int field;
        qint32 &target;
    } offsets[] = {{edited.xOffset, "X Offset", LineEncoding::XOffset, result.line.xOffset},
                   {edited.yOffset, "Y Offset", LineEncoding::YOffset, result.line.yOffset},
                   {edited.zOffset, "Z Offset", LineEncoding::ZOffset, result.line.zOffset}};
    for (const auto &offset : offsets) {
        result.field = offset.field;
        const auto feet = readBox(offset.text, lineNumber, offset.name, &result.error);
        if (!feet)
            return result;
        const auto value = feetToStored(*feet);
        if (!value) {
            result.error =
                QStringLiteral("Line %1, %2: %3")
                    .arg(lineNumber)
                    .arg(QLatin1String(offset.name), feetOutOfRange(offset.text.trimmed(), *feet));
            return result;
        }
        offset.target = *value;
    }
    result.field = -1;
    result.ok = true;
    return result;
}

LineTexts lineTexts(const FormationLine &line)
{
    return LineTexts{QString::number(line.typeCode), QString::number(line.count),
                     formatFeet(line.xOffset), formatFeet(line.yOffset), formatFeet(line.zOffset)};
}

OffsetTexts offsetTexts(qint32 stored)
{
    const auto value = static_cast<quint32>(stored); // two's complement
    OffsetTexts texts;
    texts.hex = QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
    for (int k = 0; k < 4; ++k)
        texts.bytes[k] = QString::number((value >> (8 * k)) & 0xFF);
    return texts;
}
