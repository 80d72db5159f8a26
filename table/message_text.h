#pragma once

// How messages write paths, names and numbers.

#include <QDir>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <algorithm>

// `text` as a message may show it on a terminal or in a dialog: every
// control character, and every character that turns the direction of the
// text around it, written out as \x1b (or \u202e above 0xFF), so that a
// name or a path can neither retitle a terminal nor reorder the message.
// Everything else, a backslash too, stays as it is.
inline QString escapeControls(QStringView text)
{
    const auto isControl = [](char16_t c) {
        return QChar::category(c) == QChar::Other_Control || c == 0x2028 || c == 0x2029 ||
               (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x061C ||
               c == 0x200E || c == 0x200F;
    };
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c.unicode()))
            shown += c;
        else if (c.unicode() <= 0xFF)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return shown;
}

// A path as the user's system writes it, for a message.
inline QString shownPath(const QString &path)
{
    return escapeControls(QDir::toNativeSeparators(path));
}

// A path as a message gives it for a command to type: in double quotes
// where a shell would split it or read a character of it otherwise.
inline QString commandArgument(const QString &path)
{
    const QString shown = shownPath(path);
    const bool plain = !shown.isEmpty() && std::all_of(shown.begin(), shown.end(), [](QChar c) {
        return c.isLetterOrNumber() || QStringView(u"._-+/\\:,@%=").contains(c);
    });
    return plain ? shown : u'"' + shown + u'"';
}

// 1350000 -> "1,350,000": the messages are English whatever the locale.
inline QString grouped(qint64 number)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(number);
}
