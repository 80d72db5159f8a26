#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Number texts of the editor. Every conversion here uses a point as the
// decimal separator, whatever the system's locale, so texts and files read
// the same on every machine.

// The leading decimal number of a text, as typed into the start-location box:
// blanks anywhere are skipped, then an optional sign and digits with at most
// one decimal point; reading stops at the first character that cannot
// continue the number, so an exponent is not read ("1e3" -> 1). A text
// without a leading number gives 0. "12abc" -> 12, "abc" -> 0, " - 1 6" -> -16.
// Beyond the range of a double the value is an infinity.
double leadingNumber(QStringView text);

// Nearest whole number, an exact half going to the even neighbour:
// 2.5 -> 2, 3.5 -> 4, -10.5 -> -10. Not finite stays not finite.
double roundHalfEven(double value);

// The value as a signed 32-bit integer, or nothing when it is not a whole
// number in range.
std::optional<qint32> toInt32(double wholeValue);

// A stored offset (1/21 foot) as feet, in the editor's fixed format:
// at most 15 significant digits, no trailing zeros, no separator for whole
// numbers, a minus sign and no plus, and the exponent form ("E-02") where
// the plain form would need more than 15 digits after the point.
// 2100 -> "100", 2000 -> "95.2380952380952", 1 -> "4.76190476190476E-02".
QString formatFeet(qint32 stored);

// A number typed into an editor box: blanks around it, an optional sign,
// digits with at most one decimal point, and an optional exponent ("1E3").
// Anything else (an empty box, "1,5", "12abc", "inf") is not a number.
// Beyond the range of a double the value is an infinity, below it a zero.
std::optional<double> parseNumberBox(QStringView text);
