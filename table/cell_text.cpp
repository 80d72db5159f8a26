#include "cell_text.h"

QString byteToCellText(quint8 value)
{
    // "0" in front of the upper-case hex digits, then the last two characters.
    const QString digits = QStringLiteral("0") + QString::number(value, 16).toUpper();
    return digits.right(2);
}

static int hexDigitValue(QChar ch)
{
    if (ch >= u'0' && ch <= u'9')
        return ch.unicode() - u'0';
    if (ch >= u'A' && ch <= u'F')
        return ch.unicode() - u'A' + 10;
    if (ch >= u'a' && ch <= u'f')
        return ch.unicode() - u'a' + 10;
    return -1;
}

std::optional<quint8> cellTextToByte(const QString &text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const QChar ch : text) {
        const int digit = hexDigitValue(ch);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<quint8>(value);
}
