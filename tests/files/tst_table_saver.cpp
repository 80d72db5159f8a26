#include "native_file.h"
#include "program_file.h"
#include "save_faults.h"
#include "table_loader.h"
#include "table_saver.h"
#include "unix_files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TableSaverTest : public QObject
{
    Q_OBJECT
private slots:
    void writesTheTableAtTheStart_data();
    void writesTheTableAtTheStart();
    void keepsPermissions();
    void keepsTheFileItself();
    void writesThroughASymlink();
    void longNames_data();
    void longNames();
    void refusesReadOnlyFile();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void refusesReadOnlyFolder();
    void failedStepPutsTheOldFileBack_data();
    void failedStepPutsTheOldFileBack();
    void failedPutBack_data();
    void failedPutBack();
    void failedNewFileLeavesNothing_data();
    void failedNewFileLeavesNothing();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();
    void renameNeverReplaces_data();
    void renameNeverReplaces();
    void changedByAnotherProgram_data();
    void changedByAnotherProgram();
    void repeatedSaves();
    void noBackupAsks();
    void backupNameTakenByNoFile_data();
    void backupNameTakenByNoFile();
    void anotherProgramsBytesAreNeverPutBackOver();
    void anotherProgramsWriteDuringThePutBackStays();
    void anotherProgramDuringTheSave_data();
    void anotherProgramDuringTheSave();
    void savesAtAnOffset_data();
    void savesAtAnOffset();
    void fullDisk_data();
    void fullDisk();
    void otherUserSavesInPlace_data();
    void otherUserSavesInPlace();
    void fileInUseByAnotherProgram();
    void programPaths();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

static QByteArray sampleTable()
{
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(255 - i % 256);
    return table;
}

static QByteArray pattern(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i + seed) % 26);
    return bytes;
}

static QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

static QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Every name in a folder, hidden ones too: a save leaves no temporary file.
static QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Writes `bytes` as the whole of `path`; true when all of them are out.
static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString TableSaverTest::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(name));
    return path;
}

void TableSaverTest::writesTheTableAtTheStart_data()
{
    QTest::addColumn<int>("existingSize"); // -1: no file yet
    QTest::newRow("new file") << -1;
    QTest::newRow("empty file") << 0;
    QTest::newRow("shorter file") << 100;
    QTest::newRow("same length") << 1488;
    QTest::newRow("longer file") << 5000;
}

void TableSaverTest::writesTheTableAtTheStart()
{
    QFETCH(int, existingSize);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray existing = pattern(qMax(existingSize, 0), 3);
    if (existingSize >= 0) {
        QVERIFY(writeFile(path, existing));
    }
    const unixfiles::Identity before = unixfiles::identityOf(path);
    bool temporaryHidden = false; // a new file's temporary name, while it exists (Windows: hidden)
    const auto look = [&](std::unique_ptr<WritableFile> file) {
        const QStringList names = namesIn(dir.path()).filter(QStringLiteral(".kgf-save-"));
        temporaryHidden = names.size() == 1 && QFileInfo(dir.filePath(names[0])).isHidden();
        return file;
    };

    const SaveOutcome result = saveTable(path, sampleTable(), {.wrap = look});
    QVERIFY2(result.tableInFile(), qPrintable(result.message));
    QCOMPARE(temporaryHidden, existingSize < 0);
    QVERIFY(!QFileInfo(path).isHidden());
    const QByteArray saved = contents(path);
    QCOMPARE(saved.size(), qMax(1488, existingSize));
    QCOMPARE(saved.left(1488), sampleTable());
    QCOMPARE(saved.mid(1488), existing.mid(1488)); // every later byte kept
    if (existingSize < 0) {
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("frmation.dat")});
        QVERIFY(result.backupPath.isEmpty());
        return;
    }
    QCOMPARE(unixfiles::identityOf(path).inode, before.inode); // the same file, written in place
    QCOMPARE(namesIn(dir.path()), QStringList({"frmation.dat", "frmation.dat.bak"}));
    QCOMPARE(result.backupPath, path + QStringLiteral(".bak"));
    QCOMPARE(contents(result.backupPath), existing);
}

void TableSaverTest::keepsPermissions()
{
    const QString path = write(QStringLiteral("perm.dat"), QByteArray(10, 'x'));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadUser |
                             QFileDevice::WriteUser;
    QVERIFY(QFile::setPermissions(path, permissions));
    const auto before = QFileInfo(path).permissions();
    QVERIFY(saveTable(path, sampleTable()).tableInFile());
    QCOMPARE(QFileInfo(path).permissions(), before);
}

void TableSaverTest::keepsTheFileItself()
{
#ifndef Q_OS_LINUX
    QSKIP("hard links, owners and extended attributes are checked on Linux");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString link = dir.filePath(QStringLiteral("other-name.dat"));
    const QByteArray old = pattern(2000, 1);
    QVERIFY(writeFile(path, old));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::WriteGroup));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    const bool attributes =
        unixfiles::setAttribute(path, "user.kgf.note", "kept") &&
        unixfiles::setAttribute(path, "system.posix_acl_access", unixfiles::aclGrantingUser(65534));
    const bool otherOwner = unixfiles::isRoot() && unixfiles::changeOwner(path, 65534, 65534);
    const unixfiles::Identity before = unixfiles::identityOf(path);
    const QByteArray acl = unixfiles::attribute(path, "system.posix_acl_access");

    const SaveOutcome result = saveTable(path, sampleTable());
    QVERIFY2(result.tableInFile(), qPrintable(result.message));
    QCOMPARE(unixfiles::identityOf(path), before);           // inode, owner, group, mode, links
    QCOMPARE(contents(link), sampleTable() + old.mid(1488)); // the other name sees the edit
    if (!attributes)
        QSKIP("extended attributes and ACLs not checked: this file system takes none");
    QCOMPARE(unixfiles::attribute(path, "user.kgf.note"), QByteArray("kept"));
    QCOMPARE(unixfiles::attribute(path, "system.posix_acl_access"), acl);
    if (!otherOwner)
        QSKIP("owner kept only as far as the unchanged inode shows: not root");
    QCOMPARE(unixfiles::identityOf(path).owner, quint32(65534));
