// The picture command, run as a user runs it: no display, a table file in,
// a PNG or SVG file (or standard output) out.
#include "command_run.h"
#include "picture_export.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

class PictureModeTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void draws_data();
    void draws();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void scaleIsFeetPerHundredPixels_data();
    void scaleIsFeetPerHundredPixels();
    void compareDrawsGhosts_data();
    void compareDrawsGhosts();

private:
    using Run = CommandRun;
    Run run(const QStringList &arguments) const
    {
        return runCommand(QStringLiteral(PROGRAM), m_dir->path(), arguments);
    }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

static QByteArray table()
{
    QByteArray bytes(1488, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i % 16 == 1 ? 0x23 : i % 16 == 2 ? 4 : (i * 7) & 0xFF);
    return bytes;
}

void PictureModeTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QFile file(path(QStringLiteral("frmation.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(table()) == 1488);
    QFile names(path(QStringLiteral("readorder.txt")));
    QVERIFY(names.open(QIODevice::WriteOnly));
    for (int n = 0; n < 31; ++n)
        names.write("Name " + QByteArray::number(n) + "\r\n");
    // A data file that begins as a program does, with its own names beside it.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("mod")));
    QFile odd(path(QStringLiteral("mod/odd.dat")));
    QVERIFY(odd.open(QIODevice::WriteOnly) && odd.write("MZ" + table().mid(2)) == 1488);
    QFile modNames(path(QStringLiteral("mod/readorder.txt")));
    QVERIFY(modNames.open(QIODevice::WriteOnly));
    for (int n = 0; n < 31; ++n)
        modNames.write("Mod " + QByteArray::number(n) + "\r\n");
}

void PictureModeTest::draws_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output"); // empty: standard output
    QTest::addColumn<QByteArray>("title");
    QTest::newRow("PNG, formation 0 by default")
        << QStringList{"picture", "-o", "f.png", "frmation.dat"} << "f.png" << QByteArray();
    QTest::newRow("SVG of formation 30")
        << QStringList{"picture", "--formation", "30", "--output", "f.svg", "frmation.dat"}
        << "f.svg" << QByteArray("Formation 30: Name 30");
    QTest::newRow("SVG of a data file that begins with MZ, at --start 0, names beside it")
        << QStringList{"picture", "--start", "0", "--formation", "1", "-o", "f.svg", "mod/odd.dat"}
        << "f.svg" << QByteArray("Formation 1: Mod 1");
    QTest::newRow("PNG to standard output, options first")
        << QStringList{"--formation", "3", "picture", "frmation.dat"} << "" << QByteArray();
}

void PictureModeTest::draws()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(QByteArray, title);
    if (output.endsWith(QLatin1String(".svg")) && !canWriteSvg())
        QSKIP("This build writes no SVG: it was made without Qt SVG.");
    const Run result = run(arguments);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    QByteArray bytes = result.out;
    if (!output.isEmpty()) {
        QFile file(path(output));
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    if (output.endsWith(QLatin1String(".svg"))) {
        QVERIFY(bytes.contains("<svg") && bytes.contains(title));
        for (const char *line :
             {"Line 1: Line echelon right, Staggered, 4 aircraft", "Line 2: ", "Line 3: "})
            QVERIFY2(bytes.contains(line), line);
    } else {
        QImage image;
        QVERIFY(image.loadFromData(bytes, "PNG"));
        QVERIFY(image.width() >= 600 && image.height() >= 300);
    }
}

void PictureModeTest::refusesAndWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("no such formation")
        << QStringList{"picture", "--formation", "31", "-o", "f.png", "frmation.dat"} << 2
        << QByteArray("--formation is a formation from 0 to 30, not \"31\".");
    QTest::newRow("neither PNG nor SVG") << QStringList{"picture", "-o", "f.jpg", "frmation.dat"}
                                         << 2 << QByteArray("--output names a .png or .svg file");
    QTest::newRow("two files") << QStringList{"picture", "-o", "f.png", "a", "b"} << 2
                               << QByteArray("picture takes one file, FILE; 2 given.");
    for (const char *scale : {"0", "abc", "1e10"})
        QTest::addRow("--scale %s", scale)
            << QStringList{"picture", "--scale", scale, "-o", "f.png", "frmation.dat"} << 2
            << QByteArray("--scale is feet per 100 pixels, a number from 0.001 to 1000000000, "
                          "not \"") +
                   scale + "\".";
    QTest::newRow("--compare of a missing table")
        << QStringList{"picture", "--compare", "missing.dat", "-o", "f.png", "frmation.dat"} << 1
        << QByteArray("missing.dat");
    QTest::newRow("over the table it compares with")
        << QStringList{"picture", "--compare",        "frmation.dat.png",
                       "-o",      "frmation.dat.png", "frmation.dat"}
        << 1 << QByteArray("is the file the picture is drawn from");
    QTest::newRow("a missing table")
        << QStringList{"picture", "-o", "f.png", "missing.dat"} << 1 << QByteArray("missing.dat");
    QTest::newRow("over its own input")
        << QStringList{"picture", "-o", "frmation.dat.png", "frmation.dat.png"} << 1
        << QByteArray("is the file the picture is drawn from");
    QTest::newRow("--start with the game executable")
        << QStringList{"picture", "--start", "0", "-o", "f.png", "KGF.EXE"} << 1
        << QByteArray("KGF.EXE is the game executable, whose table is found by its signature; "
                      "--start is for a formation data file.\n");
    QTest::newRow("--start past a table that is there from the first byte")
        << QStringList{"picture", "--start", "1", "-o", "f.png", "frmation.dat"} << 1
        << QByteArray("frmation.dat is too short: it holds 1,488 bytes, but a table at start "
                      "location 1 needs 1,489 bytes. Give --start 0 to read the table from the "
                      "file's first byte.\n");
    QTest::newRow("a table whose save did not finish")
        << QStringList{"picture", "-o", "f.png", "torn.dat"} << 1
        << QByteArray("torn.dat was not read: a save of it did not finish, so its table may be "
                      "part old, part new. Run kgf-formation-editor recover torn.dat to put back "
                      "what it held before.\n");
}

