// "Take formations from another file": the rows the dialog lists, the files
// it reads, and the one step that takes the checked formations in.
#include "table_loader.h"
#include "table_text.h"
#include "take_formations.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QUndoStack>

namespace
{
constexpr int FormationBytes = 48;

QByteArray sampleTable()
{
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>((i * 5 + i / 48) % 97);
    return table;
}

// `table` with byte `at` (0..15) of line `line` (1..3) of `formation` made `value`.
QByteArray withByte(QByteArray table, int formation, int line, int at, int value)
{
    table[formation * FormationBytes + (line - 1) * 16 + at] = char(value);
    return table;
}

// `table` with formations 2, 6 and 20 otherwise: 2 and 20 in a count, 6 in a
// carried byte.
QByteArray threeDiffer(const QByteArray &table)
{
    return withByte(withByte(withByte(table, 2, 1, 2, 90), 6, 3, 3, 91), 20, 2, 2, 92);
}

QByteArray taken(QByteArray table, const QByteArray &other, const QList<int> &formations)
{
    for (const int formation : formations)
        table.replace(formation * FormationBytes, FormationBytes,
                      other.mid(formation * FormationBytes, FormationBytes));
    return table;
}

// `table` with the five bytes a program's table begins with.
QByteArray signedTable(const QByteArray &table)
{
    return tableSignature() + table.mid(5);
}

QByteArray program(const QByteArray &table, const QByteArray &begin)
{
    QByteArray bytes(1'400'000, 'p');
    bytes.replace(0, begin.size(), begin);
    bytes.replace(1'360'000, table.size(), table);
    return bytes;
}

// A shown window with `table` loaded from frmation.dat, formation 0 chosen.
void start(WindowFixture &f, const QByteArray &table = sampleTable())
{
    QVERIFY(f.showActive());
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.window->GF1().toBytes(), table);
    f.click(QStringLiteral("Option2(0)"));
}

// Watches for the take dialog while the window waits on it; `act` must close
// it, else it is cancelled and the test fails.
class DialogWatch
{
public:
    using Act = std::function<void(QDialog *, QListWidget *)>;
    explicit DialogWatch(Act act) : m_act(std::move(act))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != QLatin1String("TakeFormationsDialog"))
                return;
            m_timer.stop();
            ++opened;
            m_act(dialog, dialog->findChild<QListWidget *>(QStringLiteral("TakeList")));
            if (dialog->isVisible()) {
                leftOpen = true;
                dialog->reject();
            }
        });
        m_timer.start(5);
    }
    int opened = 0;
    bool leftOpen = false;

private:
    QTimer m_timer;
    Act m_act;
};

QPushButton *dialogButton(QDialog *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QLatin1String(name));
}

QUndoStack *history(const WindowFixture &f)
{
    return f.window->findChild<QUndoStack *>();
}
} // namespace

class TakeFormationsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void rowTexts_data();
    void rowTexts();
    void takesTheCheckedOnesAsOneStep();
    void takesNothing_data();
    void takesNothing();
    void readsOrSaysWhy_data();
    void readsOrSaysWhy();
    void panelEditsFirst_data();
    void panelEditsFirst();
};

void TakeFormationsTest::rowTexts_data()
{
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<int>("formation"); // the one that differs
    QTest::addColumn<QString>("text");
    const QByteArray base = sampleTable();
    QTest::newRow("two fields of a line, one of another")
        << withByte(withByte(withByte(base, 3, 1, 2, 77), 3, 1, 4, 1), 3, 3, 1, 0x05) << 3
        << "3 F3: line 1: count, xFeet; line 3: type";
    QTest::newRow("modifiers and carried bytes")
        << withByte(withByte(withByte(base, 30, 2, 1, base[30 * 48 + 17] ^ 0x20), 30, 2, 0, 1), 30,
                    2, 3, 2)
        << 30 << "30 F30: line 2: modifiers, byte0, byte3";
    QTest::newRow("offsets up and sideways") << withByte(withByte(base, 0, 3, 8, 0), 0, 3, 15, 0x80)
                                             << 0 << "0 F0: line 3: yFeet, zFeet";
}