#endif
}

void TableSaverTest::writesThroughASymlink()
{
#ifdef Q_OS_WIN
    QSKIP("Windows makes shortcuts, not symbolic links, with QFile::link");
#endif
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.dat"));
    const QString link = dir.filePath(QStringLiteral("frmation.dat"));
    QVERIFY(writeFile(target, pattern(100, 2)));
    if (!QFile::link(target, link))
        QSKIP("this system makes no symbolic links here");

    const SaveOutcome result = saveTable(link, sampleTable());
    QVERIFY2(result.tableInFile(), qPrintable(result.message));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(target), sampleTable());

    // A link to nothing is refused, and stays what it was.
    QVERIFY(QFile::remove(target));
    const SaveOutcome broken = saveTable(link, sampleTable());
    QVERIFY(!broken.tableInFile());
    QVERIFY2(broken.message.contains(QStringLiteral("link to a file that does not exist")),
             qPrintable(broken.message));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(target));
}

void TableSaverTest::longNames_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("exists");
    for (int length : {249, 255}) {
        QTest::addRow("existing, %d bytes", length) << length << true;
        QTest::addRow("new, %d bytes", length) << length << false;
    }
}

void TableSaverTest::longNames()
{
    QFETCH(int, length);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    const QString name = QString(length - 4, u'n') + QStringLiteral(".dat");
    const QString path = dir.filePath(name);
    if (exists && !writeFile(path, pattern(3000, 4)))
        QSKIP("this file system takes no names this long");
    SaveOutcome result = saveTable(path, sampleTable());
    if (exists && length > 251) { // a name that just fits leaves no room for ".bak"
        QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
        QCOMPARE(result.question, SaveOutcome::Question::NoBackup);
        result = saveTable(path, sampleTable(), {.withoutBackup = true});
    }
    QVERIFY2(result.tableInFile(), qPrintable(result.message));
    QCOMPARE(contents(path).left(1488), sampleTable());
    QStringList names{name};
    if (!result.backupPath.isEmpty())
        names << name + QStringLiteral(".bak");
    QCOMPARE(namesIn(dir.path()), names);
}

void TableSaverTest::refusesReadOnlyFile()
{
    const QByteArray old(3000, 'o');
    const QString path = write(QStringLiteral("readonly.dat"), old);
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const SaveOutcome result = saveTable(path, sampleTable());
    QVERIFY(!result.tableInFile());
    QVERIFY2(result.message.contains(QStringLiteral("read-only")), qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("readonly.dat")));
    QCOMPARE(contents(path), old);
    // Any write bit, here the group's alone, is no read-only mark.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                            QFileDevice::WriteGroup));
    const SaveOutcome group = saveTable(path, sampleTable(), {.withoutBackup = true});
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY2(!group.message.contains(QStringLiteral("read-only")), qPrintable(group.message));
#ifndef Q_OS_WIN
    if (!unixfiles::isRoot())
        QSKIP("only root may write a file whose owner may not, as its owner");
#endif
    QVERIFY2(group.tableInFile(), qPrintable(group.message));
}

void TableSaverTest::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("folder") << "folder"
                            << "it is a folder, not a regular file";
    QTest::newRow("FIFO") << "fifo"
                          << "it is not a regular file but a pipe or a socket";
    QTest::newRow("device node") << "device node"
                                 << "it is a device, not a regular file";
    QTest::newRow("link to a device") << "link to device"
                                      << "it is a device, not a regular file";
#ifdef Q_OS_WIN
    for (const char *name : {"NUL", "nul.dat", "aux.dat", "COM1", "con .txt", "LPT9.frm"})
        QTest::addRow("device name %s", name) << name << "it is a device, not a regular file";
#endif
}

void TableSaverTest::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const bool named =
        !QStringList({"folder", "fifo", "device node", "link to device"}).contains(kind);
    const QString path = dir.filePath(named ? kind : QStringLiteral("frmation.dat"));
    if (const QString cannot = named ? QString() : unixfiles::makeNotRegular(kind, path);
        !cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    const QStringList namesBefore = namesIn(dir.path());
    const bool fifo = unixfiles::isFifo(path);
    const bool device = unixfiles::isCharDevice(path);
    const bool link = QFileInfo(path).isSymLink();

    const SaveOutcome result = saveTable(path, sampleTable());
    QVERIFY(!result.tableInFile());
    QCOMPARE(result.message, QStringLiteral("The table was not saved to %1: %2.")
                                 .arg(QDir::toNativeSeparators(path), why));
    // Nothing was created or replaced.
    QCOMPARE(namesIn(dir.path()), namesBefore);
    QCOMPARE(unixfiles::isFifo(path), fifo);
    QCOMPARE(unixfiles::isCharDevice(path), device);
    QCOMPARE(QFileInfo(path).isSymLink(), link);
}

