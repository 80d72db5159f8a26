#include "../files/save_faults.h"
#include "twips.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

class FormationEditTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void selectingDecodesTheThreeLines();
    void selectingTurnsAbsentModifiersOff();
    void unknownTypeIndexShowsNoButtonAndIsKept();
    void selectorIsIgnoredOnlyBeforeStartUp();
    void workedExampleWritesRowOne();
    void selectorThirtyWritesTheLastRows();
    void editWithoutSelectorWritesNothing();
    void refusedInputChangesNothing_data();
    void refusedInputChangesNothing();
    void closeAsksOnlyWithUnsavedChanges();
    void loadOverUnsavedChangesAsks();
    void failedSaveKeepsUnsavedState();
    void fullDiskSaveKeepsFileAndUnsavedState_data();
    void fullDiskSaveKeepsFileAndUnsavedState();
    void hoverShowsNames();
    void hoverOnEmptyNameAndLastButton();
    void hugeNameIsCutAndHoverStaysQuick();
    void workingLabelsHoldTheLastOffset_data();
    void workingLabelsHoldTheLastOffset();
    void grayedModifierAddsNothing();
    void keptTypeIndexIsThePanels();
    void loadShowsTheNewTablesLines();
    void writeShowsWhatTheTableHolds_data();
    void writeShowsWhatTheTableHolds();
    void typedEditsAreNeverDroppedUnasked_data();
    void typedEditsAreNeverDroppedUnasked();

private:
    // A window with `table` loaded from a data file.
    static void load(WindowFixture &f, const QByteArray &table);
    static QByteArray tableWithRows(const QMap<int, QByteArray> &rows);
};

QByteArray FormationEditTest::tableWithRows(const QMap<int, QByteArray> &rows)
{
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(0x40 + i % 7); // recognisable background
    for (auto it = rows.begin(); it != rows.end(); ++it)
        table.replace(16 * (it.key() - 1), 16, QByteArray::fromHex(it.value()));
    return table;
}

void FormationEditTest::load(WindowFixture &f, const QByteArray &table)
{
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Command1"));
    QVERIFY(f.prompter.told.isEmpty());
    QCOMPARE(f.window->GF1().toBytes(), table);
}

static QStringList boxTexts(const WindowFixture &f)
{
    QStringList texts;
    for (int n = 0; n < 15; ++n)
        texts << f.box(n)->text();
    return texts;
}

static int checkedType(const WindowFixture &f, int line)
{
    for (int k = 0; k < 8; ++k)
        if (f.button(QStringLiteral("Option%1(%2)").arg(2 + line).arg(k))->isChecked())
            return k;
    return -1;
}

static QCheckBox *modifier(const WindowFixture &f, int line, int k)
{
    return f.control<QCheckBox>(QStringLiteral("Check%1(%2)").arg(1 + line).arg(k));
}

void FormationEditTest::selectingDecodesTheThreeLines()
{
    WindowFixture f;
    // Formation 5 is rows 16 to 18.
    const QByteArray table = tableWithRows({
        {16, "11F7032234080000E6FBFFFFFFFFFFFF"},
        {17, "0010FF0000000080D00700000A000000"},
        {18, "00000000000000000000000000000000"},
    });
    load(f, table);
    f.click(QStringLiteral("Option2(5)"));
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" Formation 5 "));
    QCOMPARE(boxTexts(f), (QStringList{"247", "3", "100", "-50", "-4.76190476190476E-02", //
                                       "16", "255", "-102261126.095238", "95.2380952380952",
                                       "0.476190476190476", //
                                       "0", "0", "0", "0", "0"}));
    QCOMPARE(checkedType(f, 1), 7);
    QCOMPARE(checkedType(f, 2), 0);
    QCOMPARE(checkedType(f, 3), 0);
    for (int k = 0; k < 4; ++k) {
        QVERIFY(modifier(f, 1, k)->isChecked());
        QCOMPARE(modifier(f, 2, k)->isChecked(), k == 0);
        QVERIFY(!modifier(f, 3, k)->isChecked());
    }
    QCOMPARE(f.window->GF1().toBytes(), table); // selecting only reads
}