void PictureModeTest::refusesAndWritesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    // A table under a picture's name, for the run that would write over it.
    QVERIFY(QFile::copy(path(QStringLiteral("frmation.dat")),
                        path(QStringLiteral("frmation.dat.png"))));
    // A data file under the game executable's name.
    QVERIFY(QFile::copy(path(QStringLiteral("frmation.dat")), path(QStringLiteral("KGF.EXE"))));
    // A table beside the journal of a save that did not finish: a load
    // refuses it on the journal's name alone, whatever that holds.
    QVERIFY(QFile::copy(path(QStringLiteral("frmation.dat")), path(QStringLiteral("torn.dat"))));
    QFile journal(path(QStringLiteral("torn.dat.kgf-journal")));
    QVERIFY(journal.open(QIODevice::WriteOnly) && journal.write("journal") == 7);
    journal.close();
    const QStringList entries =
        QDir(m_dir->path())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    const Run result = run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(said), result.err.constData());
    if (status == 1)
        QCOMPARE(result.err.count('\n'), 1);
    QVERIFY(result.out.isEmpty());
    for (const char *name : {"f.png", "f.jpg"})
        QVERIFY(!QFile::exists(path(QLatin1String(name))));
    for (const char *name : {"frmation.dat.png", "frmation.dat", "KGF.EXE", "torn.dat"}) {
        QFile input(path(QLatin1String(name)));
        QVERIFY(input.open(QIODevice::ReadOnly));
        QCOMPARE(input.readAll(), table());
    }
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QCOMPARE(journal.readAll(), QByteArray("journal"));
    QCOMPARE(QDir(m_dir->path())
                 .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             entries);
}

