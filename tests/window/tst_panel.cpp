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

// The panel shows one chosen formation, and every command acts on it.
class PanelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void everyWayOfChoosingShowsTheFormation_data();
    void everyWayOfChoosingShowsTheFormation();
    void copyAsksAboutTypedValues_data();
    void copyAsksAboutTypedValues();
    void frameKeysActOnTheShownFormation_data();
    void frameKeysActOnTheShownFormation();
    void typeBoxSetsItsLine_data();
    void typeBoxSetsItsLine();
    void typeBoxRefusesWhatIsNoCode_data();
    void typeBoxRefusesWhatIsNoCode();
    void escapePutsBackTheShownValue_data();
    void escapePutsBackTheShownValue();
    void shortenedNumbers_data();
    void shortenedNumbers();
    void longNumberKeepsSignDigitsAndExponent();
    void changedSelectorIsBoldInItsOwnPlace();
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

// A shown, active window with `table` loaded.
static void start(WindowFixture &f, const QByteArray &table = countedTable())
{
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.window->GF1().toBytes(), table);
}

static QString selector(int formation)
{
    return QStringLiteral("Option2(%1)").arg(formation);
}

static QString nameLabel(const WindowFixture &f)
{
    return f.control<QLabel>(QStringLiteral("Label4"))->text();
}

void PanelTest::everyWayOfChoosingShowsTheFormation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("typed"); // unwritten edits in the panel, kept by Cancel
    for (const char *how : {"accessible toggle", "setChecked", "arrow key", "space"}) {
        QTest::addRow("%s", how) << QString::fromLatin1(how) << false;
        QTest::addRow("%s, typed edits", how) << QString::fromLatin1(how) << true;
    }
}

void PanelTest::everyWayOfChoosingShowsTheFormation()
{
    QFETCH(QString, how);
    QFETCH(bool, typed);
    WindowFixture f;
    start(f);
    f.click(selector(3));
    if (typed)
        f.box(6)->setText(QStringLiteral("7"));
    f.prompter.writeAnswer = Prompter::Choice::Cancel;

    // Formation 8 sits under formation 3 in the rows of five.
    auto *target = f.control<QRadioButton>(selector(8));
    if (how == QLatin1String("accessible toggle")) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(target);
        QVERIFY(accessible->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    } else if (how == QLatin1String("setChecked")) {
        target->setChecked(true);
    } else if (how == QLatin1String("arrow key")) {
        f.control(selector(3))->setFocus(Qt::TabFocusReason);
        QTest::keyClick(f.control(selector(3)), Qt::Key_Down);
    } else {
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key_Space);
    }

    const int shown = typed ? 3 : 8;
    QCOMPARE(f.prompter.asked.size(), typed ? 1 : 0);
    QCOMPARE(f.button(selector(shown))->isChecked(), true);
    QCOMPARE(f.button(selector(typed ? 8 : 3))->isChecked(), false);
    QCOMPARE(nameLabel(f), QStringLiteral(" Formation %1 ").arg(shown));
    QCOMPARE(f.box(1)->text(), QString::number(100 + shown));
    QCOMPARE(f.box(6)->text(), typed ? QStringLiteral("7") : QStringLiteral("0"));

    // "Edit this one" writes what the panel shows into the formation it shows.
    f.box(1)->setText(QStringLiteral("9"));
    f.click(QStringLiteral("Command2"));
    QByteArray expected = countedTable();
    expected[48 * shown + 2] = 9;
    if (typed)
        expected[48 * shown + 16 + 2] = 7;
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

// Line 1's count of the one formation on the clipboard; -1 when it holds none.
static int copiedCount()
{
    const TableText read = readTableText(QApplication::clipboard()->text().toUtf8());
    return read.ok && read.formations.size() == 1 ? read.formations[0].lines[0].line.count : -1;
}

void PanelTest::copyAsksAboutTypedValues_data()
{
    QTest::addColumn<int>("formation"); // copied
    QTest::addColumn<int>("answer");    // to the question about the typed 9
    QTest::addColumn<int>("count");     // line 1's count on the clipboard; -1: nothing copied
    QTest::newRow("written first") << 3 << int(Prompter::Choice::Go) << 9;
    QTest::newRow("dropped") << 3 << int(Prompter::Choice::Discard) << 103;
    QTest::newRow("cancelled") << 3 << int(Prompter::Choice::Cancel) << -1;
    QTest::newRow("another formation, nothing asked") << 5 << int(Prompter::Choice::Cancel) << 105;
}

