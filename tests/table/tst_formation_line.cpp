#include "cell_text.h"
#include "formation_line.h"
#include "formation_table.h"
#include "line_editing.h"
#include "number_text.h"

#include <QRandomGenerator>
#include <QTest>
#include <limits>

class FormationLineTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExampleBothWays();
    void decodesFields_data();
    void decodesFields();
    void everyTypeCodeAndExtremeOffsetsRoundTrip();
    void writeLineLeavesUninterpretedColumns();
    void formatFeet_data();
    void formatFeet();
    void offsetFromBox_data();
    void offsetFromBox();
    void countFromBox_data();
    void countFromBox();
    void randomOffsetsSurviveTheText();
    void unknownTypeIndexIsKept();
    void refusalNamesLineAndField();
    void typeIndexToStore_data();
    void typeIndexToStore();
    void offsetTexts_data();
    void offsetTexts();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void FormationLineTest::workedExampleBothWays()
{
    // "Line echelon right" + "Staggered", 4 aircraft, 100 ft, -50 ft, 0 ft.
    FormationLine line;
    line.typeCode = 35;
    line.count = 4;
    line.xOffset = 2100;
    line.yOffset = -1050;
    QCOMPARE(line.toBytes(), hex("0023040034080000E6FBFFFF00000000"));
    QCOMPARE(FormationLine::fromBytes(hex("0023040034080000E6FBFFFF00000000")), line);
    QCOMPARE(line.typeIndex(), 3);
    QVERIFY(line.hasModifier(1));
    QVERIFY(!line.hasModifier(0) && !line.hasModifier(2) && !line.hasModifier(3));
    const bool modifiers[4] = {false, true, false, false};
    QCOMPARE(FormationLine::makeTypeCode(3, modifiers), quint8(35));
}

void FormationLineTest::decodesFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<int>("modifierBits"); // bit k: modifier k
    QTest::addColumn<int>("count");
    QTest::addColumn<qint32>("x");
    QTest::newRow("zeros") << hex("00000000000000000000000000000000") << 0 << 0 << 0 << 0;
    QTest::newRow("FF code") << hex("00FF0000000000000000000000000000") << 15 << 0xF << 0 << 0;
    QTest::newRow("97 code") << hex("00970000000000000000000000000000") << 7 << 0b1001 << 0 << 0;
    QTest::newRow("F7 code") << hex("00F70000000000000000000000000000") << 7 << 0xF << 0 << 0;
    QTest::newRow("10 code") << hex("00100000000000000000000000000000") << 0 << 0b0001 << 0 << 0;
    QTest::newRow("count 255") << hex("0000FF00000000000000000000000000") << 0 << 0 << 255 << 0;
    QTest::newRow("x -1") << hex("00000000FFFFFFFF0000000000000000") << 0 << 0 << 0 << -1;
    QTest::newRow("x min") << hex("00000000000000800000000000000000") << 0 << 0 << 0
                           << std::numeric_limits<qint32>::min();
    QTest::newRow("x 2000") << hex("00000000D00700000000000000000000") << 0 << 0 << 0 << 2000;
}

void FormationLineTest::decodesFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, typeIndex);
    QFETCH(int, modifierBits);
    QFETCH(int, count);
    QFETCH(qint32, x);
    const FormationLine line = FormationLine::fromBytes(bytes);
    QCOMPARE(line.typeIndex(), typeIndex);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(line.hasModifier(k), bool(modifierBits & (1 << k)));
    QCOMPARE(int(line.count), count);
    QCOMPARE(line.xOffset, x);
}

