#pragma once

// How the messages of the table code write paths and numbers.

#include <QDir>
#include <QLocale>
#include <QString>

// A path as the user's system writes it.
inline QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// 1350000 -> "1,350,000": the messages are English whatever the locale.
inline QString grouped(qint64 number)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(number);
}
