#include "../files/save_faults.h"
#include "../files/unix_files.h"
#include "controls.h"
#include "table_loader.h"
#include "window_fixture.h"

#include <QApplication>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#include <QLabel>

class LoadSaveTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void cancelledLoadChangesNothing();
    void loadsDataFileAtStartLocation_data();
    void loadsDataFileAtStartLocation();
    void loadsExecutableBySignature();
    void dataFileAfterExecutableReadsFromItsOffset();
    void loadFaultsChangeNothing_data();
    void loadFaultsChangeNothing();
    void cancelledSaveTouchesNoFile();
    void saveRoundTripAndTail();
    void saveAfterExecutableLoadWritesFromFirstByte();
    void saveToProgramAsksFirst();
    void newProgramNameIsNoQuestion();
    void changesByAnotherProgramAreAsked_data();
    void changesByAnotherProgramAreAsked();
    void firstSaveKeepsABackup();
    void savedFileIsWatchedToo();
    void bothFilesStayWatched_data();
    void bothFilesStayWatched();
    void failedSaveIsReportedAndKeepsOldFile();
    void fifoIsRefusedAtOnce_data();
    void fifoIsRefusedAtOnce();
    void longPathStaysLegible();

private:
    static QByteArray pattern(qint64 size, int seed);
};

QByteArray LoadSaveTest::pattern(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + seed) % 251);
    return bytes;
}

// The open dialog's file types, as the dialog gets them.
static const QString LoadFilter =
    QStringLiteral("Formation data files (*rmation.dat);;KGF exe (kgf.exe);;All files (*)");

static QString text2(const WindowFixture &f)
{
    return f.control<QLineEdit>(QStringLiteral("Text2"))->text();
}

static QString label1(const WindowFixture &f)
{
    return f.control<QLabel>(QStringLiteral("Label1"))->text();
}

void LoadSaveTest::cancelledLoadChangesNothing()
{
    WindowFixture f;
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.requests.size(), 1);
    QCOMPARE(f.requests[0].mode, CommonDialog::Mode::Open);
    // The two entries for the game's files first, then every file.
    QCOMPARE(f.window->CD1().Filter(),
             QStringLiteral("Formation data files|*rmation.dat|KGF exe|kgf.exe|All files|*"));
    QCOMPARE(f.requests[0].filter, LoadFilter);
    QCOMPARE(f.window->GF1().toBytes(), QByteArray(1488, '\0'));
    QCOMPARE(text2(f), QStringLiteral("0"));
    QCOMPARE(label1(f), QString());
    QCOMPARE(f.window->fileName(), QString());
    QVERIFY(f.prompter.told.isEmpty());
}

void LoadSaveTest::loadsDataFileAtStartLocation_data()
{
    QTest::addColumn<QString>("startText");
    QTest::addColumn<int>("start");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("16") << "16" << 16;
    QTest::newRow("12abc") << "12abc" << 12;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("2.5") << "2.5" << 2;
    QTest::newRow("3.5") << "3.5" << 4;
    QTest::newRow("an exponent is not read") << "1e3" << 1;
}

void LoadSaveTest::loadsDataFileAtStartLocation()
{
    QFETCH(QString, startText);
    QFETCH(int, start);
    WindowFixture f;
    const QByteArray data = pattern(2000, 1);
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), data);
    f.control<QLineEdit>(QStringLiteral("Text2"))->setText(startText);
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));

    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QCOMPARE(f.window->GF1().toBytes(), data.mid(start, 1488));
    QCOMPARE(f.window->startLocation(), start);
    QCOMPARE(f.window->fileName(), path);
    QCOMPARE(label1(f), QDir::toNativeSeparators(path));
    QCOMPARE(text2(f), startText); // the box keeps what was typed
    QCOMPARE(f.window->currentByte(), static_cast<quint8>(data[start + 1487]));
    // Byte 5 shows as "05", 171 as "AB": every cell is two upper-case digits.
    for (int r = 1; r <= 93; ++r)
        for (int c = 1; c <= 16; ++c)
            QCOMPARE(f.window->GF1().TextMatrix(r, c),
                     QStringLiteral("%1")
                         .arg(static_cast<quint8>(data[start + 16 * (r - 1) + c - 1]), 2, 16,
                              QChar(u'0'))
                         .toUpper());
}