void FormationEditTest::selectingTurnsAbsentModifiersOff()
{
    WindowFixture f;
    load(f, tableWithRows({{1, "00F70100000000000000000000000000"},
                           {4, "00230100000000000000000000000000"}}));
    f.click(QStringLiteral("Option2(0)"));
    QVERIFY(modifier(f, 1, 0)->isChecked() && modifier(f, 1, 3)->isChecked());
    f.click(QStringLiteral("Option2(1)"));
    QCOMPARE(checkedType(f, 1), 3);
    QVERIFY(!modifier(f, 1, 0)->isChecked());
    QVERIFY(modifier(f, 1, 1)->isChecked());
    QVERIFY(!modifier(f, 1, 2)->isChecked());
    QVERIFY(!modifier(f, 1, 3)->isChecked());
    // Typed edits are replaced when the same formation is chosen again and
    // the user drops them.
    const QString shown = f.box(7)->text();
    f.box(7)->setText(QStringLiteral("999"));
    f.prompter.writeAnswer = Prompter::Choice::Discard;
    f.click(QStringLiteral("Option2(1)"));
    QCOMPARE(f.prompter.asked.size(), 1);
    QCOMPARE(f.box(7)->text(), shown);
}

void FormationEditTest::unknownTypeIndexShowsNoButtonAndIsKept()
{
    WindowFixture f;
    const QByteArray table = tableWithRows({{2, "5A990202D20000000000000000000000"}});
    load(f, table);
    f.click(QStringLiteral("Option2(0)"));
    QCOMPARE(f.box(5)->text(), QStringLiteral("153")); // 0x99: type 9, Alternate + One lead
    QCOMPARE(checkedType(f, 2), -1);
    QVERIFY(f.box(5)->toolTip().contains(QStringLiteral("Type index 9")));
    QVERIFY(modifier(f, 2, 0)->isChecked() && modifier(f, 2, 3)->isChecked());
    QCOMPARE(f.box(6)->text(), QStringLiteral("2"));
    QCOMPARE(f.box(7)->text(), QStringLiteral("10"));

    modifier(f, 2, 3)->setChecked(false);
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.prompter.told.isEmpty());
    QCOMPARE(f.window->GF1().TextMatrix(2, 2), QStringLiteral("19")); // 9 + 16
    QCOMPARE(f.box(5)->text(), QStringLiteral("25"));

    // A known type later clears the mark.
    f.click(QStringLiteral("Option2(1)"));
    QVERIFY(f.box(5)->toolTip().isEmpty());
}

void FormationEditTest::selectorIsIgnoredOnlyBeforeStartUp()
{
    // Start-up turns every created selector on once; none of that decodes.
    WindowFixture f;
    QCOMPARE(boxTexts(f), QStringList(15));
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QString());
    // After start-up a click on an all-zero table decodes as Line Astern, 0, 0.
    f.click(QStringLiteral("Option2(2)"));
    QCOMPARE(boxTexts(f), QStringList(15, QStringLiteral("0")));
    for (int line = 1; line <= 3; ++line)
        QCOMPARE(checkedType(f, line), 0);
}

void FormationEditTest::workedExampleWritesRowOne()
{
    WindowFixture f;
    const QByteArray table = tableWithRows({{1, "7F000000000000000000000000000000"},
                                            {2, "00000000000000000000000000000000"},
                                            {3, "00000000000000000000000000000000"}});
    load(f, table);
    QByteArray withByte3 = table;
    withByte3[3] = '\x3C';
    load(f, withByte3);
    f.click(QStringLiteral("Option2(0)"));
    f.box(0)->setText(QStringLiteral("7")); // a code typed first gives way to the buttons
    f.click(QStringLiteral("Option3(3)"));
    modifier(f, 1, 1)->setChecked(true);
    f.box(1)->setText(QStringLiteral("4"));
    f.box(2)->setText(QStringLiteral("100"));
    f.box(3)->setText(QStringLiteral("-50"));
    f.box(4)->setText(QStringLiteral("0"));
    QVERIFY(!f.window->hasUnsavedChanges());
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.prompter.told.isEmpty());

    const QStringList row1 = {"7F", "23", "04", "3C", "34", "08", "00", "00",
                              "E6", "FB", "FF", "FF", "00", "00", "00", "00"};
    for (int c = 1; c <= 16; ++c)
        QCOMPARE(f.window->GF1().TextMatrix(1, c), row1[c - 1]);
    QCOMPARE(f.box(0)->text(), QStringLiteral("35"));
    QByteArray expected = withByte3;
    expected.replace(0, 16, QByteArray::fromHex("7F23043C34080000E6FBFFFF00000000"));
    QCOMPARE(f.window->GF1().toBytes(), expected); // lines 2 and 3 and all else unchanged
    QVERIFY(f.window->hasUnsavedChanges());

    // Clicking again with the same editors gives the same cells.
    f.click(QStringLiteral("Command2"));
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

