#include "prompter.h"

#include <QMessageBox>

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

bool MessageBoxPrompter::confirm(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, boxTitle(parent), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

Prompter::SaveChoice MessageBoxPrompter::askToSave(QWidget *parent, const QString &text)
{
    const auto answer = QMessageBox::question(
        parent, boxTitle(parent), text,
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return SaveChoice::Save;
    if (answer == QMessageBox::Discard)
        return SaveChoice::Discard;
    return SaveChoice::Cancel;
}