void LoadSaveTest::loadsExecutableBySignature()
{
    WindowFixture f;
    QByteArray exe = pattern(1'400'000, 3);
    exe.replace(1'349'999, 5, tableSignature());
    const QString path = f.writeFile(QStringLiteral("kgf.exe"), exe);
    QStringList shown;
    connect(f.control<QLineEdit>(QStringLiteral("Text2")), &QLineEdit::textChanged,
            [&](const QString &text) { shown << text; });
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));

    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QCOMPARE(shown.first(), QStringLiteral("1350000"));
    QCOMPARE(shown.last(), QStringLiteral("1349999"));
    QCOMPARE(text2(f), QStringLiteral("1349999"));
    QCOMPARE(f.window->startLocation(), 1'349'999);
    const QStringList expected = {"00", "25", "03", "00", "AA"};
    for (int c = 1; c <= 5; ++c)
        QCOMPARE(f.window->GF1().TextMatrix(1, c), expected[c - 1]);
    QCOMPARE(f.window->GF1().toBytes(), exe.mid(1'349'999, 1488));
}

void LoadSaveTest::dataFileAfterExecutableReadsFromItsOffset()
{
    WindowFixture f;
    QByteArray exe = pattern(1'400'000, 3);
    exe.replace(1'360'000, 5, tableSignature());
    const QByteArray data = pattern(1'362'000, 9);
    f.answers.push_back(f.writeFile(QStringLiteral("KGF.EXE"), exe));
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), data));
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Command1"));
    QVERIFY(f.prompter.told.isEmpty());
    QCOMPARE(text2(f), QStringLiteral("1360000"));
    QCOMPARE(f.window->GF1().toBytes(), data.mid(1'360'000, 1488));
}

void LoadSaveTest::loadFaultsChangeNothing_data()
{
    QTest::addColumn<QString>("name");     // file the dialog returns
    QTest::addColumn<QByteArray>("bytes"); // its content; null: no such file
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("why");
    QByteArray noSignature(1'400'000, 'x');
    noSignature.replace(1'000, 5, tableSignature());
    QTest::newRow("cannot open") << "frmation.dat" << QByteArray() << "0"
                                 << "Could not open";
    QTest::newRow("no signature") << "kgf.exe" << noSignature << "0"
                                  << "was not found";
    QTest::newRow("executable too short") << "KGF.EXE" << QByteArray(5000, 'x') << "0"
                                          << "holds 5,000 bytes";
    QTest::newRow("negative start") << "frmation.dat" << QByteArray(2000, 'x') << "-5"
                                    << "is negative";
    QTest::newRow("start too large") << "frmation.dat" << QByteArray(2000, 'x') << "3000000000"
                                     << "is too large";
    QTest::newRow("data file too short")
        << "frmation.dat" << QByteArray(1000, 'x') << "0"
        << "holds 1,000 bytes, but a table at start location 0 needs 1,488 bytes";
}

void LoadSaveTest::loadFaultsChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, startText);
    QFETCH(QString, why);
    WindowFixture f;
    // A first, good load sets the state that the failing one must keep.
    const QByteArray good = pattern(1488, 5);
    const QString goodPath = f.writeFile(QStringLiteral("good_frmation.dat"), good);
    f.answers.push_back(goodPath);
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Option2(0)"));
    const QString shownType = f.box(0)->text();
    f.control<QLineEdit>(QStringLiteral("Text2"))->setText(startText);

    const QString path =
        bytes.isNull() ? f.path(QStringLiteral("missing/") + name) : f.writeFile(name, bytes);
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));

    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(why), qPrintable(f.prompter.told[0]));
    QVERIFY2(f.prompter.told[0].contains(name), qPrintable(f.prompter.told[0]));
    QCOMPARE(f.window->GF1().toBytes(), good);
    QCOMPARE(text2(f), startText);
    QCOMPARE(label1(f), QDir::toNativeSeparators(goodPath));
    QCOMPARE(f.window->fileName(), goodPath);
    QCOMPARE(f.window->startLocation(), 0);
    QVERIFY(f.button(QStringLiteral("Option2(0)"))->isChecked());
    QCOMPARE(f.box(0)->text(), shownType);
}

void LoadSaveTest::cancelledSaveTouchesNoFile()
{
    WindowFixture f;
    const QStringList before = QDir(f.dir.path()).entryList(QDir::Files);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.requests.size(), 1);
    QCOMPARE(f.requests[0].mode, CommonDialog::Mode::Save);
    QCOMPARE(f.requests[0].filter, QString()); // no load yet, so no filter
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), before);
    QVERIFY(f.prompter.told.isEmpty());
}

