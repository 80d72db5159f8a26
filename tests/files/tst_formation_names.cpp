#include "formation_names.h"
#include "unix_files.h"

#include <QDir>
#include <QElapsedTimer>
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
    void decodesEachLineOnItsOwn();
    void byteOrderMarkDecidesTheFile_data();
    void byteOrderMarkDecidesTheFile();
    void linesArriveInPieces_data();
    void linesArriveInPieces();
    void longNamesAreCut();
    void readsOnlyWhatTheNamesNeed();
    void notARegularFileIsUnreadable_data();
    void notARegularFileIsUnreadable();
};

void FormationNamesTest::splitLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("no final end") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\nc\r\n") << QStringList{"a", "", "c"};
    QTest::newRow("blanks kept") << QByteArray("  x  \n   \n") << QStringList{"  x  ", "   "};
    QTest::newRow("CR then LF line") << QByteArray("a\r\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty text") << QByteArray("") << QStringList{};
    QTest::newRow("mixed ends") << QByteArray("a\rb\nc\r\nd") << QStringList{"a", "b", "c", "d"};
}

void FormationNamesTest::splitLines()
{
    QFETCH(QByteArray, text);
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

void FormationNamesTest::decodesEachLineOnItsOwn()
{
    QTemporaryDir dir;
    QByteArray bytes = "Z\xc3\xbcrich\r\nSk\xe5l\r\n";
    for (int i = 2; i < 31; ++i)
        bytes += "plain\r\n";
    bytes += "after the last name: \xff\r\n"; // not valid UTF-8, and not read
    const FormationNames names = readFormationNames(writeFile(dir, bytes));
    QCOMPARE(names.names[0], QStringLiteral("Z\u00fcrich")); // UTF-8
    QCOMPARE(names.names[1], QStringLiteral("Sk\u00e5l"));   // Latin-1
    QCOMPARE(names.names[30], QStringLiteral("plain"));
    QCOMPARE(decodeNameLine("Rook\x92s \x80 \x9f\x81"),
             QStringLiteral("Rook\u2019s \u20ac \u0178\u0081"));
    QCOMPARE(decodeNameLine("Sk\xc3\xa5l"), QStringLiteral("Sk\u00e5l"));
    QCOMPARE(decodeNameLine("Sk\xe5l"), QStringLiteral("Sk\u00e5l"));
    // A cut line may end inside a character: that part goes, the rest is UTF-8.
    QCOMPARE(decodeNameLine("a\xc3\xbc\xc3", true), QStringLiteral("a\u00fc"));
    QCOMPARE(decodeNameLine("a\xe2\x82", true), QStringLiteral("a"));
    QCOMPARE(decodeNameLine("a\xc3", false), QStringLiteral("a\u00c3")); // whole line: Latin-1
    // A cut line that is not UTF-8 keeps its last whole character.
    QCOMPARE(decodeNameLine("a\xe9\xe9", true), QStringLiteral("a\u00e9\u00e9"));
    QCOMPARE(decodeNameLine("\xe5"
                            "a\xc3",
                            true),
             QStringLiteral("\u00e5a\u00c3"));
}

void FormationNamesTest::byteOrderMarkDecidesTheFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");
    const QStringList zurich{QStringLiteral("Z\u00fcrich"), "B"};
    QTest::newRow("UTF-16 LE") << QByteArray("\xff\xfeZ\0\xfc\0r\0i\0c\0h\0\r\0\n\0B\0", 20)
                               << zurich;
    QTest::newRow("UTF-16 BE") << QByteArray("\xfe\xff\0Z\0\xfc\0r\0i\0c\0h\0\r\0\n\0B", 20)
                               << zurich;
    QTest::newRow("UTF-8") << QByteArray("\xef\xbb\xbfZ\xc3\xbcrich\nB") << zurich;
    QTest::newRow("UTF-8 mark, a byte that is not UTF-8")
        << QByteArray("\xef\xbb\xbf"
                      "a\xe9"
                      "b")
        << QStringList{QStringLiteral("a\ufffdb")};
    QTest::newRow("UTF-16 pair, odd last byte")
        << QByteArray("\xff\xfe\x3d\xd8\x00\xde\r\0x", 9)
        << QStringList{QStringLiteral("\U0001f600"), QStringLiteral("\ufffd")};
    QTest::newRow("a mark and nothing else") << QByteArray("\xff\xfe") << QStringList{};
    QTest::newRow("part of a mark is Windows-1252")
        << QByteArray("\xef\xbb") << QStringList{QStringLiteral("\u00ef\u00bb")};
}

