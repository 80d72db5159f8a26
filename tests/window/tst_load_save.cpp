#include "../files/save_faults.h"
#include "../files/unix_files.h"
#include "controls.h"
#include "message_text.h"
#include "native_file.h"
#include "save_journal.h"
#include "table_loader.h"
#include "table_text.h"
#include "window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QMessageBox>
#include <QTimer>
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
    void saveGoesWhereTheTableCameFrom_data();
    void saveGoesWhereTheTableCameFrom();
    void dangerousQuestionsDefaultToCancel_data();
    void dangerousQuestionsDefaultToCancel();
    void windowShowsWhereTheTableWent();
    void namesComeFromBesideTheFile_data();
    void namesComeFromBesideTheFile();
    void nothingChangesWhileBusy_data();
    void nothingChangesWhileBusy();
    void targetsAskBeforeSaving_data();
    void targetsAskBeforeSaving();
    void movedTableIsAskedAboutOnce_data();
    void movedTableIsAskedAboutOnce();
    void saveRemarkIsShown_data();
    void saveRemarkIsShown();
    void unfinishedSaveIsSettledBeforeLoading_data();
    void unfinishedSaveIsSettledBeforeLoading();
    void failedSettlingLoadsNothing_data();
    void failedSettlingLoadsNothing();

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

// The question when another program changed every formation of the table
// loaded from `path`, which the save names by the fixture's names.
static QString changedQuestion(const QString &path)
{
    return QStringLiteral("%1 was changed by another program after the table was loaded from it. "
                          "In its table, formations 0 (Formation 0), 1 (Formation 1), 2 "
                          "(Formation 2), 3 (Formation 3), 4 (Formation 4) and 26 more now differ "
                          "from what the editor read there. Save over those changes?")
        .arg(QDir::toNativeSeparators(path));
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

    // A data file too short for that offset is refused, with where the
    // offset came from and how to read the file from its first byte.
    const QString small = f.writeFile(QStringLiteral("small.dat"), pattern(1488, 4));
    f.answers.push_back(f.writeFile(QStringLiteral("KGF.EXE"), exe));
    f.answers.push_back(small);
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].endsWith(
                 QStringLiteral("The start location is where the table was found in %1. Set the "
                                "start location to 0 to read the table from the file's first "
                                "byte.")
                     .arg(QDir::toNativeSeparators(f.path(QStringLiteral("KGF.EXE"))))),
             qPrintable(f.prompter.told[0]));
    QCOMPARE(f.window->GF1().toBytes(), exe.mid(1'360'000, 1488));
    // Typed, the same offset is the user's own.
    auto *box = f.control<QLineEdit>(QStringLiteral("Text2"));
    box->setText(QStringLiteral("1360000"));
    box->setModified(true); // as typing leaves it
    f.answers.push_back(small);
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.prompter.told.size(), 2);
    QVERIFY2(!f.prompter.told[1].contains(QStringLiteral("was found in")),
             qPrintable(f.prompter.told[1]));
}

void LoadSaveTest::loadFaultsChangeNothing_data()
{
    QTest::addColumn<QString>("name");     // file the dialog returns
    QTest::addColumn<QByteArray>("bytes"); // its content; null: no such file
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("why");
    QTest::addColumn<bool>("advice"); // to read the table from the first byte instead
    QByteArray noSignature(1'400'000, 'x');
    noSignature.replace(1'000, 5, tableSignature());
    QTest::newRow("cannot open") << "frmation.dat" << QByteArray() << "0"
                                 << "Could not open" << false;
    QTest::newRow("no signature") << "kgf.exe" << noSignature << "0"
                                  << "was not found" << false;
    QTest::newRow("executable too short") << "KGF.EXE" << QByteArray(5000, 'x') << "0"
                                          << "holds 5,000 bytes" << false;
    QTest::newRow("negative start") << "frmation.dat" << QByteArray(2000, 'x') << "-5"
                                    << "is negative" << false;
    QTest::newRow("start too large") << "frmation.dat" << QByteArray(2000, 'x') << "3000000000"
                                     << "is too large" << false;
    QTest::newRow("data file too short")
        << "frmation.dat" << QByteArray(1000, 'x') << "0"
        << "holds 1,000 bytes, but a table at start location 0 needs 1,488 bytes" << false;
    QTest::newRow("data file too short for its start location")
        << "frmation.dat" << QByteArray(2000, 'x') << "1000"
        << "holds 2,000 bytes, but a table at start location 1,000 needs 2,488 bytes" << true;
}

void LoadSaveTest::loadFaultsChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, startText);
    QFETCH(QString, why);
    QFETCH(bool, advice);
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
    // Only a file that holds a table from its first byte is read there instead.
    QCOMPARE(f.prompter.told[0].endsWith(QStringLiteral(" Set the start location to 0 to read the "
                                                        "table from the file's first byte.")),
             advice);
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
    QCOMPARE(f.prompter.asked, QStringList{changedQuestion(target)});
    QCOMPARE(f.prompter.acceptButtons, QStringList{QStringLiteral("Save")});
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
    QCOMPARE(f.prompter.asked, asks ? QStringList{changedQuestion(path)} : QStringList());
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

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `count` aircraft into the first line of `formation`.
static void edit(const WindowFixture &f, int formation, int count)
{
    f.click(QStringLiteral("Option2(%1)").arg(formation));
    f.box(1)->setText(QString::number(count));
    f.click(QStringLiteral("Command2"));
}

