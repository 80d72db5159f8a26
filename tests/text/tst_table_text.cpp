#include "csv.h"
#include "formation_table.h"
#include "table_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>
#include <optional>

namespace
{

constexpr int TableBytes = FormationTable::ByteCount;

const QString NotTableText =
    QStringLiteral("The text is not a formation table text in JSON or CSV form: ");

// What is said of a text whose first line, as the message shows it, is `first`.
QString neitherFormError(const char *first)
{
    return NotTableText +
           QStringLiteral("it begins with %1, which is neither a JSON object in { } nor the CSV "
                          "header, the row that names the columns formation,formationName,line,"
                          "type,typeIndex,One lead,Staggered,Step,Alternate,count,xFeet,xStored,"
                          "yFeet,yStored,zFeet,zStored,byte0,byte3.")
               .arg(QLatin1String(first));
}

QByteArray randomTable(QRandomGenerator &random, int seed)
{
    static const qint32 extremes[] = {-2147483647 - 1, 2147483647, -1, 1, 2, -2, 0};
    QByteArray table(TableBytes, '\0');
    for (int line = 0; line < 93; ++line) {
        FormationLine l;
        l.byte0 = quint8(random.bounded(256));
        l.typeCode = quint8((seed * 93 + line) % 256); // every type index and flag set
        l.count = quint8(random.bounded(256));
        l.byte3 = quint8(random.bounded(256));
        for (qint32 *offset : {&l.xOffset, &l.yOffset, &l.zOffset})
            *offset = random.bounded(2) ? extremes[random.bounded(7)] : qint32(random.generate());
        table.replace(line * 16, 16, l.toBytes());
    }
    return table;
}

QByteArray lineBytes(int byte0, int typeCode, int count, int byte3, qint32 x, qint32 y, qint32 z)
{
    return FormationLine{quint8(byte0), quint8(typeCode), quint8(count), quint8(byte3), x, y, z}
        .toBytes();
}

// A JSON text of formation 4 whose line 1 has `fields`; lines 2 and 3 are zero.
QByteArray jsonWithLine(const QByteArray &fields)
{
    return R"({"format": "KGF formation table", "formatVersion": 1, "formations": [
        {"formation": 4, "lines": [{"line": 1, )" +
           fields + R"(},
        {"line": 2, "typeIndex": 0, "modifiers": [], "count": 0, "xStored": 0, "yStored": 0, "zStored": 0},
        {"line": 3, "typeIndex": 0, "modifiers": [], "count": 0, "xStored": 0, "yStored": 0, "zStored": 0}]}]})";
}

// A CSV text with `header` and, for formation 4, `line1` then zero lines 2 and 3.
QByteArray csvWithLine(const QByteArray &header, const QByteArray &line1)
{
    return "format,KGF formation table,formatVersion,1\r\n"
           "formation,line,typeIndex,One lead,Staggered,Step,Alternate,count,xStored,yStored,"
           "zStored," +
           header + "\r\n4,1," + line1 + "\n4,2,0,0,0,0,0,0,0,0,0\n4,3,0,0,0,0,0,0,0,0,0\n";
}

// The same text without its first row: a CSV of today from one of older texts.
QByteArray withoutFirstRow(const QByteArray &text)
{
    return text.mid(text.indexOf('\n') + 1);
}

const QByteArray Base = [] {
    QRandomGenerator random(7);
    return randomTable(random, 0);
}();

// A UTF-8 text as Windows editors save "Unicode": UTF-16 with its mark.
QByteArray utf16(const QByteArray &text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder(QString::fromUtf8(text));
}

} // namespace

class TableTextTest : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void feetNumbers_data();
    void feetNumbers();
    void pasteRefusal_data();
    void pasteRefusal();
    void oneFormationPastesAnywhere();
    void wholeTable_data();
    void wholeTable();
    void writtenLine_data();
    void writtenLine();
    void handMade_data();
    void handMade();
    void refused_data();
    void refused();
    void formatTold_data();
    void formatTold();
    void noTableText_data();
    void noTableText();
    void neitherForm_data();
    void neitherForm();
    void notWrittenWhole_data();
    void notWrittenWhole();
    void writtenWhole_data();
    void writtenWhole();
    void beginsAsTableText_data();
    void beginsAsTableText();
};

void TableTextTest::roundTrip_data()
{
    QTest::addColumn<TextFormat>("format");
    QTest::addColumn<OffsetUnits>("units");
    const struct {
        const char *name;
        TextFormat format;
    } formats[] = {{"json", TextFormat::Json}, {"csv", TextFormat::Csv}};
    const struct {
        const char *name;
        OffsetUnits units;
    } units[] = {
        {"both", OffsetUnits::Both}, {"feet", OffsetUnits::Feet}, {"stored", OffsetUnits::Stored}};
    for (const auto &format : formats)
        for (const auto &unit : units)
            QTest::addRow("%s, %s", format.name, unit.name) << format.format << unit.units;
}

void TableTextTest::roundTrip()
{
    QFETCH(TextFormat, format);
    QFETCH(OffsetUnits, units);
    QRandomGenerator random(42);
    const QStringList awkwardNames{QStringLiteral("Vic, wide"),
                                   QStringLiteral("\"Box\""),
                                   QStringLiteral("two\r\nlines"),
                                   QString(),
                                   QStringLiteral("Schwarm \u00c4"),
                                   QStringLiteral("=1+1"),
                                   QStringLiteral("-wing"),
                                   QStringLiteral("@home"),
                                   QStringLiteral("+"),
                                   QStringLiteral("\tTab"),
                                   QStringLiteral("\rCR"),
                                   QStringLiteral("'quoted"),
                                   QStringLiteral("'=x"),
                                   QStringLiteral("-5"),
                                   QStringLiteral("a;b\tc")};
    for (int seed = 0; seed < 200; ++seed) {
        const QByteArray table = randomTable(random, seed);
        QStringList names;
        for (int f = 0; f < 31; ++f)
            names << awkwardNames[(seed + f) % awkwardNames.size()];
        const QByteArray text = writeTableText(table, names, format, units);
        // The other unit is not there to make up for a unit written short.
        QCOMPARE(text.contains("Feet"), units != OffsetUnits::Stored);
        QCOMPARE(text.contains("Stored"), units != OffsetUnits::Feet);
        const TableText read = readTableText(text);
        QVERIFY2(read.ok, qPrintable(read.error));
        QVERIFY(coversWholeTable(read));
        QCOMPARE(applyTableText(randomTable(random, seed + 1), read), table);
        for (const TextFormation &formation : read.formations)
            QCOMPARE(formation.name, names[formation.formation]);
    }
}

