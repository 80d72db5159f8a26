#include "number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

// A well-formed number text too large or too small for a double: an
// infinity when its magnitude is huge, a zero when it is tiny.
static double outOfRange(const std::string &number)
{
    const bool negative = number.front() == '-';
    const auto e = number.find('e');
    const std::string mantissa = number.substr(0, e);
    long exponent = 0;
    if (e != std::string::npos) {
        const char *first = number.data() + e + 1;
        if (*first == '+')
            ++first;
        // A huge exponent saturates; only its sign and size matter here.
        if (std::from_chars(first, number.data() + number.size(), exponent).ec != std::errc())
            exponent = number[e + 1] == '-' ? std::numeric_limits<long>::min() / 2
                                            : std::numeric_limits<long>::max() / 2;
    }
    // Decimal magnitude of the mantissa: the power of ten of its first
    // non-zero digit (there is one, or the number would not be out of range).
    const std::string digits = mantissa.substr(mantissa.find_first_not_of("+-"));
    const auto firstNonZero = long(digits.find_first_of("123456789"));
    const auto pointAt = digits.find('.');
    const long point = pointAt == std::string::npos ? long(digits.size()) : long(pointAt);
    const long magnitude = firstNonZero < point ? point - firstNonZero - 1 : point - firstNonZero;
    const bool huge = magnitude + exponent > 0;
    const double size = huge ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -size : size;
}

double leadingNumber(QStringView text)
{
    std::string number;
    bool sawDigit = false;
    bool sawPoint = false;
    bool inExponent = false;
    bool exponentHasDigit = false;
    for (const QChar ch : text) {
        if (ch == u' ' || ch == u'\t' || ch == u'\n' || ch == u'\r')
            continue;
        const char c = ch.toLatin1();
        const bool first = number.empty();
        if ((c == '+' || c == '-') && first) {
            number += c;
        } else if (c >= '0' && c <= '9') {
            number += c;
            (inExponent ? exponentHasDigit : sawDigit) = true;
        } else if (c == '.' && !sawPoint && !inExponent) {
            number += c;
            sawPoint = true;
        } else if ((c == 'e' || c == 'E') && sawDigit && !inExponent) {
            number += 'e';
            inExponent = true;
        } else if ((c == '+' || c == '-') && inExponent && number.back() == 'e') {
            number += c;
        } else {
            break;
        }
    }
    if (!sawDigit)
        return 0.0;
    // Drop an exponent that never got its digits ("1e", "1e+").
    if (inExponent && !exponentHasDigit)
        number.erase(number.find('e'));
    const char *begin = number.data();
    if (*begin == '+')
        ++begin;
    double value = 0.0;
    const auto result = std::from_chars(begin, number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return outOfRange(number);
    return value;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction < 0.5)
        return floor;
    if (fraction > 0.5)
        return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::optional<qint32> toInt32(double wholeValue)
{
    if (!std::isfinite(wholeValue) || wholeValue != std::floor(wholeValue))
        return std::nullopt;
    if (wholeValue < double(std::numeric_limits<qint32>::min()) ||
        wholeValue > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(wholeValue);
}
