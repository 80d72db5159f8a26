#include "controls.h"
#include "shortened_number.h"
#include "table_text.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>

// The panel shows one chosen formation; every command acts on it.
class PanelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void everyWayOfChoosingShowsTheFormation_data();
    void everyWayOfChoosingShowsTheFormation();
    void copyKeysInTheFrame_data();
    void copyKeysInTheFrame();
    void typeBox_data();
    void typeBox();
    void escapePutsBackTheShownValue_data();
    void escapePutsBackTheShownValue();
    void shortenedNumbers_data();
    void shortenedNumbers();
    void seenAtAGlance();
};

// Line 1 of formation f holds 100 + f aircraft, line 2 type code 1C (type
// index 12, which has no button, and "One lead"); every other byte is 0.
static QByteArray countedTable()
{
    QByteArray table(1488, '\0');
    for (int f = 0; f < 31; ++f) {
        table[48 * f + 2] = static_cast<char>(100 + f);
        table[48 * f + 16 + 1] = '\x1C';
    }
    return table;
}

static QString selector(int formation)
{
    return QStringLiteral("Option2(%1)").arg(formation);
}

// A shown window with `table` loaded and `formation` chosen.
static void start(WindowFixture &f, int formation, const QByteArray &table = countedTable())
{
    QVERIFY(f.showActive());
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Command1"));
    f.click(selector(formation));
}

void PanelTest::everyWayOfChoosingShowsTheFormation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("typed"); // unwritten edits in the panel, kept by Cancel
    for (const char *how : {"accessible toggle", "setChecked", "arrow key", "space"})
        for (const bool typed : {false, true})
            QTest::addRow("%s%s", how, typed ? ", typed edits" : "")
                << QString::fromLatin1(how) << typed;
}

void PanelTest::everyWayOfChoosingShowsTheFormation()
{
    QFETCH(QString, how);
    QFETCH(bool, typed);
    WindowFixture f;
    start(f, 3);
    if (typed)
        f.box(6)->setText(QStringLiteral("7"));
    auto *target = f.control<QRadioButton>(selector(8)); // under 3 in the rows of five
    if (how == QLatin1String("accessible toggle")) {
        QAccessible::queryAccessibleInterface(target)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
    } else if (how == QLatin1String("setChecked")) {
        target->setChecked(true);
    } else {
        QWidget *from = f.control(how == QLatin1String("space") ? selector(8) : selector(3));
        from->setFocus(Qt::TabFocusReason);
        QTest::keyClick(from, how == QLatin1String("space") ? Qt::Key_Space : Qt::Key_Down);
    }
    const int shown = typed ? 3 : 8; // Cancel keeps formation 3 and what was typed
    QCOMPARE(f.prompter.asked.size(), int(typed));
    QVERIFY(f.button(selector(shown))->isChecked() && !f.button(selector(11 - shown))->isChecked());
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(),
             QStringLiteral(" Formation %1 ").arg(shown));
    QCOMPARE(f.box(1)->text(), QString::number(100 + shown));
    QCOMPARE(f.box(6)->text(), QString::number(typed ? 7 : 0));
    // "Edit this one" writes the panel into the formation it shows.
    f.click(QStringLiteral("Command2"));
    QByteArray expected = countedTable();
    expected[48 * shown + 16 + 2] = typed ? 7 : 0;
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

// Line 1's count of the one formation on the clipboard; -1 when it holds none.
static int copiedCount()
{
    const TableText read = readTableText(QApplication::clipboard()->text().toUtf8());
    return read.ok && read.formations.size() == 1 ? read.formations[0].lines[0].line.count : -1;
}

void PanelTest::copyKeysInTheFrame_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("answer"); // to the question about the count 9 typed for formation 3
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("count");  // line 1's count copied by Ctrl+C; -1: no formation
    QTest::addColumn<int>("pasted"); // the formation Ctrl+V then pastes over; -1: not tried
    using C = Prompter::Choice;
    QTest::newRow("modifier box, written") << "Check2(1)" << int(C::Go) << true << 9 << 3;
    QTest::newRow("Edit this one, dropped") << "Command2" << int(C::Discard) << true << 103 << 3;
    QTest::newRow("type button, cancelled") << "Option4(0)" << int(C::Cancel) << true << -1 << -1;
    QTest::newRow("another selector: its own")
        << "Option2(5)" << int(C::Discard) << false << 105 << 5;
    QTest::newRow("line box: its text") << "Text3(1)" << int(C::Cancel) << false << -1 << -1;
}