void FormationLineTest::everyTypeCodeAndExtremeOffsetsRoundTrip()
{
    FormationTable table;
    table.prepare();
    const qint32 offsets[] = {0, 1, -1, std::numeric_limits<qint32>::min(),
                              std::numeric_limits<qint32>::max()};
    for (int code = 0; code < 256; ++code) {
        for (qint32 offset : offsets) {
            QByteArray bytes = hex("A5000000000000000000000000000000");
            bytes[1] = static_cast<char>(code);
            bytes[2] = static_cast<char>(255 - code);
            bytes[3] = static_cast<char>(code ^ 0x5A);
            FormationLine line = FormationLine::fromBytes(bytes);
            line.xOffset = offset;
            line.yOffset = -offset - 1;
            line.zOffset = offset ^ 0x55AA;
            const QByteArray encoded = line.toBytes();
            QCOMPARE(FormationLine::fromBytes(encoded), line);
            // Through the table's cells and the editor's texts as well.
            table.setTextMatrix(7, 1, byteToCellText(line.byte0));
            table.setTextMatrix(7, 4, byteToCellText(line.byte3));
            writeLine(table, 7, line);
            QCOMPARE(readLine(table, 7).toBytes(), encoded);

            const LineTexts texts = lineTexts(line);
            EditedLine edited;
            edited.typeIndex = line.typeIndex();
            for (int k = 0; k < 4; ++k)
                edited.modifiers[k] = line.hasModifier(k);
            edited.count = texts.count;
            edited.xOffset = texts.xOffset;
            edited.yOffset = texts.yOffset;
            edited.zOffset = texts.zOffset;
            const LineEncoding again = encodeEditedLine(edited, line, 1);
            QVERIFY2(again.ok, qPrintable(again.error));
            QCOMPARE(again.line.toBytes(), encoded);
            QCOMPARE(texts.type, QString::number(code));
        }
    }
}

void FormationLineTest::writeLineLeavesUninterpretedColumns()
{
    FormationTable table;
    table.prepare();
    for (int c = 1; c <= 16; ++c) {
        table.setTextMatrix(1, c, QStringLiteral("C1"));
        table.setTextMatrix(2, c, QStringLiteral("C2"));
    }
    FormationLine line = FormationLine::fromBytes(hex("0023040034080000E6FBFFFF00000000"));
    writeLine(table, 1, line);
    const QStringList row = {"C1", "23", "04", "C1", "34", "08", "00", "00",
                             "E6", "FB", "FF", "FF", "00", "00", "00", "00"};
    for (int c = 1; c <= 16; ++c) {
        QCOMPARE(table.TextMatrix(1, c), row[c - 1]);
        QCOMPARE(table.TextMatrix(2, c), QStringLiteral("C2"));
    }
}

void FormationLineTest::formatFeet_data()
{
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("2100") << 2100 << "100";
    QTest::newRow("2000") << 2000 << "95.2380952380952";
    QTest::newRow("10") << 10 << "0.476190476190476";
    QTest::newRow("1") << 1 << "4.76190476190476E-02";
    QTest::newRow("2") << 2 << "9.52380952380952E-02";
    QTest::newRow("-1") << -1 << "-4.76190476190476E-02";
    QTest::newRow("-2") << -2 << "-9.52380952380952E-02";
    QTest::newRow("3") << 3 << "0.142857142857143";
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("21") << 21 << "1";
    QTest::newRow("-1050") << -1050 << "-50";
    QTest::newRow("210") << 210 << "10";
    QTest::newRow("-10") << -10 << "-0.476190476190476";
    QTest::newRow("min") << std::numeric_limits<qint32>::min() << "-102261126.095238";
    QTest::newRow("max") << std::numeric_limits<qint32>::max() << "102261126.047619";
    QTest::newRow("whole max") << 2147483646 << "102261126";
}

void FormationLineTest::formatFeet()
{
    QFETCH(qint32, stored);
    QFETCH(QString, text);
    QCOMPARE(::formatFeet(stored), text);
}