void FormationEditTest::selectorThirtyWritesTheLastRows()
{
    WindowFixture f;
    const QByteArray table = tableWithRows({});
    load(f, table);
    f.click(QStringLiteral("Option2(30)"));
    f.click(QStringLiteral("Option5(7)"));
    for (int k = 0; k < 4; ++k)
        modifier(f, 3, k)->setChecked(true);
    f.box(11)->setText(QStringLiteral("8"));
    f.box(12)->setText(QStringLiteral("0.5"));
    f.box(13)->setText(QStringLiteral("1.5"));
    f.box(14)->setText(QStringLiteral("-0.5"));
    f.box(7)->setText(QStringLiteral("102261126"));
    f.click(QStringLiteral("Command2"));
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    const QByteArray after = f.window->GF1().toBytes();
    QCOMPARE(after.left(16 * 90), table.left(16 * 90));
    // Row 92: X 102261126 ft.
    QCOMPARE(after.mid(16 * 91 + 4, 4), QByteArray::fromHex("FEFFFF7F"));
    // Row 93: Bomber stream with every modifier, 8 aircraft, halves to even.
    QCOMPARE(after.mid(16 * 92 + 1, 2), QByteArray::fromHex("F708"));
    QCOMPARE(after.mid(16 * 92 + 4, 12), QByteArray::fromHex("0A00000020000000F6FFFFFF"));
    QCOMPARE(after[16 * 92], table[16 * 92]);
    QCOMPARE(after[16 * 92 + 3], table[16 * 92 + 3]);
    QCOMPARE(f.box(10)->text(), QStringLiteral("247"));
}

void FormationEditTest::editWithoutSelectorWritesNothing()
{
    WindowFixture f;
    const QByteArray table = tableWithRows({});
    load(f, table);
    f.box(1)->setText(QStringLiteral("4"));
    f.click(QStringLiteral("Command2"));
    QCOMPARE(f.window->GF1().toBytes(), table);
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY(f.prompter.told[0].contains(QStringLiteral("Choose a formation")));
    QVERIFY(!f.window->hasUnsavedChanges());
}

void FormationEditTest::refusedInputChangesNothing_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty offset") << 2 << ""
                                  << "Line 1, X Offset: the box is empty.";
    QTest::newRow("not a number") << 8 << "ten"
                                  << "Line 2, Y Offset: \"ten\" is not a number.";
    QTest::newRow("offset too large") << 14 << "102261127"
                                      << "Line 3, Z Offset: 102261127 feet is more than what";
    QTest::newRow("offset too far below") << 3 << "-1e9"
                                          << "Line 1, Y Offset: -1e9 feet is beyond what the "
                                             "table can hold";
    QTest::newRow("count 256") << 6 << "256"
                               << "Line 2, Number: 256 is not a number of aircraft";
    QTest::newRow("count 300") << 11 << "300"
                               << "Line 3, Number: 300";
    QTest::newRow("count -1") << 1 << "-1"
                              << "Line 1, Number: -1";
    QTest::newRow("empty count") << 1 << " "
                                 << "Line 1, Number: the box is empty.";
}

