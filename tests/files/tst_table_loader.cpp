#include "formation_table.h"
#include "message_text.h"
#include "number_text.h"
#include "program_file.h"
#include "table_loader.h"
#include "unix_files.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>

class TableLoaderTest : public QObject
{
    Q_OBJECT
private slots:
    void executablePath_data();
    void executablePath();
    void leadingNumber_data();
    void leadingNumber();
    void roundHalfEven_data();
    void roundHalfEven();
    void startLocation_data();
    void startLocation();
    void findSignature_data();
    void findSignature();
    void searchReportsProgress();
    void executableLoad_data();
    void executableLoad();
    void dataFileLoad_data();
    void dataFileLoad();
    void unopenableFile();
    void searchFindsSignatureAcrossPieces_data();
    void searchFindsSignatureAcrossPieces();
    void executableShrinkingDuringSearch_data();
    void executableShrinkingDuringSearch();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void refusesWindowsDeviceNames();
    void tableBeyondTheLargestStartLocation();
    void programByContent_data();
    void programByContent();
    void tableText_data();
    void tableText();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

QString TableLoaderTest::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
}

// Bytes 0, 1, 2, ... mod 251: no signature anywhere by themselves.
static QByteArray filler(qint64 size)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

static QByteArray withSignatures(qint64 size, const QList<qint64> &offsets)
{
    QByteArray bytes = filler(size);
    for (qint64 offset : offsets)
        bytes.replace(offset, tableSignature().size(), tableSignature());
    return bytes;
}

void TableLoaderTest::executablePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("upper") << "C:/Games/KGF/KGF.EXE" << true;
    QTest::newRow("Windows separators") << "C:\\Games\\KGF\\KGF.EXE" << true;
    QTest::newRow("lower") << "/games/kgf/kgf.exe" << true;
    QTest::newRow("mixed") << "KgF.ExE" << true;
    QTest::newRow("self.exe") << "/tmp/self.exe" << true;
    QTest::newRow("just the suffix") << "f.exe" << true;
    QTest::newRow("data file") << "/games/kgf/frmation.dat" << false;
    QTest::newRow("other program") << "/games/setup.exe" << false;
    QTest::newRow("short") << "F.EX" << false;
    QTest::newRow("empty") << "" << false;
}

void TableLoaderTest::executablePath()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    QCOMPARE(isProgramNameForLoad(path), executable);
}

void TableLoaderTest::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("whole") << "16" << 16.0;
    QTest::newRow("trailing letters") << "12abc" << 12.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("half") << "2.5" << 2.5;
    QTest::newRow("blanks anywhere") << " - 1 6 " << -16.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("double sign") << "--1" << 0.0;
    QTest::newRow("comma stops") << "1,5" << 1.0;
    // An exponent is not part of the leading number.
    QTest::newRow("exponent") << "1e3" << 1.0;
    QTest::newRow("exponent upper") << "2.5E-1" << 2.5;
    QTest::newRow("bare exponent") << "1e" << 1.0;
    QTest::newRow("huge exponent") << "10e9223372036854775807" << 10.0;
    QTest::newRow("exponent only") << "e5" << 0.0;
    QTest::newRow("huge by digits") << QString(400, u'9') << inf;
    QTest::newRow("negative exponent") << "1e-400" << 1.0;
    QTest::newRow("tiny by digits") << "0." + QString(400, u'0') + "1" << 0.0;
}

void TableLoaderTest::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::leadingNumber(text), value);
}

void TableLoaderTest::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("10.5") << 10.5 << 10.0;
    QTest::newRow("31.5") << 31.5 << 32.0;
    QTest::newRow("-10.5") << -10.5 << -10.0;
    QTest::newRow("-11.5") << -11.5 << -12.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("just below half") << 0.49999999999999994 << 0.0;
    QTest::newRow("1.4") << 1.4 << 1.0;
    QTest::newRow("-1.6") << -1.6 << -2.0;
    QTest::newRow("large whole") << 2147483647.0 << 2147483647.0;
}

void TableLoaderTest::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(::roundHalfEven(value), rounded);
}

