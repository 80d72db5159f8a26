#pragma once

#include <QString>
#include <optional>

// A table byte is kept in its cell as two upper-case hexadecimal digits.

// 0 -> "00", 10 -> "0A", 171 -> "AB".
QString byteToCellText(quint8 value);

// Reads a cell text as a hexadecimal number ("0a" and "0A" both give 10).
// Gives nothing for a text that is not one to two hexadecimal digits.
std::optional<quint8> cellTextToByte(const QString &text);