void FormationEditTest::refusedInputChangesNothing()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    WindowFixture f;
    const QByteArray table = tableWithRows({});
    load(f, table);
    f.click(QStringLiteral("Option2(4)"));
    // Valid edits on every line, so a refusal in line 3 must also hold back lines 1 and 2.
    f.click(QStringLiteral("Option3(6)"));
    f.box(1)->setText(QStringLiteral("5"));
    f.box(2)->setText(QStringLiteral("12"));
    f.box(0)->setText(QStringLiteral("38"));
    f.box(box)->setText(text);
    f.click(QStringLiteral("Command2"));
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].startsWith(message), qPrintable(f.prompter.told[0]));
    QVERIFY(f.prompter.told[0].endsWith(QStringLiteral(" Nothing was written to the table.")));
    QCOMPARE(f.window->GF1().toBytes(), table);
    QCOMPARE(f.box(0)->text(), QStringLiteral("38")); // no "Type" box rewritten
    QVERIFY(!f.window->hasUnsavedChanges());
}

// Makes an unsaved change through the panel.
static void changeSomething(WindowFixture &f)
{
    f.click(QStringLiteral("Option2(0)"));
    f.box(1)->setText(QStringLiteral("6"));
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.window->hasUnsavedChanges());
}

void FormationEditTest::closeAsksOnlyWithUnsavedChanges()
{
    {
        WindowFixture f;
        f.window->show();
        QVERIFY(f.window->close());
        QVERIFY(f.prompter.asked.isEmpty());
    }
    {
        // Edits that store what was there already are no change.
        WindowFixture f;
        f.window->show();
        f.click(QStringLiteral("Option2(0)"));
        f.click(QStringLiteral("Command2"));
        QVERIFY(!f.window->hasUnsavedChanges());
        QVERIFY(f.window->close());
    }
    WindowFixture f;
    f.window->show();
    changeSomething(f);
    f.prompter.saveAnswer = Prompter::Choice::Cancel;
    QVERIFY(!f.window->close());
    QCOMPARE(f.prompter.asked.size(), 1);
    QVERIFY(f.prompter.asked[0].contains(QStringLiteral("not saved")));

    // Save, but cancel the save dialog: the window stays.
    f.prompter.saveAnswer = Prompter::Choice::Go;
    QVERIFY(!f.window->close());
    QVERIFY(f.window->isVisible());

    // Save to a file: saved, then closed.
    const QString target = f.path(QStringLiteral("saved.dat"));
    f.answers.push_back(target);
    QVERIFY(f.window->close());
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), f.window->GF1().toBytes());
    QVERIFY(!f.window->hasUnsavedChanges());

    WindowFixture g;
    g.window->show();
    changeSomething(g);
    g.prompter.saveAnswer = Prompter::Choice::Discard;
    QVERIFY(g.window->close());
}

void FormationEditTest::loadOverUnsavedChangesAsks()
{
    WindowFixture f;
    changeSomething(f);
    const QByteArray edited = f.window->GF1().toBytes();
    f.prompter.saveAnswer = Prompter::Choice::Cancel;
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.prompter.asked.size(), 1);
    QVERIFY(f.requests.isEmpty()); // no open dialog
    QCOMPARE(f.window->GF1().toBytes(), edited);

    f.prompter.saveAnswer = Prompter::Choice::Discard;
    const QByteArray other = tableWithRows({});
    f.answers.push_back(f.writeFile(QStringLiteral("other_frmation.dat"), other));
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.window->GF1().toBytes(), other);
    QVERIFY(!f.window->hasUnsavedChanges());
}

void FormationEditTest::failedSaveKeepsUnsavedState()
{
    WindowFixture f;
    changeSomething(f);
    const QByteArray old(3000, 'o');
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), old);
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY(f.prompter.told[0].contains(QStringLiteral("read-only")));
    QVERIFY(f.window->hasUnsavedChanges());

    FaultyFile::Faults faults;
    faults.room = 0;
    f.window->setSaveFileWrapper(FaultyFile::wrapper(faults));
    const QString other = f.path(QStringLiteral("other.dat"));
    f.answers.push_back(other);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.told.size(), 2);
    QVERIFY(f.prompter.told[1].contains(QStringLiteral("No space left on device")));
    QVERIFY(!QFile::exists(other));
    QVERIFY(f.window->hasUnsavedChanges());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
}

