#include "cell_text.h"
#include "formation_table.h"

#include <QTest>

class TableStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void byteToCellText_data();
    void byteToCellText();
    void cellTextToByte_data();
    void cellTextToByte();
    void everyByteSurvivesTheCellText();
    void prepareFillsEveryDataCellWithZeros();
    void cellsMapToBytesRowMajor();
    void bytesRoundTripThroughTheCells();
    void lineRowsOfFormations();
    void formationBytesAreItsThreeLines();
};

void TableStoreTest::byteToCellText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "00";
    QTest::newRow("five") << 5 << "05";
    QTest::newRow("ten") << 10 << "0A";
    QTest::newRow("sixteen") << 16 << "10";
    QTest::newRow("171") << 171 << "AB";
    QTest::newRow("255") << 255 << "FF";
}

void TableStoreTest::byteToCellText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(::byteToCellText(static_cast<quint8>(value)), text);
}

void TableStoreTest::cellTextToByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: not a cell text
    QTest::newRow("upper") << "0A" << 10;
    QTest::newRow("lower") << "0a" << 10;
    QTest::newRow("mixed") << "aB" << 171;
    QTest::newRow("one digit") << "F" << 15;
    QTest::newRow("FF") << "FF" << 255;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("three digits") << "100" << -1;
    QTest::newRow("not hex") << "0G" << -1;
    QTest::newRow("blank") << " 1" << -1;
    QTest::newRow("sign") << "-1" << -1;
}

void TableStoreTest::cellTextToByte()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    const auto result = ::cellTextToByte(text);
    if (value < 0)
        QVERIFY(!result.has_value());
    else
        QCOMPARE(result, std::optional<quint8>(static_cast<quint8>(value)));
}

void TableStoreTest::everyByteSurvivesTheCellText()
{
    for (int value = 0; value < 256; ++value) {
        const QString text = ::byteToCellText(static_cast<quint8>(value));
        QCOMPARE(text.size(), 2);
        QCOMPARE(text, text.toUpper());
        QCOMPARE(::cellTextToByte(text), std::optional<quint8>(static_cast<quint8>(value)));
    }
}

void TableStoreTest::prepareFillsEveryDataCellWithZeros()
{
    FormationTable table;
    table.prepare();
    QCOMPARE(table.Rows(), 94);
    QCOMPARE(table.Cols(), 17);
    for (int r = 1; r < table.Rows(); ++r)
        for (int c = 1; c < table.Cols(); ++c)
            QCOMPARE(table.TextMatrix(r, c), QStringLiteral("00"));
    QCOMPARE(table.toBytes(), QByteArray(1488, '\0'));
}

void TableStoreTest::cellsMapToBytesRowMajor()
{
    FormationTable table;
    table.prepare();
    // Row 4 is line 1 of formation 1: bytes 48 to 63.
    for (int c = 1; c <= 16; ++c)
        table.setTextMatrix(4, c, ::byteToCellText(static_cast<quint8>(0xC0 + c)));
    table.setTextMatrix(93, 16, QStringLiteral("0a")); // last byte, in lower case
    table.setTextMatrix(1, 1, QStringLiteral("7F"));

    const QByteArray bytes = table.toBytes();
    QCOMPARE(bytes.size(), 1488);
    QCOMPARE(static_cast<quint8>(bytes[0]), quint8(0x7F));
    QCOMPARE(static_cast<quint8>(bytes[47]), quint8(0));
    for (int i = 48; i <= 63; ++i)
        QCOMPARE(static_cast<quint8>(bytes[i]), quint8(0xC0 + (i - 47)));
    QCOMPARE(static_cast<quint8>(bytes[64]), quint8(0));
    QCOMPARE(static_cast<quint8>(bytes[1487]), quint8(10));

    QCOMPARE(FormationTable::byteOfCell(4, 1), 48);
    QCOMPARE(FormationTable::byteOfCell(4, 16), 63);
    QCOMPARE(FormationTable::byteOfCell(93, 16), 1487);
    QCOMPARE(FormationTable::rowOfByte(1487), 93);
    QCOMPARE(FormationTable::colOfByte(1487), 16);
    QCOMPARE(FormationTable::rowOfByte(48), 4);
    QCOMPARE(FormationTable::colOfByte(48), 1);
}

void TableStoreTest::bytesRoundTripThroughTheCells()
{
    QByteArray bytes(1488, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 37 + i / 256) & 0xFF);
    FormationTable table;
    table.prepare();
    table.setBytes(bytes);
    QCOMPARE(table.TextMatrix(1, 1), QStringLiteral("00"));
    QCOMPARE(table.TextMatrix(1, 2), QStringLiteral("25")); // byte 1 = 37
    QCOMPARE(table.TextMatrix(2, 1), ::byteToCellText(static_cast<quint8>(bytes[16])));
    QCOMPARE(table.toBytes(), bytes);
}

void TableStoreTest::lineRowsOfFormations()
{
    QCOMPARE(FormationTable::rowOfLine(0, 1), 1);
    QCOMPARE(FormationTable::rowOfLine(0, 3), 3);
    QCOMPARE(FormationTable::rowOfLine(1, 1), 4);
    QCOMPARE(FormationTable::rowOfLine(5, 1), 16);
    QCOMPARE(FormationTable::rowOfLine(30, 1), 91);
    QCOMPARE(FormationTable::rowOfLine(30, 3), 93);
}

void TableStoreTest::formationBytesAreItsThreeLines()
{
    FormationTable table;
    table.prepare();
    QByteArray bytes(FormationTable::ByteCount, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 256);
    table.setBytes(bytes);
    for (int f : {0, 5, 30})
        QCOMPARE(table.formationBytes(f), bytes.mid(48 * f, 48));
    const QByteArray pasted(48, '\xA5');
    table.setFormationBytes(30, pasted);
    QCOMPARE(table.toBytes(), bytes.left(1440) + pasted);
}

QTEST_APPLESS_MAIN(TableStoreTest)
#include "tst_table_store.moc"
