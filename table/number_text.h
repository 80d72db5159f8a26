#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Number texts of the editor. Every conversion here uses a point as the
// decimal separator, whatever the system's locale, so texts and files read
// the same on every machine.

// The leading decimal number of a text, as typed into the start-location box:
// blanks anywhere are skipped, then an optional sign, digits with at most one
// decimal point, and an optional exponent (E and a whole number); reading
// stops at the first character that cannot continue the number. A text
// without a leading number gives 0. "12abc" -> 12, "abc" -> 0, " - 1 6" -> -16.
double leadingNumber(QStringView text);

// Nearest whole number, an exact half going to the even neighbour:
// 2.5 -> 2, 3.5 -> 4, -10.5 -> -10. Not finite stays not finite.
double roundHalfEven(double value);

// The value as a signed 32-bit integer, or nothing when it is not a whole
// number in range.
std::optional<qint32> toInt32(double wholeValue);
