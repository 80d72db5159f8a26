// "Take formations from another file": the rows the dialog lists, the files
// it reads, and the one step that takes the checked formations in.
#include "table_loader.h"
#include "table_text.h"
#include "take_formations.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
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

int chosen(const WindowFixture &f)
{
    for (int n = 0; n <= 30; ++n)
        if (f.button(QStringLiteral("Option2(%1)").arg(n))->isChecked())
            return n;
    return -1;
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
    void readsEveryKindOfFile_data();
    void readsEveryKindOfFile();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void panelEditsFirst_data();
    void panelEditsFirst();
    void rowsForKeysAndScreenReaders();
    void theWindowPaintsWhileAProgramIsSearched();
};

void TakeFormationsTest::rowTexts_data()
{
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("formation"); // the one that differs, if any
    QTest::addColumn<QString>("text");
    const QByteArray base = sampleTable();
    QTest::newRow("the same") << base << "Wedge" << 4 << "4 Wedge: same";
    QTest::newRow("two fields of a line, one of another")
        << withByte(withByte(withByte(base, 3, 1, 2, 77), 3, 1, 4, 1), 3, 3, 1, 0x05) << "Wedge"
        << 3 << "3 Wedge: line 1: count, xFeet; line 3: type";
    QTest::newRow("modifiers and carried bytes")
        << withByte(withByte(withByte(base, 30, 2, 1, base[30 * 48 + 17] ^ 0x20), 30, 2, 0, 1), 30,
                    2, 3, 2)
        << "Last" << 30 << "30 Last: line 2: modifiers, byte0, byte3";
    QTest::newRow("offsets up and sideways") << withByte(withByte(base, 0, 3, 8, 0), 0, 3, 15, 0x80)
                                             << "Lead" << 0 << "0 Lead: line 3: yFeet, zFeet";
    QTest::newRow("no name") << withByte(base, 7, 2, 2, 3) << "" << 7 << "7: line 2: count";
    QTest::newRow("a control character in the name") << withByte(base, 8, 1, 0, 0)
                                                     << "a\x1b"
                                                        "b"
                                                     << 8 << "8 a\\x1bb: line 1: byte0";
}

void TakeFormationsTest::rowTexts()
{
    QFETCH(QByteArray, other);
    QFETCH(QString, name);
    QFETCH(int, formation);
    QFETCH(QString, text);
    QStringList names;
    for (int n = 0; n < 31; ++n)
        names << (n == formation ? name : QStringLiteral("F%1").arg(n));
    const QList<TakeRow> rows = takeRows(sampleTable(), other, names);
    QCOMPARE(rows.size(), 31);
    for (int n = 0; n < 31; ++n) {
        QCOMPARE(rows[n].formation, n);
        if (n == formation) {
            QCOMPARE(rows[n].text, text);
            QCOMPARE(rows[n].differs, !text.endsWith(QLatin1String(": same")));
        } else {
            QCOMPARE(rows[n].text, QStringLiteral("%1 F%1: same").arg(n));
            QVERIFY(!rows[n].differs);
        }
    }
}

void TakeFormationsTest::takesTheCheckedOnesAsOneStep()
{
    WindowFixture f;
    start(f);
    f.click(QStringLiteral("Option2(9)"));
    f.box(1)->setText(QStringLiteral("12"));
    f.click(QStringLiteral("Command2"));
    const QByteArray loaded = sampleTable();
    const QByteArray edited = withByte(loaded, 9, 1, 2, 12);
    QCOMPARE(f.window->GF1().toBytes(), edited);
    const QByteArray other = threeDiffer(loaded);
    f.answers.push_back(f.writeFile(QStringLiteral("mod.dat"), other));
    auto *history = f.window->findChild<QUndoStack *>();
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Take formations from mod.dat"));
        QVERIFY(dialog->isModal() && dialog->isWindow());
        // While it is open, the window's handlers do nothing.
        f.window->undo();
        f.window->revertFormation(9);
        QCOMPARE(f.window->GF1().toBytes(), edited);
        QList<int> checked;
        for (int n = 0; n < list->count(); ++n)
            if (list->item(n)->checkState() == Qt::Checked)
                checked << n;
        QCOMPARE(checked, (QList<int>{2, 6, 9, 20})); // 9 as edited differs too
        list->item(9)->setCheckState(Qt::Unchecked);
        list->item(6)->setCheckState(Qt::Unchecked);
        dialogButton(dialog, "Take")->click();
    });
    openMenu(f.button(QStringLiteral("Option2(9)")), QStringLiteral("mouse"),
             QStringLiteral("Take formations from another file..."));
    QCOMPARE(watch.opened, 1);
    QVERIFY(!watch.leftOpen);

    const QByteArray expected = taken(edited, other, {2, 20});
    QCOMPARE(f.window->GF1().toBytes(), expected);
    QCOMPARE(history->count(), 2);
    QCOMPARE(history->undoText(), QStringLiteral("take of 2 formations from mod.dat"));
    QCOMPARE(chosen(f), 2); // the first taken, shown
    for (int n = 0; n < 31; ++n)
        QCOMPARE(f.button(QStringLiteral("Option2(%1)").arg(n))->font().bold(),
                 n == 2 || n == 9 || n == 20);

    f.window->undo();
    QCOMPARE(f.window->GF1().toBytes(), edited);
    QVERIFY(!f.button(QStringLiteral("Option2(20)"))->font().bold());
    QVERIFY(f.button(QStringLiteral("Option2(9)"))->font().bold());
    f.window->redo();
    QCOMPARE(f.window->GF1().toBytes(), expected);
    QCOMPARE(chosen(f), 2);
    QVERIFY(f.prompter.told.isEmpty() && f.prompter.asked.isEmpty());
}

