#include "table_text_fields.h"

#include "formation_table.h"
#include "line_captions.h"
#include "line_editing.h"
#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tabletext
{

namespace
{

const char AxisLetters[Axes] = {'x', 'y', 'z'};

QString allTypeCaptions()
{
    QStringList captions;
    for (int k = 0; k < FormationLine::TypeCount; ++k)
        captions << shown(typeCaption(k));
    return captions.join(QStringLiteral(", "));
}

} // namespace

QString feetField(int axis)
{
    return QLatin1Char(AxisLetters[axis]) + QStringLiteral("Feet");
}

QString storedField(int axis)
{
    return QLatin1Char(AxisLetters[axis]) + QStringLiteral("Stored");
}

QStringList csvHeader()
{
    QStringList header{QStringLiteral("formation"), QStringLiteral("formationName"),
                       QStringLiteral("line"), QStringLiteral("type"), QStringLiteral("typeIndex")};
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        header << modifierCaption(k);
    header << QStringLiteral("count");
    for (int axis = 0; axis < Axes; ++axis)
        header << feetField(axis) << storedField(axis);
    header << QStringLiteral("byte0") << QStringLiteral("byte3");
    return header;
}

std::optional<int> wholeIn(double value, double low, double high)
{
    if (!(value >= low && value <= high) || value != std::floor(value))
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> formationNumber(const GivenNumber &given, QString &error)
{
    const auto number = wholeIn(given.value, 0, FormationTable::FormationCount - 1);
    if (!number)
        error = QStringLiteral("%1 is not a formation number from 0 to 30.").arg(given.shown);
    return number;
}

std::optional<int> lineNumber(const GivenNumber &given, QString &error)
{
    const auto number = wholeIn(given.value, 1, FormationTable::LinesPerFormation);
    if (!number)
        error = QStringLiteral("%1 is not a line number from 1 to 3.").arg(given.shown);
    return number;
}

FirstRow firstRowOf(const QStringList &cells)
{
    if (cells.value(0) == QLatin1String("format"))
        return FirstRow::FormatRow;
    return cells.contains(QLatin1String("formation")) ? FirstRow::Header : FirstRow::Other;
}

QString otherVersion(const QString &shownVersion)
{
    return QStringLiteral("this text is of version %1; this program reads version %2.")
        .arg(shownVersion, QString::number(TableTextFormatVersion));
}

QString shown(QStringView text)
{
    constexpr qsizetype Longest = 40;
    QString result = QStringLiteral("\"");
    for (const QChar c : text.left(Longest)) {
        if (c == u'\n')
            result += QStringLiteral("\\n");
        else if (c == u'\r')
            result += QStringLiteral("\\r");
        else if (c == u'\t')
            result += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    if (text.size() > Longest)
        result += QStringLiteral("...");
    return result + u'"';
}

bool printable(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

QString shownNumber(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 17);
}

LineCheck checkLine(const LineFields &fields, const PlaceOf &place)
{
    LineCheck check;
    auto fail = [&](const QString &field, const QString &what) {
        check.error = place(field) + QStringLiteral(": ") + what;
        return check;
    };

    // The type, by caption, index or both.
    int typeIndex = -1;
    if (fields.type) {
        typeIndex = typeIndexOfCaption(*fields.type);
        if (typeIndex < 0)
            return fail(QStringLiteral("type"),
                        QStringLiteral("%1 is not a type; the types are %2.")
                            .arg(shown(*fields.type), allTypeCaptions()));
    }
    if (fields.typeIndex) {
        const auto index = wholeIn(fields.typeIndex->value, 0, 15);
        if (!index)
            return fail(QStringLiteral("typeIndex"),
                        QStringLiteral("%1 is not a type index from 0 to 15.")
                            .arg(fields.typeIndex->shown));
        if (typeIndex >= 0 && typeIndex != *index)
            return fail(
                QStringLiteral("typeIndex"),
                QStringLiteral("%1 does not agree with type %2, which is type index %3.")
                    .arg(fields.typeIndex->shown, shown(*fields.type), QString::number(typeIndex)));
        typeIndex = *index;
    }
    if (typeIndex < 0)
        return fail(QString(),
                    QStringLiteral("the type is missing: give type, typeIndex or both."));
    bool modifiers[FormationLine::ModifierCount];
    std::copy(fields.modifiers.begin(), fields.modifiers.end(), modifiers);
    check.line.line.typeCode = FormationLine::makeTypeCode(typeIndex, modifiers);

    if (!fields.count)
        return fail(QString(), QStringLiteral("the count is missing."));
    const auto count = wholeIn(fields.count->value, 0, 255);
    if (!count)
        return fail(QStringLiteral("count"),
                    QStringLiteral("%1 is not a number of aircraft from 0 to 255.")
                        .arg(fields.count->shown));
    check.line.line.count = static_cast<quint8>(*count);

    qint32 *const offsets[Axes] = {&check.line.line.xOffset, &check.line.line.yOffset,
                                   &check.line.line.zOffset};
    for (int axis = 0; axis < Axes; ++axis) {
        const auto &feet = fields.feet[axis];
        const auto &stored = fields.stored[axis];
        std::optional<qint32> fromFeet;
        if (feet) {
            fromFeet = feetToStored(feet->value);
            if (!fromFeet)
                return fail(feetField(axis), feetOutOfRange(feet->shown, feet->value));
        }
        if (stored) {
            const double value = stored->value;
            if (!(value >= std::numeric_limits<qint32>::min() &&
                  value <= std::numeric_limits<qint32>::max()) ||
                value != std::floor(value))
                return fail(storedField(axis),
                            QStringLiteral("%1 is not a whole number from -2,147,483,648 to "
                                           "2,147,483,647.")
                                .arg(stored->shown));
            if (fromFeet && *fromFeet != qint32(value))
                return fail(feetField(axis),
                            QStringLiteral("%1 feet is stored as %2, but %3 is %4, which is %5 "
                                           "feet; change %6 or %3 so that they agree, or delete "
                                           "one of them.")
                                .arg(feet->shown, QString::number(*fromFeet), storedField(axis),
                                     stored->shown, formatFeet(qint32(value)), feetField(axis)));
            fromFeet = qint32(value);
        }
        if (!fromFeet)
            return fail(QString(), QStringLiteral("the %1 offset is missing: give %2, %3 or both.")
                                       .arg(QString(QLatin1Char(AxisLetters[axis])).toUpper(),
                                            feetField(axis), storedField(axis)));
        *offsets[axis] = *fromFeet;
    }

    const struct {
        const std::optional<GivenNumber> &given;
        const char *field;
        quint8 &target;
        bool &has;
    } carried[] = {{fields.byte0, "byte0", check.line.line.byte0, check.line.hasByte0},
                   {fields.byte3, "byte3", check.line.line.byte3, check.line.hasByte3}};
    for (const auto &byte : carried) {
        if (!byte.given)
            continue;
        const auto value = wholeIn(byte.given->value, 0, 255);
        if (!value)
            return fail(
                QLatin1String(byte.field),
                QStringLiteral("%1 is not a byte value from 0 to 255.").arg(byte.given->shown));
        byte.target = static_cast<quint8>(*value);
        byte.has = true;
    }
    check.ok = true;
    return check;
}

} // namespace tabletext
