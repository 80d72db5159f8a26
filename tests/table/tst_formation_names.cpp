#include "formation_names.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class FormationNamesTest : public QObject
{
    Q_OBJECT
private slots:
    void splitLines_data();
    void splitLines();
    void readsCompleteFile();
    void missingFileNamesPathAndLeavesNamesEmpty();
    void shortFileKeepsWhatItHas();
    void decodesUtf8AndFallsBackToLatin1();
};

void FormationNamesTest::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("LF") << "a\nb\n" << QStringList{"a", "b"};
    QTest::newRow("CR") << "a\rb\r" << QStringList{"a", "b"};
    QTest::newRow("no final end") << "a\nb" << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << "a\r\n\r\nc\r\n" << QStringList{"a", "", "c"};
    QTest::newRow("blanks kept") << "  x  \n   \n" << QStringList{"  x  ", "   "};
    QTest::newRow("CR then LF line") << "a\r\rb" << QStringList{"a", "", "b"};
    QTest::newRow("empty text") << "" << QStringList{};
    QTest::newRow("mixed ends") << "a\rb\nc\r\nd" << QStringList{"a", "b", "c", "d"};
}

void FormationNamesTest::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitNameLines(text, 31), lines);
}

static QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("readorder.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

void FormationNamesTest::readsCompleteFile()
{
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 40; ++i)
        bytes += "name " + QByteArray::number(i) + "\r\n";
    const FormationNames names = readFormationNames(writeFile(dir, bytes));
    QCOMPARE(names.status, FormationNames::Status::Complete);
    QVERIFY(names.problem.isEmpty());
    QCOMPARE(names.names.size(), 32);
    QCOMPARE(names.names[0], QStringLiteral("name 0"));
    QCOMPARE(names.names[30], QStringLiteral("name 30"));
    QCOMPARE(names.names[31], QString()); // lines 32 to 40 are ignored
}

void FormationNamesTest::missingFileNamesPathAndLeavesNamesEmpty()
{
    QTemporaryDir dir;
    const FormationNames names = readFormationNames(dir.filePath(QStringLiteral("readorder.txt")));
    QCOMPARE(names.status, FormationNames::Status::Missing);
    QVERIFY(names.problem.contains(QStringLiteral("readorder.txt")));
    QVERIFY(names.problem.contains(QDir::toNativeSeparators(dir.path())));
    QCOMPARE(names.names, QStringList(32));
}

void FormationNamesTest::shortFileKeepsWhatItHas()
{
    QTemporaryDir dir;
    const FormationNames names = readFormationNames(writeFile(dir, "a\nb\nc\nd\ne\n"));
    QCOMPARE(names.status, FormationNames::Status::Short);
    QCOMPARE(names.linesRead, 5);
    QCOMPARE(names.names[4], QStringLiteral("e"));
    QCOMPARE(names.names[5], QString());
    QVERIFY(names.problem.contains(QStringLiteral("only 5 of 31")));
}

void FormationNamesTest::decodesUtf8AndFallsBackToLatin1()
{
    QCOMPARE(decodeNameText("Sk\xc3\xa5l"), QStringLiteral("Sk\u00e5l"));
    QCOMPARE(decodeNameText("Sk\xe5l"), QStringLiteral("Sk\u00e5l"));
}

QTEST_APPLESS_MAIN(FormationNamesTest)
#include "tst_formation_names.moc"
