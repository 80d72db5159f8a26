// The table's history (undo and redo of every change), reverting a
// formation to the loaded file, and the context menu that offers them.
#include "biform.h"

#include "controls.h"
#include "formation_change.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenu>
#include <QRadioButton>
#include <QUndoStack>

void BiForm::setUpHistory()
{
    m_history = new QUndoStack(this);
    m_reference = m_table.toBytes();

    m_undoAction = new QAction(this);
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_redoAction = new QAction(this);
    // The platform's redo keys, and Ctrl+Y everywhere, as users of other
    // editors expect.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    m_redoAction->setShortcuts(redoKeys);
    for (QAction *action : {m_undoAction, m_redoAction}) {
        action->setShortcutVisibleInContextMenu(true);
        addAction(action);
    }
    connect(m_undoAction, &QAction::triggered, this, [this] { stepHistory(true); });
    connect(m_redoAction, &QAction::triggered, this, [this] { stepHistory(false); });
    connect(m_history, &QUndoStack::indexChanged, this, &BiForm::historyChanged);
    historyChanged();

    // Shift+F10 opens the context menu of the focused control, as the Menu key does.
    auto *menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this, [this] {
        QWidget *focused = focusWidget();
        if (!focused)
            return;
        const QPoint at = focused->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at));
        QCoreApplication::sendEvent(focused, &event);
    });
    addAction(menuKey);
}

void BiForm::historyChanged()
{
    auto label = [](const char *verb, const QString &what) {
        return what.isEmpty() ? QString::fromLatin1(verb)
                              : QStringLiteral("%1 %2").arg(QLatin1String(verb), what);
    };
    m_undoAction->setText(label("Undo", m_history->undoText()));
    m_undoAction->setEnabled(m_history->canUndo());
    m_redoAction->setText(label("Redo", m_history->redoText()));
    m_redoAction->setEnabled(m_history->canRedo());
    updateChangedMarks();
}

bool BiForm::hasUnsavedChanges() const
{
    return !m_history->isClean();
}

void BiForm::startHistory()
{
    m_history->clear();
    m_reference = m_table.toBytes();
    updateChangedMarks();
}

void BiForm::markSaved()
{
    m_history->setClean();
    m_reference = m_table.toBytes();
    updateChangedMarks();
}

void BiForm::stepHistory(bool undo)
{
    // The step shows its formation anew, so typed edits are settled first.
    if (!settlePanel())
        return;
    if (undo)
        m_history->undo();
    else
        m_history->redo();
}

bool BiForm::changeFormation(int formation, const QByteArray &after, const QString &what)
{
    const QByteArray before = m_table.formationBytes(formation);
    if (after == before)
        return false;
    m_history->push(new FormationChange(
        formation, before, after, what,
        [this](int changed, const QByteArray &bytes) { putFormation(changed, bytes); }));
    return true;
}

void BiForm::putFormation(int formation, const QByteArray &bytes)
{
    m_table.setFormationBytes(formation, bytes);
    // Chosen and shown as a click on its selector would, so the user sees
    // what came back.
    checkOnly(m_option2, formation);
    showFormation(formation);
}

bool BiForm::differsFromReference(int formation) const
{
    return m_table.formationBytes(formation) !=
           m_reference.mid(formation * FormationTable::FormationBytes,
                           FormationTable::FormationBytes);
}

void BiForm::updateChangedMarks()
{
    for (int n = 0; n < m_option2.size(); ++n) {
        const bool changed = differsFromReference(n);
        m_option2[n]->setToolTip(changed ? QStringLiteral("Changed since loaded") : QString());
        m_option2[n]->setAccessibleDescription(
            changed ? QStringLiteral("%1, changed since loaded").arg(m_formationNames[n])
                    : m_formationNames[n]);
    }
}

void BiForm::revertFormation(int formation)
{
    if (!settlePanel())
        return;
    changeFormation(
        formation,
        m_reference.mid(formation * FormationTable::FormationBytes, FormationTable::FormationBytes),
        QStringLiteral("revert of formation %1").arg(formation));
}

void BiForm::showHistoryMenu(int formation, const QPoint &globalPos)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("HistoryMenu"));
    menu.addAction(m_undoAction);
    menu.addAction(m_redoAction);
    menu.addSeparator();
    const bool chosen = formation >= 0;
    const QString number = chosen ? QStringLiteral(" %1").arg(formation) : QString();
    QAction *revert =
        menu.addAction(QStringLiteral("Revert formation%1 to the loaded file").arg(number));
    revert->setEnabled(chosen && differsFromReference(formation));
    QAction *picked = menu.exec(globalPos);
    if (picked == revert)
        revertFormation(formation);
}

bool BiForm::handleContextMenu(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return false;
    const QPoint at = static_cast<QContextMenuEvent *>(event)->globalPos();
    // A selector offers its own formation; the rest of the editing frame
    // the chosen one.
    if (const int i = int(m_option2.indexOf(qobject_cast<QRadioButton *>(watched))); i >= 0)
        showHistoryMenu(i, at);
    else if (watched == m_frame1)
        showHistoryMenu(selectedFormation(), at);
    else
        return false;
    event->accept();
    return true;
}
