#include "save_faults.h"
#include "table_saver.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TableSaverTest : public QObject
{
    Q_OBJECT
private slots:
    void writesTheTableAtTheStart_data();
    void writesTheTableAtTheStart();
    void keepsPermissions();
    void refusesReadOnlyFile();
    void refusesFolder();
    void refusesReadOnlyFolder();
    void writerFailingPartWayKeepsOldFile_data();
    void writerFailingPartWayKeepsOldFile();
    void fullDiskKeepsOldFile();
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

static QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString TableSaverTest::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
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
    const QString name = QStringLiteral("target%1.dat").arg(existingSize);
    QByteArray existing(qMax(existingSize, 0), 'e');
    for (int i = 0; i < existing.size(); ++i)
        existing[i] = static_cast<char>('a' + i % 26);
    const QString path = existingSize >= 0 ? write(name, existing) : m_dir.filePath(name);

    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY2(result.ok, qPrintable(result.error));
    const QByteArray saved = contents(path);
    QCOMPARE(saved.size(), qMax(1488, existingSize));
    QCOMPARE(saved.left(1488), sampleTable());
    QCOMPARE(saved.mid(1488), existing.mid(1488)); // every later byte kept
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({name + QStringLiteral("*")}, QDir::Files),
             QStringList{name});
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

void TableSaverTest::refusesFolder()
{
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.dat")));
    const SaveResult result =
        saveTable(m_dir.filePath(QStringLiteral("folder.dat")), sampleTable());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("folder")), qPrintable(result.error));
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("folder.dat"))).isDir());
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

void TableSaverTest::writerFailingPartWayKeepsOldFile_data()
{
    QTest::addColumn<int>("existingSize");
    QTest::addColumn<qint64>("room");
    QTest::newRow("nothing fits, new file") << -1 << qint64(0);
    QTest::newRow("half the table fits") << 2000 << qint64(744);
    QTest::newRow("table fits, tail does not") << 9000 << qint64(1500);
    QTest::newRow("all but one byte") << 1488 << qint64(1487);
}

void TableSaverTest::writerFailingPartWayKeepsOldFile()
{
    QFETCH(int, existingSize);
    QFETCH(qint64, room);
    const QString name = QStringLiteral("failing%1.dat").arg(existingSize);
    const QByteArray old(qMax(existingSize, 0), 'o');
    const QString path = existingSize >= 0 ? write(name, old) : m_dir.filePath(name);

    const SaveResult result = saveTable(path, sampleTable(), [room](const QString &target) {
        return std::make_unique<FullDiskSaveFile>(target, room);
    });
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("No space left on device")),
             qPrintable(result.error));
    QVERIFY(result.error.contains(name));
    if (existingSize >= 0)
        QCOMPARE(contents(path), old);
    else
        QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(m_dir.path()).entryList({name + QStringLiteral("*")}, QDir::Files).size(),
             existingSize >= 0 ? 1 : 0);
}

void TableSaverTest::fullDiskKeepsOldFile()
{
    QByteArray old(3000, '\0');
    for (int i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7);
    const auto disk = TinyFileSystem::fullDiskHolding(QStringLiteral("frmation.dat"), old);
    if (!disk)
        QSKIP("no small file system could be mounted here; the writer seam covers this case");
    const QString path = disk->path(QStringLiteral("frmation.dat"));

    const SaveResult result = saveTable(path, sampleTable());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("No space left on device")),
             qPrintable(result.error));
    QCOMPARE(contents(path), old);
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
