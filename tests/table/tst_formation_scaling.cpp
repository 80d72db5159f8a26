// A formation's offsets scaled and moved, to the nearest 1/21 foot.
#include "formation_scaling.h"

#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(ScaleMove)

namespace
{

// Three lines of their own, at these nine offsets (X, Y, Z line by line).
FormationLines linesWith(const QList<int> &offsets)
{
    FormationLines lines;
    for (int k = 0; k < 3; ++k) {
        lines[k].byte0 = quint8(k + 1);
        lines[k].typeCode = quint8(0x30 + k);
        lines[k].count = quint8(4 + k);
        lines[k].byte3 = quint8(200 + k);
        lines[k].xOffset = offsets[3 * k];
        lines[k].yOffset = offsets[3 * k + 1];
        lines[k].zOffset = offsets[3 * k + 2];
    }
    return lines;
}

constexpr qint32 Most = std::numeric_limits<qint32>::max();
constexpr qint32 Least = std::numeric_limits<qint32>::min();

} // namespace

class FormationScalingTest : public QObject
{
    Q_OBJECT
private slots:
    void scales_data();
    void scales();
    void readsTheBoxes_data();
    void readsTheBoxes();
};

void FormationScalingTest::scales_data()
{
    QTest::addColumn<ScaleMove>("move");
    QTest::addColumn<QList<int>>("before"); // nine offsets, line by line
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<QStringList>("clamped");

    const QList<int> some{2100, -1050, 21, 420, 0, -21, 1, -1, 3};
    ScaleMove half;
    half.factor = {0.5, 0.5, 0.5};
    // 1/2, 3/2, -1/2 and -3/2 of 1/21 foot: each half to the even neighbour.
    QTest::newRow("halves to even") << half << QList<int>{1, 3, -1, -3, 5, 7, 2, 0, 2101}
                                    << QList<int>{0, 2, 0, -2, 2, 4, 1, 0, 1050} << QStringList{};
    ScaleMove shifted;
    shifted.shiftFeet = {10, -0.5, 0.1};
    // 0.5 ft is 10.5 stored: to 10; 0.1 ft is 2.1 stored: to 2.
    QTest::newRow("shifted in feet")
        << shifted << some << QList<int>{2310, -1060, 23, 630, -10, -19, 211, -12, 5}
        << QStringList{};
    ScaleMove someLines;
    someLines.factor = {3, 3, 3};
    someLines.lines = {false, true, false};
    QTest::newRow("line 2 alone") << someLines << some
                                  << QList<int>{2100, -1050, 21, 1260, 0, -63, 1, -1, 3}
                                  << QStringList{};
    ScaleMove mirrored;
    mirrored.factor = {-1, 1, 1};
    QTest::newRow("mirrored, the least offset held")
        << mirrored << QList<int>{Least, 0, 0, Most, 0, 0, 0, 0, 0}
        << QList<int>{Most, 0, 0, -Most, 0, 0, 0, 0, 0} << QStringList{"line 1 X"};
}

void FormationScalingTest::scales()
{
    QFETCH(ScaleMove, move);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(QStringList, clamped);
    const ScaledFormation scaled = scaleAndMove(linesWith(before), move);
    QVERIFY(scaled.lines == linesWith(after)); // everything else of the records stays
    QCOMPARE(scaled.clamped, clamped);
}

void FormationScalingTest::readsTheBoxes_data()
{
    QTest::addColumn<QStringList>("boxes"); // three factors, three shifts
    QTest::addColumn<int>("lines");         // bits 0, 1 and 2: lines 1, 2 and 3
    QTest::addColumn<QString>("problem");   // empty: read as `move`
    QTest::addColumn<QList<double>>("move");
    QTest::newRow("as the panel reads boxes")
        << QStringList{" 1.5 ", "-2", "1E2", "-.5", "12.25", "0"} << 2 << QString()
        << QList<double>{1.5, -2, 100, -0.5, 12.25, 0};
    QTest::newRow("no number") << QStringList{"1", "two", "1", "0", "0", "0"} << 7
                               << "Y factor is a number from -1000000 to 1000000, not \"two\"."
                               << QList<double>{};
    QTest::newRow("too far a shift")
        << QStringList{"1", "1", "1", "0", "-2e9", "0"} << 7
        << "Y shift is feet from -1000000000 to 1000000000, not \"-2e9\"." << QList<double>{};
    QTest::newRow("no line") << QStringList{"2", "2", "2", "0", "0", "0"} << 0
                             << "No line is chosen." << QList<double>{};
}

void FormationScalingTest::readsTheBoxes()
{
    QFETCH(QStringList, boxes);
    QFETCH(int, lines);
    QFETCH(QString, problem);
    QFETCH(QList<double>, move);
    QString told = QStringLiteral("(unset)");
    const std::array<bool, 3> chosen{(lines & 1) != 0, (lines & 2) != 0, (lines & 4) != 0};
    const std::optional<ScaleMove> read = readScaleMove(
        {boxes[0], boxes[1], boxes[2]}, {boxes[3], boxes[4], boxes[5]}, chosen, &told);
    QCOMPARE(told, problem);
    QCOMPARE(read.has_value(), problem.isEmpty());
    if (!read)
        return;
    for (int axis = 0; axis < 3; ++axis) {
        QCOMPARE(read->factor[axis], move[axis]);
        QCOMPARE(read->shiftFeet[axis], move[3 + axis]);
    }
    QCOMPARE(read->lines, chosen);
}

QTEST_APPLESS_MAIN(FormationScalingTest)
#include "tst_formation_scaling.moc"