void TableSaverTest::refusesReadOnlyFolder()
{
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString path = dir.filePath(QStringLiteral("frmation.dat"));
    // An administrator writes into any folder: use a file system mounted
    // read-only instead.
    std::unique_ptr<TinyFileSystem> readOnly;
    if (QFile probe(dir.filePath(QStringLiteral("probe"))); probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        readOnly = std::make_unique<TinyFileSystem>(QStringLiteral("ro,size=64k"));
        if (!readOnly->mounted())
            QSKIP("this user writes into read-only folders and cannot mount a read-only one");
        path = readOnly->path(QStringLiteral("frmation.dat"));
    }
    const SaveOutcome result = saveTable(path, sampleTable());
    QVERIFY(!result.tableInFile());
    QVERIFY2(result.message.contains(QStringLiteral("frmation.dat")), qPrintable(result.message));
    QVERIFY(!QFile::exists(path));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TableSaverTest::failedStepPutsTheOldFileBack_data()
{
    QTest::addColumn<int>("existingSize");
    QTest::addColumn<qint64>("room");
    // 0 room only, 1 sync, 2 read-back error, 3 other bytes, 4 putting back fails
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("why");
    QTest::newRow("disk full at once, growing an empty file")
        << 0 << qint64(0) << 0 << "No space left on device";
    // Nothing was written, so nothing is put back: that it would fail does not matter.
    QTest::newRow("no byte taken, putting back would fail")
        << 1000 << qint64(0) << 4 << "No space left on device";
    QTest::newRow("disk full part-way, growing a short file")
        << 100 << qint64(700) << 0 << "only 700 of 1,488 bytes could be written";
    QTest::newRow("half the table, longer file")
        << 2000 << qint64(744) << 0 << "No space left on device";
    QTest::newRow("all but one byte") << 1488 << qint64(1487) << 0 << "No space left on device";
    QTest::newRow("sync fails") << 3000 << qint64(-1) << 1 << "the disk did not confirm the write";
    QTest::newRow("sync fails, short file")
        << 10 << qint64(-1) << 1 << "the disk did not confirm the write";
    QTest::newRow("read-back error") << 3000 << qint64(-1) << 2 << "could not be read back";
    QTest::newRow("read back other bytes")
        << 1000 << qint64(-1) << 3 << "did not give the bytes that were written";
}

void TableSaverTest::failedStepPutsTheOldFileBack()
{
    QFETCH(int, existingSize);
    QFETCH(qint64, room);
    QFETCH(int, fault);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(existingSize, 5);
    QVERIFY(writeFile(path, old));
    const unixfiles::Identity before = unixfiles::identityOf(path);

    FaultyFile::Faults faults;
    faults.room = room;
    faults.failSync = fault == 1;
    faults.failReadBack = fault == 2;
    faults.changeReadBack = fault == 3;
    faults.failRestore = fault == 4;
    const SaveOutcome result =
        saveTable(path, sampleTable(), {.wrap = FaultyFile::wrapper(faults)});
    QVERIFY(!result.tableInFile());
    QVERIFY2(result.message.contains(why), qPrintable(result.message));
    QVERIFY2(result.message.startsWith(QStringLiteral("The table was not saved to ")),
             qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("The file is unchanged")));
    QVERIFY(!result.message.contains(QStringLiteral("Unknown error")));
    QCOMPARE(contents(path), old); // bytes and length as they were
    QCOMPARE(unixfiles::identityOf(path), before);
    // The backup made before writing stays: it is the file as it still is.
    QCOMPARE(namesIn(dir.path()), QStringList({"frmation.dat", "frmation.dat.bak"}));
    QCOMPARE(contents(path + QStringLiteral(".bak")), old);
}

void TableSaverTest::failedPutBack_data()
{
    QTest::addColumn<int>("fault"); // 0 writing, 1 the length, 2 reading back
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("sizeNow");
    QTest::newRow("writing the old bytes")
        << 0 << "the old bytes could not be written (Input/output error)" << 500;
    QTest::newRow("setting the old length")
        << 1 << "the old length could not be set (Input/output error)" << 500;
    QTest::newRow("reading them back") << 2 << "reading it back did not give the old bytes" << 100;
}

void TableSaverTest::failedPutBack()
{
    QFETCH(int, fault);
    QFETCH(QString, why);
    QFETCH(int, sizeNow);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(100, 6);
    QVERIFY(writeFile(path, old));
    FaultyFile::Faults faults;
    faults.room = 500;
    faults.failRestore = fault == 0;
    faults.failRestoreResize = fault == 1;
    faults.changeRestoreReadBack = fault == 2;
    const SaveOutcome result =
        saveTable(path, sampleTable(), {.wrap = FaultyFile::wrapper(faults)});
    QCOMPARE(result.message,
             QStringLiteral("Saving the table to %1 failed: only 500 of 1,488 bytes could be "
                            "written (No space left on device). Putting back the file's old "
                            "content failed too (%2), so the file is damaged: its first %3 "
                            "bytes may hold part of the new table. Its length is now %3 bytes (it "
                            "was 100 bytes). %1.kgf-journal holds the bytes it had there before "
                            "this save: once the cause is fixed, kgf-formation-editor recover "
                            "%1, or loading %1 in the editor, puts them back where the file holds "
                            "nothing but what this save left; or save the table to it again. "
                            "%1.bak, made before this save, is a copy of the whole file as it "
                            "was.")
                 .arg(shown(path), why, QString::number(sizeNow)));
    QCOMPARE(contents(path).size(), sizeNow);
    QCOMPARE(contents(path).left(100), fault == 0 ? sampleTable().left(100) : old);
}

void TableSaverTest::failedNewFileLeavesNothing_data()
{
    QTest::addColumn<qint64>("room");
    QTest::addColumn<int>("fault"); // as above
    QTest::newRow("nothing fits") << qint64(0) << 0;
    QTest::newRow("half fits") << qint64(744) << 0;
    QTest::newRow("sync fails") << qint64(-1) << 1;
    QTest::newRow("read back other bytes") << qint64(-1) << 3;
}

void TableSaverTest::failedNewFileLeavesNothing()
{
    QFETCH(qint64, room);
    QFETCH(int, fault);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    FaultyFile::Faults faults;
    faults.room = room;
    faults.failSync = fault == 1;
    faults.changeReadBack = fault == 3;
    const SaveOutcome result =
        saveTable(path, sampleTable(), {.wrap = FaultyFile::wrapper(faults)});
    QVERIFY(!result.tableInFile());
    QVERIFY2(result.message.startsWith(QStringLiteral("The table was not saved to ")),
             qPrintable(result.message));
    QCOMPARE(namesIn(dir.path()), QStringList());
}

