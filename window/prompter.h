#pragma once

#include <QString>

class QWidget;

// Everything the window asks or tells the user goes through here, so tests
// can answer without a modal box.
class Prompter
{
public:
    enum class SaveChoice { Save, Discard, Cancel };

    virtual ~Prompter() = default;
    // A message that needs no answer; it does not block the caller.
    virtual void tell(QWidget *parent, const QString &text) = 0;
    // A yes/no question; true for yes.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
    // Unsaved changes: save them, drop them, or stay.
    virtual SaveChoice askToSave(QWidget *parent, const QString &text) = 0;
};

class MessageBoxPrompter : public Prompter
{
public:
    void tell(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text) override;
    SaveChoice askToSave(QWidget *parent, const QString &text) override;
};