void TableLoaderTest::startLocation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: refused
    QTest::addColumn<QString>("why");
    QTest::newRow("16") << "16" << 16 << "";
    QTest::newRow("12abc") << "12abc" << 12 << "";
    QTest::newRow("abc") << "abc" << 0 << "";
    QTest::newRow("2.5") << "2.5" << 2 << "";
    QTest::newRow("3.5") << "3.5" << 4 << "";
    QTest::newRow("small negative rounds to 0") << "-0.4" << 0 << "";
    QTest::newRow("largest") << "2147483647" << 2147483647 << "";
    QTest::newRow("negative") << "-1" << -1 << "negative";
    QTest::newRow("too large") << "2147483648" << -1
                               << "is too large. It must be a byte offset from 0 to 2,147,483,647.";
    QTest::newRow("exponent is not read") << "1e10" << 1 << "";
    QTest::newRow("huge exponent is not read") << "10e9223372036854775807" << 10 << "";
    QTest::newRow("huge by digits") << QString(400, u'9') << -1 << "too large";
    QTest::newRow("huge negative") << "-" + QString(400, u'9') << -1 << "negative";
}

void TableLoaderTest::startLocation()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, why);
    const StartLocation start = startLocationFromText(text);
    QCOMPARE(start.ok, value >= 0);
    if (value >= 0) {
        QCOMPARE(start.value, value);
    } else {
        QVERIFY2(start.error.contains(why), qPrintable(start.error));
        QVERIFY(start.error.contains(QStringLiteral("\"%1\"").arg(text)));
    }
}

void TableLoaderTest::findSignature_data()
{
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::addColumn<qint64>("found");
    const qint64 size = 1'400'000;
    QTest::newRow("exactly at 1,350,000") << QList<qint64>{1'349'999} << qint64(1'349'999);
    QTest::newRow("later") << QList<qint64>{1'390'001} << qint64(1'390'001);
    QTest::newRow("only before") << QList<qint64>{1'000} << qint64(-1);
    QTest::newRow("one byte before") << QList<qint64>{1'349'998} << qint64(-1);
    QTest::newRow("before and after") << QList<qint64>{1'349'998, 1'360'000} << qint64(1'360'000);
    QTest::newRow("twice after") << QList<qint64>{1'355'555, 1'366'666} << qint64(1'355'555);
    QTest::newRow("at the very end") << QList<qint64>{size - 5} << size - 5;
    QTest::newRow("none") << QList<qint64>{} << qint64(-1);
}

void TableLoaderTest::findSignature()
{
    QFETCH(QList<qint64>, offsets);
    QFETCH(qint64, found);
    const QByteArray data = withSignatures(1'400'000, offsets);
    QCOMPARE(::findSignature(data, SignatureScanStart), found);
    // A truncated signature at the end is no signature.
    QCOMPARE(::findSignature(data.left(data.size() - 1), SignatureScanStart),
             found == data.size() - 5 ? -1 : found);
}

void TableLoaderTest::searchReportsProgress()
{
    const QByteArray data = withSignatures(6'000'000, {5'000'000});
    QList<qint64> positions;
    const qint64 found = ::findSignature(
        data, SignatureScanStart, [&](qint64 position) { positions.append(position); }, 0);
    QCOMPARE(found, qint64(5'000'000));
    QVERIFY(positions.size() >= 3);
    QCOMPARE(positions.first(), qint64(1'350'000));
    for (qsizetype i = 1; i < positions.size(); ++i) {
        QVERIFY(positions[i] > positions[i - 1]);
        QVERIFY(positions[i] <= found + 1);
    }

    // With the usual interval a fast search reports only where it starts.
    positions.clear();
    ::findSignature(data, SignatureScanStart, [&](qint64 position) { positions.append(position); });
    QVERIFY(!positions.isEmpty());
    QCOMPARE(positions.first(), qint64(1'350'000));
}

void TableLoaderTest::executableLoad_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::addColumn<int>("start"); // -1: refused
    QTest::addColumn<QString>("why");
    QTest::newRow("exactly at 1,350,000")
        << qint64(1'400'000) << QList<qint64>{1'349'999} << 1'349'999 << "";
    QTest::newRow("later") << qint64(1'400'000) << QList<qint64>{1'380'000} << 1'380'000 << "";
    QTest::newRow("nothing but the table after the scan start")
        << qint64(1'349'999 + 1488) << QList<qint64>{1'349'999} << 1'349'999 << "";
    QTest::newRow("only before") << qint64(1'400'000) << QList<qint64>{500} << -1 << "not found";
    QTest::newRow("none") << qint64(1'400'000) << QList<qint64>{} << -1
                          << "at or after byte 1,350,000. The file does not look like the "
                             "game's executable.";
    QTest::newRow("shorter than the scan start")
        << qint64(1'000'000) << QList<qint64>{500} << -1 << "holds 1,000,000 bytes";
    QTest::newRow("table cut off")
        << qint64(1'400'000) << QList<qint64>{1'399'000} << -1
        << "holds 1,400,000 bytes, but a table at start location 1,399,000 needs 1,400,488 bytes.";
}