void TableSaverTest::refusedBeforeWriting_data()
{
    QTest::addColumn<int>("fault"); // 0 read error, 1 the file ends early, 2 no folder
    QTest::addColumn<QString>("why");
    QTest::newRow("read error") << 0 << "the file could not be read first (Input/output error).";
    QTest::newRow("shorter than it was") << 1 << "the file became shorter while it was being read.";
    QTest::newRow("no folder for a new file")
        << 2 << "no file can be made in %1 ("; // the system's words follow
}

void TableSaverTest::refusedBeforeWriting()
{
    QFETCH(int, fault);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString folder = fault == 2 ? dir.filePath(QStringLiteral("gone")) : dir.path();
    const QString path = folder + QStringLiteral("/frmation.dat");
    const QByteArray old = pattern(3000, 12);
    QVERIFY(fault == 2 || writeFile(path, old));
    FaultyFile::Faults faults;
    faults.failFirstRead = fault == 0;
    faults.shortFirstRead = fault == 1;
    const SaveOutcome result =
        saveTable(path, sampleTable(), {.wrap = FaultyFile::wrapper(faults)});
    const QString told = QStringLiteral("The table was not saved to %1: %2")
                             .arg(shown(path), fault == 2 ? why.arg(shown(folder)) : why);
    QVERIFY2(result.message.startsWith(told) && result.message.endsWith(u'.') &&
                 !result.message.endsWith(QLatin1String("..")),
             qPrintable(result.message));
    QCOMPARE(namesIn(dir.path()), fault == 2 ? QStringList() : QStringList{"frmation.dat"});
    QCOMPARE(contents(path), fault == 2 ? QByteArray("<unreadable>") : old);
}

void TableSaverTest::renameNeverReplaces_data()
{
    QTest::addColumn<bool>("link");     // a dangling symbolic link appears, not a file
    QTest::addColumn<bool>("atBackup"); // at the backup's name, while an existing file is saved
    QTest::newRow("a file at the new file's name") << false << false;
    QTest::newRow("a dangling link at the new file's name") << true << false;
    QTest::newRow("a file at the backup's name") << false << true;
}

void TableSaverTest::renameNeverReplaces()
{
    QFETCH(bool, link);
    QFETCH(bool, atBackup);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString name = atBackup ? path + QStringLiteral(".bak") : path;
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.dat"));
    QVERIFY(!atBackup || writeFile(path, pattern(2000, 13)));
#ifdef Q_OS_WIN
    if (link)
        QSKIP("Windows makes shortcuts, not symbolic links, with QFile::link");
#endif
    bool appeared = false;
    SaveOptions options;
    options.beforeNaming = [&](const QString &naming) {
        if (naming == name)
            appeared = link ? QFile::link(elsewhere, name) : writeFile(name, "another program's");
    };
    const SaveOutcome result = saveTable(path, sampleTable(), options);
    if (!appeared)
        QSKIP("no symbolic link could be made here");
    if (atBackup) { // one that appeared serves as well
        QVERIFY2(result.tableInFile() && result.backupPath.isEmpty(), qPrintable(result.message));
        QCOMPARE(contents(path).left(1488), sampleTable());
    } else {
        QCOMPARE(result.message,
                 QStringLiteral("The table was not saved to %1: a file of that name "
                                "appeared while the table was being saved.")
                     .arg(shown(path)));
    }
    QVERIFY(link ? QFileInfo(name).symLinkTarget() == elsewhere
                 : contents(name) == "another program's");
    QVERIFY(!QFileInfo::exists(elsewhere));
    QCOMPARE(namesIn(dir.path()).size(), atBackup ? 2 : 1); // no temporary file left
}

void TableSaverTest::changedByAnotherProgram_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QString>("said"); // what the question says changed
    const QString inTable =
        "In its table, formation 0 now differs from what the editor read there.";
    QTest::newRow("nothing changed") << "" << false << "";
    QTest::newRow("the table's bytes, time put back") << "bytes" << true << inTable;
    QTest::newRow("only the time")
        << "time" << true
        << "Its table and its length are as the editor read them; only its modification time, "
           "or bytes outside the table, changed.";
    QTest::newRow("the length, time put back")
        << "length" << true
        << "Its table is as the editor read it; its length changed from 3,000 to 3,005 bytes.";
    QTest::newRow("replaced by a file with the same bytes and time")
        << "replaced" << true << "Another file has its name now.";
    QTest::newRow("saved through another name of the file") << "hard link" << true << inTable;
    QTest::newRow("changed, and the user agreed") << "agreed" << false << "";
    QTest::newRow("saved to another file") << "other file" << false << "";
}

void TableSaverTest::changedByAnotherProgram()
{
    QFETCH(QString, change);
    QFETCH(bool, asks);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QString target = path;
    QVERIFY(writeFile(path, pattern(3000, 14)));
    const LoadResult load = loadFromDataFile(path, 16);
    QVERIFY(load.ok);
    if (change == "replaced") {
        const QString other = dir.filePath(QStringLiteral("new.dat"));
        QVERIFY(QFile::copy(path, other) && QFile::remove(path) && QFile::rename(other, path));
    } else if (change == "other file") {
        target = write(QStringLiteral("second.dat"), pattern(3000, 15));
    } else if (change == "hard link") {
#ifdef Q_OS_WIN
        QSKIP("hard links are made on POSIX systems here");
#else
        target = dir.filePath(QStringLiteral("link.dat"));
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()),
                 0);
