#include "prompter.h"

#include <QMessageBox>
#include <QPushButton>

static QString boxTitle(QWidget *parent)
{
    return parent ? parent->windowTitle() : QString();
}

void MessageBoxPrompter::tell(QWidget *parent, const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::Warning, boxTitle(parent), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// A question whose first button does what it asks about; Escape cancels.
static Prompter::Choice ask(QWidget *parent, const QString &text, const QString &accept,
                            bool withDiscard)
{
    QMessageBox box(QMessageBox::Question, boxTitle(parent), text, QMessageBox::NoButton, parent);
    QPushButton *go = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton *discard = withDiscard ? box.addButton(QMessageBox::Discard) : nullptr;
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(go);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == go)
        return Prompter::Choice::Go;
    if (discard && box.clickedButton() == discard)
        return Prompter::Choice::Discard;
    return Prompter::Choice::Cancel;
}

bool MessageBoxPrompter::confirm(QWidget *parent, const QString &text, const QString &accept)
{
    return ask(parent, text, accept, false) == Choice::Go;
}

Prompter::Choice MessageBoxPrompter::askToSave(QWidget *parent, const QString &text)
{
    return ask(parent, text, QStringLiteral("Save"), true);
}

Prompter::Choice MessageBoxPrompter::askToWrite(QWidget *parent, const QString &text)
{
    return ask(parent, text, QStringLiteral("Write"), true);
}
