// Each step of a save over an existing file ends it as save_steps.h says:
// one save made to end at each step, by a failing system call or by what
// the folder holds, must be heard to end there, in the way listed.
#include "native_file.h"
#include "save_journal.h"
#include "save_steps.h"
#include "table_loader.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{

QByteArray sampleTable()
{
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(255 - i % 256);
    return table;
}

// What the folder holds before the save.
enum class Setup {
    Plain,            // a file of 3,000 bytes
    ReadOnly,         // marked read-only
    HoldsTheTable,    // the table is in it already
    NoSignature,      // saved as a program's table, without the program's signature
    ChangedSinceLoad, // another program wrote to it after it was loaded
    BackupIsAFolder,  // NAME.bak is a folder
};

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(SaveStep)

class SaveStepsTest : public QObject
{
    Q_OBJECT
private slots:
    void endsAsListed_data();
    void endsAsListed();
    void earlierSaveNewsKept_data();
    void earlierSaveNewsKept();
};

void SaveStepsTest::endsAsListed_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("failing"); // a call on the file, "" for none
    QTest::addColumn<QString>("on");         // the file's name: F for the one saved to
    QTest::addColumn<int>("nth");            // which of those calls fails
    QTest::addColumn<SaveStep>("step");
    QTest::addColumn<uint>("end");

    using S = SaveStep;
    const QString F = QStringLiteral("F");
    QTest::newRow("read-only") << Setup::ReadOnly << QByteArray() << F << 0 << S::SettleEarlierSave
                               << uint(EndsNotSaved);
    QTest::newRow("open fails") << Setup::Plain << QByteArray("open") << F << 1 << S::Open
                                << uint(EndsNotSaved);
    QTest::newRow("no signature") << Setup::NoSignature << QByteArray() << F << 0 << S::FindTable
                                  << uint(EndsNotSaved);
    QTest::newRow("changed since the load")
        << Setup::ChangedSinceLoad << QByteArray() << F << 0 << S::AskAboutChanges
        << uint(AsksChangedByOtherProgram);
    QTest::newRow("the table is there") << Setup::HoldsTheTable << QByteArray() << F << 0
                                        << S::CompareTables << uint(EndsNothingToChange);
    QTest::newRow("no journal") << Setup::Plain << QByteArray("create") << QStringLiteral("journal")
                                << 1 << S::WriteJournal << uint(AsksNoJournal);
    QTest::newRow("NAME.bak a folder")
        << Setup::BackupIsAFolder << QByteArray() << F << 0 << S::CopyBackup << uint(AsksNoBackup);
    QTest::newRow("copy fails") << Setup::Plain << QByteArray("create") << QStringLiteral("backup")
                                << 1 << S::CopyBackup << uint(AsksNoBackup);
    // The first looks at the name come before the file is opened; the
    // fourth is the check before the copy is named, the fifth the last one.
    QTest::newRow("check before naming fails") << Setup::Plain << QByteArray("look") << F << 4
                                               << S::CheckBeforeNamingBackup << uint(EndsNotSaved);
    QTest::newRow("naming fails") << Setup::Plain << QByteArray("rename")
                                  << QStringLiteral("dat.bak") << 1 << S::NameBackup
                                  << uint(AsksNoBackup);
    QTest::newRow("last check fails")
        << Setup::Plain << QByteArray("look") << F << 5 << S::CheckAgain << uint(EndsNotSaved);
    QTest::newRow("write fails") << Setup::Plain << QByteArray("write") << F << 1 << S::Write
                                 << uint(EndsNotSaved);
    QTest::newRow("saved") << Setup::Plain << QByteArray() << F << 0 << S::Write << uint(EndsSaved);
}

void SaveStepsTest::endsAsListed()
{
    QFETCH(Setup, setup);
    QFETCH(QByteArray, failing);
    QFETCH(QString, on);
    QFETCH(int, nth);
    QFETCH(SaveStep, step);
    QFETCH(uint, end);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("table.dat"));
    QByteArray before(3000, 'o');
    if (setup == Setup::HoldsTheTable)
        before.replace(0, 1488, sampleTable());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    WatchedFiles watched;
    SaveOptions options;
    if (setup == Setup::ReadOnly)
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    if (setup == Setup::NoSignature)
        options.intoProgramTable = true;
    if (setup == Setup::ChangedSinceLoad) {
        watched.loaded = loadFromDataFile(path, 0).source;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(20) && file.write("other") == 5);
        options.watched = &watched;
    }
    if (setup == Setup::BackupIsAFolder)
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("table.dat.bak")));

    int calls = 0;
    setSystemCallHook([&](const char *call, const QString &file) {
        const bool named = on == QLatin1String("F") ? QFileInfo(file).absoluteFilePath() ==
                                                          QFileInfo(path).absoluteFilePath()
                                                    : QFileInfo(file).fileName().contains(on);
        return named && failing == call && ++calls == nth ? SystemFault::IoError
                                                          : SystemFault::None;
    });
    std::optional<SaveStep> endedAt;
    options.stepEnded = [&](SaveStep at, const SaveOutcome &) { endedAt = at; };
    const SaveOutcome outcome = saveTable(path, sampleTable(), options);
    setSystemCallHook({});
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QVERIFY2(endedAt.has_value(), qPrintable(outcome.message));
    QCOMPARE(int(*endedAt), int(step));
    QCOMPARE(saveEndOf(outcome.kind, outcome.question), end);
    QVERIFY2(stepMayEnd(step, outcome.kind, outcome.question), qPrintable(outcome.message));
}

void SaveStepsTest::earlierSaveNewsKept_data()
{
    QTest::addColumn<bool>("holdsTheTable");
    QTest::addColumn<SaveStep>("step");
    QTest::newRow("saved") << false << SaveStep::Write;
    QTest::newRow("the table is there") << true << SaveStep::CompareTables;
}

// An earlier save's journal that changed nothing is settled first, and the
// save says so at whichever step it ends.
void SaveStepsTest::earlierSaveNewsKept()
{
    QFETCH(bool, holdsTheTable);
    QFETCH(SaveStep, step);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("table.dat"));
    QByteArray before(3000, 'o');
    if (holdsTheTable)
        before.replace(0, 1488, sampleTable());
    FileStatus status;
    {
        QFile file(path);
        QString reason;
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        QVERIFY(file.flush() && fileStatus(file, &status, &reason));
    }
    // It meant to write other bytes, and wrote none of them.
    const QByteArray journal = encodeJournal({status.identity, status.size, status.modifiedNs, 0,
                                              before.left(1488), QByteArray(1488, 'n')});
    {
        QFile file(journalPath(path));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(journal) == journal.size());
    }

    std::optional<SaveStep> endedAt;
    SaveOptions options;
    options.stepEnded = [&](SaveStep at, const SaveOutcome &) { endedAt = at; };
    const SaveOutcome outcome = saveTable(path, sampleTable(), options);
    QVERIFY2(outcome.tableInFile(), qPrintable(outcome.message));
    QCOMPARE(int(endedAt.value_or(SaveStep::SettleEarlierSave)), int(step));
    QVERIFY(!hasJournal(path));
    QVERIFY2(outcome.journalSettled.contains(QStringLiteral("had changed nothing")),
             qPrintable(outcome.remark));
    QVERIFY2(outcome.remark.startsWith(outcome.journalSettled), qPrintable(outcome.remark));
}

QTEST_APPLESS_MAIN(SaveStepsTest)
#include "tst_save_steps.moc"