#endif
    }
    // Another program writes the file in place, and sets its time.
    QFile file(path);
    QVERIFY(openRegularFile(file, QIODevice::ReadWrite).ok);
    const qint64 at = change == "length" ? 3000 : 20;
    QVERIFY(
        !QStringList({"bytes", "length", "hard link", "agreed", "other file"}).contains(change) ||
        (file.seek(at) && file.write("other") == 5));
    QString reason;
    QVERIFY2(
        setModifiedTime(file, load.source.modifiedNs + (change == "time") * 10'000'000, &reason),
        qPrintable(reason));
    file.close();

    const QByteArray before = contents(target);
    WatchedFiles watched{load.source, {}};
    SaveOutcome result = saveTable(target, sampleTable(), {.watched = &watched});
    if (change == "agreed") { // asked, and saved again over the file as it was then
        QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
        refreshWatched(watched, result.seen);
        result = saveTable(target, sampleTable(), {.watched = &watched});
    }
    if (!asks) {
        QVERIFY2(result.tableInFile(), qPrintable(result.message));
        QCOMPARE(contents(target).left(1488), sampleTable());
        watchSaved(watched, result.left); // in the loaded file's place, or beside it
        QCOMPARE(watched.loaded.modifiedNs == result.left.modifiedNs, change != "other file");
        QCOMPARE(watched.saved.valid, change == "other file");
        return;
    }
    QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
    QCOMPARE(result.question, SaveOutcome::Question::ChangedByOtherProgram);
    QFETCH(QString, said);
    QCOMPARE(result.questionText(), QStringLiteral("%1 was changed by another program after the "
                                                   "table was loaded from it. %2 Save over those "
                                                   "changes?")
                                        .arg(shown(target), said));
    QCOMPARE(contents(target), before);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".bak")));
}

// Saves of one file after another: none asks about other programs, only
// the first that changes a byte makes the backup, and one that changes
// nothing writes nothing.
void TableSaverTest::repeatedSaves()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString backup = path + QStringLiteral(".bak");
    const QByteArray stock = sampleTable() + pattern(1500, 16);
    QVERIFY(writeFile(path, stock));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ReadUser |
                                            QFileDevice::WriteUser));
    const LoadResult load = loadFromDataFile(path, 16);
    QVERIFY(load.ok);
    WatchedFiles watched{load.source, {}};
    SaveOutcome result = saveTable(path, sampleTable(), {.watched = &watched});
    QVERIFY(result.tableInFile() && result.backupPath.isEmpty() && !QFileInfo::exists(backup));

    QByteArray edited = sampleTable();
    for (char c : {'1', '2'}) {
        edited[0] = c; // saved at 0, over most of where the table was loaded from at 16
        watchSaved(watched, result.left);
        result = saveTable(path, edited, {.watched = &watched});
        QVERIFY2(result.tableInFile(), qPrintable(result.message));
        QCOMPARE(result.left.tableBytes, contents(path).mid(16, 1488));
        QCOMPARE(result.backupPath, c == '1' ? backup : QString());
        QCOMPARE(contents(backup), stock);
        QCOMPARE(QFileInfo(backup).permissions(), QFileInfo(path).permissions());
    }

    watchSaved(watched, result.left);
    FileSnapshot &loaded = watched.loaded;
    QFile file(path);
    QString reason;
    QVERIFY(openRegularFile(file, QIODevice::ReadWrite).ok);
    loaded.modifiedNs -= 20'000'000; // long ago enough that a write would move it
    QVERIFY2(setModifiedTime(file, loaded.modifiedNs, &reason), qPrintable(reason));
    file.close();
    QVERIFY(saveTable(path, edited, {.watched = &watched}).tableInFile());
    QCOMPARE(loadFromDataFile(path, 0).source.modifiedNs, loaded.modifiedNs);
}

void TableSaverTest::noBackupAsks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(3000, 18);
    QVERIFY(writeFile(path, old));
    FaultyFile::Faults faults;
    faults.room = 1000;
    SaveOptions options;
    options.wrapBackup = FaultyFile::wrapper(faults);
    SaveOutcome result = saveTable(path, sampleTable(), options);
    QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
    QCOMPARE(result.question, SaveOutcome::Question::NoBackup);
    QCOMPARE(result.questionText(), QStringLiteral("No backup of %1 can be made (No space left on "
                                                   "device). Save without a backup?")
                                        .arg(shown(path)));
    QCOMPARE(contents(path), old);
    QCOMPARE(namesIn(dir.path()), QStringList{"frmation.dat"});

    options.withoutBackup = true;
    result = saveTable(path, sampleTable(), options);
    QVERIFY2(result.tableInFile(), qPrintable(result.message));
    QCOMPARE(contents(path), sampleTable() + old.mid(1488));
    QCOMPARE(namesIn(dir.path()), QStringList{"frmation.dat"});
}

void TableSaverTest::backupNameTakenByNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("folder") << "folder"
                            << "it is a folder, not a regular file";
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("link to nothing") << "dangling link"
                                     << "it is a link to a file that does not exist";
    // No copy of the old bytes: the save would change them there too, or
    // whatever the link leads to later.
    QTest::newRow("link to the file itself") << "link to itself"
                                             << "it is a link, not a copy";
    QTest::newRow("link to a copy") << "link to a copy"
                                    << "it is a link, not a copy";
    QTest::newRow("another name of the file itself")
        << "hard link"
        << "it is another name of the file itself, not a copy";
}

void TableSaverTest::backupNameTakenByNoFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString backup = path + QStringLiteral(".bak");
    const QByteArray old = pattern(2000, 21);
    QVERIFY(writeFile(path, old));
    if (kind.contains(QLatin1String("link"))) {
#ifdef Q_OS_WIN
        QSKIP("links are made on POSIX systems here");
#else
        const QString copy = dir.filePath(QStringLiteral("copy.dat"));
        QVERIFY(writeFile(copy, old));
        const QString to = kind == QLatin1String("dangling link")    ? dir.filePath("gone")
                           : kind == QLatin1String("link to a copy") ? copy
                                                                     : path;
        QCOMPARE(
            kind == QLatin1String("hard link")
                ? ::link(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData())
                : ::symlink(QFile::encodeName(to).constData(),
                            QFile::encodeName(backup).constData()),
            0);
#endif
    } else if (const QString cannot = unixfiles::makeNotRegular(kind, backup); !cannot.isEmpty()) {
        QSKIP(qPrintable(cannot));
    }
    // No copy can be made: asked, and nothing written until the user agrees.
    const SaveOutcome result = saveTable(path, sampleTable());
    QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
    QCOMPARE(result.question, SaveOutcome::Question::NoBackup);
    QVERIFY2(result.questionText().startsWith(QStringLiteral("No backup of %1 can be made (%2 is "
                                                             "there, but ")
                                                  .arg(shown(path), shown(backup))),
             qPrintable(result.questionText()));
    QVERIFY2(result.questionText().contains(why), qPrintable(result.questionText()));
    QCOMPARE(contents(path), old);
}

