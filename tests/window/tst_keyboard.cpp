#include "window_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

// The window used with the keyboard only.
class KeyboardTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void tabStopsOnceInEachTypeGroup_data();
    void tabStopsOnceInEachTypeGroup();
    void arrowsChooseTheType();
    void keysClickTheFocusedButton_data();
    void keysClickTheFocusedButton();
    void enterInALineBoxWritesThePanel();
    void refusedValueTakesTheFocus();
    void leftBoxShowsTheStartOfItsText();
    void lettersChooseAFormationByName();
};

// A shown, active window with formation 0 chosen from a table whose first
// three lines are `rows` (hex).
static void chooseFormation0(WindowFixture &f, const QList<QByteArray> &rows)
{
    QByteArray table(1488, '\0');
    for (int r = 0; r < rows.size(); ++r)
        table.replace(16 * r, 16, QByteArray::fromHex(rows[r]));
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    QVERIFY(f.showActive());
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Option2(0)"));
    QVERIFY(f.prompter.told.isEmpty());
}

static QString focused()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// Where each press of `key` takes the focus, from `start`.
static QStringList walk(const WindowFixture &f, const QString &start, Qt::Key key, int presses)
{
    f.control(start)->setFocus(Qt::OtherFocusReason);
    QStringList visited;
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        visited << focused();
    }
    return visited;
}

void KeyboardTest::tabStopsOnceInEachTypeGroup_data()
{
    QTest::addColumn<QByteArray>("typeCode"); // of line 1; lines 2 and 3 are type 3 and 9
    QTest::addColumn<QString>("stop");        // where Tab lands in frame 1
    QTest::newRow("Inverted V chosen") << QByteArray("25") << "Option3(5)";
    QTest::newRow("Bomber stream chosen, the last button") << QByteArray("07") << "Option3(7)";
    QTest::newRow("no button for type 12: the first") << QByteArray("1C") << "Option3(0)";
}

void KeyboardTest::tabStopsOnceInEachTypeGroup()
{
    QFETCH(QByteArray, typeCode);
    QFETCH(QString, stop);
    WindowFixture f;
    chooseFormation0(f, {"00" + typeCode + "0100000000000000000000000000",
                         "00030100000000000000000000000000", "00090100000000000000000000000000"});
    const QStringList forward = {stop,        "Check2(0)", "Check2(1)", "Check2(2)", "Check2(3)",
                                 "Check3(3)", "Check3(2)", "Check3(1)", "Check3(0)", "Option4(3)",
                                 "Check4(3)", "Check4(2)", "Check4(1)", "Check4(0)", "Option5(0)",
                                 "Command3",  "Command1"};
    QCOMPARE(walk(f, QStringLiteral("Command2"), Qt::Key_Tab, forward.size()), forward);
    QStringList backward = forward.mid(0, forward.size() - 1);
    std::reverse(backward.begin(), backward.end());
    backward << "Command2";
    QCOMPARE(walk(f, QStringLiteral("Command1"), Qt::Key_Backtab, backward.size()), backward);
}

void KeyboardTest::arrowsChooseTheType()
{
    WindowFixture f;
    chooseFormation0(f, {"00000000000000000000000000000000", "00030100000000000000000000000000"});
    auto *diamond = f.control<QRadioButton>(QStringLiteral("Option4(3)"));
    QVERIFY(diamond->isChecked());
    diamond->setFocus(Qt::TabFocusReason);
    const struct {
        Qt::Key key;
        const char *chosen;
    } presses[] = {{Qt::Key_Down, "Option4(4)"}, {Qt::Key_Right, "Option4(5)"},
                   {Qt::Key_Up, "Option4(4)"},   {Qt::Key_Left, "Option4(3)"},
                   {Qt::Key_Up, "Option4(2)"},   {Qt::Key_Up, "Option4(1)"},
                   {Qt::Key_Up, "Option4(0)"},   {Qt::Key_Up, "Option4(0)"}};
    for (const auto &press : presses) {
        QTest::keyClick(QApplication::focusWidget(), press.key);
        QCOMPARE(focused(), QLatin1String(press.chosen));
        QVERIFY2(f.button(QLatin1String(press.chosen))->isChecked(), press.chosen);
    }
    // The other lines keep their choice.
    QVERIFY(f.button(QStringLiteral("Option3(0)"))->isChecked());
}

void KeyboardTest::keysClickTheFocusedButton_data()
{
    QTest::addColumn<QString>("button"); // focused, or "" for the window
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("dialog"); // the dialog it opens: 0 open, 1 save
    QTest::newRow("Enter on Load") << "Command1" << int(Qt::Key_Enter) << 0 << 0;
    QTest::newRow("Return on Save") << "Command3" << int(Qt::Key_Return) << 0 << 1;
    QTest::newRow("Space on Save") << "Command3" << int(Qt::Key_Space) << 0 << 1;
    QTest::newRow("Ctrl+O in a line box")
        << "Text3(4)" << int(Qt::Key_O) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Ctrl+Shift+S on a selector")
        << "Option2(0)" << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier) << 1;
}

