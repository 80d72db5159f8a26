#include "type_ahead.h"

namespace
{

// The first formation from `from` on, round to the start, whose name
// begins with `prefix`; -1 when none does.
int firstFrom(int from, const QString &prefix, const QStringList &names)
{
    const int count = int(names.size());
    for (int step = 0; step < count; ++step) {
        const int at = (from + step) % count;
        if (names[at].startsWith(prefix, Qt::CaseInsensitive))
            return at;
    }
    return -1;
}

bool oneLetterRepeated(const QString &typed)
{
    return typed.count(typed.front()) == typed.size();
}

} // namespace

int TypeAhead::type(const QString &text, qint64 nowMs, int current, const QStringList &names)
{
    if (text.isEmpty() || names.isEmpty())
        return -1;
    if (m_typed.isEmpty() || nowMs - m_lastMs > m_intervalMs)
        m_typed.clear();
    m_typed += text;
    m_lastMs = nowMs;
    const int next = current < 0 ? 0 : (current + 1) % int(names.size());
    if (m_typed.size() > 1) {
        // "vi" after "v" stays on the Vic that "v" found.
        if (const int kept = firstFrom(current < 0 ? 0 : current, m_typed, names); kept >= 0)
            return kept;
        // "vvv": each v goes on to the next name with a v, as one v does.
        if (!oneLetterRepeated(m_typed))
            return -1;
    }
    return firstFrom(next, m_typed.left(1), names);
}