void TableLoaderTest::executableLoad()
{
    QFETCH(qint64, size);
    QFETCH(QList<qint64>, offsets);
    QFETCH(int, start);
    QFETCH(QString, why);
    const QByteArray data = withSignatures(size, offsets);
    const QString path = write(QStringLiteral("KGF.EXE"), data);
    const LoadResult result = loadFromExecutable(path);
    QCOMPARE(result.ok, start >= 0);
    if (start >= 0) {
        QCOMPARE(result.startLocation, start);
        QCOMPARE(result.table, data.mid(start, 1488));
        QCOMPARE(result.table.left(5), tableSignature());
        QCOMPARE(result.source.tableOffset, qint64(start));
        QCOMPARE(result.source.tableBytes, data.mid(start, 1488));
        QCOMPARE(result.source.size, size);
    } else {
        QVERIFY2(result.error.contains(why), qPrintable(result.error));
        QVERIFY(result.error.contains(QStringLiteral("KGF.EXE")));
        QVERIFY(result.table.isEmpty());
    }
}

void TableLoaderTest::dataFileLoad_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("why"); // empty: loads
    QTest::newRow("at 0") << 1488 << 0 << "";
    QTest::newRow("at 16") << 2000 << 16 << "";
    QTest::newRow("exactly long enough") << 1504 << 16 << "";
    QTest::newRow("one byte short") << 1503 << 16
                                    << "holds 1,503 bytes, but a table at start location 16 "
                                       "needs 1,504 bytes.";
    QTest::newRow("empty file") << 0 << 0 << "holds 0 bytes";
    QTest::newRow("start past the end") << 1488 << 5000 << "needs 6,488 bytes.";
    QTest::newRow("too short at any start") << 1000 << 16 << "needs 1,504 bytes.";
}

void TableLoaderTest::dataFileLoad()
{
    QFETCH(int, size);
    QFETCH(int, start);
    QFETCH(QString, why);
    const QByteArray data = filler(size);
    const QString path = write(QStringLiteral("frmation.dat"), data);
    const LoadResult result = loadFromDataFile(path, start);
    QCOMPARE(result.ok, why.isEmpty());
    if (result.ok) {
        QCOMPARE(result.startLocation, start);
        QCOMPARE(result.table, data.mid(start, 1488));
        QCOMPARE(result.source.size, qint64(size));
        QCOMPARE(result.source.tableBytes, data.mid(start, 1488));
    } else {
        QVERIFY2(result.error.contains(why), qPrintable(result.error));
        QVERIFY(result.error.contains(QStringLiteral("frmation.dat")));
        // Where a table would fit from the first byte, the caller tells the user how.
        QCOMPARE(result.fitsFromFirstByte, start > 0 && size >= 1488);
    }
}

void TableLoaderTest::unopenableFile()
{
    const QString path = m_dir.filePath(QStringLiteral("missing/frmation.dat"));
    for (const LoadResult &result : {loadFromDataFile(path, 0), loadFromExecutable(path)}) {
        QVERIFY(!result.ok);
        QVERIFY2(result.error.startsWith(QStringLiteral("Could not open")),
                 qPrintable(result.error));
        QVERIFY(result.error.contains(QStringLiteral("frmation.dat")));
    }
}

// The first signature at or after `from`, found one position at a time.
static qint64 naiveSearch(const QByteArray &data, qint64 from)
{
    for (qint64 at = from; at + 5 <= data.size(); ++at)
        if (data.mid(at, 5) == tableSignature())
            return at;
    return -1;
}

void TableLoaderTest::searchFindsSignatureAcrossPieces_data()
{
    QTest::addColumn<qint64>("chunkSize");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<QList<qint64>>("offsets");
    // Every offset of the signature against every piece boundary of small pieces.
    for (qint64 chunk : {1, 2, 3, 4, 5, 6, 7, 8, 13, 64})
        for (qint64 at = 0; at < 40; ++at)
            QTest::addRow("piece %lld, at %lld", chunk, at)
                << chunk << qint64(3) << QList<qint64>{at};
    // A partial signature just before a whole one, and two in one piece.
    QTest::newRow("partial then whole") << qint64(8) << qint64(0) << QList<qint64>{10, 14};
    QTest::newRow("two in a piece") << qint64(64) << qint64(0) << QList<qint64>{20, 30};
    QTest::newRow("none") << qint64(7) << qint64(0) << QList<qint64>{};
}