void TableTextTest::feetNumbers_data()
{
    QTest::addColumn<OffsetUnits>("units");
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<QByteArray>("written"); // empty: not checked
    QTest::addColumn<double>("factor");      // what a script multiplies the feet by
    QTest::addColumn<qint32>("changed");     // the stored value read back
    QTest::addColumn<QString>("error");      // empty: read
    const OffsetUnits feet = OffsetUnits::Feet;
    const qint32 least = -2147483647 - 1;
    QTest::newRow("2") << feet << 2 << QByteArray("0.09523809523809523") << 1.0 << 2 << "";
    QTest::newRow("-225 feet") << feet << -4725 << QByteArray("-225") << 1.0 << -4725 << "";
    QTest::newRow("one inside the highest")
        << feet << 2147483646 << QByteArray("102261126") << 1.0 << 2147483646 << "";
    QTest::newRow("lowest") << feet << least << QByteArray("-102261126.09523809") << 1.0 << least
                            << "";
    // What jq '.formations[4].lines[0].xFeet *= 1.5' does to an exported text.
    QTest::newRow("100 feet half as far again")
        << feet << 2100 << QByteArray() << 1.5 << 3150 << "";
    QTest::newRow("-1.5 stored, rounded to even") << feet << -1 << QByteArray() << 1.5 << -2 << "";
    QTest::newRow("twice the highest")
        << feet << 2147483647 << QByteArray() << 2.0 << 0
        << "formation 4, line 1 (`formations[4].lines[0].xFeet`): 204522252.0952381 feet is more "
           "than what the table can hold (from -102,261,126 to 102,261,126 feet).";
    QTest::newRow("both units: the stored value is not changed with it")
        << OffsetUnits::Both << 2100 << QByteArray() << 1.5 << 0
        << "formation 4, line 1 (`formations[4].lines[0].xFeet`): 150 feet is stored as 3150, but "
           "xStored is 2100, which is 100 feet; change xFeet or xStored so that they agree, or "
           "delete one of them.";
}

// Feet as JSON numbers: the fewest digits that read back as the double
// stored / 21, which times 21, rounded, is the stored value again.
void TableTextTest::feetNumbers()
{
    QFETCH(OffsetUnits, units);
    QFETCH(qint32, stored);
    QFETCH(QByteArray, written);
    QFETCH(double, factor);
    QFETCH(qint32, changed);
    QFETCH(QString, error);
    QByteArray table = Base;
    FormationLine line = FormationLine::fromBytes(table.mid(4 * 48, 16));
    line.xOffset = stored;
    table.replace(4 * 48, 16, line.toBytes());
    QByteArray text = writeTableText(table, {}, TextFormat::Json, units);
    const qsizetype at = text.indexOf("\"xFeet\": ", text.indexOf("\"formation\": 4,")) + 9;
    const qsizetype size = text.indexOf(',', at) - at;
    if (!written.isEmpty())
        QCOMPARE(text.mid(at, size), written);
    if (factor != 1)
        text.replace(at, size,
                     QByteArray::number(text.mid(at, size).toDouble() * factor, 'g',
                                        QLocale::FloatingPointShortest));
    QString told;
    const std::optional<QByteArray> whole = wholeTableFromText(text, &told);
    QCOMPARE(told, error);
    line.xOffset = changed;
    if (error.isEmpty())
        QCOMPARE(whole, std::optional(table.replace(4 * 48, 16, line.toBytes())));
}

void TableTextTest::pasteRefusal_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("isTableText");
    QTest::addColumn<QString>("said");
    const QString disagree = QStringLiteral(
        "1 feet is stored as 21, but xStored is 0, which is 0 feet; change xFeet or xStored so "
        "that they agree, or delete one of them.");
    QTest::newRow("json whose feet and stored disagree")
        << jsonWithLine(R"("typeIndex": 0, "modifiers": [], "count": 1, "xFeet": 1, "xStored": 0,
                           "yStored": 0, "zStored": 0)")
        << true
        << "The clipboard's formation cannot be pasted: formation 4, line 1 "
           "(`formations[0].lines[0].xFeet`): " +
               disagree;
    QTest::newRow("a JSON list") << QByteArray("[1, 2]") << true
                                 << "The clipboard's text is not a formation table text in JSON "
                                    "or CSV form: it is a JSON array, but a table text is a JSON "
                                    "object, in { }.";
}

void TableTextTest::pasteRefusal()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, isTableText);
    QFETCH(QString, said);
    const TableText read = readTableText(text);
    QVERIFY(!read.ok);
    QCOMPARE(read.isTableText, isTableText);
    QCOMPARE(::pasteRefusal(read), said);
}

void TableTextTest::wholeTable_data()
{
    QTest::addColumn<TextFormat>("format");
    QTest::addColumn<QByteArray>("cut"); // what is taken out of the written text
    QTest::addColumn<QString>("error");  // empty: the text gives the table whole
    QTest::newRow("json") << TextFormat::Json << QByteArray() << QString();
    QTest::newRow("csv") << TextFormat::Csv << QByteArray() << QString();
    QTest::newRow("json without one line's byte3")
        << TextFormat::Json << QByteArray(",\n                    \"byte3\": 52")
        << "formation 0, line 2 leaves out byte3, which a table's bytes hold.";
    QTest::newRow("json without its first formation")
        << TextFormat::Json << QByteArray() << "it gives 30 of the 31 formations.";
    QTest::newRow("no table text") << TextFormat::Json << QByteArray("{") << QString("-");
}

