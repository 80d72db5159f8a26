#include "busy_guard.h"

void GuardedPrompter::tell(QWidget *parent, const QString &text)
{
    const BusyGuard busy(m_busy);
    m_inner.tell(parent, text);
}

void GuardedPrompter::inform(QWidget *parent, const QString &text)
{
    const BusyGuard busy(m_busy);
    m_inner.inform(parent, text);
}

void GuardedPrompter::informBeforeClosing(QWidget *parent, const QString &text)
{
    const BusyGuard busy(m_busy);
    m_inner.informBeforeClosing(parent, text);
}

bool GuardedPrompter::confirm(QWidget *parent, const QString &text, const QString &accept)
{
    const BusyGuard busy(m_busy);
    return m_inner.confirm(parent, text, accept);
}

int GuardedPrompter::choose(QWidget *parent, const QString &text, const QStringList &choices,
                            int preferred)
{
    const BusyGuard busy(m_busy);
    return m_inner.choose(parent, text, choices, preferred);
}

Prompter::Choice GuardedPrompter::askToSave(QWidget *parent, const QString &text)
{
    const BusyGuard busy(m_busy);
    return m_inner.askToSave(parent, text);
}

Prompter::Choice GuardedPrompter::askToWrite(QWidget *parent, const QString &text)
{
    const BusyGuard busy(m_busy);
    return m_inner.askToWrite(parent, text);
}