void TakeFormationsTest::rowTexts()
{
    QFETCH(QByteArray, other);
    QFETCH(int, formation);
    QFETCH(QString, text);
    QStringList names;
    for (int n = 0; n < 31; ++n)
        names << QStringLiteral("F%1").arg(n);
    const QList<TakeRow> rows = takeRows(sampleTable(), other, names);
    QCOMPARE(rows.size(), 31);
    for (int n = 0; n < 31; ++n) {
        QCOMPARE(rows[n].formation, n);
        QCOMPARE(rows[n].text, n == formation ? text : QStringLiteral("%1 F%1: same").arg(n));
        QCOMPARE(rows[n].differs, n == formation);
    }
}

void TakeFormationsTest::takesTheCheckedOnesAsOneStep()
{
    WindowFixture f;
    start(f);
    f.click(QStringLiteral("Option2(9)"));
    f.box(1)->setText(QStringLiteral("12"));
    f.click(QStringLiteral("Command2"));
    const QByteArray edited = withByte(sampleTable(), 9, 1, 2, 12);
    const QByteArray other = threeDiffer(sampleTable());
    f.answers.push_back(f.writeFile(QStringLiteral("mod.dat"), other));
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Take formations from mod.dat"));
        // While it is open, the window's handlers do nothing.
        f.window->undo();
        QCOMPARE(f.window->GF1().toBytes(), edited);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTRY_COMPARE(QApplication::focusWidget(), list); // once the menu has let it go
        QCOMPARE(list->currentRow(), 2);                 // the first that differs
        // A screen reader hears every row by its text, and a check box only
        // where it differs, checked: 9 as edited differs too.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(list);
        QCOMPARE(accessible->childCount(), 31);
        for (int n = 0; n < 31; ++n) {
            QCOMPARE(accessible->child(n)->text(QAccessible::Name), list->item(n)->text());
            const bool differs = n == 2 || n == 6 || n == 9 || n == 20;
            QCOMPARE(bool(accessible->child(n)->state().checkable), differs);
            QCOMPARE(list->item(n)->checkState() == Qt::Checked, differs);
        }
        // Arrows and Space uncheck 6 and 9; Tab and Space take.
        for (const int steps : {4, 3}) {
            for (int k = 0; k < steps; ++k)
                QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Space);
        }
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialogButton(dialog, "Take"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    });
    openMenu(f.button(QStringLiteral("Option2(9)")), QStringLiteral("mouse"),
             QStringLiteral("Take formations from another file..."));
    QCOMPARE(watch.opened, 1);
    QVERIFY(!watch.leftOpen);
    QCOMPARE(f.window->GF1().toBytes(), taken(edited, other, {2, 20}));
    QCOMPARE(history(f)->count(), 2);
    QCOMPARE(history(f)->undoText(), QStringLiteral("take of 2 formations from mod.dat"));
    QVERIFY(f.button(QStringLiteral("Option2(2)"))->isChecked()); // the first taken, shown
    QVERIFY(f.button(QStringLiteral("Option2(20)"))->font().bold());
    f.window->undo();
    QCOMPARE(f.window->GF1().toBytes(), edited);
    QVERIFY(!f.button(QStringLiteral("Option2(20)"))->font().bold());
}

void TakeFormationsTest::takesNothing_data()
{
    QTest::addColumn<bool>("same"); // the file holds the window's table
    QTest::newRow("all unchecked, Return") << false;
    QTest::newRow("the same table") << true;
}

void TakeFormationsTest::takesNothing()
{
    QFETCH(bool, same);
    WindowFixture f;
    start(f);
    f.answers.push_back(
        f.writeFile(QStringLiteral("mod.dat"), same ? sampleTable() : threeDiffer(sampleTable())));
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        QPushButton *take = dialogButton(dialog, "Take");
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("TakeSummary"))
                     ->text()
                     .startsWith(QLatin1String("The tables are the same")),
                 same);
        for (int n = 0; n < list->count(); ++n)
            if (list->item(n)->flags() & Qt::ItemIsUserCheckable)
                list->item(n)->setCheckState(Qt::Unchecked);
        QVERIFY(!take->isEnabled());
        QTest::keyClick(list, Qt::Key_Return); // takes nothing
        QTest::keyClick(list, Qt::Key_Escape);
    });
    f.window->takeFromFile();
    QCOMPARE(watch.opened, 1);
    QCOMPARE(f.window->GF1().toBytes(), sampleTable());
    QCOMPARE(history(f)->count(), 0);
}