void FormationEditTest::fullDiskSaveKeepsFileAndUnsavedState_data()
{
    QTest::addColumn<int>("oldSize");
    QTest::addColumn<bool>("withoutBackup"); // the answer to the backup and journal questions
    // The journal takes room, an empty backup none: asked, and agreed.
    QTest::newRow("empty file must grow") << 0 << true;
    // With no room for its journal and backup the save asks first; a longer
    // file then takes the table in place.
    QTest::newRow("longer file, no room for a backup, cancelled") << 5000 << false;
    QTest::newRow("longer file, no room for a backup, saved") << 5000 << true;
}

void FormationEditTest::fullDiskSaveKeepsFileAndUnsavedState()
{
    QFETCH(int, oldSize);
    QFETCH(bool, withoutBackup);
    const QByteArray old(oldSize, 'k');
    const auto disk = TinyFileSystem::fullDiskHolding(QStringLiteral("frmation.dat"), old);
    if (!disk)
        QSKIP("no small file system could be mounted here; the faulty file covers this case");
    const QString path = disk->path(QStringLiteral("frmation.dat"));
    WindowFixture f;
    changeSomething(f);
    f.prompter.confirmAnswer = withoutBackup;
    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    // Each yes to going without a backup or a journal is "Save".
    QCOMPARE(f.prompter.acceptButtons,
             QStringList(f.prompter.asked.size(), QStringLiteral("Save")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString noJournal =
        QStringLiteral("No journal of %1 can be written beside it (No space left on device): if "
                       "the save were cut off part-way, by a crash or a power cut, the file could "
                       "not be put back.")
            .arg(QDir::toNativeSeparators(path));
    if (oldSize == 0) {
        QCOMPARE(f.prompter.asked.size(), 1);
        QVERIFY2(f.prompter.asked[0].startsWith(noJournal), qPrintable(f.prompter.asked[0]));
        // The empty backup stays, a true copy, and is named.
        QCOMPARE(f.prompter.told.size(), 1);
        QVERIFY2(f.prompter.told[0].contains(QStringLiteral("No space left on device")),
                 qPrintable(f.prompter.told[0]));
        QVERIFY(f.prompter.told[0].contains(
            QStringLiteral("The file is unchanged, and the copy of it made before this save "
                           "stays as %1.bak.")
                .arg(QDir::toNativeSeparators(path))));
        QCOMPARE(QFileInfo(path + QStringLiteral(".bak")).size(), 0);
    } else {
        QVERIFY(!QFile::exists(path + QStringLiteral(".bak")));
        // No room for the journal, asked first; agreed, none for the backup either.
        QCOMPARE(f.prompter.asked.size(), withoutBackup ? 2 : 1);
        QCOMPARE(f.prompter.asked[0], noJournal + " Save without one?");
        QVERIFY(!withoutBackup ||
                (f.prompter.asked[1].startsWith(QStringLiteral("No backup of %1 can be made (")
                                                    .arg(QDir::toNativeSeparators(path))) &&
                 f.prompter.asked[1].endsWith(QStringLiteral("Save without a backup?"))));
        QCOMPARE(f.prompter.acceptButtons[0], QStringLiteral("Save"));
        QVERIFY(f.prompter.told.isEmpty());
    }
    if (withoutBackup && oldSize > 0) {
        QVERIFY(!f.window->hasUnsavedChanges());
        QCOMPARE(file.readAll(), f.window->GF1().toBytes() + old.mid(1488));
        return;
    }
    QVERIFY(f.window->hasUnsavedChanges());
    QCOMPARE(file.readAll(), old);
}

static QPoint centreIn(QWidget *frame, QWidget *control)
{
    return control->mapTo(frame, control->rect().center());
}

void FormationEditTest::hoverShowsNames()
{
    QByteArray names = "ABC\r\n" + WindowFixture::defaultNames();
    WindowFixture f(names);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QWidget *frame1 = f.control(QStringLiteral("Frame1"));
    auto *label12 = f.control<QLabel>(QStringLiteral("Label12"));
    const int emptyWidth = label12->width();

    QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(0)"))));
    QTRY_COMPARE(label12->text(), QStringLiteral(" ABC "));
    QVERIFY(label12->width() > emptyWidth);

    // Onto a line editor, a calculator frame and a label: the name stays.
    for (const char *name : {"Text3(3)", "Frame2(1)", "Option4(2)", "Label10"}) {
        QTest::mouseMove(frame1, centreIn(frame1, f.control(QString::fromLatin1(name))));
        QTest::qWait(10);
        QCOMPARE(label12->text(), QStringLiteral(" ABC "));
    }

    // Out of the frame onto the window: the name stays.
    const QPoint outside(twipsToPixels(6000), twipsToPixels(300));
    QVERIFY(!f.window->childAt(outside));
    QTest::mouseMove(f.window.get(), outside);
    QTest::qWait(10);
    QCOMPARE(label12->text(), QStringLiteral(" ABC "));

    // The bare surface of the frame empties it.
    const QPoint bare(twipsToPixels(4200), twipsToPixels(5000));
    QVERIFY(!frame1->childAt(bare));
    QTest::mouseMove(frame1, bare);
    QTRY_COMPARE(label12->text(), QString());
    QCOMPARE(label12->width(), emptyWidth);

    // Clicking a selector leaves the label alone.
    QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(7)"))));
    QTRY_COMPARE(label12->text(), QStringLiteral(" Formation 6 "));
    f.click(QStringLiteral("Option2(12)"));
    QCOMPARE(label12->text(), QStringLiteral(" Formation 6 "));
}

void FormationEditTest::hoverOnEmptyNameAndLastButton()
{
    QByteArray names = WindowFixture::defaultNames();
    names.replace("Formation 3\r\n", "\r\n");
    WindowFixture f(names);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QWidget *frame1 = f.control(QStringLiteral("Frame1"));
    auto *label12 = f.control<QLabel>(QStringLiteral("Label12"));
    QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(30)"))));
    QTRY_COMPARE(label12->text(), QStringLiteral(" Formation 30 "));
    QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(3)"))));
    QTRY_COMPARE(label12->text(), QStringLiteral("  "));
    // An empty name in the selection label is two blanks too.
    f.click(QStringLiteral("Option2(3)"));
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral("  "));
}

void FormationEditTest::hugeNameIsCutAndHoverStaysQuick()
{
    QByteArray names = QByteArray(10'000'000, 'N') + "\r\n" + WindowFixture::defaultNames();
    WindowFixture f(names);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QWidget *frame1 = f.control(QStringLiteral("Frame1"));
    auto *label12 = f.control<QLabel>(QStringLiteral("Label12"));
    const QString cut = QStringLiteral(" %1 ").arg(QString(4096, u'N'));

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 10; ++i) {
        QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(0)"))));
        QTRY_COMPARE(label12->text(), cut);
        QTest::mouseMove(frame1, centreIn(frame1, f.control(QStringLiteral("Option2(1)"))));
        QTRY_COMPARE(label12->text(), QStringLiteral(" Formation 0 "));
    }
    qInfo("20 hovers between a cut 10 MB name and a short one took %lld ms", timer.elapsed());
    f.click(QStringLiteral("Option2(0)"));
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), cut);
}