void LoadSaveTest::saveRoundTripAndTail()
{
    WindowFixture f;
    const QByteArray data = pattern(1488, 7);
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), data));
    f.click(QStringLiteral("Command1"));

    // A new file, a longer one and a shorter one.
    const QByteArray longer = pattern(4000, 11);
    const QString copy = f.path(QStringLiteral("copy_frmation.dat"));
    const QString longPath = f.writeFile(QStringLiteral("long.dat"), longer);
    const QString shortPath = f.writeFile(QStringLiteral("short.dat"), pattern(10, 1));
    for (const QString &target : {copy, longPath, shortPath}) {
        f.answers.push_back(target);
        f.click(QStringLiteral("Command3"));
    }
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(read(copy), data);
    QCOMPARE(read(longPath), data + longer.mid(1488));
    QCOMPARE(read(shortPath), data);
    // The save dialog shows the last load's filter; the path label shows
    // the file last saved to, while the load's file name stays.
    QCOMPARE(f.requests.last().filter, LoadFilter);
    QCOMPARE(f.window->fileName(), f.path(QStringLiteral("frmation.dat")));
    QCOMPARE(label1(f), QDir::toNativeSeparators(shortPath));
}

void LoadSaveTest::saveAfterExecutableLoadWritesFromFirstByte()
{
    WindowFixture f;
    QByteArray exe = pattern(1'400'000, 3);
    exe.replace(1'370'000, 5, tableSignature());
    f.answers.push_back(f.writeFile(QStringLiteral("kgf.exe"), exe));
    f.click(QStringLiteral("Command1"));
    const QString target = f.path(QStringLiteral("frmation.dat"));
    f.answers.push_back(target);
    f.click(QStringLiteral("Command3"));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), exe.mid(1'370'000, 1488));
}

void LoadSaveTest::saveToProgramAsksFirst()
{
    WindowFixture f;
    const QByteArray program = pattern(3000, 2);
    const QString path = f.writeFile(QStringLiteral("KGF.EXE"), program);
    f.answers.push_back(path);
    f.prompter.confirmAnswer = false;
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.asked.size(), 1);
    QVERIFY(f.prompter.asked[0].contains(QStringLiteral("first 1,488 bytes")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), program);
    file.close();

    f.answers.push_back(path);
    f.prompter.confirmAnswer = true;
    f.click(QStringLiteral("Command3"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(1488, '\0') + program.mid(1488));
}

void LoadSaveTest::newProgramNameIsNoQuestion()
{
    WindowFixture f;
    const QString path = f.path(QStringLiteral("KGF.EXE"));
    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    QVERIFY(f.prompter.asked.isEmpty());
    QVERIFY(f.prompter.told.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(1488, '\0'));
}

void LoadSaveTest::changesByAnotherProgramAreAsked_data()
{
    QTest::addColumn<QString>("saveTo"); // the loaded file's name, or another name for it
    QTest::addColumn<bool>("answer");
    QTest::newRow("same path, cancelled") << "frmation.dat" << false;
    QTest::newRow("same path, saved over") << "frmation.dat" << true;
    QTest::newRow("through a hard link, cancelled") << "link.dat" << false;
}

void LoadSaveTest::changesByAnotherProgramAreAsked()
{
    QFETCH(QString, saveTo);
    QFETCH(bool, answer);
    WindowFixture f;
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 3));
    const QString target = f.path(saveTo);
    if (target != path) {
#ifdef Q_OS_UNIX
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()),
                 0);
#else
        QSKIP("hard links are made on POSIX systems here");