// The table a text stands for, where a load takes it for a table file:
// every byte given, or refused with what is missing.
void TableTextTest::wholeTable()
{
    QFETCH(TextFormat, format);
    QFETCH(QByteArray, cut);
    QFETCH(QString, error);
    QRandomGenerator random(7);
    QByteArray table = randomTable(random, 3);
    table[16 + 3] = 52; // formation 0, line 2
    QByteArray text = writeTableText(table, {}, format);
    if (error.startsWith(QLatin1String("it gives"))) {
        const qsizetype second = text.indexOf("\n        {\n            \"formation\": 1,");
        const qsizetype first = text.indexOf("\n        {\n            \"formation\": 0,");
        QVERIFY(first > 0 && second > first);
        text.remove(first, second - first);
    } else if (!cut.isEmpty()) {
        QVERIFY2(text.contains(cut), text.left(600).constData());
        text.replace(text.indexOf(cut), cut.size(), QByteArray());
    }
    QString told;
    const std::optional<QByteArray> whole = wholeTableFromText(text, &told);
    if (error.isEmpty()) {
        QVERIFY2(whole.has_value(), qPrintable(told));
        QCOMPARE(*whole, table);
    } else {
        QVERIFY(!whole);
        if (error != QLatin1String("-"))
            QCOMPARE(told, error);
        else
            QVERIFY(!told.isEmpty());
    }
}

void TableTextTest::oneFormationPastesAnywhere()
{
    QRandomGenerator random(3);
    const QByteArray table = randomTable(random, 5);
    const TableText read = readTableText(writeFormationText(table, 17, QStringLiteral("Finger")));
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.formations.size(), 1);
    QCOMPARE(read.formations[0].formation, 17);
    QVERIFY(!coversWholeTable(read));
    const QByteArray pasted = applyTextFormation(Base, 2, read.formations[0]);
    QCOMPARE(pasted.mid(2 * 48, 48), table.mid(17 * 48, 48));
    QCOMPARE(pasted.left(96) + pasted.mid(144), Base.left(96) + Base.mid(144));
}

void TableTextTest::writtenLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("csv");
    const QString vic = QStringLiteral("Vic, \"wide\"");
    QTest::newRow("echelon, staggered")
        << vic << lineBytes(0, 35, 4, 0, 2100, -1050, -1)
        << QByteArray(R"({"byte0": 0, "byte3": 0, "count": 4, "line": 1, "modifiers": ["Staggered"],
              "type": "Line echelon right", "typeIndex": 3, "xFeet": 100, "xStored": 2100,
              "yFeet": -50, "yStored": -1050, "zFeet": -0.047619047619047616, "zStored": -1})")
        << QByteArray("5,\"Vic, \"\"wide\"\"\",1,Line echelon right,3,0,1,0,0,4,100,2100,-50,-1050,"
                      "-4.76190476190476E-02,-1,0,0");
    QTest::newRow("index without caption, all modifiers, extremes")
        << vic << lineBytes(255, 0xF9, 255, 7, -2147483647 - 1, 2147483647, 2000)
        << QByteArray(R"({"byte0": 255, "byte3": 7, "count": 255, "line": 1,
              "modifiers": ["One lead", "Staggered", "Step", "Alternate"], "typeIndex": 9,
              "xFeet": -102261126.09523809, "xStored": -2147483648, "yFeet": 102261126.04761904,
              "yStored": 2147483647, "zFeet": 95.23809523809524, "zStored": 2000})")
        << QByteArray("5,\"Vic, \"\"wide\"\"\",1,,9,1,1,1,1,255,-102261126.095238,-2147483648,"
                      "102261126.047619,2147483647,95.2380952380952,2000,255,7");
    QTest::newRow("a name a spreadsheet would run")
        << QStringLiteral("=HYPERLINK(\"http://x\")") << lineBytes(0, 22, 2, 0, -21, 0, -1)
        << QByteArray(R"({"byte0": 0, "byte3": 0, "count": 2, "line": 1, "modifiers": ["One lead"],
              "type": "Diamond", "typeIndex": 6, "xFeet": -1, "xStored": -21, "yFeet": 0,
              "yStored": 0, "zFeet": -0.047619047619047616, "zStored": -1})")
        << QByteArray("5,\"'=HYPERLINK(\"\"http://x\"\")\",1,Diamond,6,1,0,0,0,2,-1,-21,0,0,"
                      "-4.76190476190476E-02,-1,0,0");
}

void TableTextTest::writtenLine()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, csv);
    QByteArray table = Base;
    table.replace(5 * 48, 16, line);

    const QJsonObject top = QJsonDocument::fromJson(writeFormationText(table, 5, name)).object();
    QCOMPARE(top.value(QStringLiteral("format")).toString(), QStringLiteral("KGF formation table"));
    QCOMPARE(top.value(QStringLiteral("formatVersion")).toInt(), 1);
    const QJsonObject formation = top.value(QStringLiteral("formations"))[0].toObject();
    QCOMPARE(formation.value(QStringLiteral("formation")).toInt(), 5);
    QCOMPARE(formation.value(QStringLiteral("formationName")).toString(), name);
    QCOMPARE(formation.value(QStringLiteral("lines"))[0].toObject(),
             QJsonDocument::fromJson(json).object());

    QStringList names(31);
    names[5] = name;
    const QList<CsvRecord> rows =
        parseCsv(QString::fromUtf8(writeTableText(table, names, TextFormat::Csv)));
    QCOMPARE(rows.size(), 1 + 93);
    QCOMPARE(
        rows[0].fields.join(u','),
        QStringLiteral("formation,formationName,line,type,typeIndex,One lead,Staggered,Step,"
                       "Alternate,count,xFeet,xStored,yFeet,yStored,zFeet,zStored,byte0,byte3"));
    QCOMPARE(csvRecord(rows[1 + 15].fields), QString::fromUtf8(csv + "\r\n"));
}