void FormationLineTest::offsetFromBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint32>("stored");
    QTest::newRow("100") << "100" << true << 2100;
    QTest::newRow("blanks") << "  -50 " << true << -1050;
    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("0.5") << "0.5" << true << 10;
    QTest::newRow("1.5") << "1.5" << true << 32;
    QTest::newRow("-0.5") << "-0.5" << true << -10;
    QTest::newRow("-10") << "-10" << true << -210;
    QTest::newRow("plus") << "+5" << true << 105;
    QTest::newRow("trailing point") << "5." << true << 105;
    QTest::newRow("leading point") << ".5" << true << 10;
    QTest::newRow("exponent") << "1E3" << true << 21000;
    QTest::newRow("small exponent") << "4.76190476190476E-02" << true << 1;
    QTest::newRow("largest whole feet") << "102261126" << true << 2147483646;
    QTest::newRow("most negative")
        << "-102261126.095238" << true << std::numeric_limits<qint32>::min();
    QTest::newRow("one more foot") << "102261127" << false << 0;
    QTest::newRow("below range") << "-102261127" << false << 0;
    QTest::newRow("huge") << "1e400" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank") << "   " << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("trailing letters") << "12abc" << false << 0;
    QTest::newRow("comma") << "1,5" << false << 0;
    QTest::newRow("sign apart") << "- 5" << false << 0;
    QTest::newRow("inf") << "inf" << false << 0;
    QTest::newRow("nan") << "nan" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("point only") << "." << false << 0;
    QTest::newRow("bare exponent") << "1e" << false << 0;
    // Exponents far beyond any double, whose size must not overflow.
    QTest::newRow("exponent beyond 64 bits") << "10e9223372036854775807" << false << 0;
    QTest::newRow("tiny exponent beyond 64 bits") << "0.01e-9223372036854775808" << true << 0;
    QTest::newRow("negative tiny") << "-1e-99999999999999999999999" << true << 0;
    QTest::newRow("zero with huge exponent") << "0e99999999999999999999999" << true << 0;
    QTest::newRow("many zeros then digit")
        << "0.000000000000000000000000000000001e33" << true << 21;
}

void FormationLineTest::offsetFromBox()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint32, stored);
    EditedLine edited;
    edited.count = QStringLiteral("1");
    edited.xOffset = QStringLiteral("0");
    edited.yOffset = text;
    edited.zOffset = QStringLiteral("0");
    const LineEncoding result = encodeEditedLine(edited, FormationLine{}, 2);
    QCOMPARE(result.ok, ok);
    if (ok)
        QCOMPARE(result.line.yOffset, stored);
    else
        QVERIFY2(result.error.startsWith(QStringLiteral("Line 2, Y Offset:")),
                 qPrintable(result.error));
}

void FormationLineTest::countFromBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count"); // -1: refused
    QTest::newRow("4") << "4" << 4;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("255") << "255" << 255;
    QTest::newRow("2.5") << "2.5" << 2;
    QTest::newRow("3.5") << "3.5" << 4;
    QTest::newRow("-0.4") << "-0.4" << 0;
    QTest::newRow("blanks") << " 7 " << 7;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("300") << "300" << -1;
    QTest::newRow("-1") << "-1" << -1;
    QTest::newRow("255.5 rounds to 256") << "255.5" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("letters") << "four" << -1;
    QTest::newRow("exponent beyond 64 bits") << "10e9223372036854775807" << -1;
    QTest::newRow("tiny exponent beyond 64 bits") << "0.01e-9223372036854775808" << 0;
}

void FormationLineTest::countFromBox()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    EditedLine edited;
    edited.count = text;
    edited.xOffset = edited.yOffset = edited.zOffset = QStringLiteral("0");
    const LineEncoding result = encodeEditedLine(edited, FormationLine{}, 3);
    QCOMPARE(result.ok, count >= 0);
    if (count >= 0)
        QCOMPARE(int(result.line.count), count);
    else
        QVERIFY2(result.error.startsWith(QStringLiteral("Line 3, Number:")),
                 qPrintable(result.error));
}

void FormationLineTest::randomOffsetsSurviveTheText()
{
    QRandomGenerator random(20261208);
    for (int i = 0; i < 1'000'000; ++i) {
        const auto stored = static_cast<qint32>(random.generate());
        const QString text = ::formatFeet(stored);
        const auto feet = parseNumberBox(text);
        QVERIFY2(feet.has_value(), qPrintable(text));
        const auto back = feetToStored(*feet);
        if (back != std::optional<qint32>(stored))
            QFAIL(qPrintable(QStringLiteral("%1 -> %2 -> %3")
                                 .arg(stored)
                                 .arg(text)
                                 .arg(back ? QString::number(*back) : QStringLiteral("refused"))));
    }
}