void FormationEditTest::workingLabelsHoldTheLastOffset_data()
{
    QTest::addColumn<QString>("zOffset"); // line 3's, the last one written
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QStringList>("bytes");
    QTest::newRow("100") << "100"
                         << "00000834" << QStringList{"52", "8", "0", "0"};
    QTest::newRow("-50") << "-50"
                         << "FFFFFBE6" << QStringList{"230", "251", "255", "255"};
    QTest::newRow("-10") << "-10"
                         << "FFFFFF2E" << QStringList{"46", "255", "255", "255"};
}

static QStringList workingLabels(const WindowFixture &f)
{
    QStringList texts = {f.control<QLabel>(QStringLiteral("Label8"))->text()};
    for (int k = 0; k < 4; ++k)
        texts << f.control<QLabel>(QStringLiteral("Label9(%1)").arg(k))->text();
    return texts;
}

void FormationEditTest::workingLabelsHoldTheLastOffset()
{
    QFETCH(QString, zOffset);
    QFETCH(QString, hex);
    QFETCH(QStringList, bytes);
    WindowFixture f;
    f.window->show();
    f.click(QStringLiteral("Option2(0)"));
    f.box(2)->setText(QStringLiteral("100")); // line 1 X
    f.box(3)->setText(QStringLiteral("-50")); // line 1 Y
    f.box(14)->setText(zOffset);              // line 3 Z
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.prompter.told.isEmpty());
    const QStringList after = workingLabels(f);
    QCOMPARE(after, QStringList{hex} + bytes);
    for (const char *name : {"Label8", "Label9(0)", "Label9(3)"})
        QVERIFY2(!f.control(QString::fromLatin1(name))->isVisible(), name);

    // A refused edit writes nothing, the working labels included.
    f.box(14)->setText(QStringLiteral("7"));
    f.box(7)->setText(QStringLiteral("ten"));
    f.click(QStringLiteral("Command2"));
    QCOMPARE(f.prompter.told.size(), 1);
    QCOMPARE(workingLabels(f), after);
}