// Ctrl+S, or with `more` Ctrl+Shift+S, in the shown window.
static void pressSave(const WindowFixture &f, Qt::KeyboardModifiers more = {})
{
    QVERIFY(f.showActive());
    QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier | more);
}

void LoadSaveTest::saveGoesWhereTheTableCameFrom_data()
{
    QTest::addColumn<qint64>("start"); // a data file's start location, or the program's table
    QTest::addColumn<bool>("viaLink"); // saved through the dialog to another name of the file
    // The choice taken (-1 Cancel); where there is one place only, 0 is its yes.
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("overwrite"); // the answer to writing over a program's first bytes
    QTest::addColumn<qint64>("at");      // where the table is written; -1 nowhere
    QTest::addColumn<int>("formation");  // the one edited; 0 changes the signature
    const qint64 program = SignatureScanStart + 40;
    QTest::newRow("data file, back at its byte")
        << qint64(16) << false << 0 << false << qint64(16) << 2;
    QTest::newRow("data file, at the first byte")
        << qint64(16) << false << 1 << false << qint64(0) << 2;
    QTest::newRow("data file, cancelled") << qint64(16) << false << -1 << false << qint64(-1) << 2;
    QTest::newRow("data file through a hard link")
        << qint64(16) << true << 0 << false << qint64(16) << 2;
    QTest::newRow("program, back at its signature")
        << program << false << 0 << false << program << 2;
    QTest::newRow("program, its signature changed: Cancel first")
        << program << false << -1 << false << qint64(-1) << 0;
    QTest::newRow("program, its signature changed, written anyway")
        << program << false << 0 << false << program << 0;
    // Read at a typed start location, it is a data file, whatever it begins
    // with; but its first bytes are a program's.
    QTest::newRow("data file that begins with MZ, back at its byte")
        << qint64(17) << false << 0 << false << qint64(17) << 0;
    QTest::newRow("data file that begins with MZ, at the first byte")
        << qint64(17) << false << 1 << true << qint64(0) << 0;
    QTest::newRow("data file that begins with MZ, not over the program")
        << qint64(17) << false << 1 << false << qint64(-1) << 0;
}

void LoadSaveTest::saveGoesWhereTheTableCameFrom()
{
    QFETCH(qint64, start);
    QFETCH(bool, viaLink);
    QFETCH(int, answer);
    QFETCH(bool, overwrite);
    QFETCH(qint64, at);
    QFETCH(int, formation);
    const bool program = start > 17;
    const bool signatureLost = program && formation == 0;
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("game")));
    QByteArray old = pattern(start + 3000, 1).replace(start, 5, tableSignature());
    if (program || start == 17)
        old.replace(0, 2, "MZ");
    const QString path = f.writeFile(program ? "game/KGF.EXE" : "game/frmation.dat", old);
    f.control<QLineEdit>(QStringLiteral("Text2"))->setText(QString::number(start));
    f.control<QLineEdit>(QStringLiteral("Text2"))->setModified(true); // as if typed
    f.window->loadFile(path); // as the command line loads it
    edit(f, formation, 9);
    f.prompter.chooseAnswer = answer;
    f.prompter.confirmAnswer = signatureLost ? answer == 0 : overwrite;
    if (viaLink) {
#ifdef Q_OS_UNIX
        QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(f.path("link"))), 0);
#else
        QSKIP("hard links are made on POSIX systems here");
#endif
        f.answers.push_back(f.path("link"));
        f.click(QStringLiteral("Command3"));
        QCOMPARE(f.requests.last().directory, f.path(QStringLiteral("game")));
    } else {
        pressSave(f);
    }
    const QString back =
        QStringLiteral("Write it back at byte %1, where it was loaded from").arg(grouped(start));
    QStringList offered = {back};
    if (!program)
        offered << QStringLiteral("Write it at the first byte");
    // Where the table could not be found again, its one place is a yes or
    // no whose default is Cancel.
    QCOMPARE(f.prompter.offered,
             signatureLost ? QList<QStringList>() : QList<QStringList>{offered});
    QCOMPARE(f.prompter.preferred, signatureLost ? QList<int>() : QList<int>{0});
    QCOMPARE(f.prompter.asked.value(0).contains(QStringLiteral("cannot be found in the program")),
             signatureLost);
    // Over the first bytes of a file that begins as a program, one more question.
    const bool overProgram = start == 17 && answer == 1;
    QStringList accepts;
    if (signatureLost)
        accepts << back;
    if (overProgram)
        accepts << QStringLiteral("Overwrite");
    QCOMPARE(f.prompter.acceptButtons, accepts);
    QCOMPARE(f.prompter.asked.value(1).contains(QStringLiteral("will no longer run")), overProgram);
    QCOMPARE(fileBytes(path),
             at < 0 ? old : QByteArray(old).replace(at, 1488, f.window->GF1().toBytes()));
    QCOMPARE(f.window->hasUnsavedChanges(), at < 0);
}

