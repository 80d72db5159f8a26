#include "save_faults.h"
#include "table_saver.h"
#include "unix_files.h"

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
    void failedPutBackSaysTheFileIsDamaged();
    void failedNewFileLeavesNothing_data();
    void failedNewFileLeavesNothing();
    void fullDisk_data();
    void fullDisk();
    void otherUserSavesInPlace_data();
    void otherUserSavesInPlace();
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

    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY2(result.ok, qPrintable(result.error));
    const QByteArray saved = contents(path);
    QCOMPARE(saved.size(), qMax(1488, existingSize));
    QCOMPARE(saved.left(1488), sampleTable());
    QCOMPARE(saved.mid(1488), existing.mid(1488)); // every later byte kept
    QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("frmation.dat")});
    if (existingSize >= 0) // the same file, written in place
        QCOMPARE(unixfiles::identityOf(path).inode, before.inode);
}

void TableSaverTest::keepsPermissions()
{
    const QString path = write(QStringLiteral("perm.dat"), QByteArray(10, 'x'));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadUser |
                             QFileDevice::WriteUser;
    QVERIFY(QFile::setPermissions(path, permissions));
    const auto before = QFileInfo(path).permissions();
    QVERIFY(saveTable(path, sampleTable()).ok);
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

    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(unixfiles::identityOf(path), before);           // inode, owner, group, mode, links
    QCOMPARE(contents(link), sampleTable() + old.mid(1488)); // the other name sees the edit
    if (attributes) {
        QCOMPARE(unixfiles::attribute(path, "user.kgf.note"), QByteArray("kept"));
        QCOMPARE(unixfiles::attribute(path, "system.posix_acl_access"), acl);
    } else {
        qWarning("extended attributes and ACLs not checked: this file system takes none");
    }
    if (otherOwner)
        QCOMPARE(before.owner, quint32(65534));
    else
        qWarning("owner kept only as checked by the unchanged inode: not root");
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

    const SaveResult result = saveTable(link, sampleTable());
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(target), sampleTable());

    // A link to nothing is refused, and stays what it was.
    QVERIFY(QFile::remove(target));
    const SaveResult broken = saveTable(link, sampleTable());
    QVERIFY(!broken.ok);
    QVERIFY2(broken.error.contains(QStringLiteral("link to a file that does not exist")),
             qPrintable(broken.error));
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
    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(contents(path).left(1488), sampleTable());
    QCOMPARE(namesIn(dir.path()), QStringList{name});
}

void TableSaverTest::refusesReadOnlyFile()
{
    const QByteArray old(3000, 'o');
    const QString path = write(QStringLiteral("readonly.dat"), old);
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("read-only")), qPrintable(result.error));
    QVERIFY(result.error.contains(QStringLiteral("readonly.dat")));
    QCOMPARE(contents(path), old);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TableSaverTest::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("folder") << "folder"
                            << "it is a folder, not a regular file";
    QTest::newRow("FIFO") << "fifo"
                          << "is not a regular file";
    QTest::newRow("device node") << "device node"
                                 << "it is a device, not a regular file";
    QTest::newRow("link to a device") << "link to device"
                                      << "it is a device, not a regular file";
}

void TableSaverTest::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    if (const QString cannot = unixfiles::makeNotRegular(kind, path); !cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    const QStringList namesBefore = namesIn(dir.path());
    const bool fifo = unixfiles::isFifo(path);
    const bool device = unixfiles::isCharDevice(path);
    const bool link = QFileInfo(path).isSymLink();

    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(why), qPrintable(result.error));
    QVERIFY(result.error.contains(QStringLiteral("frmation.dat")));
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
    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("frmation.dat")), qPrintable(result.error));
    QVERIFY(!QFile::exists(path));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TableSaverTest::failedStepPutsTheOldFileBack_data()
{
    QTest::addColumn<int>("existingSize");
    QTest::addColumn<qint64>("room");
    QTest::addColumn<int>("fault"); // 0 room only, 1 sync, 2 read-back error, 3 other bytes
    QTest::addColumn<QString>("why");
    QTest::newRow("disk full at once, growing an empty file")
        << 0 << qint64(0) << 0 << "No space left on device";
    QTest::newRow("disk full part-way, growing a short file")
        << 100 << qint64(700) << 0 << "only 700 of 1488 bytes could be written";
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
    const SaveResult result = saveTable(path, sampleTable(), FaultyFile::wrapper(faults));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(why), qPrintable(result.error));
    QVERIFY2(result.error.startsWith(QStringLiteral("The table was not saved to ")),
             qPrintable(result.error));
    QVERIFY(result.error.contains(QStringLiteral("The file is unchanged")));
    QVERIFY(!result.error.contains(QStringLiteral("Unknown error")));
    QCOMPARE(contents(path), old); // bytes and length as they were
    QCOMPARE(unixfiles::identityOf(path), before);
    QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("frmation.dat")});
}

