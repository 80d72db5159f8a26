#include "context_menu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QPointer>

ContextMenu::ContextMenu(QWidget *parent, const QString &objectName) : m_menu(parent)
{
    m_menu.setObjectName(objectName);
}

QAction *ContextMenu::addItem(const QString &text, std::function<void()> handler)
{
    QAction *item = m_menu.addAction(text);
    QObject::connect(item, &QAction::triggered, &m_menu, [this, handler = std::move(handler)] {
        m_chosen = handler;
        m_menu.close();
    });
    return item;
}

QAction *ContextMenu::addItemFor(QAction *action)
{
    QAction *item = addItem(action->text(), [action = QPointer<QAction>(action)] {
        if (action)
            action->trigger();
    });
    item->setShortcuts(action->shortcuts());
    item->setShortcutVisibleInContextMenu(action->isShortcutVisibleInContextMenu());
    item->setEnabled(action->isEnabled());
    return item;
}

QAction *addMenuKey(QWidget *window)
{
    auto *menuKey = new QAction(window);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    QObject::connect(menuKey, &QAction::triggered, window, [window] {
        // A control that does not take the event hands it on to its parents.
        QWidget *at = window->focusWidget() ? window->focusWidget() : window;
        const QPoint center = at->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, center, at->mapToGlobal(center));
        QCoreApplication::sendEvent(at, &event);
    });
    window->addAction(menuKey);
    return menuKey;
}

void ContextMenu::exec(const QPoint &globalPos)
{
    m_chosen = nullptr;
    m_menu.exec(globalPos);
    if (const std::function<void()> chosen = std::exchange(m_chosen, nullptr))
        chosen();
}