void LoadSaveTest::dangerousQuestionsDefaultToCancel_data()
{
    // Over a renamed copy of the game, zeros over a file, into a program's
    // table or over it, over the copy kept of a file, or a load that drops
    // the journal of a save that did not finish.
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("key");
    for (const char *target :
         {"program", "zeros", "program's table", "copy kept", "damaged journal"}) {
        QTest::addRow("%s, Enter", target) << target << int(Qt::Key_Return);
        QTest::addRow("%s, Escape", target) << target << int(Qt::Key_Escape);
    }
}

void LoadSaveTest::dangerousQuestionsDefaultToCancel()
{
    QFETCH(QString, target);
    QFETCH(int, key);
    WindowFixture f;
    const bool hasTable = target == "program's table";
    QByteArray old = pattern(hasTable ? 1'400'000 : 2000, 1);
    if (target.startsWith("program"))
        old.prepend("MZ");
    if (hasTable)
        old.replace(SignatureScanStart + 10, 5, tableSignature());
    QString path = f.writeFile(QStringLiteral("game.bin"), old);
    if (target == "copy kept")
        path = f.writeFile(QStringLiteral("game.bin.bak"), old);
    if (target == "damaged journal")
        QFile(journalPath(path)).open(QIODevice::WriteOnly);
    BiForm window;       // asks through real message boxes
    QStringList buttons; // the default and the Escape button of each question
    QTimer answering;
    connect(&answering, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            buttons << box->defaultButton()->text() << box->escapeButton()->text();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
        }
    });
    answering.start(10);
    window.CD1().setAsker([&](const CommonDialog::Request &) { return path; });
    if (target == "damaged journal")
        window.loadFile(path);
    else
        window.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Cancel")}));
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QFile::exists(journalPath(path)), target == "damaged journal");
}

void LoadSaveTest::windowShowsWhereTheTableWent()
{
    WindowFixture f;
    pressSave(f); // nothing loaded or saved: Ctrl+S asks where, in the start-up folder
    QCOMPARE(f.requests.value(0).directory, f.dir.path());
    // A character that turns the text around is written out where a path is quoted.
    const QString a = f.writeFile(QStringLiteral("a\u202e.dat"), pattern(1488, 1));
    const QString b = f.writeFile(QStringLiteral("b.dat"), pattern(1488, 2));
    const QString escaped = QDir::toNativeSeparators(f.path(QStringLiteral("a\\u202e.dat")));
    f.window->loadFile(a);
    const QString caption = f.window->windowTitle();
    edit(f, 4, 7);
    QCOMPARE(f.window->windowHandle()->title(), caption + u'*');
    QCOMPARE(f.button(QStringLiteral("Option2(4)"))->toolTip(), "Changed since loaded");
    f.click(QStringLiteral("Command1")); // loading another table asks first
    QVERIFY(f.prompter.asked.value(0).startsWith("The table loaded from " + escaped + " has"));
    for (int count : {8, 9}) { // only the save that makes the backup tells of it
        f.answers.push_back(b);
        f.click(QStringLiteral("Command3"));
        edit(f, 5, count);
    }
    QCOMPARE(f.prompter.informed.size(), 1);
    QVERIFY(f.prompter.informed[0].contains(QDir::toNativeSeparators(b + ".bak")));
    QCOMPARE(label1(f), QDir::toNativeSeparators(b));
    QCOMPARE(f.button(QStringLiteral("Option2(5)"))->toolTip(), "Changed since saved");
    f.window->undo(); // back to the last save
    QCOMPARE(f.window->windowHandle()->title(), caption);
    QCOMPARE(f.window->windowTitle(), caption);
    f.window->redo();
    const qsizetype dialogs = f.requests.size();
    pressSave(f); // back to the file last saved to, without a dialog
    QCOMPARE(f.requests.size(), dialogs);
    QCOMPARE(fileBytes(b), f.window->GF1().toBytes());
    QVERIFY(!f.window->isWindowModified());

    // Closing asks about the file its Save writes to, and that save's news
    // waits to be read: the program ends once the window has closed.
    QVERIFY(QFile::remove(b + ".bak"));
    edit(f, 6, 3);
    f.prompter.saveAnswer = Prompter::Choice::Go;
    QVERIFY(f.window->close());
    QVERIFY(f.prompter.asked.last().startsWith("The table last saved to " +
                                               QDir::toNativeSeparators(b) + " has"));
    QCOMPARE(fileBytes(b), f.window->GF1().toBytes());
    QCOMPARE(f.prompter.informed.size(), 1);
    QCOMPARE(f.prompter.informedBeforeClosing.size(), 1);
    QVERIFY(f.prompter.informedBeforeClosing[0].contains(QDir::toNativeSeparators(b + ".bak")));
}