void KeyboardTest::keysClickTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, dialog);
    WindowFixture f;
    chooseFormation0(f, {});
    f.requests.clear();
    f.control(button)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.requests.size(), 1);
    QCOMPARE(f.requests[0].mode, CommonDialog::Mode(dialog));
}

void KeyboardTest::enterInALineBoxWritesThePanel()
{
    WindowFixture f;
    chooseFormation0(f, {});
    for (const char *button : {"Command2", "Text3(7)"}) {
        f.box(7)->setText(QStringLiteral("10"));
        f.control(QLatin1String(button))->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.window->GF1().toBytes().mid(16 + 4, 4), QByteArray::fromHex("D2000000"));
        f.box(7)->setText(QStringLiteral("0"));
        QTest::keyClick(f.box(7), Qt::Key_Enter);
        QCOMPARE(f.window->GF1().toBytes(), QByteArray(1488, '\0'));
    }
    QVERIFY(f.prompter.told.isEmpty());
}

void KeyboardTest::refusedValueTakesTheFocus()
{
    WindowFixture f;
    chooseFormation0(f, {});
    f.box(13)->setText(QStringLiteral("ten"));
    f.control(QStringLiteral("Command2"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f.prompter.told.size(), 1);
    QCOMPARE(focused(), QStringLiteral("Text3(13)"));
    QCOMPARE(f.box(13)->selectedText(), QStringLiteral("ten"));

    // The same when the write comes from the question before another
    // formation is chosen: the choice stays, the box at fault has the focus.
    f.prompter.writeAnswer = Prompter::Choice::Go;
    f.control(QStringLiteral("Option2(0)"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(f.prompter.told.size(), 2);
    QTRY_COMPARE(focused(), QStringLiteral("Text3(13)"));
    QCOMPARE(f.box(13)->selectedText(), QStringLiteral("ten"));
    QVERIFY(f.button(QStringLiteral("Option2(0)"))->isChecked());

    // Cancelled, the focus goes back to the chosen selector.
    f.prompter.writeAnswer = Prompter::Choice::Cancel;
    f.control(QStringLiteral("Option2(0)"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTRY_COMPARE(focused(), QStringLiteral("Option2(0)"));
    QVERIFY(f.button(QStringLiteral("Option2(0)"))->isChecked());
}

void KeyboardTest::leftBoxShowsTheStartOfItsText()
{
    WindowFixture f;
    // Line 1: X stored -1536 (-73.1428571428571 feet), Y 0.
    chooseFormation0(f, {"0000000000FAFFFF0000000000000000"});
    QLineEdit *x = f.box(2);
    QCOMPARE(x->text(), QStringLiteral("-73.1428571428571"));
    QCOMPARE(x->toolTip(), x->text()); // longer than the box: whole in the tooltip
    QCOMPARE(f.box(3)->toolTip(), QString());
    x->setFocus(Qt::TabFocusReason);
    QTest::keyClick(x, Qt::Key_End);
    QCOMPARE(x->cursorPosition(), int(x->text().size()));
    QTest::keyClick(x, Qt::Key_Tab);
    QCOMPARE(focused(), QStringLiteral("Text3(3)"));
    QCOMPARE(x->cursorPosition(), 0); // the sign and the leading digits in view
}

QTEST_MAIN(KeyboardTest)
// Typed on a selector, a name's first letters choose its formation, show
// its name as the mouse does, and ask about unwritten edits as a click does.
void KeyboardTest::lettersChooseAFormationByName()
{
    QByteArray names;
    for (const char *name : {"Arrow", "Vic", "Box", "Vee wide", "Vee tight"})
        names += QByteArray(name) + "\r\n";
    for (int i = 5; i < 31; ++i)
        names += "Formation " + QByteArray::number(i) + "\r\n";
    WindowFixture f(names);
    QVERIFY(f.showActive());
    f.button(QStringLiteral("Option2(0)"))->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("vee t"));
    QCOMPARE(focused(), QStringLiteral("Option2(4)"));
    QVERIFY(f.button(QStringLiteral("Option2(4)"))->isChecked());
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" Vee tight "));

    // Ctrl+B is a shortcut, not a letter of a name.
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(focused(), QStringLiteral("Option2(4)"));

    // An edit not written yet is asked about; keeping it keeps the formation.
    f.control<QLineEdit>(QStringLiteral("Text3(1)"))->setText(QStringLiteral("7"));
    f.prompter.confirmAnswer = false;
    QTest::keyClick(f.button(QStringLiteral("Option2(4)")), Qt::Key_B);
    QCOMPARE(f.prompter.asked.size(), 1);
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" Vee tight "));
}

#include "tst_keyboard.moc"