void FormationNamesTest::byteOrderMarkDecidesTheFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitNameLines(text), lines);
    NameLineReader reader;
    for (char byte : text)
        reader.feed(QByteArrayView(&byte, 1));
    reader.finish();
    QCOMPARE(reader.lines(), lines);
}

void FormationNamesTest::linesArriveInPieces_data()
{
    QTest::addColumn<int>("pieceSize");
    for (int size : {1, 2, 3, 5, 1000})
        QTest::addRow("%d bytes at a time", size) << size;
}

void FormationNamesTest::linesArriveInPieces()
{
    QFETCH(int, pieceSize);
    // CR LF split across two pieces is still one line end.
    const QByteArray bytes = "one\r\ntwo\rthree\n\r\nfive\r";
    NameLineReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize)
        reader.feed(bytes.mid(at, pieceSize));
    reader.finish();
    QCOMPARE(reader.lines(), (QStringList{"one", "two", "three", "", "five"}));
    QCOMPARE(reader.lines(), splitNameLines(bytes));
}

void FormationNamesTest::longNamesAreCut()
{
    QTemporaryDir dir;
    const QByteArray huge(10'000'000, 'N');
    const QByteArray accented = "a" + QByteArray(3000, 'x').replace("x", "\xc3\xa9");
    QByteArray bytes = huge + "\r\n" + accented + "\r\n";
    for (int i = 2; i < 31; ++i)
        bytes += "name\r\n";
    const FormationNames names = readFormationNames(writeFile(dir, bytes));
    QCOMPARE(names.status, FormationNames::Status::Complete);
    QCOMPARE(names.names[0], QString(4096, u'N'));
    // 4,096 bytes end in the middle of an "\u00e9": 2,047 of them are kept.
    QCOMPARE(names.names[1], QStringLiteral("a") + QString(2047, QChar(0xe9)));
    QCOMPARE(names.names[2], QStringLiteral("name"));
    QCOMPARE(names.namesCut, 2);
    QVERIFY2(names.problem.contains(QStringLiteral("2 names in")), qPrintable(names.problem));
    QVERIFY(names.problem.contains(QStringLiteral("longer than 4,096 bytes and were cut")));
}

void FormationNamesTest::readsOnlyWhatTheNamesNeed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("readorder.txt"));
    // 8 GiB of one line, held sparsely: reading it whole would exhaust memory.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (!file.resize(qint64(8) << 30))
        QSKIP("this file system holds no sparse 8 GiB file");
    file.close();
    QElapsedTimer timer;
    timer.start();
    const FormationNames names = readFormationNames(path);
    qInfo("an 8 GiB names file was read in %lld ms", timer.elapsed());
    QCOMPARE(names.status, FormationNames::Status::Short);
    QCOMPARE(names.linesRead, 1);
    QCOMPARE(names.names[0], QString(4096, QChar(0)));
    QVERIFY2(names.problem.contains(QStringLiteral("in its first 64 MiB")),
             qPrintable(names.problem));
}

void FormationNamesTest::notARegularFileIsUnreadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("FIFO") << "fifo"
                          << "is not a regular file";
    QTest::newRow("link to /dev/zero") << "link to device"
                                       << "it is a device, not a regular file";
    QTest::newRow("folder") << "folder"
                            << "it is a folder, not a regular file";
}

void FormationNamesTest::notARegularFileIsUnreadable()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("readorder.txt"));
    if (const QString cannot = unixfiles::makeNotRegular(kind, path); !cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    const FormationNames names = readFormationNames(path);
    QCOMPARE(names.status, FormationNames::Status::Unreadable);
    QVERIFY2(names.problem.contains(why), qPrintable(names.problem));
    QVERIFY(names.problem.contains(QStringLiteral("could not be read")));
    QCOMPARE(names.names, QStringList(32));
}

QTEST_APPLESS_MAIN(FormationNamesTest)
#include "tst_formation_names.moc"