void FormationLineTest::unknownTypeIndexIsKept()
{
    FormationLine stored = FormationLine::fromBytes(hex("7E9A0311000000000000000000000000"));
    QCOMPARE(stored.typeIndex(), 10);
    EditedLine edited;
    edited.typeIndex = ::typeIndexToStore(-1, stored.typeIndex()); // no button on
    edited.modifiers[0] = true;
    edited.count = QStringLiteral("3");
    edited.xOffset = edited.yOffset = edited.zOffset = QStringLiteral("0");
    const LineEncoding result = encodeEditedLine(edited, stored, 1);
    QVERIFY(result.ok);
    QCOMPARE(int(result.line.typeCode), 10 + 16);
    QCOMPARE(result.line.byte0, quint8(0x7E));
    QCOMPARE(result.line.byte3, quint8(0x11));

    edited.typeIndex = 7;
    for (bool &modifier : edited.modifiers)
        modifier = true;
    QCOMPARE(int(encodeEditedLine(edited, stored, 1).line.typeCode), 247);
}

void FormationLineTest::refusalNamesLineAndField()
{
    EditedLine edited;
    edited.count = QStringLiteral("4");
    edited.xOffset = QStringLiteral("abc");
    edited.yOffset = edited.zOffset = QStringLiteral("0");
    const LineEncoding result = encodeEditedLine(edited, FormationLine{}, 2);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("Line 2, X Offset: \"abc\" is not a number."));
    edited.xOffset.clear();
    QCOMPARE(encodeEditedLine(edited, FormationLine{}, 1).error,
             QStringLiteral("Line 1, X Offset: the box is empty."));
}

void FormationLineTest::typeIndexToStore_data()
{
    QTest::addColumn<int>("buttonOn");
    QTest::addColumn<int>("shownWithoutButton");
    QTest::addColumn<int>("stored");
    QTest::newRow("a button wins") << 3 << 9 << 3;
    QTest::newRow("no button, index 9 shown") << -1 << 9 << 9;
    QTest::newRow("no button, index 15 shown") << -1 << 15 << 15;
    QTest::newRow("no button, nothing shown") << -1 << -1 << 0;
    QTest::newRow("Line Astern") << 0 << -1 << 0;
}

void FormationLineTest::typeIndexToStore()
{
    QFETCH(int, buttonOn);
    QFETCH(int, shownWithoutButton);
    QFETCH(int, stored);
    QCOMPARE(::typeIndexToStore(buttonOn, shownWithoutButton), stored);
}

void FormationLineTest::offsetTexts_data()
{
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QStringList>("bytes");
    QTest::newRow("X 100") << 2100 << "00000834" << QStringList{"52", "8", "0", "0"};
    QTest::newRow("Y -50") << -1050 << "FFFFFBE6" << QStringList{"230", "251", "255", "255"};
    QTest::newRow("-10") << -210 << "FFFFFF2E" << QStringList{"46", "255", "255", "255"};
    QTest::newRow("0") << 0 << "00000000" << QStringList{"0", "0", "0", "0"};
    QTest::newRow("most negative")
        << std::numeric_limits<qint32>::min() << "80000000" << QStringList{"0", "0", "0", "128"};
}

void FormationLineTest::offsetTexts()
{
    QFETCH(qint32, stored);
    QFETCH(QString, hex);
    QFETCH(QStringList, bytes);
    const OffsetTexts texts = ::offsetTexts(stored);
    QCOMPARE(texts.hex, hex);
    QCOMPARE(QStringList(std::begin(texts.bytes), std::end(texts.bytes)), bytes);
}

QTEST_APPLESS_MAIN(FormationLineTest)
#include "tst_formation_line.moc"