void TableLoaderTest::searchFindsSignatureAcrossPieces()
{
    QFETCH(qint64, chunkSize);
    QFETCH(qint64, from);
    QFETCH(QList<qint64>, offsets);
    QByteArray data = withSignatures(60, offsets);
    if (offsets == QList<qint64>{10, 14})
        data[14 - 1] = 0x03; // "00 25 03 00" then the whole signature
    QBuffer device(&data);
    QVERIFY(device.open(QIODevice::ReadOnly));
    SearchSettings settings;
    settings.scanStart = from;
    settings.chunkSize = chunkSize;
    const SearchResult result = searchSignature(device, data.size(), {}, settings);
    QVERIFY(result.readError.isEmpty());
    QCOMPARE(result.offset, naiveSearch(data, from));
}

void TableLoaderTest::executableShrinkingDuringSearch_data()
{
    QTest::addColumn<qint64>("shrinkTo");
    QTest::newRow("to just past the scan start") << qint64(1'350'100);
    QTest::newRow("to nothing") << qint64(0);
    QTest::newRow("inside the piece being read") << qint64(1'700'000);
}

void TableLoaderTest::executableShrinkingDuringSearch()
{
    QFETCH(qint64, shrinkTo);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kgf.exe"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(withSignatures(4'000'000, {3'900'000})) == 4'000'000);
    }
    // Another program shortens the file while the search runs.
    int reports = 0;
    SearchSettings settings;
    settings.chunkSize = 256 * 1024;
    settings.progressIntervalMs = 0;
    const LoadResult result = loadFromExecutable(
        path,
        [&](qint64) {
            if (++reports == 2)
                QFile::resize(path, shrinkTo);
        },
        settings);
    QVERIFY(reports >= 2);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QStringLiteral("Could not read ")), qPrintable(result.error));
    QVERIFY(result.error.contains(QDir::toNativeSeparators(path)));
    QVERIFY2(result.error.contains(QStringLiteral("became shorter while it was being read (it "
                                                  "held 4,000,000 bytes when loading began)")),
             qPrintable(result.error));
    QVERIFY(result.table.isEmpty());
}

void TableLoaderTest::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    for (const char *name : {"kgf.exe", "frmation.dat"}) {
        QTest::addRow("FIFO %s", name) << name << "fifo"
                                       << "is not a regular file";
        QTest::addRow("link to a device, %s", name) << name << "link to device"
                                                    << "it is a device, not a regular file";
        QTest::addRow("folder %s", name) << name << "folder"
                                         << "it is a folder, not a regular file";
    }
}

void TableLoaderTest::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (const QString cannot = unixfiles::makeNotRegular(kind, path); !cannot.isEmpty())
        QSKIP(qPrintable(cannot));
    // Reading a FIFO with no writer, or /dev/zero, would never end.
    QElapsedTimer timer;
    timer.start();
    const LoadResult result = loadTable(path, QStringLiteral("0"));
    QVERIFY(timer.elapsed() < 10'000);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(why), qPrintable(result.error));
    QVERIFY(result.error.contains(QDir::toNativeSeparators(path)));
}

void TableLoaderTest::refusesWindowsDeviceNames()
{
#ifndef Q_OS_WIN
    QSKIP("device names such as NUL are Windows's");
#else
    for (const QString &path : {QStringLiteral("NUL"), QStringLiteral("C:/Games/NUL"),
                                QStringLiteral("\\\\.\\NUL"), QStringLiteral("C:/Games/nul.dat")}) {
        QElapsedTimer timer;
        timer.start();
        const LoadResult result = loadTable(path, QStringLiteral("0"));
        QVERIFY(timer.elapsed() < 10'000);
        QVERIFY2(!result.ok, qPrintable(path));
        QCOMPARE(result.error, QStringLiteral("Could not open %1: it is a device, not a regular "
                                              "file.")
                                   .arg(QDir::toNativeSeparators(path)));
    }
#endif
}

void TableLoaderTest::tableBeyondTheLargestStartLocation()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("kgf.exe")));
    const qint64 at = qint64(std::numeric_limits<qint32>::max()) + 1;
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (!file.resize(at + 4096))
        QSKIP("this file system holds no sparse file of 2 GiB");
    QVERIFY(file.seek(at) && file.write(tableSignature()) == 5);
    file.close();
    SearchSettings settings;
    settings.scanStart = at - 100;
    const LoadResult result = loadFromExecutable(file.fileName(), {}, settings);
    QCOMPARE(result.error, QStringLiteral("The formation table in %1 is at start location "
                                          "2,147,483,648, beyond the largest start location, "
                                          "2,147,483,647.")
                               .arg(QDir::toNativeSeparators(file.fileName())));
}