void TakeFormationsTest::readsOrSaysWhy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: no such file
    QTest::addColumn<QString>("why");      // empty: read, and its differences taken
    // Signed as a program's table is, so that every kind holds the same table.
    const QByteArray other = signedTable(threeDiffer(sampleTable()));
    QTest::newRow("a data file, read from its first byte") << "big.dat" << other + "tail"
                                                           << "";
    QTest::newRow("a JSON text") << "mod.json" << writeTableText(other, {}, TextFormat::Json) << "";
    QTest::newRow("a program, by its beginning") << "copy.bin" << program(other, "MZ") << "";
    QTest::newRow("no such file") << "gone.dat" << QByteArray() << "Could not open";
    QTest::newRow("a text of one formation")
        << "one.json" << writeFormationText(sampleTable(), 4, QStringLiteral("x")) << "not a whole";
}

void TakeFormationsTest::readsOrSaysWhy()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    WindowFixture f;
    start(f, signedTable(sampleTable()));
    f.answers.push_back(bytes.isNull() ? f.path(name) : f.writeFile(name, bytes));
    // A timer's turn before the dialog opens can only come from a program's search,
    // which keeps the window painted.
    bool waitedInSearch = false;
    QTimer probe; // gone with the test, if it never fires
    probe.setSingleShot(true);
    probe.callOnTimeout([&] {
        waitedInSearch = !QApplication::activeModalWidget() && QGuiApplication::overrideCursor() &&
                         QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    probe.start(0);
    DialogWatch watch(
        [&](QDialog *dialog, QListWidget *) { dialogButton(dialog, "Take")->click(); });
    f.window->takeFromFile();
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(waitedInSearch, name == QLatin1String("copy.bin"));
    QCOMPARE(watch.opened, why.isEmpty() ? 1 : 0);
    QCOMPARE(f.window->GF1().toBytes(),
             signedTable(why.isEmpty() ? threeDiffer(sampleTable()) : sampleTable()));
    if (why.isEmpty()) {
        QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
        QVERIFY(f.requests.last().filter.contains(QLatin1String("*.json")));
    } else {
        QCOMPARE(f.prompter.told.size(), 1);
        QVERIFY2(f.prompter.told[0].contains(why) &&
                     f.prompter.told[0].endsWith(QLatin1String("Nothing was taken.")),
                 qPrintable(f.prompter.told[0]));
    }
}

// A panel's typed edit is written or dropped first, or nothing is taken.
void TakeFormationsTest::panelEditsFirst_data()
{
    QTest::addColumn<Prompter::Choice>("answer");
    QTest::newRow("written") << Prompter::Choice::Go;
    QTest::newRow("stayed") << Prompter::Choice::Cancel;
}

void TakeFormationsTest::panelEditsFirst()
{
    QFETCH(Prompter::Choice, answer);
    WindowFixture f;
    start(f);
    f.click(QStringLiteral("Option2(5)"));
    f.box(1)->setText(QStringLiteral("9")); // typed, not written
    f.prompter.writeAnswer = answer;
    const QByteArray other = threeDiffer(sampleTable());
    f.answers.push_back(f.writeFile(QStringLiteral("mod.dat"), other));
    DialogWatch watch(
        [&](QDialog *dialog, QListWidget *) { dialogButton(dialog, "Take")->click(); });
    f.window->takeFromFile();
    QCOMPARE(f.prompter.asked.size(), 1);
    const bool written = answer == Prompter::Choice::Go;
    QCOMPARE(watch.opened, written ? 1 : 0);
    QCOMPARE(history(f)->count(), written ? 2 : 0);
    // Written, formation 5 differs from the file too, and is taken back.
    QCOMPARE(f.window->GF1().toBytes(),
             written ? taken(sampleTable(), other, {2, 5, 6, 20}) : sampleTable());
    if (!written)
        QCOMPARE(f.box(1)->text(), QStringLiteral("9"));
}

QTEST_MAIN(TakeFormationsTest)
#include "tst_take_formations.moc"
