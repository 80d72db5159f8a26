#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace
{

// The exponent of a number text as a whole number, held to a range so wide
// that no double is affected and no sum below can overflow.
qint64 exponentOf(std::string_view digits)
{
    constexpr qint64 Limit = qint64(1) << 40;
    bool negative = false;
    size_t i = 0;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-'))
        negative = digits[i++] == '-';
    qint64 value = 0;
    for (; i < digits.size() && value < Limit; ++i)
        value = value * 10 + (digits[i] - '0');
    return negative ? -std::min(value, Limit) : std::min(value, Limit);
}

// A checked number text, "[+-]digits[.digits][e[+-]digits]" with at least
// one digit before the exponent, as the nearest double. Values beyond the
// double range become an infinity, values too small for it a zero, each
// with the text's sign.
double decimalValue(std::string_view number)
{
    const char *begin = number.data();
    const char *end = begin + number.size();
    const bool negative = !number.empty() && number.front() == '-';
    if (begin != end && *begin == '+')
        ++begin; // from_chars takes no plus sign
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    Q_ASSERT(result.ptr == end);
    if (result.ec != std::errc::result_out_of_range)
        return value;

    // Out of range: its size is the power of ten of the first non-zero digit.
    const size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    const qint64 exponent = e == std::string_view::npos ? 0 : exponentOf(number.substr(e + 1));
    const size_t pointAt = mantissa.find('.');
    const auto point = qint64(pointAt == std::string_view::npos ? mantissa.size() : pointAt);
    const auto firstNonZero = qint64(mantissa.find_first_of("123456789"));
    const qint64 power = firstNonZero < point ? point - firstNonZero - 1 : point - firstNonZero;
    const double size = power + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -size : size;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(QStringView text)
{
    std::string number;
    bool sawDigit = false;
    bool sawPoint = false;
    for (const QChar ch : text) {
        if (ch == u' ' || ch == u'\t' || ch == u'\n' || ch == u'\r')
            continue;
        if ((ch == u'+' || ch == u'-') && number.empty()) {
            number += char(ch.unicode());
        } else if (isDigit(ch)) {
            number += char(ch.unicode());
            sawDigit = true;
        } else if (ch == u'.' && !sawPoint) {
            number += '.';
            sawPoint = true;
        } else {
            break;
        }
    }
    return sawDigit ? decimalValue(number) : 0.0;
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
        while (end < n && isDigit(trimmed[end]))
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
    return decimalValue(trimmed.toLatin1().toStdString());
}
