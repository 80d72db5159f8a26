#pragma once

#include <QMenu>
#include <functional>

class QAction;

// A context menu whose items act however they are chosen: a click, a key,
// an item's shortcut, or a screen reader's "Press", which triggers the
// item's action and never reaches the return value of QMenu::exec(). The
// item chosen closes the menu, and its handler runs once, after that.
// Every item is an action of this menu alone: a screen reader finds an item
// through its action, and an action that outlived an earlier menu would
// lead it to that menu, which is gone.
class ContextMenu
{
public:
    ContextMenu(QWidget *parent, const QString &objectName);

    QAction *addItem(const QString &text, std::function<void()> handler);
    // An item shown as `action` is (text, shortcuts, enabled) that triggers it.
    QAction *addItemFor(QAction *action);
    void addSeparator() { m_menu.addSeparator(); }
    // Shows the menu at `globalPos` until it closes, then runs what was chosen.
    void exec(const QPoint &globalPos);

private:
    QMenu m_menu;
    std::function<void()> m_chosen;
};

// Shift+F10 in `window` opens the context menu of its focused control (of
// the window itself when nothing has the focus), as the Menu key does. The
// key is an action of the window, not an item of any menu.
QAction *addMenuKey(QWidget *window);
