#pragma once

#include <QString>
#include <QStringList>

// Choosing a formation by the first letters of its name, as a list's
// type-ahead does: letters typed soon after one another make one prefix;
// a pause starts a new one.
class TypeAhead
{
public:
    // The formation chosen when `text` is typed at `nowMs` (a steady clock's
    // milliseconds) while formation `current` (-1: none) is chosen; -1 when
    // no name begins so. A prefix of one letter, and a letter typed again
    // and again, go on to the next name with that letter, after `current`
    // and round to the start; a longer prefix keeps `current` while its
    // name still begins with it. Letters compare without case.
    int type(const QString &text, qint64 nowMs, int current, const QStringList &names);

    // Whether a prefix is being typed at `nowMs`: a blank then goes on with
    // it, where it would otherwise be a key of its own.
    bool typing(qint64 nowMs) const
    {
        return !m_typed.isEmpty() && nowMs - m_lastMs <= m_intervalMs;
    }

    // How long a pause ends a prefix.
    void setInterval(qint64 ms) { m_intervalMs = ms; }

private:
    QString m_typed;
    qint64 m_lastMs = 0;
    qint64 m_intervalMs = 400;
};
