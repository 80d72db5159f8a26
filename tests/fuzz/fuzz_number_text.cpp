// The number texts: the start location's leading number, the editor boxes'
// numbers and the start location, each against a reference reading of the
// same rules built from regular expressions and the C library.
#include "fuzz_check.h"
#include "number_text.h"
#include "table_loader.h"

#include <QRegularExpression>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace
{

// Blanks are skipped anywhere, so they may as well be gone; then the
// longest run of sign, digits and one point.
double referenceLeading(QString text)
{
    static const QRegularExpression blanks(QStringLiteral("[ \t\r\n]"));
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]*(\\.[0-9]*)?"));
    text.remove(blanks);
    const QString found = number.match(text).captured(0);
    if (!found.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        return 0.0;
    return referenceDecimal(found.toLatin1());
}

bool referenceBox(const QString &text, double *value)
{
    static const QRegularExpression number(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?")));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return false;
    *value = referenceDecimal(trimmed.toLatin1());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const double leading = leadingNumber(text);
    const double expectedLeading = referenceLeading(text);
    FUZZ_CHECK(sameValue(leading, expectedLeading),
               "leadingNumber(\"%s\") = %.17g, reference %.17g", qPrintable(text), leading,
               expectedLeading);

    double expectedBox = 0.0;
    const bool isNumber = referenceBox(text, &expectedBox);
    const auto box = parseNumberBox(text);
    FUZZ_CHECK(box.has_value() == isNumber, "parseNumberBox(\"%s\") accepted %d, reference %d",
               qPrintable(text), int(box.has_value()), int(isNumber));
    if (box)
        FUZZ_CHECK(sameValue(*box, expectedBox), "parseNumberBox(\"%s\") = %.17g, reference %.17g",
                   qPrintable(text), *box, expectedBox);

    // The start location: nearest whole number, halves to even (the C
    // library's default rounding), from 0 to 2^31 - 1.
    const double whole = std::nearbyint(expectedLeading);
    const bool fits = whole >= 0 && whole <= double(std::numeric_limits<qint32>::max());
    const StartLocation start = startLocationFromText(text);
    FUZZ_CHECK(start.ok == fits, "start location \"%s\": ok %d, reference %d", qPrintable(text),
               int(start.ok), int(fits));
    if (fits)
        FUZZ_CHECK(start.value == qint32(whole), "start location \"%s\" = %d, reference %.17g",
                   qPrintable(text), start.value, whole);
    else
        FUZZ_CHECK(start.error.contains(whole < 0 ? QStringLiteral("is negative")
                                                  : QStringLiteral("is too large")),
                   "start location \"%s\": %s", qPrintable(text), qPrintable(start.error));
    return 0;
}