void LoadSaveTest::namesComeFromBesideTheFile_data()
{
    QTest::addColumn<bool>("working"); // the working folder has names
    QTest::addColumn<bool>("game");    // the folder of the file loaded has names
    QTest::addColumn<bool>("fails");   // the load fails
    QTest::newRow("both: the game folder's") << true << true << false;
    QTest::newRow("only the working folder's") << true << false << false;
    QTest::newRow("only the game folder's") << false << true << false;
    QTest::newRow("failed load: the working folder's") << true << true << true;
}

void LoadSaveTest::namesComeFromBesideTheFile()
{
    QFETCH(bool, working);
    QFETCH(bool, game);
    QFETCH(bool, fails);
    WindowFixture f("work\r\n", working);
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("game")));
    if (game)
        f.writeFile(QStringLiteral("game/readorder.txt"), "game\r\n");
    // Started with the file: the working folder's missing names are told only if they stay.
    f.window->loadWhenShown(f.writeFile("game/frmation.dat", pattern(fails ? 100 : 1488, 1)));
    f.window->show();
    QTRY_COMPARE(f.prompter.told.size(), int(fails) + 1); // and each names file is short
    const QString named = game && !fails ? "game" : "work";
    const QString source = f.path(named == "game" ? "game/readorder.txt" : "readorder.txt");
    QCOMPARE(f.window->formationNames()[0], named);
    QCOMPARE(f.window->namesFile(), source);
    QVERIFY(f.control(QStringLiteral("Label10"))->toolTip().endsWith(shownPath(source)));
}

QTEST_MAIN(LoadSaveTest)
#include "tst_load_save.moc"

void LoadSaveTest::nothingChangesWhileBusy_data()
{
    QTest::addColumn<QString>("open");   // what is open while the action is tried
    QTest::addColumn<QString>("action"); // what is tried meanwhile
    const char *opens[] = {"save over another program's change", "unsaved changes before loading",
                           "panel edits before choosing", "a refused edit", "load's file dialog"};
    const char *actions[] = {"selector 5 set in code",
                             "selector 5 clicked",
                             "selector 5 toggled by a screen reader",
                             "arrow key on the selectors",
                             "the chosen selector clicked",
                             "55 typed and Edit this one",
                             "Enter in a line box",
                             "undo",
                             "redo",
                             "copy",
                             "paste",
                             "revert",
                             "revert from the context menu",
                             "Load",
                             "Ctrl+O",
                             "a file loaded by name",
                             "Save Formation file",
                             "Ctrl+S",
                             "Ctrl+Shift+S",
                             "closing the window"};
    for (const char *open : opens)
        for (const char *action : actions)
            QTest::addRow("%s: %s", open, action) << open << action;
}