void TakeFormationsTest::takesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("same"); // the file holds the window's table
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("all unchecked") << "uncheck" << false;
    QTest::newRow("the same table") << "cancel" << true;
}

void TakeFormationsTest::takesNothing()
{
    QFETCH(QString, how);
    QFETCH(bool, same);
    WindowFixture f;
    start(f);
    f.window->revertFormation(0); // the same bytes: no step
    const QByteArray loaded = sampleTable();
    f.answers.push_back(
        f.writeFile(QStringLiteral("mod.dat"), same ? loaded : threeDiffer(loaded)));
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        QPushButton *take = dialogButton(dialog, "Take");
        const QString summary = dialog->findChild<QLabel *>(QStringLiteral("TakeSummary"))->text();
        QCOMPARE(summary, same ? QStringLiteral("The tables are the same: no formation of mod.dat "
                                                "differs from the window's table.")
                               : QStringLiteral("3 formations of mod.dat differ from the window's "
                                                "table. The checked ones are taken into it as one "
                                                "step, which Undo takes back."));
        QCOMPARE(take->isEnabled(), !same);
        if (how == QLatin1String("uncheck")) {
            for (int n = 0; n < list->count(); ++n)
                if (list->item(n)->flags() & Qt::ItemIsUserCheckable)
                    list->item(n)->setCheckState(Qt::Unchecked);
            QVERIFY(!take->isEnabled());
            QTest::keyClick(list, Qt::Key_Return); // takes nothing
        }
        if (how == QLatin1String("escape"))
            QTest::keyClick(list, Qt::Key_Escape);
        else
            dialogButton(dialog, "Cancel")->click();
    });
    f.window->takeFromFile();
    QCOMPARE(watch.opened, 1);
    QCOMPARE(f.window->GF1().toBytes(), loaded);
    QCOMPARE(f.window->findChild<QUndoStack *>()->count(), 0);
    QVERIFY(!f.window->hasUnsavedChanges());
}

void TakeFormationsTest::readsEveryKindOfFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    // Signed as a program's table is, so that every kind holds the same table.
    const QByteArray other = signedTable(threeDiffer(sampleTable()));
    QTest::newRow("a data file") << "mod.dat" << other;
    QTest::newRow("a data file, read from its first byte") << "big.dat" << other + "tail";
    QTest::newRow("a JSON text") << "mod.json" << writeTableText(other, {}, TextFormat::Json);
    QTest::newRow("a CSV text") << "mod.csv" << writeTableText(other, {}, TextFormat::Csv);
    QTest::newRow("the program, by its name") << "KGF.EXE" << program(other, "");
    QTest::newRow("a program, by its beginning") << "copy.bin" << program(other, "MZ");
}

void TakeFormationsTest::readsEveryKindOfFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    start(f, signedTable(sampleTable()));
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("mods")));
    f.answers.push_back(f.writeFile(QStringLiteral("mods/") + name, bytes));
    DialogWatch watch(
        [&](QDialog *dialog, QListWidget *) { dialogButton(dialog, "Take")->click(); });
    f.window->takeFromFile();
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QCOMPARE(watch.opened, 1);
    QCOMPARE(f.window->GF1().toBytes(), signedTable(threeDiffer(sampleTable())));
    QCOMPARE(f.window->findChild<QUndoStack *>()->undoText(),
             QStringLiteral("take of 3 formations from %1").arg(name));
    QVERIFY(f.requests.last().filter.contains(QLatin1String("*.json")));
    // Load's dialog keeps its own filter, and it still opens beside the table.
    f.window->CD1().ShowOpen();
    QCOMPARE(f.requests.last().directory, f.dir.path());
    QVERIFY(!f.requests.last().filter.contains(QLatin1String("json")));
}

void TakeFormationsTest::failedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: no such file
    QTest::addColumn<QString>("why");
    QTest::newRow("no such file") << "gone.dat" << QByteArray() << "Could not open";
    QTest::newRow("a text of one formation")
        << "one.json" << writeFormationText(sampleTable(), 4, QStringLiteral("x")) << "not a whole";
    QTest::newRow("a program without the table")
        << "kgf.exe" << QByteArray(1'400'000, 'x') << "was not found";
    QTest::newRow("too short") << "short.dat" << QByteArray(100, 'x') << "holds 100 bytes";
}