void TableSaverTest::anotherProgramsWriteDuringThePutBackStays()
{
#ifdef Q_OS_WIN
    QSKIP("no other program can write a file while a save has it open");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(3000, 23);
    QVERIFY(writeFile(path, old));
    const qint64 oldTime = QFileInfo(path).lastModified().toMSecsSinceEpoch();
    FaultyFile::Faults faults;
    faults.failSync = true;
    faults.writtenDuringPutBack = "another program's";
    faults.path = path;
    SaveOptions options;
    options.withoutBackup = true;
    options.wrap = FaultyFile::wrapper(faults);
    const SaveOutcome result = saveTable(path, sampleTable(), options);
    // The table is taken back, the other program's write stays under its
    // own time, and nothing calls the file unchanged.
    QCOMPARE(result.kind, SaveOutcome::Kind::NotSaved);
    QVERIFY2(result.message.contains(QStringLiteral("another program wrote to the file "
                                                    "meanwhile: its change stays")),
             qPrintable(result.message));
    QVERIFY2(!result.message.contains(QStringLiteral("unchanged")), qPrintable(result.message));
    QByteArray expected = old;
    expected.replace(2000, faults.writtenDuringPutBack.size(), faults.writtenDuringPutBack);
    QCOMPARE(contents(path), expected);
    QVERIFY(QFileInfo(path).lastModified().toMSecsSinceEpoch() != oldTime);
    // The next save, watching the file as this one left it, asks about it.
    WatchedFiles watched{result.left, {}};
    SaveOptions next;
    next.watched = &watched;
    const SaveOutcome second = saveTable(path, sampleTable(), next);
    QCOMPARE(second.kind, SaveOutcome::Kind::Ask);
    QCOMPARE(second.question, SaveOutcome::Question::ChangedByOtherProgram);
    QCOMPARE(contents(path), expected);
}

void TableSaverTest::anotherProgramsBytesAreNeverPutBackOver()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(3000, 22);
    QVERIFY(writeFile(path, old));
    FaultyFile::Faults faults;
    faults.appendedBySomeoneElse = "written by another program";
    faults.failSync = true;
    SaveOptions options;
    options.withoutBackup = true;
    options.wrap = FaultyFile::wrapper(faults);
    const SaveOutcome result = saveTable(path, sampleTable(), options);
    QCOMPARE(result.kind, SaveOutcome::Kind::Damaged);
    QVERIFY2(result.message.contains(QStringLiteral("another program made the file longer "
                                                    "meanwhile, so it was left as it is")),
             qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("the file is damaged")));
    QCOMPARE(contents(path), sampleTable() + old.mid(1488) + faults.appendedBySomeoneElse);
}

void TableSaverTest::anotherProgramDuringTheSave_data()
{
    QTest::addColumn<QByteArray>("after"); // a call of the save that comes first
    QTest::addColumn<QByteArray>("call");  // the call on the file before which it acts
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("failCall"); // that call then fails
    QTest::addColumn<QString>("told");
    const QString changed = "%1 was changed by another program while the table was being saved "
                            "to it. In its table, formation 0 now differs from what the editor "
                            "read there. %1.bak, made just before, holds the file as it was "
                            "before that.";
    QTest::newRow("writes in place once the backup is made")
        << QByteArray("rename") << QByteArray("look") << "in place" << false << changed;
    QTest::newRow("puts a file in its place once the backup is made")
        << QByteArray("rename") << QByteArray("look") << "rename" << false
        << "Another program put another file in the place of %1 while the table was being saved "
           "to it. %1.bak, made just before, holds the file as it was before that.";
    // Never grown back, nor put back over the other program's bytes.
    QTest::newRow("cuts it short after the write, whose sync fails")
        << QByteArray("write") << QByteArray("sync") << "cut" << true
        << "another program made the file shorter meanwhile, so it was left as it is";
    QTest::newRow("writes in place after the write, whose sync fails")
        << QByteArray("write") << QByteArray("sync") << "in place" << true
        << "the file holds other bytes there than this save wrote: another program changed "
           "them meanwhile, or the disk did not keep them; so it was left as it is";
}

void TableSaverTest::anotherProgramDuringTheSave()
{
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, call);
    QFETCH(QString, action);
    QFETCH(bool, failCall);
    QFETCH(QString, told);