void PanelTest::copyKeysInTheFrame()
{
    QFETCH(QString, focus);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(int, count);
    QFETCH(int, pasted);
    WindowFixture f;
    start(f, 3);
    f.box(1)->setText(QStringLiteral("9"));
    f.prompter.writeAnswer = Prompter::Choice(answer);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QWidget *focused = f.control(focus);
    focused->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f.prompter.asked.size(), int(asked));
    QCOMPARE(copiedCount(), count);
    if (pasted < 0)
        return;
    QApplication::clipboard()->setText(
        QString::fromUtf8(writeFormationText(countedTable(), 20, QString())));
    QTest::keyClick(focused, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.window->GF1().toBytes()[48 * pasted + 2], char(120));
}

// Line 2's type button that is on (-1: none) and its ticked modifiers' flags.
static QString line2Controls(const WindowFixture &f)
{
    int type = -1;
    int flags = 0;
    for (int k = 0; k < 8; ++k)
        type = f.button(QStringLiteral("Option4(%1)").arg(k))->isChecked() ? k : type;
    for (int k = 0; k < 4; ++k)
        flags |= f.button(QStringLiteral("Check3(%1)").arg(k))->isChecked() ? 16 << k : 0;
    return QStringLiteral("%1/%2").arg(type).arg(flags);
}

// Formation 3 chosen and `typed` typed over box `box`, which keeps the focus.
static QLineEdit *typeInto(WindowFixture &f, int box, const QString &typed)
{
    start(f, 3);
    QLineEdit *edited = f.box(box);
    edited->setFocus(Qt::TabFocusReason);
    edited->selectAll();
    QTest::keyClicks(edited, typed);
    return edited;
}

void PanelTest::typeBox_data()
{
    QTest::addColumn<QString>("typed");    // into line 2's "Type" box
    QTest::addColumn<QString>("controls"); // line2Controls at once
    QTest::addColumn<int>("stored");       // by Enter; -1: refused with `message`
    QTest::addColumn<QString>("message");
    QTest::newRow("echelon right, Staggered") << "35"
                                              << "3/32" << 0x23 << "";
    QTest::newRow("every flag, blanks") << " 247 "
                                        << "7/240" << 0xF7 << "";
    QTest::newRow("index 8: no button") << "200"
                                        << "-1/192" << 0xC8 << "";
    QTest::newRow("exponent") << "1.6E1"
                              << "0/16" << 0x10 << "";
    QTest::newRow("blank") << " "
                           << "" << -1 << "Line 2, Type: the box is empty.";
    QTest::newRow("words") << "Diamond"
                           << "" << -1 << "Line 2, Type: \"Diamond\" is not a number.";
    for (const char *code : {"256", "-1", "3.5"})
        QTest::addRow("%s", code) << QString::fromLatin1(code) << "" << -1
                                  << QStringLiteral("Line 2, Type: %1 is not a type code, a whole "
                                                    "number from 0 to 255.")
                                         .arg(QLatin1String(code));
}

void PanelTest::typeBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, controls);
    QFETCH(int, stored);
    QFETCH(QString, message);
    WindowFixture f;
    QLineEdit *type = typeInto(f, 5, typed);
    QTest::keyClick(type, Qt::Key_Return);
    if (stored < 0) {
        QCOMPARE(f.prompter.told, QStringList{message + " Nothing was written to the table."});
        QCOMPARE(f.window->GF1().toBytes(), countedTable());
        f.click(selector(4)); // an edit not written: asked about
        QCOMPARE(f.prompter.asked.size(), 1);
        return;
    }
    QCOMPARE(line2Controls(f), controls);
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QByteArray expected = countedTable();
    expected[48 * 3 + 16 + 1] = static_cast<char>(stored);
    QCOMPARE(f.window->GF1().toBytes(), expected);
    QCOMPARE(type->text(), QString::number(stored));
    f.click(QStringLiteral("Option4(1)")); // a button writes its code into the box
    QCOMPARE(type->text(), QString::number((stored & 0xF0) + 1));
}

void PanelTest::escapePutsBackTheShownValue_data()
{
    QTest::addColumn<int>("box");
    QTest::newRow("X Offset") << 2;
    QTest::newRow("Type, with its buttons") << 5;
}