void TakeFormationsTest::failedLoadChangesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    WindowFixture f;
    start(f);
    f.answers.push_back(bytes.isNull() ? f.path(name) : f.writeFile(name, bytes));
    DialogWatch watch([](QDialog *dialog, QListWidget *) { dialog->reject(); });
    f.window->takeFromFile();
    QCOMPARE(watch.opened, 0);
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(why), qPrintable(f.prompter.told[0]));
    QVERIFY(f.prompter.told[0].endsWith(QLatin1String("Nothing was taken.")));
    QCOMPARE(f.window->GF1().toBytes(), sampleTable());
    QCOMPARE(f.window->findChild<QUndoStack *>()->count(), 0);
}

void TakeFormationsTest::panelEditsFirst_data()
{
    QTest::addColumn<Prompter::Choice>("answer");
    QTest::newRow("written") << Prompter::Choice::Go;
    QTest::newRow("dropped") << Prompter::Choice::Discard;
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
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        // Compared with the table as the answer left it.
        QCOMPARE(list->item(5)->text().endsWith(QLatin1String("same")),
                 answer != Prompter::Choice::Go);
        dialogButton(dialog, "Take")->click();
    });
    f.window->takeFromFile();
    QCOMPARE(f.prompter.asked.size(), 1);
    QVERIFY(f.prompter.asked[0].startsWith(QLatin1String("The panel has changes")));
    auto *history = f.window->findChild<QUndoStack *>();
    QByteArray expected = sampleTable();
    if (answer == Prompter::Choice::Cancel) {
        QCOMPARE(f.requests.size(), 1); // no dialog after Load's
        QCOMPARE(watch.opened, 0);
        QCOMPARE(f.box(1)->text(), QStringLiteral("9"));
        QCOMPARE(history->count(), 0);
    } else {
        QCOMPARE(watch.opened, 1);
        // Written, formation 5 differs from the file too, and is taken back.
        const bool written = answer == Prompter::Choice::Go;
        expected = taken(expected, other, {2, 6, 20});
        QCOMPARE(history->count(), written ? 2 : 1);
        QCOMPARE(history->undoText(),
                 QStringLiteral("take of %1 formations from mod.dat").arg(written ? 4 : 3));
        if (written) {
            history->undo();
            QCOMPARE(f.window->GF1().toBytes(), withByte(sampleTable(), 5, 1, 2, 9));
            history->redo();
        }
    }
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

void TakeFormationsTest::rowsForKeysAndScreenReaders()
{
    WindowFixture f;
    start(f);
    const QByteArray other = threeDiffer(sampleTable());
    f.answers.push_back(f.writeFile(QStringLiteral("mod.dat"), other));
    DialogWatch watch([&](QDialog *dialog, QListWidget *list) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(list->currentRow(), 2); // the first that differs
        // A screen reader hears every row by its text, and a check box only where it differs.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(list);
        QCOMPARE(accessible->childCount(), 31);
        for (int n = 0; n < 31; ++n) {
            QAccessibleInterface *row = accessible->child(n);
            QCOMPARE(row->text(QAccessible::Name), list->item(n)->text());
            QVERIFY(row->text(QAccessible::Name)
                        .startsWith(QStringLiteral("%1 Formation %1: ").arg(n)));
            QCOMPARE(bool(row->state().checkable), n == 2 || n == 6 || n == 20);
        }
        QCOMPARE(list->item(20)->text(), QStringLiteral("20 Formation 20: line 2: count"));
        // Arrows reach every row; Space unchecks one that differs and leaves one that does not.
        for (int n = 2; n < 20; ++n)
            QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(list->item(20)->checkState(), Qt::Unchecked);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(!(list->item(19)->flags() & Qt::ItemIsUserCheckable));
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialogButton(dialog, "Take"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    });
    f.window->takeFromFile();
    QCOMPARE(watch.opened, 1);
    QCOMPARE(f.window->GF1().toBytes(), taken(sampleTable(), other, {2, 6}));
}

void TakeFormationsTest::theWindowPaintsWhileAProgramIsSearched()
{
    WindowFixture f;
    start(f);
    f.answers.push_back(
        f.writeFile(QStringLiteral("kgf.exe"), program(signedTable(sampleTable()), "MZ")));
    // A timer's turn before the dialog opens can only come from the search.
    bool duringSearch = false;
    bool waiting = false;
    QTimer::singleShot(0, [&] {
        duringSearch = !QApplication::activeModalWidget();
        waiting = QGuiApplication::overrideCursor() &&
                  QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    DialogWatch watch([](QDialog *dialog, QListWidget *) { dialog->reject(); });
    f.window->takeFromFile();
    QCOMPARE(watch.opened, 1);
    QVERIFY(duringSearch);
    QVERIFY(waiting);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TakeFormationsTest)
#include "tst_take_formations.moc"