void TableTextTest::handMade_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("line1"); // formation 4, line 1 as applied onto Base

    const QByteArray base1 = Base.mid(4 * 48, 16);
    const int b0 = quint8(base1[0]), b3 = quint8(base1[3]);
    QTest::newRow("json feet as the window reads them, carried bytes kept")
        << jsonWithLine(R"("type": "Diamond", "modifiers": ["Step", "One lead"], "count": 3,
                           "xFeet": " 0.5 ", "yFeet": "1.5", "zFeet": "-1E2")")
        << lineBytes(b0, 6 + 64 + 16, 3, b3, 10, 32, -2100);
    QTest::newRow("json feet as texts were written before, to 15 digits")
        << jsonWithLine(R"("typeIndex": 0, "modifiers": [], "count": 0,
                           "xFeet": "-4.76190476190476E-02", "yFeet": "102261126.047619",
                           "zFeet": "-102261126.095238")")
        << lineBytes(b0, 0, 0, b3, -1, 2147483647, -2147483647 - 1);
    QTest::newRow("json numbers for feet, stored only, carried bytes given")
        << jsonWithLine(R"("typeIndex": 12, "modifiers": [], "count": 2.0, "xFeet": -0.5,
                           "yStored": -7, "zFeet": 100, "zStored": 2100, "byte0": 9, "byte3": 0)")
        << lineBytes(9, 12, 2, 0, -10, -7, 2100);
    QTest::newRow("csv with few columns, LF and blank rows")
        << csvWithLine("", "5,0,0,1,0,9,1,2,3\n,,,\n") << lineBytes(b0, 5 + 64, 9, b3, 1, 2, 3);
    QTest::newRow("csv with both forms, empty cells absent, byte order mark")
        << "\xEF\xBB\xBF" +
               csvWithLine("type,xFeet,byte3", "3,0,1,0,1,200,2100,5,-21,Line echelon right,100,")
        << lineBytes(b0, 3 + 32 + 128, 200, b3, 2100, 5, -21);
    QTest::newRow("csv header first, semicolons and decimal commas")
        << QByteArray("formation;line;typeIndex;One lead;Staggered;Step;Alternate;count;xFeet;"
                      "yStored;zFeet\r\n4;1;5;0;0;1;0;9;-53,857;2;0,5\r\n"
                      "4;2;0;0;0;0;0;0;0;0;0\r\n4;3;0;0;0;0;0;0;0;0;0\r\n")
        << lineBytes(b0, 5 + 64, 9, b3, -1131, 2, 10);
    const QByteArray spreadsheet(
        "\"formation\"\t\"line\"\t\"type\"\t\"One lead\"\t\"Staggered\"\t\"Step\"\t"
        "\"Alternate\"\t\"count\"\t\"xFeet\"\t\"yFeet\"\t\"zStored\"\t\"formationName\"\n"
        "4\t1\tBomber stream\t1\t0\t0\t1\t3\t1.5\t-0,25\t-7\tVic, wide \xF0\x9F\x9B\xA9\n"
        "4\t2\tLine Astern\t0\t0\t0\t0\t0\t0\t0\t0\t\n"
        "4\t3\tLine Astern\t0\t0\t0\t0\t0\t0\t0\t0\t\n");
    QTest::newRow("csv from a spreadsheet's clipboard: tabs, quoted header, point and comma")
        << spreadsheet << lineBytes(b0, 7 + 16 + 128, 3, b3, 32, -5, -7);
    QTest::newRow("csv as Excel's Unicode Text: UTF-16 little-endian with its mark")
        << utf16(spreadsheet, QStringConverter::Utf16LE)
        << lineBytes(b0, 7 + 16 + 128, 3, b3, 32, -5, -7);
    QTest::newRow("json saved by Notepad as Unicode big endian")
        << utf16(jsonWithLine(R"("typeIndex": 2, "modifiers": [], "count": 1, "xStored": 4,
                                 "yStored": 5, "zStored": 6)"),
                 QStringConverter::Utf16BE)
        << lineBytes(b0, 2, 1, b3, 4, 5, 6);
}

void TableTextTest::handMade()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, line1);
    const TableText read = readTableText(text);
    QVERIFY2(read.ok, qPrintable(read.error));
    QByteArray expected = Base;
    expected.replace(4 * 48, 16, line1);
    for (int line : {1, 2})
        expected.replace(4 * 48 + 16 * line, 16,
                         lineBytes(quint8(Base[4 * 48 + 16 * line]), 0, 0,
                                   quint8(Base[4 * 48 + 16 * line + 3]), 0, 0, 0));
    QCOMPARE(applyTableText(Base, read), expected);
}

