#pragma once

// How messages write paths, names and numbers.

#include <QDir>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <optional>

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

// A path as a command to type takes it: in single quotes where a POSIX
// shell would split it or read a character of it otherwise (in double
// quotes on Windows), and after "./" where it begins with "-". Nothing
// where it holds a control character, which no one can type.
inline std::optional<QString> commandArgument(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    if (escapeControls(native) != native)
        return std::nullopt;
    if (native.startsWith(u'-'))
        native = QStringLiteral(".") + QDir::separator() + native;
    const bool plain = !native.isEmpty() && std::all_of(native.begin(), native.end(), [](QChar c) {
        return (c.unicode() < 128 && c.isLetterOrNumber()) ||
               QStringView(u"._-+/\\:,@%=").contains(c);
    });
    if (plain)
        return native;
#ifdef Q_OS_WIN
    return u'"' + native + u'"'; // cmd and PowerShell alike; a name holds no double quote
#else
    native.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + native + u'\'';
#endif
}

// 1350000 -> "1,350,000": the messages are English whatever the locale.
inline QString grouped(qint64 number)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(number);
}