static QString hashOf(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// Everything a busy window keeps as it is: the table and its file, the
// formation shown and the selectors on, the unsaved mark, the clipboard,
// and that nothing more was asked, told or opened.
static QString busyState(const WindowFixture &f, const QString &file)
{
    QStringList on;
    for (int n = 0; n <= 30; ++n)
        if (f.button(QStringLiteral("Option2(%1)").arg(n))->isChecked())
            on << QString::number(n);
    return QStringLiteral("table %1, file %2, shown '%3', selectors on %4, modified %5, "
                          "visible %6, clipboard %7, asked %8, told %9, dialogs %10")
        .arg(hashOf(f.window->GF1().toBytes()), hashOf(fileBytes(file)),
             f.control<QLabel>(QStringLiteral("Label4"))->text(), on.join(u','))
        .arg(f.window->isWindowModified())
        .arg(f.window->isVisible())
        .arg(hashOf(QApplication::clipboard()->text().toUtf8()))
        .arg(f.prompter.asked.size())
        .arg(f.prompter.told.size() + f.prompter.informed.size())
        .arg(f.requests.size());
}

// Tries `action` on the window; what it gives is what it saw (a menu's items).
static QString tryAction(WindowFixture &f, const QString &action, const QString &otherFile)
{
    BiForm *window = f.window.get();
    QAbstractButton *five = f.button(QStringLiteral("Option2(5)"));
    QAbstractButton *chosen = f.button(QStringLiteral("Option2(2)"));
    auto keys = [&](QWidget *at, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        at->setFocus();
        QTest::keyClick(at, key, modifiers);
    };
    QWidget *load = f.control(QStringLiteral("Command1"));
    if (action == "selector 5 set in code")
        five->setChecked(true);
    else if (action == "selector 5 clicked")
        QTest::mouseClick(five, Qt::LeftButton);
    else if (action == "selector 5 toggled by a screen reader")
        QAccessible::queryAccessibleInterface(five)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
    else if (action == "arrow key on the selectors")
        keys(chosen, Qt::Key_Right, Qt::NoModifier);
    else if (action == "the chosen selector clicked")
        QTest::mouseClick(chosen, Qt::LeftButton);
    else if (action == "55 typed and Edit this one") {
        f.box(1)->setText(QStringLiteral("55"));
        f.click(QStringLiteral("Command2"));
    } else if (action == "Enter in a line box") {
        f.box(1)->setText(QStringLiteral("56"));
        keys(f.box(1), Qt::Key_Return, Qt::NoModifier);
    } else if (action == "undo")
        window->undo();
    else if (action == "redo")
        window->redo();
    else if (action == "copy")
        window->copyFormation(2);
    else if (action == "paste")
        window->pasteOverFormation(2);
    else if (action == "revert")
        window->revertFormation(2);
    else if (action == "revert from the context menu")
        return openMenu(chosen, QStringLiteral("mouse"),
                        QStringLiteral("Revert formation 2 to the loaded file"), Pick::Accessible)
            .join(u'\n');
    else if (action == "Load")
        f.click(QStringLiteral("Command1"));
    else if (action == "Ctrl+O")
        keys(load, Qt::Key_O, Qt::ControlModifier);
    else if (action == "a file loaded by name")
        window->loadFile(otherFile);
    else if (action == "Save Formation file")
        f.click(QStringLiteral("Command3"));
    else if (action == "Ctrl+S")
        keys(load, Qt::Key_S, Qt::ControlModifier);
    else if (action == "Ctrl+Shift+S")
        keys(load, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    else if (action == "closing the window")
        window->close();
    else
        qFatal("no action %s", qPrintable(action));
    return {};
}

void LoadSaveTest::nothingChangesWhileBusy()
{
    QFETCH(QString, open);
    QFETCH(QString, action);
    WindowFixture f;
    QVERIFY(f.showActive());
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), pattern(1488, 4));
    const QString other = f.writeFile(QStringLiteral("other.dat"), pattern(1488, 5));
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));
    // Steps to undo and to redo, and formation 2 changed and chosen.
    edit(f, 3, 7);
    edit(f, 2, 9);
    edit(f, 4, 5);
    f.window->undo();
    f.click(QStringLiteral("Option2(2)"));
    QApplication::clipboard()->setText(
        QString::fromUtf8(writeFormationText(pattern(1488, 6), 8, QStringLiteral("Other"))));
    const QByteArray table = f.window->GF1().toBytes();
    QVERIFY(table != pattern(1488, 4));

    QString before;
    QString during;
    QString seen;
    auto attempt = [&] {
        if (!before.isEmpty())
            return; // once, at the first question; a nested one is the fault shown
        before = busyState(f, path);
        seen = tryAction(f, action, other);
        during = busyState(f, path);
    };
    const bool saving = open == "save over another program's change";
    if (saving) {
        f.writeFile(QStringLiteral("frmation.dat"), pattern(1488, 7));
        f.prompter.confirmAnswer = true;
        f.prompter.whileAsking = attempt;
        f.answers.push_back(path);
        f.click(QStringLiteral("Command3"));
    } else if (open == "unsaved changes before loading") {
        f.prompter.whileAsking = attempt;
        f.click(QStringLiteral("Command1"));
    } else if (open == "panel edits before choosing") {
        f.box(1)->setText(QStringLiteral("33"));
        f.prompter.whileAsking = attempt;
        f.click(QStringLiteral("Option2(9)"));
    } else if (open == "a refused edit") {
        f.box(3)->setText(QStringLiteral("abc"));
        f.prompter.whileAsking = attempt;
        f.click(QStringLiteral("Command2"));
    } else {
        f.prompter.saveAnswer = Prompter::Choice::Discard;
        f.window->CD1().setAsker([&](const CommonDialog::Request &request) {
            f.requests.push_back(request);
            attempt();
            return QString();
        });
        f.click(QStringLiteral("Command1"));
    }
    QVERIFY2(!before.isEmpty(), "nothing was open");
    QCOMPARE(during, before);
    QCOMPARE(seen, QString()); // no menu opened
    // Then the question is answered: the save writes the table it was asked
    // about, and everything else stays as it was.
    QCOMPARE(f.window->GF1().toBytes(), table);
    QCOMPARE(fileBytes(path), saving ? table : pattern(1488, 4));
    QCOMPARE(f.window->hasUnsavedChanges(), !saving);
    QCOMPARE(f.window->isWindowModified(), !saving);
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" Formation 2 "));
    for (int n = 0; n <= 30; ++n)
        QCOMPARE(f.button(QStringLiteral("Option2(%1)").arg(n))->isChecked(), n == 2);
    QVERIFY(f.window->isVisible());
}

