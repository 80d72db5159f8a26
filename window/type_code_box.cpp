#include "type_code_box.h"

#include "number_text.h"

#include <cmath>

TypeCodeReading readTypeCodeBox(const QString &text, int lineNumber)
{
    const QString where = QStringLiteral("Line %1, Type").arg(lineNumber);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {std::nullopt, QStringLiteral("%1: the box is empty.").arg(where)};
    const std::optional<double> value = parseNumberBox(text);
    if (!value)
        return {std::nullopt, QStringLiteral("%1: \"%2\" is not a number.").arg(where, trimmed)};
    if (!(*value >= 0 && *value <= 255 && std::floor(*value) == *value))
        return {std::nullopt,
                QStringLiteral("%1: %2 is not a type code, a whole number from 0 to 255.")
                    .arg(where, trimmed)};
    return {int(*value), QString()};
}
