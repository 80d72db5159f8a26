// The table's history (undo and redo of every change), copy and paste of
// whole formations as text, reverting a formation to the loaded file, and
// the context menu that offers them.
#include "biform.h"

#include "context_menu.h"
#include "controls.h"
#include "selector_grid.h"
#include "table_text.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLocale>
#include <QUndoStack>

void BiForm::setUpHistory()
{
    m_undoAction = new QAction(this);
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_redoAction = new QAction(this);
    // The platform's redo keys, and Ctrl+Y everywhere, as users of other
    // editors expect.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    m_redoAction->setShortcuts(redoKeys);
    addActions({m_undoAction, m_redoAction});
    connect(m_undoAction, &QAction::triggered, this, &BiForm::undo);
    connect(m_redoAction, &QAction::triggered, this, &BiForm::redo);
    connect(&m_document, &FormDocument::historyChanged, this, &BiForm::historyChanged);
    connect(&m_document, &FormDocument::referenceChanged, this, &BiForm::updateChangedMarks);
    // Chosen and shown as a click on its selector would, so the user sees
    // what came back.
    connect(&m_document, &FormDocument::formationPut, this, &BiForm::chooseFormation);
    m_pictureAction = new QAction(QStringLiteral("Show formation picture"), this);
    m_pictureAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(m_pictureAction, &QAction::triggered, this, &BiForm::showPicture);
    addAction(m_pictureAction);
    historyChanged();

    addMenuKey(this);

    // The menu's copy and paste keys work wherever the focus is in the
    // editing frame; a text box takes them for its own text first.
    const struct {
        QKeySequence::StandardKey key;
        void (BiForm::*handler)(int);
    } frameKeys[] = {{QKeySequence::Copy, &BiForm::copyFormation},
                     {QKeySequence::Paste, &BiForm::pasteOverFormation}};
    for (const auto &frameKey : frameKeys) {
        auto *action = new QAction(m_frame1);
        action->setShortcuts(frameKey.key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, [this, handler = frameKey.handler] {
            if (const int formation = formationAtFocus(); formation >= 0)
                (this->*handler)(formation);
        });
        m_frame1->addAction(action);
    }
}

int BiForm::formationAtFocus() const
{
    // A selector stands for its own formation, the rest of the frame for the chosen one.
    const int focused = m_selectors->formationOf(focusWidget());
    return focused >= 0 ? focused : m_shownFormation;
}

void BiForm::historyChanged()
{
    auto label = [](const char *verb, const QString &what) {
        return what.isEmpty() ? QString::fromLatin1(verb)
                              : QStringLiteral("%1 %2").arg(QLatin1String(verb), what);
    };
    const QUndoStack &history = m_document.history();
    m_undoAction->setText(label("Undo", history.undoText()));
    m_undoAction->setEnabled(history.canUndo());
    m_redoAction->setText(label("Redo", history.redoText()));
    m_redoAction->setEnabled(history.canRedo());
    updateChangedMarks();
}

bool BiForm::dropPanelEditsFor(const QString &verb, const QString &step)
{
    // Writing the panel would itself be the newest step, which an undo would
    // take back at once and a redo would lose its way forward to; so the
    // only choices are to drop the typed edits or to stay.
    if (!panelDiffers())
        return true;
    QString named = step;
    if (!named.isEmpty())
        named[0] = named[0].toUpper();
    return prompter().confirm(
        this, QStringLiteral("%1 '%2' and drop what you typed in the panel?").arg(verb, named),
        verb);
}

void BiForm::undo()
{
    QUndoStack &history = m_document.history();
    if (!isBusy() && history.canUndo() &&
        dropPanelEditsFor(QStringLiteral("Undo"), history.undoText()))
        history.undo();
}

void BiForm::redo()
{
    QUndoStack &history = m_document.history();
    if (!isBusy() && history.canRedo() &&
        dropPanelEditsFor(QStringLiteral("Redo"), history.redoText()))
        history.redo();
}

void BiForm::updateChangedMarks()
{
    const QString since =
        m_document.referenceIsSave() ? QStringLiteral("saved") : QStringLiteral("loaded");
    for (int n = 0; n < m_selectors->buttons().size(); ++n)
        m_selectors->markChanged(n, m_document.differsFromReference(n), since, m_formationNames[n]);
    showUnsavedMark(!hasUnsavedChanges());
}