#endif
    }
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));
    // Our own save, twice, asks nothing.
    for (int i = 0; i < 2; ++i) {
        f.click(QStringLiteral("Option2(1)"));
        f.box(1)->setText(QString::number(10 + i));
        f.click(QStringLiteral("Command2"));
        f.answers.push_back(path);
        f.click(QStringLiteral("Command3"));
        QVERIFY2(f.prompter.asked.isEmpty(), qPrintable(f.prompter.asked.join(u'\n')));
    }
    // Another program writes the file (with bytes that do not begin as a program's).
    const QByteArray theirs = pattern(2000, 78);
    f.writeFile(QStringLiteral("frmation.dat"), theirs);
    f.box(1)->setText(QStringLiteral("30"));
    f.click(QStringLiteral("Command2"));
    f.prompter.confirmAnswer = answer;
    f.answers.push_back(target);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.asked,
             QStringList{QStringLiteral("%1 was changed by another program after the table was "
                                        "loaded from it. Save over those changes?")
                             .arg(QDir::toNativeSeparators(target))});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), answer ? f.window->GF1().toBytes() + theirs.mid(1488) : theirs);
    QCOMPARE(f.window->hasUnsavedChanges(), !answer);
    QVERIFY(f.prompter.told.isEmpty());
}

void LoadSaveTest::firstSaveKeepsABackup()
{
    WindowFixture f;
    const QByteArray stock = pattern(3000, 5);
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), stock);
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));
    // Saving what was loaded changes no byte: no backup.
    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".bak")));
    for (int count : {7, 8}) {
        f.click(QStringLiteral("Option2(0)"));
        f.box(1)->setText(QString::number(count));
        f.click(QStringLiteral("Command2"));
        f.answers.push_back(path);
        f.click(QStringLiteral("Command3"));
        QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
        QFile backup(path + QStringLiteral(".bak"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), stock); // the file as it was before the first save
    }
}

void LoadSaveTest::savedFileIsWatchedToo()
{
    WindowFixture f;
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), pattern(1488, 6)));
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Option2(2)"));
    const QString copy = f.path(QStringLiteral("copy.dat"));
    auto saveCount = [&](int count) {
        f.box(1)->setText(QString::number(count));
        f.click(QStringLiteral("Command2"));
        f.answers.push_back(copy);
        f.click(QStringLiteral("Command3"));
    };
    saveCount(3);
    QVERIFY(f.prompter.asked.isEmpty());

    // Another program writes the file saved to, and writes it again while
    // the question about the first change is open: the second change is
    // asked about too, and a Cancel then keeps it.
    f.writeFile(QStringLiteral("copy.dat"), pattern(1488, 7));
    f.prompter.confirmAnswer = true;
    int questions = 0;
    f.prompter.whileAsking = [&] {
        if (++questions == 1) // answered Save
            f.writeFile(QStringLiteral("copy.dat"), pattern(1500, 8));
        else // answered Cancel
            f.prompter.confirmAnswer = false;
    };
    saveCount(4);
    QCOMPARE(f.prompter.asked.size(), 2);
    for (const QString &question : f.prompter.asked)
        QVERIFY2(question.startsWith(QDir::toNativeSeparators(copy) +
                                     QStringLiteral(" was changed by another program")),
                 qPrintable(question));
    QFile file(copy);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), pattern(1500, 8));
    QVERIFY(f.window->hasUnsavedChanges());
}

void LoadSaveTest::bothFilesStayWatched_data()
{
    QTest::addColumn<bool>("damagedFirst");   // the first save fails and cannot put the file back
    QTest::addColumn<QString>("otherTarget"); // where the first save goes
    QTest::addColumn<bool>("asks");           // whether the second save, to the loaded file, asks
    // The table went elsewhere, and then another program changed the loaded file.
    QTest::newRow("saved elsewhere, loaded file changed") << false << "copy.dat" << true;
    // The editor's own partial write is no other program's change.
    QTest::newRow("damaged by the save itself") << true << "" << false;
}

void LoadSaveTest::bothFilesStayWatched()
{
    QFETCH(bool, damagedFirst);
    QFETCH(QString, otherTarget);
    QFETCH(bool, asks);
    WindowFixture f;
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 9));
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Option2(1)"));
    f.box(1)->setText(QStringLiteral("5"));
    f.click(QStringLiteral("Command2"));
    if (damagedFirst) {
        FaultyFile::Faults faults;
        faults.room = 700;
        faults.failRestore = true;
        f.window->setSaveFileWrapper(FaultyFile::wrapper(faults));
    }
    f.answers.push_back(otherTarget.isEmpty() ? path : f.path(otherTarget));
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.told.size(), damagedFirst ? 1 : 0);
    f.window->setSaveFileWrapper({});
    if (!damagedFirst)
        f.writeFile(QStringLiteral("frmation.dat"), pattern(1600, 10));

    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.asked,
             asks ? QStringList{QStringLiteral("%1 was changed by another program after the table "
                                               "was loaded from it. Save over those changes?")
                                    .arg(QDir::toNativeSeparators(path))}
                  : QStringList());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(1488) == f.window->GF1().toBytes(), !asks);
}

