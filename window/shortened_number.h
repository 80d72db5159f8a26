#pragma once

#include <QString>
#include <functional>

// A number's text as drawn in a box too narrow for it, shortened so that it
// cannot be misread: the sign, the whole part and the exponent stay, and
// "..." stands where digits are left out. Where the whole part alone is too
// wide, its leading digits are shown with an exponent instead.
//   "-4.76190476190476E-02" -> "-4.7619...E-02"
//   "-102261126.095238"     -> "-102261126.0..."
//   "123456789012"          -> "1.2...E+11"
// A text that fits `room` is returned as it is, one that is no number is
// cut at its end ("Diamond" -> "Di..."). When no form fits, the narrowest.
// `width` measures a text in the units of `room`.
QString shortenedNumber(const QString &text, int room,
                        const std::function<int(const QString &)> &width);