void PanelTest::copyAsksAboutTypedValues()
{
    QFETCH(int, formation);
    QFETCH(int, answer);
    QFETCH(int, count);
    WindowFixture f;
    start(f);
    f.click(selector(3));
    f.box(1)->setText(QStringLiteral("9"));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    f.prompter.writeAnswer = Prompter::Choice(answer);
    f.window->copyFormation(formation);
    QCOMPARE(f.prompter.asked.size(), formation == 3 ? 1 : 0);
    QCOMPARE(copiedCount(), count);
    QCOMPARE(f.box(1)->text(), QString::number(count == 103 ? 103 : 9));
}

void PanelTest::frameKeysActOnTheShownFormation_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("formation"); // what the keys act on; -1: the box's own text
    QTest::newRow("modifier box") << "Check2(1)" << 3;
    QTest::newRow("type button") << "Option4(0)" << 3;
    QTest::newRow("Edit this one") << "Command2" << 3;
    QTest::newRow("another selector: its own") << "Option2(5)" << 5;
    QTest::newRow("line box: its text") << "Text3(1)" << -1;
}

void PanelTest::frameKeysActOnTheShownFormation()
{
    QFETCH(QString, focus);
    QFETCH(int, formation);
    WindowFixture f;
    start(f);
    f.click(selector(3));
    QWidget *focused = f.control(focus);
    focused->setFocus(Qt::TabFocusReason);
    if (formation < 0)
        f.box(1)->selectAll();
    QTest::keyClick(focused, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copiedCount(), formation < 0 ? -1 : 100 + formation);
    if (formation < 0)
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("103"));

    const QString twenty = QString::fromUtf8(writeFormationText(countedTable(), 20, {}));
    QApplication::clipboard()->setText(twenty);
    QTest::keyClick(focused, Qt::Key_V, Qt::ControlModifier);
    QByteArray expected = countedTable();
    if (formation >= 0)
        expected[48 * formation + 2] = 120;
    else
        QCOMPARE(f.box(1)->text(), twenty);
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

// Line 2's type button that is on (-1: none) and its ticked modifiers' flags.
static QString line2Controls(const WindowFixture &f)
{
    int type = -1;
    int flags = 0;
    for (int k = 0; k < 8; ++k)
        if (f.button(QStringLiteral("Option4(%1)").arg(k))->isChecked())
            type = k;
    for (int k = 0; k < 4; ++k)
        if (f.button(QStringLiteral("Check3(%1)").arg(k))->isChecked())
            flags |= 16 << k;
    return QStringLiteral("%1/%2").arg(type).arg(flags);
}

// Formation 3 chosen, `typed` typed over line 2's "Type" box, which keeps the focus.
static QLineEdit *typeIntoBox(WindowFixture &f, int box, const QString &typed)
{
    start(f);
    f.click(selector(3));
    QLineEdit *edited = f.box(box);
    edited->setFocus(Qt::TabFocusReason);
    edited->selectAll();
    QTest::keyClicks(edited, typed);
    return edited;
}

void PanelTest::typeBoxSetsItsLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("controls"); // line2Controls at once
    QTest::addColumn<int>("stored");
    QTest::newRow("Line echelon right, Staggered") << "35"
                                                   << "3/32" << 0x23;
    QTest::newRow("every flag, blanks around") << " 247 "
                                               << "7/240" << 0xF7;
    QTest::newRow("index 8 has no button") << "200"
                                           << "-1/192" << 0xC8;
    QTest::newRow("exponent") << "1.6E1"
                              << "0/16" << 0x10;
}

void PanelTest::typeBoxSetsItsLine()
{
    QFETCH(QString, typed);
    QFETCH(QString, controls);
    QFETCH(int, stored);
    WindowFixture f;
    QCOMPARE(line2Controls(f), QStringLiteral("-1/0"));
    QLineEdit *type = typeIntoBox(f, 5, typed);
    QCOMPARE(line2Controls(f), controls);
    QCOMPARE(type->toolTip().contains(QStringLiteral("has no button")), stored % 16 >= 8);
    QTest::keyClick(type, Qt::Key_Return);
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QByteArray expected = countedTable();
    expected[48 * 3 + 16 + 1] = static_cast<char>(stored);
    QCOMPARE(f.window->GF1().toBytes(), expected);
    QCOMPARE(type->text(), QString::number(stored));
    // A button chosen afterwards writes its code into the box.
    f.click(QStringLiteral("Option4(1)"));
    QCOMPARE(type->text(), QString::number((stored & 0xF0) + 1));
    QCOMPARE(type->toolTip(), QString());
}

void PanelTest::typeBoxRefusesWhatIsNoCode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank") << " "
                           << "Line 2, Type: the box is empty.";
    QTest::newRow("words") << "Diamond"
                           << "Line 2, Type: \"Diamond\" is not a number.";
    for (const char *code : {"256", "-1", "3.5"})
        QTest::addRow("%s", code) << QString::fromLatin1(code)
                                  << QStringLiteral("Line 2, Type: %1 is not a type code, a whole "
                                                    "number from 0 to 255.")
                                         .arg(QLatin1String(code));
}