void TableTextTest::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray good = R"("typeIndex": 0, "modifiers": [], "count": 1, "xStored": 0,
                               "yStored": 0, "zStored": 0)";
    // Formation 4 is the first of the text's list.
    auto line1 = [](const char *field, const QString &what) {
        return QStringLiteral("formation 4, line 1 (`formations[0].lines[0]%1`): %2")
            .arg(QLatin1String(field), what);
    };
    QTest::newRow("not json") << QByteArray("{\n}\nx")
                              << "line 3, column 1: this is not valid JSON (garbage at the end "
                                 "of the document).";
    QTest::newRow("other format")
        << QByteArray(R"({"format": "KGF", "formatVersion": 1})")
        << R"(format: "KGF" is not "KGF formation table"; this is not a KGF formation table text.)";
    QTest::newRow("later version")
        << QByteArray(R"({"format": "KGF formation table", "formatVersion": 2, "formations": []})")
        << "formatVersion: this text is of version 2; this program reads version 1.";
    QTest::newRow("no formation")
        << QByteArray(R"({"format": "KGF formation table", "formatVersion": 1, "formations": []})")
        << "formations: the list is empty; give at least one formation.";
    QTest::newRow("typo in a key")
        << jsonWithLine(good + R"(, "cuont": 1)")
        << line1("", R"("cuont" is not a field of a line; the fields are byte0, byte3, )"
                     "count, line, modifiers, type, typeIndex, xFeet, "
                     "xStored, yFeet, yStored, zFeet, zStored.");
    QTest::newRow("count out of range")
        << jsonWithLine(QByteArray(good).replace("\"count\": 1", "\"count\": 256"))
        << line1(".count", "256 is not a number of aircraft from 0 to 255.");
    QTest::newRow("count in quotes")
        << jsonWithLine(QByteArray(good).replace("\"count\": 1", "\"count\": \"1\""))
        << line1(".count", R"("1" is not a number; write it without quotes.)");
    QTest::newRow("unknown caption")
        << jsonWithLine(good + R"(, "type": "Line astern")")
        << line1(".type", R"("Line astern" is not a type; the types are "Line Astern", "Line )"
                          R"(abreast right", "Line abreast left", "Line echelon right", "Line )"
                          R"(echelon left", "Inverted V", "Diamond", "Bomber stream".)");
    QTest::newRow("caption and index disagree")
        << jsonWithLine(good + R"(, "type": "Diamond")")
        << line1(".typeIndex", R"(0 does not agree with type "Diamond", which is type index 6.)");
    QTest::newRow("modifier twice")
        << jsonWithLine(QByteArray(good).replace("[]", R"(["Step", "Step"])"))
        << line1(".modifiers[1]", R"("Step" is given twice.)");
    QTest::newRow("feet and stored disagree")
        << jsonWithLine(good + R"(, "yFeet": "-4.76190476190476E-02")")
        << line1(".yFeet", R"("-4.76190476190476E-02" feet is stored as -1, but yStored is 0, )"
                           "which is 0 feet; change yFeet or yStored so that they agree, or "
                           "delete one of them.");
    QTest::newRow("feet beyond the table")
        << jsonWithLine(QByteArray(good).replace("\"xStored\": 0", "\"xFeet\": \"102261127\""))
        << line1(".xFeet", R"("102261127" feet is more than what the table can hold (from )"
                           "-102,261,126 to 102,261,126 feet).");
    QTest::newRow("stored beyond 32 bits")
        << jsonWithLine(QByteArray(good).replace("\"zStored\": 0", "\"zStored\": 2147483648"))
        << line1(".zStored",
                 "2147483648 is not a whole number from -2,147,483,648 to 2,147,483,647.");
    QTest::newRow("offset missing")
        << jsonWithLine(QByteArray(good).replace(", \"xStored\": 0", ""))
        << line1("", "the X offset is missing: give xFeet, xStored or both.");
    QTest::newRow("carried byte out of range")
        << jsonWithLine(good + R"(, "byte3": -1)")
        << line1(".byte3", "-1 is not a byte value from 0 to 255.");
    QTest::newRow("formation twice")
        << QByteArray(jsonWithLine(good)).replace("]}]}", "]}, {\"formation\": 4}]}")
        << "formation 4 (`formations[1].formation`): this formation is given twice, here and in "
           "`formations[0]`.";
    QTest::newRow("line twice")
        << QByteArray(jsonWithLine(good)).replace("\"line\": 3", "\"line\": 2")
        << "formation 4, line 2 (`formations[0].lines[2].line`): this line is given twice, here "
           "and "
           "in `formations[0].lines[1]`.";
    QJsonObject whole =
        QJsonDocument::fromJson(writeTableText(Base, {}, TextFormat::Json)).object();
    QJsonArray all = whole.value(QStringLiteral("formations")).toArray();
    all.append(all.at(0));
    whole.insert(QStringLiteral("formations"), all);
    QTest::newRow("formation twice, at the end of the longest list read")
        << QJsonDocument(whole).toJson()
        << "formation 0 (`formations[31].formation`): this formation is given twice, here and in "
           "`formations[0]`.";
    QTest::newRow("key twice") << jsonWithLine(good + R"(, "count": 2)")
                               << line1(".count", "this field is given twice.");
    QTest::newRow("formation number out of range")
        << QByteArray(jsonWithLine(good)).replace("\"formation\": 4", "\"formation\": 31")
        << "formations[0].formation: 31 is not a formation number from 0 to 30.";
    QTest::newRow("two lines") << QByteArray(
                                      R"({"format": "KGF formation table", "formatVersion": 1,
                          "formations": [{"formation": 30, "lines": [{}, {}]}]})")
                               << "formation 30 (`formations[0].lines`): there are 2 lines; a "
                                  "formation has exactly three, "
                                  "lines 1, 2 and 3.";

    const QByteArray row = "0,0,0,0,0,1,0,0,0";
    QTest::newRow("csv not a table") << QByteArray("a,b\n") << neitherFormError("\"a,b\"");
    QTest::newRow("csv column missing")
        << QByteArray(csvWithLine("", row)).replace(",count,", ",")
        << "row 2: the header has no column count, which every line needs.";
    QTest::newRow("csv count out of range")
        << QByteArray(csvWithLine("", row)).replace("4,1,0,0,0,0,0,1,", "4,1,0,0,0,0,0,300,")
        << "formation 4, line 1 (row 3, column count): 300 is not a number of aircraft from 0 to "
           "255.";
    QTest::newRow("csv modifier not 0 or 1")
        << csvWithLine("", "0,0,yes,0,0,1,0,0,0")
        << R"(formation 4, line 1 (row 3, column Staggered): "yes" is not 1 (set) or 0 (not set).)";
    QTest::newRow("csv feet and stored disagree")
        << csvWithLine("xFeet", row + ",1")
        << R"(formation 4, line 1 (row 3, column xFeet): "1" feet is stored as 21, but xStored is 0, )"
           "which is 0 feet; change xFeet or xStored so that they agree, or delete one of them.";
    QTest::newRow("csv stray quote") << csvWithLine("", "0,0,0,0,0,1,0,0\"1,0")
                                     << "formation 4, line 1 (row 3, column yStored): a quote is "
                                        "inside a field that does not start with one.";
    QTest::newRow("csv line missing")
        << QByteArray(csvWithLine("", row)).replace("4,3,", "5,3,")
        << "formation 4 (row 3): line 3 is missing; a formation has exactly three lines, 1, 2 and "
           "3.";
    QTest::newRow("csv line twice")
        << QByteArray(csvWithLine("", row)).replace("4,3,", "4,1,")
        << "formation 4, line 1 (row 5, column line): this line is given twice, in row 3 and "
           "here.";
    QTest::newRow("csv line out of range")
        << QByteArray(csvWithLine("", row)).replace("4,3,", "4,4,")
        << "formation 4 (row 5, column line): 4 is not a line number from 1 to 3.";
    QTest::newRow("csv decimal comma where commas separate")
        << csvWithLine("xFeet", row + ",\"1,5\"")
        << R"(formation 4, line 1 (row 3, column xFeet): "1,5" is not a number.)";
    const QByteArray semicolons = "formation;line;typeIndex;One lead;Staggered;Step;Alternate;"
                                  "count;xStored;yStored;zStored\n";
    QTest::newRow("csv number with two commas")
        << semicolons + "4;1;0;0;0;0;0;1,000,5;0;0;0\n"
        << R"(formation 4, line 1 (row 2, column count): "1,000,5" is not a number.)";
    QTest::newRow("csv of a later version")
        << withoutFirstRow(csvWithLine("formatVersion", row + ",2"))
        << "formation 4, line 1 (row 2, column formatVersion): this text is of version 2; this "
           "program reads version 1.";
    QTest::newRow("csv row too wide")
        << withoutFirstRow(csvWithLine("", row)) + "\n\n,,\n" + QByteArray(1000, ',')
        << "row 8, column 1001: the row has more than 1000 fields.";
    const QString utf16Wrong =
        QStringLiteral("The text begins with the byte-order mark of UTF-16, but it %1.");
    const QByteArray wide = utf16(jsonWithLine(good), QStringConverter::Utf16LE);
    QTest::newRow("UTF-16 cut in the middle of a character")
        << wide.chopped(1) << utf16Wrong.arg("ends in the middle of a character");
    QTest::newRow("UTF-16 with half of a character of two units")
        << QByteArray(wide).insert(wide.size() - 2, "\x3D\xD8")
        << utf16Wrong.arg("holds half of a character that takes two UTF-16 units");
    QTest::newRow("too large") << QByteArray(MaxTableTextBytes + 1, ' ')
                               << "The text is longer than 16 MiB (16,777,216 bytes), the most "
                                  "that is read.";
}