#ifdef Q_OS_WIN
    QSKIP("Windows lets no other program write a file while a save has it open");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = pattern(3000, 23);
    QVERIFY(writeFile(path, old));
    const QString theirs = dir.filePath(QStringLiteral("theirs.dat"));
    bool reached = false;
    bool acted = false;
    setSystemCallHook([&](const char *name, const QString &onFile) {
        // After the backup's naming: the journal's comes first.
        reached = reached || (name == after && (after != "rename" || onFile.endsWith(".bak")));
        if (!reached || acted || name != call || onFile != path)
            return SystemFault::None;
        acted = true;
        if (action == QLatin1String("cut"))
            QFile(path).resize(700);
        else if (action == QLatin1String("rename"))
            writeFile(theirs, "another program's file") && QFile::remove(path) &&
                QFile::rename(theirs, path);
        else if (QFile file(path); file.open(QIODevice::ReadWrite))
            file.seek(10), file.write("another program's bytes");
        return failCall ? SystemFault::IoError : SystemFault::None;
    });
    const SaveOutcome result = saveTable(path, sampleTable());
    setSystemCallHook({});
    const QByteArray now = contents(path);
    QVERIFY(acted);
    if (!failCall) { // caught before any write: the other program's file as it left it
        QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
        QCOMPARE(result.question, SaveOutcome::Question::ChangedByOtherProgram);
        QCOMPARE(result.message, told.arg(shown(path)));
        QVERIFY(now != old && !now.contains(sampleTable().left(100)));
        QCOMPARE(contents(path + QStringLiteral(".bak")), old);
        return;
    }
    QCOMPARE(result.kind, SaveOutcome::Kind::Damaged);
    QVERIFY2(result.message.contains(told), qPrintable(result.message));
    QCOMPARE(now.size(), action == QLatin1String("cut") ? 700 : 3000);
    QVERIFY(action == QLatin1String("cut") || now.mid(10, 23) == "another program's bytes");
}

void TableSaverTest::savesAtAnOffset_data()
{
    QTest::addColumn<int>("size");          // -1: no file
    QTest::addColumn<int>("theirChangeAt"); // -1: none; time put back after it
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("why");
    const int saved = int(SaveOutcome::Kind::Saved);
    const int notSaved = int(SaveOutcome::Kind::NotSaved);
    QTest::newRow("a longer file") << 3000 << -1 << saved << "";
    QTest::newRow("a file just long enough") << 1988 << -1 << saved << "";
    QTest::newRow("a file a byte too short")
        << 1987 << -1 << notSaved
        << "it holds 1,987 bytes, fewer than the 1,988 a table at byte 500 needs, and a save "
           "never makes a file longer to reach its table.";
    QTest::newRow("no file") << -1 << -1 << notSaved << "it does not exist";
    // The check for other programs' changes looks at the table where it is.
    QTest::newRow("another program changed the table there")
        << 3000 << 600 << int(SaveOutcome::Kind::Ask) << "";
    QTest::newRow("another program changed bytes before it") << 3000 << 100 << saved << "";
}