void BiForm::revertFormation(int formation)
{
    if (isBusy() || !settlePanel())
        return;
    m_document.changeFormation(formation, m_document.referenceFormation(formation),
                               QStringLiteral("revert of formation %1").arg(formation));
}

void BiForm::copyFormation(int formation)
{
    // The shown formation is copied as the table holds it, so typed values
    // are written or dropped first.
    if (isBusy() || (formation == m_shownFormation && !settlePanel()))
        return;
    QGuiApplication::clipboard()->setText(QString::fromUtf8(
        writeFormationText(m_document.table().toBytes(), formation, m_formationNames[formation])));
}

void BiForm::pasteOverFormation(int formation)
{
    if (isBusy())
        return;
    const QString text = QGuiApplication::clipboard()->text();
    QString problem;
    TableText read;
    // Sizes are checked before anything is converted or parsed, so a huge
    // clipboard is refused at once.
    if (text.size() > MaxTableTextBytes) {
        problem = QStringLiteral("The clipboard holds %1 characters, far more than a formation's "
                                 "text.")
                      .arg(QLocale(QLocale::English).toString(text.size()));
    } else if (text.trimmed().isEmpty()) {
        problem = QStringLiteral("The clipboard holds no text.");
    } else if (read = readTableText(text.toUtf8()); !read.ok) {
        problem = pasteRefusal(read);
    } else if (read.formations.size() != 1) {
        problem = QStringLiteral("The clipboard holds %1 formations; paste takes one, as \"Copy "
                                 "formation\" gives it.")
                      .arg(read.formations.size());
    }
    if (!problem.isEmpty()) {
        prompter().tell(
            this,
            QStringLiteral("%1 Nothing was pasted over formation %2.").arg(problem).arg(formation));
        return;
    }
    if (!settlePanel())
        return;
    const QByteArray pasted =
        applyTextFormation(m_document.table().toBytes(), formation, read.formations[0]);
    const QByteArray after =
        pasted.mid(formation * FormationTable::FormationBytes, FormationTable::FormationBytes);
    if (!m_document.changeFormation(formation, after,
                                    QStringLiteral("paste over formation %1").arg(formation)))
        chooseFormation(formation); // the same bytes: shown all the same
}

void BiForm::showHistoryMenu(int formation, const QPoint &globalPos)
{
    ContextMenu menu(this, QStringLiteral("HistoryMenu"));
    QAction *undo = menu.addItemFor(m_undoAction);
    QAction *redo = menu.addItemFor(m_redoAction);
    menu.addSeparator();
    const bool chosen = formation >= 0;
    const QString number = chosen ? QStringLiteral(" %1").arg(formation) : QString();
    QAction *copy = menu.addItem(QStringLiteral("Copy formation%1").arg(number),
                                 [this, formation] { copyFormation(formation); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(chosen);
    QAction *paste = menu.addItem(QStringLiteral("Paste over formation%1").arg(number),
                                  [this, formation] { pasteOverFormation(formation); });
    paste->setShortcut(QKeySequence::Paste);
    paste->setEnabled(chosen && !QGuiApplication::clipboard()->text().isEmpty());
    for (QAction *action : {undo, redo, copy, paste})
        action->setShortcutVisibleInContextMenu(true);
    QAction *revert =
        menu.addItem(QStringLiteral("Revert formation%1 to the %2 file")
                         .arg(number, m_document.referenceIsSave() ? QStringLiteral("saved")
                                                                   : QStringLiteral("loaded")),
                     [this, formation] { revertFormation(formation); });
    revert->setEnabled(chosen && m_document.differsFromReference(formation));
    menu.addItem(QStringLiteral("Take formations from another file..."),
                 [this] { takeFromFile(); });
    menu.addItem(QStringLiteral("Scale and move formation%1...").arg(number),
                 [this, formation] { scaleAndMoveFormation(formation); })
        ->setEnabled(chosen);
    menu.addSeparator();
    QAction *picture = menu.addItemFor(m_pictureAction);
    picture->setShortcutVisibleInContextMenu(true);
    menu.exec(globalPos);
}

bool BiForm::handleContextMenu(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return false;
    // A selector offers its own formation; the rest of the editing frame
    // the chosen one.
    const int selector = m_selectors->formationOf(watched);
    if (selector < 0 && watched != m_frame1)
        return false;
    event->accept();
    // While the window is busy nothing is offered, not even a control's own menu.
    if (!isBusy())
        showHistoryMenu(selector >= 0 ? selector : m_shownFormation,
                        static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}