void FormationEditTest::grayedModifierAddsNothing()
{
    WindowFixture f;
    f.click(QStringLiteral("Option2(0)"));
    f.click(QStringLiteral("Option3(3)"));
    QCheckBox *staggered = modifier(f, 1, 1);
    staggered->setTristate(true);
    staggered->setCheckState(Qt::PartiallyChecked); // value 2, grayed
    modifier(f, 1, 3)->setChecked(true);
    f.click(QStringLiteral("Command2"));
    QCOMPARE(f.box(0)->text(), QStringLiteral("131")); // 3 + 128, no 32
    QCOMPARE(f.window->GF1().TextMatrix(1, 2), QStringLiteral("83"));
}

void FormationEditTest::keptTypeIndexIsThePanels()
{
    WindowFixture f;
    // Formation 0, line 2: type index 9 in the first table, 12 in the second.
    load(f, tableWithRows({{2, "00990200000000000000000000000000"}}));
    f.click(QStringLiteral("Option2(0)"));
    QCOMPARE(checkedType(f, 2), -1);
    QCOMPARE(f.box(5)->text(), QStringLiteral("153"));
    const QByteArray second = tableWithRows({{2, "001C0200000000000000000000000000"}});
    load(f, second);
    // The load shows the new table's line, and "Edit this one" keeps the
    // index the panel shows now, 12, not the first table's 9.
    QCOMPARE(f.box(5)->text(), QStringLiteral("28"));
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.prompter.told.isEmpty());
    QCOMPARE(f.window->GF1().toBytes(), second);
}

void FormationEditTest::loadShowsTheNewTablesLines()
{
    WindowFixture f;
    // Formation 6, line 1 is row 19.
    load(f, tableWithRows({{19, "00050500000000000000000000000000"}}));
    f.click(QStringLiteral("Option2(6)"));
    QCOMPARE(f.box(1)->text(), QStringLiteral("5"));
    const QByteArray second = tableWithRows({{19, "11270900D20000000000000000000000"}});
    load(f, second);
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" Formation 6 "));
    QCOMPARE(boxTexts(f).mid(0, 5), (QStringList{"39", "9", "10", "0", "0"}));
    QCOMPARE(checkedType(f, 1), 7);
    QVERIFY(modifier(f, 1, 1)->isChecked());
    // Writing one changed box puts only that value into the second table.
    f.box(2)->setText(QStringLiteral("12"));
    f.click(QStringLiteral("Command2"));
    QByteArray expected = second;
    expected.replace(16 * 18 + 4, 4, QByteArray::fromHex("FC000000"));
    QCOMPARE(f.window->GF1().toBytes(), expected);
}

void FormationEditTest::writeShowsWhatTheTableHolds_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("count rounds half to even") << 1 << "2.5"
                                               << "2";
    QTest::newRow("count rounds up") << 6 << "3.5"
                                     << "4";
    QTest::newRow("a hundredth of a foot is 0") << 2 << "0.01"
                                                << "0";
    QTest::newRow("exponent") << 8 << "1E3"
                              << "1000";
    QTest::newRow("blanks and a trailing zero") << 14 << " 100.0 "
                                                << "100";
    QTest::newRow("not a whole unit") << 12 << "0.03"
                                      << "4.76190476190476E-02";
}