void TableLoaderTest::programByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("given");
    QTest::addColumn<int>("start"); // where the table is read from; -1: refused
    // 5,000 bytes: `head`, then a signature at 3,000 unless the row is refused.
    QTest::newRow("a program's backup") << "KGF.EXE.bak" << QByteArray("MZ") << false << 3000;
    QTest::newRow("a program's backup, start given")
        << "KGF.EXE.bak" << QByteArray("MZ") << true << 16;
    QTest::newRow("a data file that begins with MZ")
        << "frmation.dat" << QByteArray("MZ") << false << -1;
    QTest::newRow("a data file") << "frmation.dat" << QByteArray("ZM") << false << 16;
    QTest::newRow("a program by its name, start given")
        << "kgf.exe" << QByteArray("ZM") << true << 3000;
}

void TableLoaderTest::programByContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QFETCH(bool, given);
    QFETCH(int, start);
    const QByteArray data =
        withSignatures(5000, start < 0 ? QList<qint64>{} : QList<qint64>{3000}).replace(0, 2, head);
    SearchSettings settings;
    settings.scanStart = 2000;
    const LoadResult result = loadTable(write(name, data), QStringLiteral("16"),
                                        given ? StartGiven::Yes : StartGiven::No, {}, settings);
    QCOMPARE(result.ok, start >= 0);
    QCOMPARE(result.table, start < 0 ? QByteArray() : data.mid(start, 1488));
    QCOMPARE(result.foundBySignature, start == 3000);
    if (!result.ok)
        QVERIFY2(result.error.endsWith(QStringLiteral("to read it as a formation data file, give "
                                                      "a start location.")),
                 qPrintable(result.error));
}

namespace
{

// A text form of our own for the loader's test: "TEXT" and then the byte
// each of the table's bytes is, or an error at a "!".
qsizetype g_textGiven = -1; // how many bytes the reader was given

bool beginsAsTestText(QByteArrayView head)
{
    return head.startsWith("TEXT");
}

std::optional<QByteArray> readTestText(QByteArrayView text, QString *error)
{
    g_textGiven = text.size();
    if (text.contains('!')) {
        *error = QStringLiteral("the text says no.");
        return std::nullopt;
    }
    return QByteArray(1488, text.at(4));
}

} // namespace

void TableLoaderTest::tableText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("given"); // a start location, 0
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<bool>("fromText");
    const QByteArray text = "TEXT" + QByteArray(3000, 'k');
    QTest::newRow("a text") << "mod.json" << text << false << QByteArray(1488, text.at(4)) << true;
    QTest::newRow("a text with a start location given: its bytes")
        << "mod.json" << text << true << text.left(1488) << false;
    QTest::newRow("a text the reader refuses")
        << "mod.json" << QByteArray("TEXT!" + QByteArray(2000, 'k')) << false << QByteArray()
        << false;
    // The game's name wins: searched for its signature, not found.
    QTest::newRow("named as the game") << "KGF.EXE" << text << false << QByteArray() << false;
}

// A file that begins as a table text gives the table the text stands for,
// where the load takes texts at all and no start location is given.
void TableLoaderTest::tableText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(bool, given);
    QFETCH(QByteArray, table);
    QFETCH(bool, fromText);
    const QString path = write(name, data);
    const TableTextReading reading{beginsAsTestText, readTestText, 1000};
    g_textGiven = -1;
    const LoadResult result = loadTableOrText(path, QStringLiteral("0"),
                                              given ? StartGiven::Yes : StartGiven::No, reading);
    QCOMPARE(result.ok, !table.isEmpty());
    QCOMPARE(result.table, table);
    QCOMPARE(result.fromText, fromText);
    // Read from its first byte, and no more than one byte past the limit.
    const bool refused = data.startsWith("TEXT!");
    QCOMPARE(g_textGiven, fromText || refused ? qMin(data.size(), qsizetype(1001)) : -1);
    if (refused)
        QCOMPARE(result.error,
                 QStringLiteral("%1 begins as a formation table text, but is not a whole table "
                                "this program can read: the text says no. To read its bytes as "
                                "a formation data file instead, give a start location.")
                     .arg(shownPath(path)));
    // Without the reading, a text is a table file like any other.
    if (!given && name != QLatin1String("KGF.EXE") && data.size() >= 1488)
        QCOMPARE(loadTable(path, QStringLiteral("0")).table, data.left(1488));
}

QTEST_APPLESS_MAIN(TableLoaderTest)
#include "tst_table_loader.moc"
