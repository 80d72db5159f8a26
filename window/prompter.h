#pragma once

#include <QString>

class QWidget;

// Everything the window asks or tells the user goes through here, so tests
// can answer without a modal box.
class Prompter
{
public:
    // The answer to a three-way question: do what it asks about (save,
    // write), drop the changes, or stay.
    enum class Choice { Go, Discard, Cancel };

    virtual ~Prompter() = default;
    // A message that needs no answer; it does not block the caller.
    virtual void tell(QWidget *parent, const QString &text) = 0;
    // A question with a button `accept` (such as "Save") and Cancel; true for accept.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &accept) = 0;
    // Unsaved changes of the table: Save, Discard or Cancel.
    virtual Choice askToSave(QWidget *parent, const QString &text) = 0;
    // Panel edits not written into the table: Write, Discard or Cancel.
    virtual Choice askToWrite(QWidget *parent, const QString &text) = 0;
};

class MessageBoxPrompter : public Prompter
{
public:
    void tell(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &accept) override;
    Choice askToSave(QWidget *parent, const QString &text) override;
    Choice askToWrite(QWidget *parent, const QString &text) override;
};