void FormationEditTest::writeShowsWhatTheTableHolds()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    WindowFixture f;
    f.click(QStringLiteral("Option2(3)"));
    f.box(box)->setText(typed);
    f.click(QStringLiteral("Command2"));
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QCOMPARE(f.box(box)->text(), shown);
    // Nothing is left to write: the next choice asks nothing.
    f.click(QStringLiteral("Option2(4)"));
    QVERIFY(f.prompter.asked.isEmpty());
}

void FormationEditTest::typedEditsAreNeverDroppedUnasked_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("answer");
    const char *answers[] = {"write", "discard", "cancel"};
    for (const char *action : {"choose", "load", "save", "close"}) {
        for (int answer = 0; answer < 3; ++answer)
            QTest::addRow("%s, %s", action, answers[answer])
                << QString::fromLatin1(action) << true << answer;
        QTest::addRow("%s, nothing typed", action) << QString::fromLatin1(action) << false << 2;
    }
}

void FormationEditTest::typedEditsAreNeverDroppedUnasked()
{
    QFETCH(QString, action);
    QFETCH(bool, typed);
    QFETCH(int, answer);
    const auto choice = static_cast<Prompter::Choice>(answer);
    WindowFixture f;
    f.window->show();
    const QByteArray table = tableWithRows({});
    load(f, table);
    f.click(QStringLiteral("Option2(2)"));
    if (typed)
        f.box(6)->setText(QStringLiteral("7")); // formation 2, line 2's count
    f.prompter.writeAnswer = choice;
    f.prompter.saveAnswer = Prompter::Choice::Discard; // the table question, if it comes
    f.requests.clear();

    const QString other = f.writeFile(QStringLiteral("other_frmation.dat"), tableWithRows({}));
    const QString target = f.path(QStringLiteral("saved.dat"));
    bool went = false;
    bool written = false;
    const int count = 16 * 7 + 2; // formation 2, line 2's count byte
    if (action == QLatin1String("choose")) {
        f.click(QStringLiteral("Option2(9)"));
        went = f.button(QStringLiteral("Option2(9)"))->isChecked();
        written = f.window->GF1().toBytes()[count] == 7;
    } else if (action == QLatin1String("load")) {
        f.answers.push_back(other);
        f.click(QStringLiteral("Command1"));
        went = !f.requests.isEmpty();
        written = f.prompter.asked.size() == 2; // then the table had changes to save
        if (written)
            QVERIFY2(
                f.prompter.asked[1].startsWith(
                    QStringLiteral("The table loaded from %1 has changes that are not saved.")
                        .arg(QDir::toNativeSeparators(f.path(QStringLiteral("frmation.dat"))))),
                qPrintable(f.prompter.asked[1]));
    } else if (action == QLatin1String("save")) {
        f.answers.push_back(target);
        f.click(QStringLiteral("Command3"));
        QFile saved(target);
        went = saved.open(QIODevice::ReadOnly);
        written = went && saved.readAll()[count] == 7;
    } else {
        went = f.window->close();
        written = f.prompter.asked.size() == 2;
    }

    const QString question = QStringLiteral("The panel has changes that are not written into the "
                                            "table. Write them now?");
    QCOMPARE(!f.prompter.asked.isEmpty() && f.prompter.asked[0] == question, typed);
    QCOMPARE(went, !typed || choice != Prompter::Choice::Cancel);
    QCOMPARE(written, typed && choice == Prompter::Choice::Go);
    if (typed && choice == Prompter::Choice::Cancel) {
        QCOMPARE(f.box(6)->text(), QStringLiteral("7")); // the typed work is still there
        QVERIFY(f.button(QStringLiteral("Option2(2)"))->isChecked());
        QCOMPARE(f.window->GF1().toBytes(), table);
    }
    QVERIFY(f.prompter.told.isEmpty());
}

QTEST_MAIN(FormationEditTest)
#include "tst_formation_edit.moc"
