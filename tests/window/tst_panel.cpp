#include "table_text.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QRadioButton>

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
};

// Line 1 of formation f holds 100 + f aircraft; every other byte is 0.
static QByteArray countedTable()
{
    QByteArray table(1488, '\0');
    for (int f = 0; f < 31; ++f)
        table[48 * f + 2] = static_cast<char>(100 + f);
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

QTEST_MAIN(PanelTest)
#include "tst_panel.moc"
