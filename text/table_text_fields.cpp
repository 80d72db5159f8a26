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

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

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

bool carriesFeet(OffsetUnits units)
{
    return units != OffsetUnits::Stored;
}

bool carriesStored(OffsetUnits units)
{
    return units != OffsetUnits::Feet;
}

QStringList csvHeader(OffsetUnits units)
{
    QStringList header{QStringLiteral("formation"), QStringLiteral("formationName"),
                       QStringLiteral("line"), QStringLiteral("type"), QStringLiteral("typeIndex")};
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        header << modifierCaption(k);
    header << QStringLiteral("count");
    for (int axis = 0; axis < Axes; ++axis) {
        if (carriesFeet(units))
            header << feetField(axis);
        if (carriesStored(units))
            header << storedField(axis);
    }
    header << QStringLiteral("byte0") << QStringLiteral("byte3");
    return header;
}

bool writtenWhole(QStringView written)
{
    const QStringView text = written.trimmed();
    auto digitAt = [&text](qsizetype at) { return at < text.size() && isDigit(text[at]); };
    qsizetype at = 0;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    QString digits;            // all of them, without the decimal mark
    qsizetype beforeMark = -1; // how many stand before it
    for (; at < text.size(); ++at) {
        if (digitAt(at))
            digits += text[at];
        else if ((text[at] == u'.' || text[at] == u',') && beforeMark < 0)
            beforeMark = digits.size();
        else
            break;
    }
    if (digits.isEmpty())
        return false;
    if (beforeMark < 0)
        beforeMark = digits.size();
    qint64 exponent = 0;
    if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        const bool negative = at < text.size() && text[at] == u'-';
        if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
            ++at;
        if (!digitAt(at))
            return false;
        // Held to a range far wider than any text, so the sum below cannot overflow.
        constexpr qint64 Limit = qint64(1) << 40;
        for (; digitAt(at); ++at)
            exponent = std::min(exponent * 10 + (text[at].unicode() - u'0'), Limit);
        exponent = negative ? -exponent : exponent;
    }
    if (at != text.size())
        return false;
    // Every digit from the first after the units on must be 0.
    const qint64 firstFractionDigit = std::max<qint64>(0, beforeMark + exponent);
    for (qint64 k = firstFractionDigit; k < digits.size(); ++k)
        if (digits[k] != u'0')
            return false;
    return true;
}

GivenNumber givenNumber(double value, QStringView written)
{
    return GivenNumber{value, shownAsWritten(written.toString()), writtenWhole(written)};
}

std::optional<int> wholeIn(const GivenNumber &given, int low, int high)
{
    if (!given.whole || !(given.value >= low && given.value <= high))
        return std::nullopt;
    return static_cast<int>(given.value);
}

std::optional<int> wholeField(const GivenNumber &given, int low, int high, const QString &what,
                              QString &error)
{
    const auto number = wholeIn(given, low, high);
    if (!number) {
        // 4.9999999999999999 is the double 5, so the value alone would not say why.
        const bool inRange = given.value >= low && given.value <= high;
        error = QStringLiteral("%1 is not %2%3.")
                    .arg(given.shown, what,
                         inRange ? QStringLiteral(": it has a fraction") : QString());
    }
    return number;
}

std::optional<int> formationNumber(const GivenNumber &given, QString &error)
{
    return wholeField(given, 0, FormationTable::FormationCount - 1,
                      QStringLiteral("a formation number from 0 to 30"), error);
}

std::optional<int> lineNumber(const GivenNumber &given, QString &error)
{
    return wholeField(given, 1, FormationTable::LinesPerFormation,
                      QStringLiteral("a line number from 1 to 3"), error);
}

FirstRow firstRowOf(const QStringList &cells)
{
    if (cells.value(0) == QLatin1String("format"))
        return FirstRow::FormatRow;
    return cells.contains(QLatin1String("formation")) ? FirstRow::Header : FirstRow::Other;
}

TableText refused(const QString &error, bool isTableText)
{
    TableText result;
    result.error = error;
    result.isTableText = isTableText;
    return result;
}

QString notTableText(const QString &found)
{
    return QStringLiteral("The text is not a formation table text in JSON or CSV form: %1.")
        .arg(found);
}

namespace
{

// The first line of a text that holds more than blanks and separators, as
// the CSV reader passes over such rows; else its first line.
QStringView firstFilledLine(QStringView text)
{
    QStringView first;
    for (QStringView rest = text; !rest.isEmpty();) {
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != u'\n' && rest[end] != u'\r')
            ++end;
        const QStringView line = rest.first(end).trimmed();
        rest = rest.sliced(std::min(end + 1, rest.size()));
        if (first.isEmpty())
            first = line;
        if (std::any_of(line.begin(), line.end(),
                        [](QChar c) { return !c.isSpace() && c != u',' && c != u';'; }))
            return line;
    }
    return first;
}

} // namespace

QString beginsAsNeitherForm(QStringView text)
{
    return notTableText(QStringLiteral("it begins with %1, which is neither a JSON object in { } "
                                       "nor the CSV header, the row that names the columns %2")
                            .arg(shown(firstFilledLine(text)), csvHeader().join(u',')));
}

QByteArrayView withoutLeadingBlanks(QByteArrayView text)
{
    qsizetype at = 0;
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    return text.sliced(at);
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

QString shownAsWritten(const QString &written)
{
    const QString trimmed = written.trimmed();
    return trimmed.size() <= 40 && !trimmed.isEmpty() && printable(trimmed) ? trimmed
                                                                            : shown(written);
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
    QString error;
    if (fields.typeIndex) {
        const auto index = wholeField(*fields.typeIndex, 0, 15,
                                      QStringLiteral("a type index from 0 to 15"), error);
        if (!index)
            return fail(QStringLiteral("typeIndex"), error);
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
    const auto count = wholeField(*fields.count, 0, 255,
                                  QStringLiteral("a number of aircraft from 0 to 255"), error);
    if (!count)
        return fail(QStringLiteral("count"), error);
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
            const auto value = wholeField(
                *stored, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
                QStringLiteral("a whole number from -2,147,483,648 to 2,147,483,647"), error);
            if (!value)
                return fail(storedField(axis), error);
            if (fromFeet && *fromFeet != qint32(*value))
                return fail(feetField(axis),
                            QStringLiteral("%1 feet is stored as %2, but %3 is %4, which is %5 "
                                           "feet; change %6 or %3 so that they agree, or delete "
                                           "one of them.")
                                .arg(feet->shown, QString::number(*fromFeet), storedField(axis),
                                     stored->shown, formatFeet(qint32(*value)), feetField(axis)));
            fromFeet = qint32(*value);
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
        const auto value =
            wholeField(*byte.given, 0, 255, QStringLiteral("a byte value from 0 to 255"), error);
        if (!value)
            return fail(QLatin1String(byte.field), error);
        byte.target = static_cast<quint8>(*value);
        byte.has = true;
    }
    check.ok = true;
    return check;
}

} // namespace tabletext
