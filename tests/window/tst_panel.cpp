#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
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

QTEST_MAIN(PanelTest)
#include "tst_panel.moc"