void LoadSaveTest::failedSaveIsReportedAndKeepsOldFile()
{
    WindowFixture f;
    const QByteArray old = pattern(2000, 4);
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), old);
    FaultyFile::Faults faults;
    faults.room = 100;
    f.window->setSaveFileWrapper(FaultyFile::wrapper(faults));
    f.answers.push_back(path);
    f.prompter.confirmAnswer = true; // zeros over the file, as nothing was loaded
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.asked.size(), 1);
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(QStringLiteral("No space left on device")),
             qPrintable(f.prompter.told[0]));
    QVERIFY(f.prompter.told[0].contains(QDir::toNativeSeparators(path)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
}

void LoadSaveTest::fifoIsRefusedAtOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("button");
    QTest::newRow("load kgf.exe") << "kgf.exe"
                                  << "Command1";
    QTest::newRow("load frmation.dat") << "frmation.dat"
                                       << "Command1";
    QTest::newRow("save") << "frmation.dat"
                          << "Command3";
}

void LoadSaveTest::fifoIsRefusedAtOnce()
{
    QFETCH(QString, name);
    QFETCH(QString, button);
    WindowFixture f;
    const QString path = f.path(name);
    if (!unixfiles::makeFifo(path))
        QSKIP("this system makes no FIFOs");
    f.answers.push_back(path);
    f.click(button);
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(QStringLiteral("is not a regular file")),
             qPrintable(f.prompter.told[0]));
    QVERIFY(f.prompter.told[0].contains(QDir::toNativeSeparators(path)));
    QVERIFY(unixfiles::isFifo(path));
    QCOMPARE(f.window->GF1().toBytes(), QByteArray(1488, '\0'));
    QCOMPARE(label1(f), QString());
}

void LoadSaveTest::longPathStaysLegible()
{
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    // A game under a compatibility layer: a path of well over 90 characters.
    const QString folder = QStringLiteral("wine-prefix/drive_c/Program Files (x86)/Kampfgeschwader "
                                          "Formation Editor Test/Game");
    QVERIFY(QDir(f.dir.path()).mkpath(folder));
    const QString path =
        f.writeFile(folder + QStringLiteral("/frmation_backup.dat"), pattern(1488, 1));
    QVERIFY(path.size() > 90);
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));

    auto *label1 = f.control<AutoSizeLabel>(QStringLiteral("Label1"));
    QWidget *label3 = f.control(QStringLiteral("Label3"));
    const QString shownPath = QDir::toNativeSeparators(path);
    QCOMPARE(label1->text(), shownPath); // the caption is the whole path
    QCOMPARE(label1->toolTip(), shownPath);
    QVERIFY2(label1->geometry().right() < label3->geometry().left(),
             qPrintable(QStringLiteral("Label1 ends at %1, Label3 starts at %2")
                            .arg(label1->geometry().right())
                            .arg(label3->geometry().left())));
    const QString drawn = label1->shownText();
    QVERIFY2(drawn.contains(QChar(0x2026)), qPrintable(drawn));
    QVERIFY2(drawn.endsWith(QStringLiteral("frmation_backup.dat")), qPrintable(drawn));
    QVERIFY(label1->fontMetrics().horizontalAdvance(drawn) <= label1->textRoom());
    // Nothing is drawn beyond the label's right edge: the strip up to the
    // caption beside it holds the window's background only.
    const QImage image = f.window->grab().toImage();
    const QColor background =
        image.pixelColor(label1->geometry().right() + 2, label1->geometry().center().y());
    for (int x = label1->geometry().right() + 1; x < label3->geometry().left(); ++x)
        for (int y = label1->geometry().top(); y <= label1->geometry().bottom(); ++y)
            QCOMPARE(image.pixelColor(x, y), background);

    // A short path is shown whole again.
    const QString shortPath = f.writeFile(QStringLiteral("frmation.dat"), pattern(1488, 2));
    f.answers.push_back(shortPath);
    f.click(QStringLiteral("Command1"));
    QCOMPARE(label1->shownText(), QDir::toNativeSeparators(shortPath));
}

QTEST_MAIN(LoadSaveTest)
#include "tst_load_save.moc"