void TableTextTest::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const TableText read = readTableText(text);
    QVERIFY(!read.ok);
    QCOMPARE(read.error, error);
}

void TableTextTest::formatTold_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TextFormat>("format");
    QTest::newRow("object") << QByteArray("{}") << TextFormat::Json;
    QTest::newRow("blanks first") << QByteArray(" \r\n\t{") << TextFormat::Json;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{") << TextFormat::Json;
    QTest::newRow("UTF-16 big-endian, blanks first")
        << QByteArray("\xFE\xFF\0 \0{", 6) << TextFormat::Json;
    QTest::newRow("UTF-16 little-endian csv") << QByteArray("\xFF\xFE"
                                                            "f\0{\0",
                                                            6)
                                              << TextFormat::Csv;
    QTest::newRow("csv") << QByteArray("format,{") << TextFormat::Csv;
    QTest::newRow("csv header first") << QByteArray("formation,line,{") << TextFormat::Csv;
    QTest::newRow("list") << QByteArray("\n [") << TextFormat::Json;
    QTest::newRow("UTF-16 little-endian list") << QByteArray("\xFF\xFE[\0", 4) << TextFormat::Json;
    QTest::newRow("line comment") << QByteArray("// x") << TextFormat::Json;
    QTest::newRow("block comment") << QByteArray("/* x */") << TextFormat::Json;
    QTest::newRow("a slash alone") << QByteArray("/x") << TextFormat::Csv;
    QTest::newRow("empty") << QByteArray() << TextFormat::Csv;
}

void TableTextTest::formatTold()
{
    QFETCH(QByteArray, text);
    QFETCH(TextFormat, format);
    QCOMPARE(detectTextFormat(text), format);
}

void TableTextTest::noTableText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("isTableText");
    QTest::newRow("prose") << QByteArray("Try the diamond!") << false;
    QTest::newRow("prose with a quote") << QByteArray("Try the \"diamond\"!") << false;
    QTest::newRow("another program's csv") << QByteArray("name;count\nVic;3\n") << false;
    QTest::newRow("another form's first row")
        << QByteArray("format,Mission,formatVersion,1\n") << false;
    QTest::newRow("header with a typo") << QByteArray("formation,lien\n1,1\n") << true;
    QTest::newRow("older text, no header")
        << QByteArray("format,KGF formation table,formatVersion,1\n") << true;
    QTest::newRow("json of another kind") << QByteArray(R"({"a": 1})") << true;
}

void TableTextTest::noTableText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, isTableText);
    const TableText read = readTableText(text);
    QVERIFY(!read.ok);
    QCOMPARE(read.isTableText, isTableText);
}