void PanelTest::escapePutsBackTheShownValue()
{
    QFETCH(int, box);
    WindowFixture f;
    QLineEdit *edited = typeInto(f, box, QString());
    const QString shown = edited->text();
    const QString controls = line2Controls(f);
    f.box(1)->setText(QStringLiteral("9")); // typed into another box
    QTest::keyClicks(edited, QStringLiteral("35"));
    QTest::keyClick(edited, Qt::Key_Escape);
    QCOMPARE(edited->text(), shown);
    QCOMPARE(line2Controls(f), controls);
    QTest::keyClick(edited, Qt::Key_Z, Qt::ControlModifier); // as if typed: undone
    QCOMPARE(edited->text(), QStringLiteral("35"));
    QTest::keyClick(edited, Qt::Key_Escape);
    f.click(selector(4)); // the 9 is still asked about
    QCOMPARE(f.prompter.asked.size(), 1);
}

void PanelTest::shortenedNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("room"); // in characters
    QTest::addColumn<QString>("shown");
    QTest::newRow("fits") << "-50" << 3 << "-50";
    QTest::newRow("exponent kept") << "-4.76190476190476E-02" << 14 << "-4.7619...E-02";
    QTest::newRow("whole part kept") << "-102261126.095238" << 15 << "-102261126.0...";
    QTest::newRow("whole part too wide") << "123456789012" << 10 << "1.2...E+11";
    QTest::newRow("whole part and exponent") << "12345e-02" << 8 << "1...E+02";
    QTest::newRow("leading zeros") << " -0000.5 " << 4 << "-0.5";
    QTest::newRow("no number") << "Diamond" << 5 << "Di...";
    QTest::newRow("nothing fits: the narrowest") << "255" << 2 << "255";
    QTest::newRow("a long text") << QString(100000, u'7') + ".5" << 15 << "7.777...E+99999";
}

void PanelTest::shortenedNumbers()
{
    QFETCH(QString, text);
    QFETCH(int, room);
    QFETCH(QString, shown);
    int measured = 0;
    const auto width = [&measured](const QString &form) { return ++measured, int(form.size()); };
    QCOMPARE(shortenedNumber(text, room, width), shown);
    QVERIFY2(measured < 50, qPrintable(QString::number(measured))); // by halves
}

// Long numbers keep their sign, leading digits and exponent; a changed
// formation's selector shows its number in bold, in its own place.
void PanelTest::seenAtAGlance()
{
    WindowFixture f;
    QByteArray table = countedTable();
    table.replace(28 * 48 + 4, 4, QByteArray::fromHex("FFFFFFFF")); // line 1's X: stored -1
    start(f, 28, table);
    auto *x = f.control<LineBox>(QStringLiteral("Text3(2)"));
    const QString full = QStringLiteral("-4.76190476190476E-02");
    QVERIFY(x->text() == full && x->toolTip() == full);
    const QString painted = x->paintedText();
    QVERIFY2(painted.startsWith(QStringLiteral("-4.7")) &&
                 painted.endsWith(QStringLiteral("...E-02")),
             qPrintable(painted));
    QVERIFY(x->fontMetrics().horizontalAdvance(painted) < x->width());
    x->setFocus(Qt::TabFocusReason);
    QCOMPARE(x->paintedText(), full); // being edited: whole

    auto *changed = f.control<QRadioButton>(selector(28));
    const QRect place = changed->geometry();
    QTest::keyClick(x, Qt::Key_Return); // stored -1 again: nothing changed
    QVERIFY(!changed->font().bold());
    QCOMPARE(x->paintedText(), full);
    f.box(1)->setText(QStringLiteral("5"));
    f.click(QStringLiteral("Command2"));
    QVERIFY(changed->font().bold() && !f.control(selector(27))->font().bold());
    QVERIFY(changed->geometry() == place && changed->text() == QStringLiteral(" 28"));
    QCOMPARE(changed->accessibleName(), QStringLiteral("28"));
    QCOMPARE(changed->accessibleDescription(),
             QStringLiteral("Formation 28, changed since loaded"));
    QStyleOptionButton option; // the bold number still fits where the style draws it
    option.initFrom(changed);
    const QRect room =
        changed->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, changed);
    QVERIFY(changed->fontMetrics().horizontalAdvance(changed->text()) <= room.width());
    f.window->undo();
    QVERIFY(!changed->font().bold());
}

QTEST_MAIN(PanelTest)
#include "tst_panel.moc"