void TableSaverTest::savesAtAnOffset()
{
    QFETCH(int, size);
    QFETCH(int, theirChangeAt);
    QFETCH(int, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QByteArray old = pattern(qMax(size, 0), 24);
    WatchedFiles watched;
    if (size >= 0)
        QVERIFY(writeFile(path, old));
    if (size >= 1988)
        watched.loaded = loadFromDataFile(path, 500).source;
    if (theirChangeAt >= 0) {
        old.replace(theirChangeAt, 5, "their");
        QFile file(path);
        QString reason;
        QVERIFY(openRegularFile(file, QIODevice::ReadWrite).ok && file.seek(theirChangeAt) &&
                file.write("their") == 5 &&
                setModifiedTime(file, watched.loaded.modifiedNs, &reason));
    }

    const SaveOutcome result = saveTable(path, sampleTable(), {.watched = &watched, .offset = 500});
    QCOMPARE(int(result.kind), kind);
    QVERIFY2(result.message.contains(why), qPrintable(result.message));
    if (result.kind != SaveOutcome::Kind::Saved) {
        QCOMPARE(namesIn(dir.path()), size < 0 ? QStringList() : QStringList{"frmation.dat"});
        QCOMPARE(contents(path), size < 0 ? QByteArray("<unreadable>") : old);
        return;
    }
    // Only the table's bytes change, and the next save sees them where they are.
    QCOMPARE(contents(path), old.left(500) + sampleTable() + old.mid(1988));
    QCOMPARE(contents(path + QStringLiteral(".bak")), old);
    QCOMPARE(result.left.tableOffset, qint64(500));
    QCOMPARE(result.left.tableBytes, sampleTable());
}

void TableSaverTest::fullDisk_data()
{
    QTest::addColumn<int>("existingSize"); // -1: a new file
    QTest::addColumn<bool>("saves");
    // A file that needs no new room is written in place, once the user agrees to
    // go without the backup there is no room for; one that grows fails.
    QTest::newRow("longer file, in place, no room for a backup") << 3000 << true;
    QTest::newRow("empty file must grow") << 0 << false;
    QTest::newRow("new file") << -1 << false;
}

void TableSaverTest::fullDisk()
{
    QFETCH(int, existingSize);
    QFETCH(bool, saves);
    const QByteArray old = pattern(qMax(existingSize, 0), 7);
    const auto disk = TinyFileSystem::fullDiskHolding(
        existingSize >= 0 ? QStringLiteral("frmation.dat") : QStringLiteral("other.dat"), old);
    if (!disk)
        QSKIP("no small file system could be mounted here (needs root on Linux); the faulty "
              "file covers these cases");
    const QString path = disk->path(QStringLiteral("frmation.dat"));
    const QStringList namesBefore = namesIn(QFileInfo(path).path());

    SaveOutcome result = saveTable(path, sampleTable());
    if (existingSize >= 0) {
        // No room for the journal: asked first, with nothing written or made.
        QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
        QCOMPARE(result.question, SaveOutcome::Question::NoJournal);
        QCOMPARE(result.questionText(),
                 QStringLiteral("No journal of %1 can be written beside it (No space left on "
                                "device): if the save were cut off part-way, by a crash or a "
                                "power cut, the file could not be put back. Save without one?")
                     .arg(path));
        QCOMPARE(contents(path), old);
        QCOMPARE(namesIn(QFileInfo(path).path()), namesBefore);
        result = saveTable(path, sampleTable(), {.withoutJournal = true});
    }
    if (saves) {
        // Nor for the backup.
        QCOMPARE(result.kind, SaveOutcome::Kind::Ask);
        QCOMPARE(result.question, SaveOutcome::Question::NoBackup);
        QCOMPARE(result.questionText(),
                 QStringLiteral("No backup of %1 can be made (No space left on device). Save "
                                "without a backup?")
                     .arg(path));
        QCOMPARE(contents(path), old);
        result = saveTable(path, sampleTable(), {.withoutBackup = true, .withoutJournal = true});
    }
    QCOMPARE(result.tableInFile(), saves);
    if (saves) {
        QCOMPARE(contents(path), sampleTable() + old.mid(1488));
    } else {
        QVERIFY2(result.message.contains(QStringLiteral("No space left on device")),
                 qPrintable(result.message));
        if (existingSize >= 0)
            QCOMPARE(contents(path), old);
        else
            QVERIFY(!QFileInfo::exists(path));
    }
    // An empty file's backup needs no room; it stays, a true copy.
    QCOMPARE(namesIn(QFileInfo(path).path()),
             existingSize == 0 ? namesBefore + QStringList{"frmation.dat.bak"} : namesBefore);
}

void TableSaverTest::otherUserSavesInPlace_data()
{
    QTest::addColumn<QString>("folderMode"); // octal
    QTest::addColumn<int>("fileOwner");
    QTest::addColumn<QString>("fileMode");
    QTest::addColumn<bool>("withoutBackup");
    QTest::addColumn<QString>("refusal"); // empty: saved
    // nobody may write the file but not create names in its folder, so not
    // its backup either.
    QTest::newRow("folder the user cannot write")
        << "755" << 65534 << "644" << false
        << "No journal of %1 can be written beside it (Permission denied): if the save were cut "
           "off part-way, by a crash or a power cut, the file could not be put back.";
    QTest::newRow("folder the user cannot write, without a backup")
        << "755" << 65534 << "644" << true << "";
    // A shared sticky folder (like /tmp): nobody may not replace root's file.
    QTest::newRow("sticky folder, another owner's file") << "1777" << 0 << "666" << false << "";
    // A folder nobody may not even look into: the system's reason, not a guess.
    QTest::newRow("closed folder")
        << "700" << 65534 << "666" << false << "The table was not saved to %1: Permission denied.";
}

void TableSaverTest::otherUserSavesInPlace()
{
    QFETCH(QString, folderMode);
    QFETCH(int, fileOwner);
    QFETCH(QString, fileMode);
    QFETCH(bool, withoutBackup);
    QFETCH(QString, refusal);
#ifndef Q_OS_LINUX
    Q_UNUSED(folderMode);
    Q_UNUSED(fileOwner);
    Q_UNUSED(fileMode);
    Q_UNUSED(withoutBackup);
    Q_UNUSED(refusal);
    QSKIP("saving as another user is checked on Linux");
#else
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (!unixfiles::isRoot() || setpriv.isEmpty())
        QSKIP("running the save as the user nobody needs root and setpriv");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755)));
    // The probe, where nobody may run it.
    const QString probe = dir.filePath(QStringLiteral("save_probe"));
    QVERIFY(QFile::copy(QStringLiteral(SAVE_PROBE), probe));
    const QString folder = dir.filePath(QStringLiteral("game"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("game")));
    const QString path = folder + QStringLiteral("/frmation.dat");
    const QByteArray old = pattern(2000, 8);
    QVERIFY(writeFile(path, old));
    QVERIFY(unixfiles::changeOwner(path, quint32(fileOwner), quint32(fileOwner)));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), fileMode.toUInt(nullptr, 8)), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderMode.toUInt(nullptr, 8)), 0);
    const unixfiles::Identity before = unixfiles::identityOf(path);

    QProcess run;
    run.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QStringLiteral("--"), probe, path,
                        QStringLiteral("171"),
                        withoutBackup ? QStringLiteral("without-backup") : QString()});
    QVERIFY(run.waitForFinished(60'000));
    const QString output = QString::fromLocal8Bit(run.readAllStandardOutput()).trimmed();
    if (!refusal.isEmpty()) {
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(output, refusal.arg(path));
        QCOMPARE(contents(path), old);
        return;
    }
    QVERIFY2(run.exitCode() == 0, qPrintable(output + run.readAllStandardError()));
    QCOMPARE(contents(path), QByteArray(1488, char(171)) + old.mid(1488));
    QCOMPARE(unixfiles::identityOf(path), before);
    QCOMPARE(namesIn(folder), withoutBackup ? QStringList{"frmation.dat"}
                                            : QStringList({"frmation.dat", "frmation.dat.bak"}));
#endif
}

void TableSaverTest::fileInUseByAnotherProgram()
{
#ifndef Q_OS_WIN
    QSKIP("only Windows keeps others from writing a file a program has open");
#else
    const QByteArray old = pattern(3000, 19);
    const QString path = write(QStringLiteral("in-use.dat"), old);
    QFile other(path);
    QVERIFY(other.open(QIODevice::ReadWrite));
    const SaveOutcome result = saveTable(path, sampleTable());
    other.close();
    QCOMPARE(result.message, QStringLiteral("The table was not saved to %1: the file is in use by "
                                            "another program.")
                                 .arg(QDir::toNativeSeparators(path)));
    QCOMPARE(contents(path), old);
#endif
}

void TableSaverTest::programPaths()
{
    QVERIFY(isProgramNameForSave(QStringLiteral("C:/Games/KGF.EXE")));
    QVERIFY(isProgramNameForSave(QStringLiteral("/x/kgf.exe")));
    QVERIFY(isProgramNameForSave(QStringLiteral("setup.Exe")));
    QVERIFY(isProgramNameForSave(QStringLiteral("C:/Games/kgf.exe.")));   // Windows opens kgf.exe
    QVERIFY(isProgramNameForSave(QStringLiteral("C:/Games/kgf.exe . "))); // the same
    QVERIFY(!isProgramNameForSave(QStringLiteral("frmation.dat")));
    QVERIFY(!isProgramNameForSave(QStringLiteral("exe")));
}

QTEST_APPLESS_MAIN(TableSaverTest)
#include "tst_table_saver.moc"
