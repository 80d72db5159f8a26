#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
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

QString formatFeet(qint32 stored)
{
    const double feet = double(stored) / 21.0;
    if (feet == 0.0)
        return QStringLiteral("0");
    // Round to 15 significant digits once; both forms are cut from this.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, feet, std::chars_format::scientific, 14);
    std::string scientific(buffer, result.ptr); // "-9.52380952380952e-02"
    const auto e = scientific.find('e');
    const int exponent = std::stoi(scientific.substr(e + 1));
    const bool negative = scientific.front() == '-';
    std::string digits = scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    digits.erase(1, 1); // the point after the first digit
    digits.erase(digits.find_last_not_of('0') + 1);

    // Digits after the point in the plain form.
    const int decimals = int(digits.size()) - 1 - exponent;
    std::string text;
    if (decimals > 15 || exponent >= 15) {
        text = digits.substr(0, 1);
        if (digits.size() > 1)
            text += '.' + digits.substr(1);
        std::string power = std::to_string(std::abs(exponent));
        if (power.size() < 2)
            power.insert(0, 1, '0');
        text += (exponent < 0 ? "E-" : "E+") + power;
    } else if (exponent < 0) {
        text = "0." + std::string(size_t(-exponent - 1), '0') + digits;
    } else if (int(digits.size()) <= exponent + 1) {
        text = digits + std::string(size_t(exponent + 1 - int(digits.size())), '0');
    } else {
        text = digits.substr(0, size_t(exponent + 1)) + '.' + digits.substr(size_t(exponent + 1));
    }
    return QString::fromLatin1((negative ? "-" : "") + text);
}

std::optional<double> parseNumberBox(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    auto digitsAt = [&](qsizetype at) {
        qsizetype end = at;
        while (end < n && trimmed[end] >= u'0' && trimmed[end] <= u'9')
            ++end;
        return end - at;
    };
    if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        ++i;
    const qsizetype whole = digitsAt(i);
    i += whole;
    qsizetype fraction = 0;
    if (i < n && trimmed[i] == u'.') {
        ++i;
        fraction = digitsAt(i);
        i += fraction;
    }
    if (whole + fraction == 0)
        return std::nullopt;
    if (i < n && (trimmed[i] == u'e' || trimmed[i] == u'E')) {
        ++i;
        if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-'))
            ++i;
        const qsizetype exponent = digitsAt(i);
        if (exponent == 0)
            return std::nullopt;
        i += exponent;
    }
    if (i != n)
        return std::nullopt;
    // The text is now plain ASCII in the form checked above.
    return leadingNumber(trimmed);
}