void LoadSaveTest::targetsAskBeforeSaving_data()
{
    // A program with its table, the copy kept of a file, or a file whose save did not finish.
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("answer");          // the choice taken, -1 Cancel; a yes or no: 0 yes
    QTest::addColumn<QStringList>("buttons"); // those besides Cancel
    QTest::addColumn<QString>("words");       // what the question or the message says
    QTest::addColumn<qint64>("at");           // where the table goes; -1 nowhere
    const qint64 table = SignatureScanStart + 1234;
    const QStringList places = {"Write it into its table at byte 1,351,233", "Overwrite"};
    const QString program = "with its formation table at byte 1,351,233";
    QTest::newRow("program, cancelled") << "KGF.EXE" << -1 << places << program << qint64(-1);
    QTest::newRow("program, into its table") << "KGF.EXE" << 0 << places << program << table;
    QTest::newRow("program, over its first bytes") << "KGF.EXE" << 1 << places << program << 0LL;
    const QStringList copy = {"Save over the copy"};
    const QString kept = "is the copy kept of frmation.dat before it was first changed";
    QTest::newRow("copy kept, cancelled") << "frmation.dat.bak" << -1 << copy << kept << -1LL;
    QTest::newRow("copy kept, saved over") << "frmation.dat.bak" << 0 << copy << kept << 0LL;
    // Refused before the question that zeros raise, as nothing was loaded.
    QTest::newRow("unfinished save")
        << "zeros.dat" << 0 << QStringList() << "an earlier save of it did not finish" << -1LL;
}

void LoadSaveTest::targetsAskBeforeSaving()
{
    QFETCH(QString, target);
    QFETCH(int, answer);
    QFETCH(QStringList, buttons);
    QFETCH(QString, words);
    QFETCH(qint64, at);
    WindowFixture f;
    // A signature before the place the program's table is looked for is none.
    const QByteArray old = QByteArray("MZ" + pattern(1'400'000, 2))
                               .replace(1000, 5, tableSignature())
                               .replace(SignatureScanStart + 1234, 5, tableSignature());
    const QString path = f.writeFile(target, target == "KGF.EXE" ? old : pattern(2000, 4));
    const QByteArray before = fileBytes(path);
    const QByteArray data = tableSignature() + pattern(1483, 8);
    if (target == "zeros.dat")
        QFile(journalPath(path)).open(QIODevice::WriteOnly);
    else
        f.window->loadFile(f.writeFile(QStringLiteral("frmation.dat"), data));
    f.prompter.chooseAnswer = answer;
    f.prompter.confirmAnswer = answer == 0;
    f.answers.push_back(path);
    f.click(QStringLiteral("Command3"));
    QCOMPARE(f.prompter.offered.value(0) + f.prompter.acceptButtons, buttons);
    QCOMPARE(f.prompter.preferred, QList<int>(buttons.size() > 1 ? 1 : 0, -1));
    const QString first = (f.prompter.asked + f.prompter.told).value(0);
    QVERIFY2(first.contains(words), qPrintable(first));
    QCOMPARE(f.prompter.told.isEmpty(), !buttons.isEmpty());
    QCOMPARE(fileBytes(path), at < 0 ? before : QByteArray(before).replace(at, 1488, data));
}

void LoadSaveTest::movedTableIsAskedAboutOnce_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("cancelled") << false;
    QTest::newRow("written at the new place") << true;
}

void LoadSaveTest::movedTableIsAskedAboutOnce()
{
    QFETCH(bool, answer);
    WindowFixture f;
    const qint64 was = SignatureScanStart + 40;
    const qint64 now = SignatureScanStart + 2040;
    const QByteArray program =
        QByteArray("MZ" + pattern(1'400'000, 3)).replace(was, 5, tableSignature());
    const QString path = f.writeFile(QStringLiteral("KGF.EXE"), program);
    f.window->loadFile(path);
    edit(f, 2, 9);
    // A new version of the program keeps its table elsewhere.
    QByteArray update = QByteArray(program)
                            .replace(now, 1488, program.mid(was, 1488))
                            .replace(was, 1488, pattern(1488, 6));
    f.writeFile(QStringLiteral("KGF.EXE"), update);
    f.prompter.chooseAnswer = 0; // back where it was loaded from
    f.prompter.confirmAnswer = answer;
    pressSave(f);
    QCOMPARE(f.prompter.acceptButtons, QStringList{QStringLiteral("Write it at byte 1,352,039")});
    QVERIFY2(f.prompter.asked.value(1).contains(QStringLiteral("it is now at byte 1,352,039")),
             qPrintable(f.prompter.asked.value(1)));
    if (answer)
        update.replace(now, 1488, f.window->GF1().toBytes());
    QCOMPARE(fileBytes(path), update);
    QCOMPARE(f.window->hasUnsavedChanges(), !answer);
    if (!answer)
        return;
    // Saved back again, it goes to the new place: no move to ask about.
    edit(f, 3, 4);
    pressSave(f);
    QCOMPARE(
        f.prompter.offered.last(),
        QStringList{QStringLiteral("Write it back at byte 1,352,039, where it was last saved to")});
    QCOMPARE(f.prompter.acceptButtons.size(), 1);
    QCOMPARE(fileBytes(path), update.replace(now, 1488, f.window->GF1().toBytes()));
}

