// Writing a line back: every stored offset survives its text in feet, and
// the edited line is encoded as a reference computes it from the boxes.
//
// Input: 4 bytes of a stored offset, 1 byte of type index (low 4 bits) and
// modifier boxes (high 4 bits), 16 bytes of the stored line,
// then the Number, X, Y and Z boxes as UTF-8 separated by newlines.
#include "formation_line.h"
#include "fuzz_check.h"
#include "line_editing.h"
#include "number_text.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace
{

void checkFeetText(qint32 stored)
{
    const QString text = formatFeet(stored);
    static const QRegularExpression shape(QRegularExpression::anchoredPattern(
        QStringLiteral("-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?(E[+-][0-9]{2})?")));
    FUZZ_CHECK(shape.match(text).hasMatch(), "formatFeet(%d) = \"%s\"", stored, qPrintable(text));
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("E.*|[-.]")));
    digits.remove(QRegularExpression(QStringLiteral("^0+")));
    FUZZ_CHECK(digits.size() <= 15, "formatFeet(%d) = \"%s\" has more than 15 digits", stored,
               qPrintable(text));
    const auto feet = parseNumberBox(text);
    FUZZ_CHECK(feet.has_value(), "formatFeet(%d) = \"%s\" is not a number", stored,
               qPrintable(text));
    const auto back = feetToStored(*feet);
    FUZZ_CHECK(back && *back == stored, "%d -> \"%s\" -> %d", stored, qPrintable(text),
               back ? *back : -1);
}

// The reference reading of a box, as in the number texts' target.
std::optional<double> box(const QString &text)
{
    static const QRegularExpression number(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?")));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    return referenceDecimal(trimmed.toLatin1());
}

std::optional<qint32> referenceOffset(const QString &text)
{
    const auto feet = box(text);
    if (!feet)
        return std::nullopt;
    const double stored = std::nearbyint(*feet * 21.0);
    if (!(stored >= double(std::numeric_limits<qint32>::min()) &&
          stored <= double(std::numeric_limits<qint32>::max())))
        return std::nullopt;
    return qint32(stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 21)
        return 0;
    qint32 stored;
    std::memcpy(&stored, data, 4);
    checkFeetText(stored);

    EditedLine edited;
    edited.typeIndex = data[4] & 0x0F;
    for (int k = 0; k < 4; ++k)
        edited.modifiers[k] = (data[4] >> (4 + k)) & 1;
    const FormationLine before =
        FormationLine::fromBytes(QByteArray(reinterpret_cast<const char *>(data + 5), 16));
    const QStringList boxes =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 21), qsizetype(size - 21))
            .split(u'\n');
    edited.count = boxes.value(0);
    edited.xOffset = boxes.value(1);
    edited.yOffset = boxes.value(2);
    edited.zOffset = boxes.value(3);
    const LineEncoding result = encodeEditedLine(edited, before, 2);

    // The reference: the first box that fails names the refusal.
    const char *refusedField = nullptr;
    FormationLine expected = before;
    const int typeIndex = data[4] & 0x0F;
    expected.typeCode = quint8(typeIndex + 16 * edited.modifiers[0] + 32 * edited.modifiers[1] +
                               64 * edited.modifiers[2] + 128 * edited.modifiers[3]);
    const auto count = box(edited.count);
    const double wholeCount = count ? std::nearbyint(*count) : -1;
    if (!(wholeCount >= 0 && wholeCount <= 255)) {
        refusedField = "Number";
    } else {
        expected.count = quint8(wholeCount);
        const struct {
            const QString &text;
            const char *field;
            qint32 &target;
        } offsets[] = {{edited.xOffset, "X Offset", expected.xOffset},
                       {edited.yOffset, "Y Offset", expected.yOffset},
                       {edited.zOffset, "Z Offset", expected.zOffset}};
        for (const auto &offset : offsets) {
            const auto value = referenceOffset(offset.text);
            if (!value) {
                refusedField = offset.field;
                break;
            }
            offset.target = *value;
        }
    }

    FUZZ_CHECK(result.ok == !refusedField, "encodeEditedLine: ok %d, reference refuses %s: %s",
               int(result.ok), refusedField ? refusedField : "nothing", qPrintable(result.error));
    if (refusedField)
        FUZZ_CHECK(
            result.error.startsWith(QStringLiteral("Line 2, %1:").arg(QLatin1String(refusedField))),
            "refusal \"%s\", reference field %s", qPrintable(result.error), refusedField);
    else
        FUZZ_CHECK(result.line.toBytes() == expected.toBytes(), "encoded %s, reference %s",
                   result.line.toBytes().toHex().constData(),
                   expected.toBytes().toHex().constData());
    return 0;
}
