#pragma once

// Shared helpers for the window suites: a names file in a scratch working
// directory, a prompter that records instead of showing boxes, lookups of
// controls by their object names, and context menus read and chosen from.

#include "biform.h"
#include "prompter.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class RecordingPrompter : public Prompter
{
public:
    void tell(QWidget *, const QString &text) override
    {
        told.append(text);
        opened();
    }
    void inform(QWidget *, const QString &text) override
    {
        informed.append(text);
        opened();
    }
    void informBeforeClosing(QWidget *, const QString &text) override
    {
        informedBeforeClosing.append(text);
        opened();
    }
    bool confirm(QWidget *, const QString &text, const QString &accept) override
    {
        asked.append(text);
        acceptButtons.append(accept);
        opened();
        return confirmAnswer;
    }
    int choose(QWidget *, const QString &text, const QStringList &choices, int taken) override
    {
        asked.append(text);
        offered.append(choices);
        preferred.append(taken);
        opened();
        return chooseAnswer;
    }
    Choice askToSave(QWidget *, const QString &text) override
    {
        asked.append(text);
        opened();
        return saveAnswer;
    }
    Choice askToWrite(QWidget *, const QString &text) override
    {
        asked.append(text);
        opened();
        return writeAnswer;
    }

    QStringList told;
    QStringList informed;
    QStringList informedBeforeClosing;
    QList<QStringList> offered; // the choices of each choose()
    QList<int> preferred;       // and the one Enter takes
    int chooseAnswer = -1;      // Cancel
    QStringList asked;
    QStringList acceptButtons;
    bool confirmAnswer = false;
    std::function<void()> whileAsking; // what happens while any question or message is open
    Choice saveAnswer = Choice::Cancel;
    Choice writeAnswer = Choice::Cancel;

private:
    void opened() const
    {
        if (whileAsking)
            whileAsking();
    }
};

// A window started in a scratch directory holding `names` as readorder.txt
// (no file at all when `writeNames` is false; then `prepare` may put
// something else in its place before start-up).
class WindowFixture
{
public:
    using Prepare = std::function<void(const WindowFixture &)>;

    explicit WindowFixture(const QByteArray &names = defaultNames(), bool writeNames = true,
                           const Prepare &prepare = {})
    {
        if (writeNames)
            writeFile(QStringLiteral("readorder.txt"), names);
        if (prepare)
            prepare(*this);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        window = std::make_unique<BiForm>(&prompter);
        QDir::setCurrent(previous);
        // Every dialog answer comes from the queue; an empty queue cancels.
        window->CD1().setAsker([this](const CommonDialog::Request &request) {
            requests.push_back(request);
            if (answers.empty())
                return QString();
            const QString answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }

    static QByteArray defaultNames()
    {
        QByteArray bytes;
        for (int i = 0; i < 31; ++i)
            bytes += "Formation " + QByteArray::number(i) + "\r\n";
        return bytes;
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }

    template <typename T = QWidget> T *control(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QAbstractButton *button(const QString &name) const { return control<QAbstractButton>(name); }
    QLineEdit *box(int n) const { return control<QLineEdit>(QStringLiteral("Text3(%1)").arg(n)); }
    void click(const QString &name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Shows the window and gives whether it became active. A platform with
    // real windows and no window manager (Wine's under Xvfb) may leave a
    // shown window unactivated until asked.
    [[nodiscard]] bool showActive() const
    {
        window->show();
        window->raise();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    QTemporaryDir dir;
    RecordingPrompter prompter;
    std::unique_ptr<BiForm> window;
    std::deque<QString> answers;
    QList<CommonDialog::Request> requests;
};

// How a menu item is chosen: Return on it, a click on it, or a screen
// reader's "Press" on its accessible item.
enum class Pick { Keyboard, Mouse, Accessible };

// Opens the context menu of `widget` as `how` does ("mouse", "menu key",
// "shift+f10") and gives its items as "text|shortcut|on/off"; chooses the
// item `pick` as `picking` says, if any, else closes the menu. Gives
// nothing when no menu opens. Fails the test where a screen reader hears
// an item wrongly, or where the menu stays open once an item was chosen.
inline QStringList openMenu(QWidget *widget, const QString &how, const QString &pick = {},
                            Pick picking = Pick::Keyboard)
{
    QStringList items;
    const QPointer<QWidget> window = widget->window();
    bool placed = true;
    bool named = true;
    bool stayedOpen = false;
    bool looked = false;
    // No check may return early in here: the menu must close, or exec() waits forever.
    QTimer::singleShot(0, [&] {
        looked = true;
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(menu);
        int child = 0;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator()) {
                ++child;
                continue;
            }
            // Screen readers hear each item by its text, and find its menu.
            QAccessibleInterface *item = accessible->child(child++);
            named = named && item->text(QAccessible::Name) == action->text();
            placed = placed && item->parent() && item->parent()->object() == menu;
            items << QStringLiteral("%1|%2|%3")
                         .arg(action->text(), action->shortcut().toString(),
                              action->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
            if (action->text() != pick)
                continue;
            switch (picking) {
            case Pick::Keyboard:
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                break;
            case Pick::Mouse:
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                break;
            case Pick::Accessible:
                item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                break;
            }
            stayedOpen = menu->isVisible();
            break;
        }
        menu->close();
    });
    if (how == QLatin1String("shift+f10")) {
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        const QPoint at = widget->rect().center();
        QContextMenuEvent event(how == QLatin1String("mouse") ? QContextMenuEvent::Mouse
                                                              : QContextMenuEvent::Keyboard,
                                at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
    }
    // Where no menu opened, the look for one is still to come.
    if (!QTest::qWaitFor([&] { return looked; }))
        qWarning("the menu was never looked for");
    // The menu took the window's activation; shortcuts need it back. An
    // item may have closed the window.
    if (window && window->isVisible()) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            qWarning("the window did not become active again");
    }
    if (!named || !placed || stayedOpen)
        QTest::qFail(!named    ? "a screen reader hears a menu item by another name"
                     : !placed ? "a menu item does not lead a screen reader to its menu"
                               : "the menu stayed open once an item was chosen",
                     __FILE__, __LINE__);
    return items;
}
