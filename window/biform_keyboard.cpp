// The keyboard beyond what each control does by itself: the standard
// shortcuts, Enter on buttons and line boxes, a choice of type per arrow
// key, each frame's type buttons as one stop of the tab order, line boxes
// that show their text from the start once they are left, and a formation
// chosen by the first letters of its name.
#include "biform.h"

#include "line_panel.h"
#include "selector_grid.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void BiForm::addShortcut(const QList<QKeySequence> &keys, const std::function<void()> &handler)
{
    auto *action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
}

void BiForm::setUpKeyboard()
{
    addShortcut(QKeySequence::keyBindings(QKeySequence::Open), alone(&BiForm::load));
    addShortcut(QKeySequence::keyBindings(QKeySequence::Save), alone(&BiForm::saveBack));
    // The platform's "save as" keys, and Ctrl+Shift+S everywhere (Windows has none of its own).
    QList<QKeySequence> saveAsKeys = QKeySequence::keyBindings(QKeySequence::SaveAs);
    if (!saveAsKeys.contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)))
        saveAsKeys << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    addShortcut(saveAsKeys, alone(&BiForm::save));
    for (QLineEdit *box : m_panel->boxes()) {
        connect(box, &QLineEdit::returnPressed, this, alone(&BiForm::editThisOne));
        box->installEventFilter(this);
    }
    m_text2->installEventFilter(this);
    for (QPushButton *button : {m_command1, m_command2, m_command3})
        button->installEventFilter(this);
    for (const QList<QRadioButton *> &types : m_panel->typeButtons())
        for (QRadioButton *button : types)
            button->installEventFilter(this);
}

bool BiForm::handleKeyboard(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // A box the user has left shows the start of its text, the sign
        // and leading digits of a long number; a box merely behind a
        // message or a menu stays as it is.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (auto *box = qobject_cast<QLineEdit *>(watched);
            box && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            box->setCursorPosition(0);
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Ctrl+Z in a box undoes its typing first, as text boxes do; with
        // nothing of its own left to undo or redo, the table's step is next.
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto *box = qobject_cast<QLineEdit *>(watched);
        if (box && ((key->matches(QKeySequence::Undo) && !box->isUndoAvailable()) ||
                    (key->matches(QKeySequence::Redo) && !box->isRedoAvailable()))) {
            event->ignore();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (const int selector = m_selectors->formationOf(watched);
        selector >= 0 && typeAheadOn(selector, *key))
        return true;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;

    if (auto *box = qobject_cast<QLineEdit *>(watched);
        box && m_panel->isLineBox(box) && key->key() == Qt::Key_Escape) {
        m_panel->putBackShownText(box);
        return true;
    }

    if (auto *button = qobject_cast<QPushButton *>(watched);
        button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        button->click();
        return true;
    }

    // The arrow keys choose the previous or next type, as they move the
    // choice among the selector buttons.
    int step = 0;
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Left)
        step = -1;
    else if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Right)
        step = 1;
    if (step == 0)
        return false;
    for (const QList<QRadioButton *> &types : m_panel->typeButtons()) {
        const int at = int(types.indexOf(qobject_cast<QRadioButton *>(watched)));
        if (at < 0)
            continue;
        const int next = std::clamp(at + step, 0, int(types.size()) - 1);
        types[next]->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        types[next]->click();
        return true;
    }
    return false;
}

bool BiForm::typeAheadOn(int selector, const QKeyEvent &key)
{
    if (!m_typeAheadClock.isValid())
        m_typeAheadClock.start();
    m_typeAhead.setInterval(QApplication::keyboardInputInterval());
    // Space turns a selector on, as it always has, unless it goes on with
    // a name being typed; Ctrl and Alt keys are shortcuts.
    const QString text = key.text();
    if (text.isEmpty() || !text.front().isPrint() ||
        (text.front().isSpace() && !m_typeAhead.typing(m_typeAheadClock.elapsed())) ||
        (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const int found = m_typeAhead.type(text, m_typeAheadClock.elapsed(), selector,
                                       m_formationNames.mid(0, FormationTable::FormationCount));
    if (found < 0)
        return true; // no name begins so: the letter is taken all the same
    QRadioButton *button = m_selectors->buttons()[found];
    button->setFocus(Qt::OtherFocusReason);
    showHoveredName(QStringLiteral(" %1 ").arg(m_formationNames[found]));
    if (found != m_shownFormation || !button->isChecked())
        button->click();
    return true;
}

bool BiForm::focusNextPrevChild(bool next)
{
    // Each frame's type buttons are one stop of the tab order, at the place
    // of its buttons 0 to 6: Tab lands on the chosen type (the first when
    // none is), and goes on past the group. Button 7 stands at the very end
    // of the order, where it would be a second stop of the same group; it
    // is skipped there. Every other stop keeps its place.
    QWidget *from = focusWidget();
    if (!from || !isAncestorOf(from))
        return QWidget::focusNextPrevChild(next);
    const QList<QList<QRadioButton *>> &typeButtons = m_panel->typeButtons();
    const int fromGroup = m_panel->typeGroupOf(from);
    QWidget *at = fromGroup >= 0 ? typeButtons[fromGroup][0] : from;
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    for (int steps = 0; steps < 1000; ++steps) {
        at = next ? at->nextInFocusChain() : at->previousInFocusChain();
        if (at == from && fromGroup < 0)
            break;
        if (!at->isVisibleTo(this) || !at->isEnabled())
            continue;
        // Qt keeps the tab flag on the group's last focused button only, so
        // group membership is looked at first.
        const int group = m_panel->typeGroupOf(at);
        if (group < 0) {
            if (!(at->focusPolicy() & Qt::TabFocus))
                continue;
            at->setFocus(reason);
            return true;
        }
        if (group == fromGroup || at == typeButtons[group].last())
            continue;
        QAbstractButton *chosen = typeButtons[group][0]->group()->checkedButton();
        (chosen ? static_cast<QWidget *>(chosen) : typeButtons[group][0])->setFocus(reason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}