void LoadSaveTest::saveRemarkIsShown_data()
{
    QTest::addColumn<QString>("save");
    QTest::newRow("saved") << "saved";
    QTest::newRow("cancelled") << "cancelled";
    QTest::newRow("failed") << "failed";
    QTest::newRow("saved while closing") << "closing";
}

void LoadSaveTest::saveRemarkIsShown()
{
    QFETCH(QString, save);
    WindowFixture f;
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 4));
    // What an earlier save cut off might have left, but holds no journal: it stays.
    const QString left = f.writeFile(QStringLiteral(".kgf-journal-0123abcd.tmp"), "notes");
    f.window->loadFile(path);
    edit(f, 1, 6);
    if (save == "cancelled")
        f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 5)); // asked, and Cancel
    FaultyFile::Faults faults;
    faults.room = save == "failed" ? 100 : -1;
    f.window->setSaveFileWrapper(FaultyFile::wrapper(faults));
    const bool closing = save == "closing";
    if (closing) {
        f.prompter.saveAnswer = Prompter::Choice::Go;
        f.window->close();
    } else {
        f.answers.push_back(path);
        f.click(QStringLiteral("Command3"));
    }
    const QStringList &news = closing ? f.prompter.informedBeforeClosing : f.prompter.informed;
    QCOMPARE(f.prompter.told.size(), save == "failed" ? 1 : 0);
    QVERIFY(QFile::exists(left));
    // Only a save that did its work looks at what earlier ones left: one
    // that failed or was cancelled changes nothing, and says nothing of it.
    if (save == "cancelled" || save == "failed") {
        QVERIFY2(news.isEmpty(), qPrintable(news.join(u'\n')));
        return;
    }
    QVERIFY2(news.value(news.size() - 1)
                 .startsWith(QStringLiteral("A save that was cut off earlier left %1 (it holds "
                                            "no copy of frmation.dat)")
                                 .arg(QDir::toNativeSeparators(left))),
             qPrintable(news.join(u'\n')));
    QCOMPARE(news.size(), 2); // the backup's news comes first
}

// Leaves `path` as a save of `table` cut off part-way does: its journal
// beside it, and the table's first `written` bytes in it.
static void tearSave(const QString &path, const QByteArray &table, int written)
{
    QFile file(path);
    FileStatus status;
    QString reason;
    if (!file.open(QIODevice::ReadWrite) || !fileStatus(file, &status, &reason))
        qFatal("cannot look at %s", qPrintable(path));
    const QByteArray old = file.read(1488);
    QFile journal(journalPath(path));
    if (!journal.open(QIODevice::WriteOnly) ||
        journal.write(
            encodeJournal({status.identity, status.size, status.modifiedNs, 0, old, table})) < 0 ||
        !file.seek(0) || file.write(table.left(written)) != written)
        qFatal("cannot tear %s", qPrintable(path));
}

void LoadSaveTest::unfinishedSaveIsSettledBeforeLoading_data()
{
    QTest::addColumn<QString>("state");  // of the file and its journal
    QTest::addColumn<int>("answer");     // the choice taken, -1 Cancel; with one choice, 0 is yes
    QTest::addColumn<bool>("viaDialog"); // Load's dialog, else as the command line names it
    QTest::addColumn<QString>("differ"); // what the question says differs
    const QString two = "Formations 1 (Game 1) and 3 (Game 3) differ";
    QTest::newRow("torn, put back") << "torn" << 0 << true << two;
    QTest::newRow("torn, put back, named") << "torn" << 0 << false << two;
    QTest::newRow("torn, kept") << "torn" << 1 << true << two;
    QTest::newRow("torn, cancelled") << "torn" << -1 << false << two;
    QTest::newRow("nothing written yet, put back") << "old" << 0 << true << "No formation differs";
    QTest::newRow("changed since, kept") << "changed since" << 0 << true << "";
    QTest::newRow("changed since, cancelled") << "changed since" << -1 << false << "";
    QTest::newRow("damaged journal, kept") << "damaged journal" << 0 << false << "";
}

