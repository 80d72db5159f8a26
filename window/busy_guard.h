#pragma once

#include "prompter.h"

// How many things keep the window busy at once: a load, a save, an open
// question. A modal box blocks the mouse and the keys but not a screen
// reader, so the window's handlers look here before they change anything.
class BusyCount
{
public:
    bool isRaised() const { return m_depth > 0; }

private:
    friend class BusyGuard;
    int m_depth = 0;
};

// Raises a BusyCount for as long as it lives; guards nest.
class [[nodiscard]] BusyGuard
{
public:
    explicit BusyGuard(BusyCount &count) : m_count(count) { ++m_count.m_depth; }
    ~BusyGuard() { --m_count.m_depth; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    BusyCount &m_count;
};

// Another prompter's questions and messages, each asked with a BusyCount
// raised, so that no question of the window can be asked without it.
class GuardedPrompter : public Prompter
{
public:
    GuardedPrompter(Prompter &inner, BusyCount &busy) : m_inner(inner), m_busy(busy) {}

    void tell(QWidget *parent, const QString &text) override;
    void inform(QWidget *parent, const QString &text) override;
    void informBeforeClosing(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &accept) override;
    int choose(QWidget *parent, const QString &text, const QStringList &choices,
               int preferred) override;
    Choice askToSave(QWidget *parent, const QString &text) override;
    Choice askToWrite(QWidget *parent, const QString &text) override;

private:
    Prompter &m_inner;
    BusyCount &m_busy;
};