void PanelTest::typeBoxRefusesWhatIsNoCode()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    WindowFixture f;
    QLineEdit *type = typeIntoBox(f, 5, typed);
    QTest::keyClick(type, Qt::Key_Return);
    QCOMPARE(f.prompter.told, QStringList{message + " Nothing was written to the table."});
    QCOMPARE(f.window->GF1().toBytes(), countedTable());
    QCOMPARE(type->text(), typed);
    // What was typed is an edit not written: it is asked about.
    f.click(selector(4));
    QCOMPARE(f.prompter.asked.size(), 1);
    QCOMPARE(type->text(), typed);
}

void PanelTest::escapePutsBackTheShownValue_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("X Offset") << 2 << "55";
    QTest::newRow("Type, with its buttons") << 5 << "35";
}

void PanelTest::escapePutsBackTheShownValue()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    WindowFixture f;
    QLineEdit *edited = typeIntoBox(f, box, QString());
    f.box(1)->setText(QStringLiteral("9")); // typed into another box
    const QString shown = f.box(box)->text();
    const QString controls = line2Controls(f);
    QTest::keyClicks(edited, typed);
    QTest::keyClick(edited, Qt::Key_Escape);
    QCOMPARE(edited->text(), shown);
    QCOMPARE(line2Controls(f), controls);
    QCOMPARE(f.box(1)->text(), QStringLiteral("9"));
    // As if typed: Ctrl+Z brings the typed text back.
    QTest::keyClick(edited, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edited->text(), typed);
    QTest::keyClick(edited, Qt::Key_Escape);
    // The 9 typed elsewhere is still asked about.
    f.click(selector(4));
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
    QCOMPARE(shortenedNumber(text, room,
                             [&measured](const QString &form) {
                                 ++measured;
                                 return int(form.size());
                             }),
             shown);
    QVERIFY2(measured < 50, qPrintable(QString::number(measured))); // by halves, not digit by digit
}

void PanelTest::longNumberKeepsSignDigitsAndExponent()
{
    WindowFixture f;
    // Line 1's X Offset of formation 0 stored as -1: -4.76190476190476E-02 feet.
    QByteArray table = countedTable();
    table.replace(4, 4, QByteArray::fromHex("FFFFFFFF"));
    start(f, table);
    f.click(selector(0));
    auto *x = f.control<LineBox>(QStringLiteral("Text3(2)"));
    const QString full = QStringLiteral("-4.76190476190476E-02");
    QCOMPARE(x->text(), full);
    QCOMPARE(x->toolTip(), full);
    const QString painted = x->paintedText();
    QVERIFY2(painted.startsWith(QStringLiteral("-4.7")) &&
                 painted.endsWith(QStringLiteral("...E-02")),
             qPrintable(painted));
    QVERIFY(x->fontMetrics().horizontalAdvance(painted) < x->width());
    x->setFocus(Qt::TabFocusReason);
    QCOMPARE(x->paintedText(), full); // being edited: whole
    f.box(3)->setFocus(Qt::TabFocusReason);
    QCOMPARE(x->paintedText(), painted);
    QCOMPARE(f.control<LineBox>(QStringLiteral("Text3(3)"))->paintedText(), QStringLiteral("0"));
}

void PanelTest::changedSelectorIsBoldInItsOwnPlace()
{
    WindowFixture f;
    start(f);
    auto *changed = f.control<QRadioButton>(selector(28));
    const QRect place = changed->geometry();
    const QString caption = changed->text();
    f.click(selector(28));
    f.box(1)->setText(QStringLiteral("5"));
    f.click(QStringLiteral("Command2"));
    QVERIFY(changed->font().bold());
    QVERIFY(!f.control(selector(27))->font().bold());
    QCOMPARE(changed->geometry(), place);
    QCOMPARE(changed->text(), caption);
    QCOMPARE(changed->accessibleName(), QStringLiteral("28"));
    QCOMPARE(changed->accessibleDescription(),
             QStringLiteral("Formation 28, changed since loaded"));
    // The bold number still fits where the style draws it.
    QStyleOptionButton option;
    option.initFrom(changed);
    option.text = caption;
    const QRect room =
        changed->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, changed);
    QVERIFY(changed->fontMetrics().horizontalAdvance(caption) <= room.width());
    f.window->undo();
    QVERIFY(!changed->font().bold());
}

QTEST_MAIN(PanelTest)
#include "tst_panel.moc"