void TableTextTest::neitherForm_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TextFormat>("format");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("isTableText");
    const QByteArray json = writeFormationText(Base, 4, QString());
    auto row = [](const char *name, const QByteArray &text, const QString &error, bool isTableText,
                  std::optional<TextFormat> format = std::nullopt) {
        QTest::newRow(name) << text << format.value_or(detectTextFormat(text)) << error
                            << isTableText;
    };
    const QString utf32 = NotTableText + QStringLiteral("it begins with a UTF-32 byte-order mark, "
                                                        "which this program does not read; save "
                                                        "it as UTF-8.");
    row("UTF-32 little-endian", utf16(json, QStringConverter::Utf32LE), utf32, true);
    row("UTF-32 big-endian", utf16(json, QStringConverter::Utf32BE), utf32, true);
    row("UTF-32 read as CSV", utf16(json, QStringConverter::Utf32LE), utf32, true, TextFormat::Csv);
    const QString list =
        NotTableText + QStringLiteral("it is a JSON array, but a table text is a JSON object, in "
                                      "{ }.");
    row("a list of formations", "[" + json + "]", list, true);
    row("a list in UTF-16", utf16(" [1, 2]", QStringConverter::Utf16LE), list, true);
    row("a list read as CSV", "[" + json + "]", neitherFormError("\"[{\""), false, TextFormat::Csv);
    row("prose in brackets", "[Vic] is best\nreally", neitherFormError("\"[Vic] is best\""), false);
    const QString comment =
        NotTableText + QStringLiteral("it begins with a comment, which JSON does not allow.");
    row("a line comment", "\xEF\xBB\xBF// my Vic\n" + json, comment, true);
    row("a block comment", " /* my Vic */" + json, comment, true);
    row("prose", "Try the diamond!", neitherFormError("\"Try the diamond!\""), false);
    row("prose whose quote is no CSV", "\r\nTry the \"diamond\"!\nNow",
        neitherFormError("\"Try the \"diamond\"!\""), false);
    row("another program's csv after blank rows", "\n,,\n ; \nname;count\nVic;3\n",
        neitherFormError("\"name;count\""), false);
    row("another form's first row", "format,Mission,formatVersion,1\n",
        neitherFormError("\"format,Mission,formatVersion,1\""), false);
    row("a header whose quote is unclosed", "formation,line,\"count\n4,1,3\n",
        "row 1, column 3: the quoted field is not closed.", true);
    row("json read as CSV", json,
        "row 1: the first row must be the header, which names the columns formation,"
        "formationName,line,type,typeIndex,One lead,Staggered,Step,Alternate,count,xFeet,xStored,"
        "yFeet,yStored,zFeet,zStored,byte0,byte3; this is not a KGF formation table text.",
        false, TextFormat::Csv);
}

void TableTextTest::neitherForm()
{
    QFETCH(QByteArray, text);
    QFETCH(TextFormat, format);
    QFETCH(QString, error);
    QFETCH(bool, isTableText);
    const TableText read = readTableText(text, format);
    QVERIFY(!read.ok);
    QCOMPARE(read.error, error);
    QCOMPARE(read.isTableText, isTableText);
}

void TableTextTest::notWrittenWhole_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray good = R"("typeIndex": 0, "modifiers": [], "count": 1, "xStored": 0,
                               "yStored": 0, "zStored": 0)";
    auto json = [&good](const char *from, const char *to) {
        return QByteArray(jsonWithLine(good + R"(, "byte0": 0, "byte3": 0)")).replace(from, to);
    };
    const QString fraction = QStringLiteral(": it has a fraction.");
    const QString line1 = QStringLiteral("formation 4, line 1 (`formations[0].lines[0].");
    // Each of these is nearest to a double that is a whole number.
    QTest::newRow("json formation")
        << json("\"formation\": 4", "\"formation\": 4.9999999999999999")
        << "formations[0].formation: 4.9999999999999999 is not a formation number from 0 to 30" +
               fraction;
    QTest::newRow("json line") << json("\"line\": 1", "\"line\": 0.99999999999999999")
                               << "formation 4 (`formations[0].lines[0].line`): "
                                  "0.99999999999999999 is not a line number from 1 to 3" +
                                      fraction;
    QTest::newRow("json typeIndex")
        << json("\"typeIndex\": 0", "\"typeIndex\": 2.9999999999999999")
        << line1 + "typeIndex`): 2.9999999999999999 is not a type index from 0 to 15" + fraction;
    QTest::newRow("json count") << json("\"count\": 1", "\"count\": 1.0000000000000001")
                                << line1 +
                                       "count`): 1.0000000000000001 is not a number of "
                                       "aircraft from 0 to 255" +
                                       fraction;
    QTest::newRow("json byte0") << json("\"byte0\": 0", "\"byte0\": 8.9999999999999999")
                                << line1 +
                                       "byte0`): 8.9999999999999999 is not a byte value from "
                                       "0 to 255" +
                                       fraction;
    QTest::newRow("json byte3") << json("\"byte3\": 0", "\"byte3\": 1E-17")
                                << line1 + "byte3`): 1E-17 is not a byte value from 0 to 255" +
                                       fraction;
    const QString stored = QStringLiteral("is not a whole number from -2,147,483,648 to "
                                          "2,147,483,647");
    QTest::newRow("json xStored") << json("\"xStored\": 0", "\"xStored\": 4.9999999999999999")
                                  << line1 + "xStored`): 4.9999999999999999 " + stored + fraction;
    QTest::newRow("json yStored") << json("\"yStored\": 0", "\"yStored\": -7.00000000000000001")
                                  << line1 + "yStored`): -7.00000000000000001 " + stored + fraction;
    QTest::newRow("json zStored, an exponent")
        << json("\"zStored\": 0", "\"zStored\": 2.0999999999999999e3")
        << line1 + "zStored`): 2.0999999999999999e3 " + stored + fraction;
    QTest::newRow("json formatVersion")
        << json("\"formatVersion\": 1", "\"formatVersion\": 1.0000000000000001")
        << "formatVersion: this text is of version 1.0000000000000001; this program reads "
           "version 1.";
    QTest::newRow("json, out of range as well") << json("\"count\": 1", "\"count\": 255.5")
                                                << line1 + "count`): 255.5 is not a number of "
                                                           "aircraft from 0 to 255.";
    QTest::newRow("json, a number shown as written")
        << json("\"modifiers\": []", "\"modifiers\": [4.9999999999999999]")
        << line1 + "modifiers[0]`): 4.9999999999999999 is not a modifier; the modifiers are "
                   "\"One lead\", \"Staggered\", \"Step\" and \"Alternate\".";
    QTest::newRow("json, a place named only by whole numbers")
        << json("\"formation\": 4", "\"formation\": 4.9999999999999999")
               .replace("\"count\": 1", "\"count\": 1, \"count\": 1")
        << "formations[0].lines[0].count: this field is given twice.";

    const QByteArray row = "0,0,0,0,0,1,0,0,0";
    auto csv = [&row](const QByteArray &from, const QByteArray &to) {
        return QByteArray(csvWithLine("byte0,byte3", row + ",0,0")).replace(from, to);
    };
    const QString csvLine1 = QStringLiteral("formation 4, line 1 (row 3, column ");
    QTest::newRow("csv formation")
        << csv("\n4,1,", "\n4.9999999999999999,1,")
        << "row 3, column formation: 4.9999999999999999 is not a formation number from 0 to 30" +
               fraction;
    QTest::newRow("csv line") << csv("\n4,1,", "\n4,0.99999999999999999,")
                              << "formation 4 (row 3, column line): 0.99999999999999999 is not a "
                                 "line number from 1 to 3" +
                                     fraction;
    QTest::newRow("csv typeIndex")
        << csv("\n4,1,0,", "\n4,1,2.9999999999999999,")
        << csvLine1 + "typeIndex): 2.9999999999999999 is not a type index from 0 to 15" + fraction;
    QTest::newRow("csv count, below the doubles")
        << csv("4,1,0,0,0,0,0,1,", "4,1,0,0,0,0,0,1e-400,")
        << csvLine1 + "count): 1e-400 is not a number of aircraft from 0 to 255" + fraction;
    QTest::newRow("csv xStored") << csv("4,1," + row, "4,1,0,0,0,0,0,1,4.9999999999999999,0,0")
                                 << csvLine1 + "xStored): 4.9999999999999999 " + stored + fraction;
    QTest::newRow("csv byte3") << csv(row + ",0,0", row + ",0,0.99999999999999999")
                               << csvLine1 +
                                      "byte3): 0.99999999999999999 is not a byte value "
                                      "from 0 to 255" +
                                      fraction;
    QTest::newRow("csv decimal comma")
        << QByteArray("formation;line;typeIndex;One lead;Staggered;Step;Alternate;count;xStored;"
                      "yStored;zStored\n4;1;0;0;0;0;0;1,0000000000000001;0;0;0\n")
        << "formation 4, line 1 (row 2, column count): 1,0000000000000001 is not a number of "
           "aircraft from 0 to 255" +
               fraction;
    QTest::newRow("csv formatVersion column")
        << withoutFirstRow(csvWithLine("formatVersion", row + ",1.0000000000000001"))
        << "formation 4, line 1 (row 2, column formatVersion): this text is of version "
           "1.0000000000000001; this program reads version 1.";
    QTest::newRow("csv format row")
        << csv("formatVersion,1\r\n", "formatVersion,1.0000000000000001\r\n")
        << "row 1, column 4: this text is of version 1.0000000000000001; this program reads "
           "version 1.";
}