void LoadSaveTest::unfinishedSaveIsSettledBeforeLoading()
{
    QFETCH(QString, state);
    QFETCH(int, answer);
    QFETCH(bool, viaDialog);
    QFETCH(QString, differ);
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("game")));
    QByteArray names;
    for (int n = 0; n < 31; ++n)
        names += "Game " + QByteArray::number(n) + "\n";
    f.writeFile(QStringLiteral("game/readorder.txt"), names);
    const QString other = f.writeFile(QStringLiteral("other.dat"), pattern(1488, 9));
    f.window->loadFile(other);
    const QByteArray before = pattern(2000, 1);
    const QString path = f.writeFile(QStringLiteral("game/frmation.dat"), before);
    QByteArray table = before.left(1488);
    for (int formation : {1, 3, 25})
        table[formation * 48 + 2] = char(table[formation * 48 + 2] ^ 0x40);
    tearSave(path, table, state == "old" ? 0 : 700); // formations 1 and 3, not 25
    // Another program writes a byte that is neither old nor new, or the journal is damaged.
    const QString changed = state == "changed since" ? path : journalPath(path);
    if (state == "changed since" || state == "damaged journal") {
        QByteArray bytes = fileBytes(changed);
        bytes[1000] = char(bytes[1000] ^ 0x40);
        f.writeFile(QDir(f.dir.path()).relativeFilePath(changed), bytes);
    }
    const QByteArray held = fileBytes(path);
    const bool canPutBack = !differ.isEmpty();
    f.prompter.chooseAnswer = answer;
    f.prompter.confirmAnswer = answer == 0;
    if (viaDialog) {
        f.answers.push_back(path);
        f.click(QStringLiteral("Command1"));
    } else {
        f.window->loadFile(path);
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (canPutBack) {
        QCOMPARE(f.prompter.offered, (QList<QStringList>{{"Put it back", "Keep it as it is"}}));
        QCOMPARE(f.prompter.preferred, QList<int>{0});
        QCOMPARE(f.prompter.asked, QStringList{"A save of " + shown +
                                               " did not finish. Put back the table it had "
                                               "before that save? " +
                                               differ +
                                               " between the table it holds now "
                                               "and the one it had before."});
    } else {
        QCOMPARE(f.prompter.acceptButtons, QStringList{"Keep it as it is"});
        QVERIFY2(f.prompter.asked.value(0).startsWith(
                     "A save of " + shown +
                     " did not finish, and the table it had before cannot "
                     "be put back: "),
                 qPrintable(f.prompter.asked.value(0)));
    }
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    const bool putBack = canPutBack && answer == 0;
    QCOMPARE(fileBytes(path), putBack ? before : held);
    QCOMPARE(QFile::exists(journalPath(path)), answer < 0);
    QCOMPARE(f.window->fileName(), answer < 0 ? other : path);
    QCOMPARE(f.window->GF1().toBytes(), answer < 0 ? pattern(1488, 9) : fileBytes(path).left(1488));
}

void LoadSaveTest::failedSettlingLoadsNothing_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("changed"); // another program changes the file while asked
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("why");
    const QByteArray torn = pattern(1488, 2).left(100) + pattern(2000, 1).mid(100);
    QTest::newRow("put back, changed meanwhile")
        << 0 << true << pattern(2000, 3) << "another program has changed it since";
    QTest::newRow("kept, journal not removed") << 1 << false << torn << "could not be removed";
    // Put back, but a load would take the journal for a save still unfinished.
    QTest::newRow("put back, journal not removed")
        << 0 << false << pattern(2000, 1) << "could not be removed";
}

void LoadSaveTest::failedSettlingLoadsNothing()
{
    QFETCH(int, answer);
    QFETCH(bool, changed);
    QFETCH(QByteArray, after);
    QFETCH(QString, why);
    WindowFixture f;
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 1));
    tearSave(path, pattern(1488, 2), 100);
    const QString journal = journalPath(path);
    // While the question is open, its journal becomes one that cannot be removed.
    f.prompter.whileAsking = [&] {
        if (changed)
            f.writeFile(QStringLiteral("frmation.dat"), pattern(2000, 3));
        setSystemCallHook([&](const char *call, const QString &named) {
            return QLatin1String(call) == "remove" && named == journal ? SystemFault::IoError
                                                                       : SystemFault::None;
        });
    };
    f.prompter.chooseAnswer = answer;
    f.window->loadFile(path);
    setSystemCallHook({});
    QCOMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(why), qPrintable(f.prompter.told[0]));
    QCOMPARE(fileBytes(path), after);
    QVERIFY(QFile::exists(journal));
    QCOMPARE(f.window->fileName(), QString());
    QCOMPARE(f.window->GF1().toBytes(), QByteArray(1488, '\0'));
}