// The texts of an SVG with the attributes they were drawn with.
struct SvgText {
    QString text;
    double x = 0;
    double y = 0;
    QString fill;
};

static QList<SvgText> svgTexts(const QByteArray &svg)
{
    QList<SvgText> texts;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("text"))
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        SvgText text{{},
                     attributes.value(QLatin1String("x")).toDouble(),
                     attributes.value(QLatin1String("y")).toDouble(),
                     attributes.value(QLatin1String("fill")).toString()};
        text.text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        texts << text;
    }
    return texts;
}

void PictureModeTest::scaleIsFeetPerHundredPixels_data()
{
    QTest::addColumn<QString>("feet");
    QTest::newRow("a fraction") << "12.5";
    QTest::newRow("in the thousands") << "2e4";
}

void PictureModeTest::scaleIsFeetPerHundredPixels()
{
    QFETCH(QString, feet);
    if (!canWriteSvg())
        QSKIP("This build writes no SVG: it was made without Qt SVG.");
    const Run result = run({"picture", "--scale", feet, "-o", "s.svg", "frmation.dat"});
    QCOMPARE(result.status, 0);
    QFile file(path(QStringLiteral("s.svg")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The numbers up the right side of the first view: their values and
    // heights give the scale (the texts along the top share one height).
    QList<SvgText> ticks;
    for (const SvgText &text : svgTexts(file.readAll())) {
        bool number = false;
        QLocale(QLocale::English).toDouble(text.text, &number);
        if (number && text.fill == QLatin1String("#808080") && text.x < 1100 / 3)
            ticks << text;
    }
    QVERIFY(!ticks.isEmpty());
    const double top =
        std::min_element(ticks.begin(), ticks.end(), [](auto &a, auto &b) { return a.y < b.y; })->y;
    ticks.removeIf([&](const SvgText &t) { return t.y < top + 1; });
    QVERIFY2(ticks.size() >= 2, qPrintable(QString::number(ticks.size())));
    const double pixelsPerFoot = 100 / feet.toDouble();
    const QLocale english(QLocale::English);
    for (qsizetype i = 1; i < ticks.size(); ++i) {
        const double feetApart = english.toDouble(ticks[i].text) - english.toDouble(ticks[0].text);
        QVERIFY2(std::abs((ticks[0].y - ticks[i].y) - feetApart * pixelsPerFoot) < 0.1,
                 qPrintable(ticks[i].text));
    }
}

void PictureModeTest::compareDrawsGhosts_data()
{
    QTest::addColumn<QList<int>>("moved"); // the stored bytes changed in the other table
    QTest::addColumn<int>("ghosts");
    QTest::newRow("lines 1 and 3, and line 2's count only") << QList<int>{8, 16 + 2, 32 + 12} << 2;
    QTest::newRow("another formation only") << QList<int>{48 + 4} << 0;
}

void PictureModeTest::compareDrawsGhosts()
{
    QFETCH(QList<int>, moved);
    QFETCH(int, ghosts);
    if (!canWriteSvg())
        QSKIP("This build writes no SVG: it was made without Qt SVG.");
    QByteArray other = table();
    for (const int at : moved)
        other[at] = char(other[at] + 1);
    QFile file(path(QStringLiteral("other.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(other) == 1488);
    file.close();
    auto circles = [&](const QStringList &arguments) {
        const Run result = run(arguments);
        QFile svg(path(QStringLiteral("c.svg")));
        if (result.status != 0 || !svg.open(QIODevice::ReadOnly))
            return -1;
        return int(svg.readAll().count("<circle"));
    };
    const int alone = circles({"picture", "-o", "c.svg", "frmation.dat"});
    QVERIFY(alone > 0);
    // One faint marker in each of the three views for each line that moved.
    QCOMPARE(circles({"picture", "--compare", "other.dat", "-o", "c.svg", "frmation.dat"}),
             alone + 3 * ghosts);
}

QTEST_GUILESS_MAIN(PictureModeTest)
#include "tst_picture_mode.moc"
