#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Everything the window asks or tells the user goes through here, so tests
// can answer without a modal box. Escape is Cancel in every question, and
// Enter never takes an answer that destroys something.
class Prompter
{
public:
    // The answer to a three-way question: do what it asks about (save,
    // write), drop the changes, or stay.
    enum class Choice { Go, Discard, Cancel };

    virtual ~Prompter() = default;
    // A message about something that went wrong; it needs no answer and
    // does not block the caller.
    virtual void tell(QWidget *parent, const QString &text) = 0;
    // The same for news that is no fault, such as where a backup is kept.
    virtual void inform(QWidget *parent, const QString &text) = 0;
    // News while the window closes: it waits to be read, or the program
    // would end with it unseen.
    virtual void informBeforeClosing(QWidget *parent, const QString &text) { inform(parent, text); }
    // A question whose `accept` button (such as "Overwrite") writes over or
    // drops something, and Cancel, which Enter takes; true for accept.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &accept) = 0;
    // A question with a button for each of `choices` and Cancel: the index
    // of the choice taken, -1 for Cancel. Enter takes `preferred` (-1: Cancel).
    virtual int choose(QWidget *parent, const QString &text, const QStringList &choices,
                       int preferred) = 0;
    // Unsaved changes of the table: Save, Discard or Cancel.
    virtual Choice askToSave(QWidget *parent, const QString &text) = 0;
    // Panel edits not written into the table: Write, Discard or Cancel.
    virtual Choice askToWrite(QWidget *parent, const QString &text) = 0;
};

class MessageBoxPrompter : public Prompter
{
public:
    void tell(QWidget *parent, const QString &text) override;
    void inform(QWidget *parent, const QString &text) override;
    void informBeforeClosing(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &accept) override;
    int choose(QWidget *parent, const QString &text, const QStringList &choices,
               int preferred) override;
    Choice askToSave(QWidget *parent, const QString &text) override;
    Choice askToWrite(QWidget *parent, const QString &text) override;
};