void TableSaverTest::failedPutBackSaysTheFileIsDamaged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QVERIFY(writeFile(path, pattern(100, 6)));
    FaultyFile::Faults faults;
    faults.room = 500;
    faults.failRestore = true;
    const SaveResult result = saveTable(path, sampleTable(), FaultyFile::wrapper(faults));
    QVERIFY(!result.ok);
    QVERIFY2(!result.error.contains(QStringLiteral("not saved")), qPrintable(result.error));
    for (const char *part :
         {"failed: only 500 of 1488 bytes could be written",
          "Putting back the file's old content failed too (Input/output error)",
          "the file is damaged", "Its length is now 500 bytes", "it was 100 bytes"})
        QVERIFY2(result.error.contains(QLatin1String(part)), qPrintable(result.error));
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
    const SaveResult result = saveTable(path, sampleTable(), FaultyFile::wrapper(faults));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QStringLiteral("The table was not saved to ")),
             qPrintable(result.error));
    QCOMPARE(namesIn(dir.path()), QStringList());
}

void TableSaverTest::fullDisk_data()
{
    QTest::addColumn<int>("existingSize"); // -1: a new file
    QTest::addColumn<bool>("saves");
    // A file that needs no new room is written in place; one that grows fails.
    QTest::newRow("longer file, in place") << 3000 << true;
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

    const SaveResult result = saveTable(path, sampleTable());
    QCOMPARE(result.ok, saves);
    if (saves) {
        QCOMPARE(contents(path), sampleTable() + old.mid(1488));
    } else {
        QVERIFY2(result.error.contains(QStringLiteral("No space left on device")),
                 qPrintable(result.error));
        if (existingSize >= 0)
            QCOMPARE(contents(path), old);
        else
            QVERIFY(!QFileInfo::exists(path));
    }
    QCOMPARE(namesIn(QFileInfo(path).path()), namesBefore);
}

void TableSaverTest::otherUserSavesInPlace_data()
{
    QTest::addColumn<QString>("folderMode"); // octal
    QTest::addColumn<int>("fileOwner");
    QTest::addColumn<QString>("fileMode");
    QTest::addColumn<QString>("refusal"); // empty: saved
    // nobody may write the file but not create names in its folder.
    QTest::newRow("folder the user cannot write") << "755" << 65534 << "644"
                                                  << "";
    // A shared sticky folder (like /tmp): nobody may not replace root's file.
    QTest::newRow("sticky folder, another owner's file") << "1777" << 0 << "666"
                                                         << "";
    // A folder nobody may not even look into: the system's reason, not a guess.
    QTest::newRow("closed folder") << "700" << 65534 << "666"
                                   << "The table was not saved to %1: Permission denied.";
}

void TableSaverTest::otherUserSavesInPlace()
{
    QFETCH(QString, folderMode);
    QFETCH(int, fileOwner);
    QFETCH(QString, fileMode);
    QFETCH(QString, refusal);
#ifndef Q_OS_LINUX
    Q_UNUSED(folderMode);
    Q_UNUSED(fileOwner);
    Q_UNUSED(fileMode);
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
                        QStringLiteral("171")});
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
    QCOMPARE(namesIn(folder), QStringList{QStringLiteral("frmation.dat")});
#endif
}

void TableSaverTest::programPaths()
{
    QVERIFY(isProgramPath(QStringLiteral("C:/Games/KGF.EXE")));
    QVERIFY(isProgramPath(QStringLiteral("/x/kgf.exe")));
    QVERIFY(isProgramPath(QStringLiteral("setup.Exe")));
    QVERIFY(!isProgramPath(QStringLiteral("frmation.dat")));
    QVERIFY(!isProgramPath(QStringLiteral("exe")));
}

QTEST_APPLESS_MAIN(TableSaverTest)
#include "tst_table_saver.moc"