void TableTextTest::notWrittenWhole()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const TableText read = readTableText(text);
    QVERIFY(!read.ok);
    QCOMPARE(read.error, error);
}

void TableTextTest::writtenWhole_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count");
    auto json = [](const char *count) {
        return jsonWithLine(R"("typeIndex": 0, "modifiers": [], "xStored": 0, "yStored": 0,
                               "zStored": 0, "count": )" +
                            QByteArray(count));
    };
    // Whole numbers as written, whatever their form.
    QTest::newRow("json fraction of zeros") << json("4.000") << 4;
    QTest::newRow("json exponent") << json("4e0") << 4;
    QTest::newRow("json digits past the point, shifted") << json("0.04E+2") << 4;
    QTest::newRow("json zeros dropped by the exponent") << json("400e-2") << 4;
    QTest::newRow("json minus zero") << json("-0") << 0;
    QTest::newRow("json formation as 4.0")
        << QByteArray(json("7")).replace("\"formation\": 4", "\"formation\": 4.0") << 7;
    auto csv = [](const char *count) {
        return csvWithLine("", "0,0,0,0,0," + QByteArray(count) + ",0,0,0");
    };
    QTest::newRow("csv point and zeros") << csv("4.") << 4;
    QTest::newRow("csv exponent and blanks") << csv(" 0.4E1 ") << 4;
    QTest::newRow("csv decimal comma")
        << QByteArray("formation;line;typeIndex;One lead;Staggered;Step;Alternate;count;xStored;"
                      "yStored;zStored\n4;1;0;0;0;0;0;4,00;0;0;0\n4;2;0;0;0;0;0;0;0;0;0\n"
                      "4;3;0;0;0;0;0;0;0;0;0\n")
        << 4;
}

void TableTextTest::writtenWhole()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    const TableText read = readTableText(text);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.formations.size(), 1);
    QCOMPARE(read.formations[0].formation, 4);
    QCOMPARE(read.formations[0].lines[0].line.count, count);
}

void TableTextTest::beginsAsTableText_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("begins");
    const QByteArray csv = writeTableText(Base, {}, TextFormat::Csv);
    QTest::newRow("csv as written, cut") << csv.left(200) << true;
    QTest::newRow("json as written, after blanks")
        << "\r\n " + writeTableText(Base, {}, TextFormat::Json).left(10) << true;
    QTest::newRow("older csv, byte order mark")
        << "\xEF\xBB\xBF" + QByteArray(csvWithLine("", "0,0,0,0,0,1,0,0,0")) << true;
    QTest::newRow("semicolons") << QByteArray("\n\"formation\";\"line\";\"count\"\n4;1") << true;
    QTest::newRow("another form's first row")
        << QByteArray("format,Mission,formatVersion,1") << false;
    QTest::newRow("prose") << QByteArray("formations: all thirty-one") << false;
    QTest::newRow("a table's bytes") << Base << false;
    // Close enough that the reader says what to mend.
    QTest::newRow("a list") << QByteArray(R"([{"format": "KGF formation table"}])") << true;
    QTest::newRow("a comment first") << QByteArray("// mine\n{") << true;
    QTest::newRow("a block comment first") << QByteArray(" /* mine */ {") << true;
    QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0{\0\0\0", 8) << true;
    QTest::newRow("a spreadsheet's separator line") << "sep=;\r\n" + csv.left(100) << true;
    QTest::newRow("a slash alone") << QByteArray("/home/me") << false;
    QTest::newRow("csv in UTF-16, cut in a character")
        << utf16(csv.left(200), QStringConverter::Utf16LE).left(301) << true;
}

void TableTextTest::beginsAsTableText()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, begins);
    QCOMPARE(::beginsAsTableText(head), begins);
}

QTEST_GUILESS_MAIN(TableTextTest)
#include "tst_table_text.moc"
