#include "prompter.h"

#include <QMessageBox>
#include <QPushButton>

// The window's caption, without the place of its unsaved-changes mark.
static QString boxTitle(QWidget *parent)
{
    return parent ? parent->windowTitle().remove(QStringLiteral("[*]")) : QString();
}

// Every message shows its text as it is: a file or formation name that
// looks like markup ("<u>frm<s>ation.dat") is a name, not formatting.
static void asPlainText(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
}

static void show(QMessageBox::Icon icon, QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(icon, boxTitle(parent), text, QMessageBox::Ok, parent);
    asPlainText(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MessageBoxPrompter::tell(QWidget *parent, const QString &text)
{
    show(QMessageBox::Warning, parent, text);
}

void MessageBoxPrompter::inform(QWidget *parent, const QString &text)
{
    show(QMessageBox::Information, parent, text);
}

// A question with a button per choice, then Discard where offered, then
// Cancel, which Escape takes; Enter takes choice `preferred` (-1: Cancel).
// The index of the choice taken; `discardIndex` for Discard, -1 for Cancel.
static int ask(QWidget *parent, const QString &text, const QStringList &choices, int preferred,
               bool withDiscard)
{
    QMessageBox box(QMessageBox::Question, boxTitle(parent), text, QMessageBox::NoButton, parent);
    asPlainText(box);
    QList<QPushButton *> buttons;
    for (const QString &choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    QPushButton *discard = withDiscard ? box.addButton(QMessageBox::Discard) : nullptr;
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(preferred >= 0 ? buttons[preferred] : cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (discard && box.clickedButton() == discard)
        return int(choices.size());
    return int(buttons.indexOf(static_cast<QPushButton *>(box.clickedButton())));
}

static Prompter::Choice threeWay(QWidget *parent, const QString &text, const QString &accept)
{
    switch (ask(parent, text, {accept}, 0, true)) {
    case 0:
        return Prompter::Choice::Go;
    case 1:
        return Prompter::Choice::Discard;
    default:
        return Prompter::Choice::Cancel;
    }
}

void MessageBoxPrompter::informBeforeClosing(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, boxTitle(parent), text, QMessageBox::Ok, parent);
    asPlainText(box);
    box.exec();
}

bool MessageBoxPrompter::confirm(QWidget *parent, const QString &text, const QString &accept)
{
    return ask(parent, text, {accept}, -1, false) == 0;
}

int MessageBoxPrompter::choose(QWidget *parent, const QString &text, const QStringList &choices,
                               int preferred)
{
    Q_ASSERT(preferred < choices.size());
    return ask(parent, text, choices, preferred, false);
}

Prompter::Choice MessageBoxPrompter::askToSave(QWidget *parent, const QString &text)
{
    return threeWay(parent, text, QStringLiteral("Save"));
}

Prompter::Choice MessageBoxPrompter::askToWrite(QWidget *parent, const QString &text)
{
    return threeWay(parent, text, QStringLiteral("Write"));
}
