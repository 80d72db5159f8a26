#include "formation_line.h"
#include "table_merge.h"

#include <QTest>

namespace
{

constexpr int LineAt = 30 * 48 + 2 * 16; // formation 30, line 3: the table's last line

// The sample line's fields, in the order of LineField.
constexpr qint64 SampleValues[] = {9, 0x23, 4, 200, 2100, -420, 63};

// The sample line, with `field` set to `value`.
FormationLine withField(LineField field, qint64 value)
{
    FormationLine line{9, 0x23, 4, 200, 2100, -420, 63};
    switch (field) {
    case LineField::Byte0:
        line.byte0 = quint8(value);
        break;
    case LineField::TypeCode:
        line.typeCode = quint8(value);
        break;
    case LineField::Count:
        line.count = quint8(value);
        break;
    case LineField::Byte3:
        line.byte3 = quint8(value);
        break;
    case LineField::X:
        line.xOffset = qint32(value);
        break;
    case LineField::Y:
        line.yOffset = qint32(value);
        break;
    case LineField::Z:
        line.zOffset = qint32(value);
        break;
    }
    return line;
}

// A table of distinct bytes whose last line has `field` set to `value`.
QByteArray tableWith(LineField field, qint64 value)
{
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = char(i * 7 + 1);
    table.replace(LineAt, 16, withField(field, value).toBytes());
    return table;
}

// Two values of the field that differ from the sample's and from each other.
std::pair<qint64, qint64> otherValues(LineField field)
{
    switch (field) {
    case LineField::X:
    case LineField::Y:
    case LineField::Z:
        return {-2147483647 - 1, 2147483647};
    default:
        return {0, 255};
    }
}

} // namespace

Q_DECLARE_METATYPE(LineField)
Q_DECLARE_METATYPE(MergeTake)

class TableMergeTest : public QObject
{
    Q_OBJECT
private slots:
    void fieldByField_data();
    void fieldByField();
    void differentFieldsOfOneLine();
    void conflictsInWords();
};

// Every field, through every way the two sides can stand to the base.
void TableMergeTest::fieldByField_data()
{
    QTest::addColumn<LineField>("field");
    QTest::addColumn<int>("ours");   // 0: the base's value, 1 or 2: another
    QTest::addColumn<int>("theirs"); // likewise
    QTest::addColumn<MergeTake>("take");
    QTest::addColumn<int>("merged"); // the value taken, as above; -1: a conflict left
    QTest::addColumn<bool>("conflict");
    const struct {
        const char *what;
        int ours, theirs;
        MergeTake take;
        int merged;
        bool conflict;
    } cases[] = {
        {"unchanged on both sides", 0, 0, MergeTake::Neither, 0, false},
        {"changed by ours", 1, 0, MergeTake::Neither, 1, false},
        {"changed by theirs", 0, 2, MergeTake::Neither, 2, false},
        {"changed alike on both", 1, 1, MergeTake::Neither, 1, false},
        {"changed apart: a conflict", 1, 2, MergeTake::Neither, -1, true},
        {"changed apart, ours taken", 1, 2, MergeTake::Ours, 1, true},
        {"changed apart, theirs taken", 1, 2, MergeTake::Theirs, 2, true},
        {"changed by theirs, ours taken", 0, 2, MergeTake::Ours, 2, false},
        {"changed by ours, theirs taken", 1, 0, MergeTake::Theirs, 1, false},
    };
    for (int k = 0; k < LineFieldCount; ++k) {
        const auto field = static_cast<LineField>(k);
        for (const auto &c : cases)
            QTest::addRow("%s, %s", lineFieldName(field), c.what)
                << field << c.ours << c.theirs << c.take << c.merged << c.conflict;
    }
}

void TableMergeTest::fieldByField()
{
    QFETCH(LineField, field);
    QFETCH(int, ours);
    QFETCH(int, theirs);
    QFETCH(MergeTake, take);
    QFETCH(int, merged);
    QFETCH(bool, conflict);
    const QByteArray base = tableWith(LineField::Count, SampleValues[2]); // the sample line
    const auto [one, two] = otherValues(field);
    const auto value = [&](int which) -> QByteArray {
        return which == 0 ? base : tableWith(field, which == 1 ? one : two);
    };
    const TableMerge result = mergeTables(base, value(ours), value(theirs), take);
    // Every byte but the field's stays as all three have it.
    const QByteArray expected = merged < 0 ? value(ours) : value(merged);
    QCOMPARE(result.table.toHex(' '), expected.toHex(' '));
    QCOMPARE(result.conflicts.size(), conflict ? 1 : 0);
    QCOMPARE(result.settled, !conflict || take != MergeTake::Neither);
    if (conflict) {
        const MergeConflict &c = result.conflicts.first();
        QCOMPARE(c.formation, 30);
        QCOMPARE(c.line, 3);
        QCOMPARE(c.field, field);
        QCOMPARE(c.ours, one);
        QCOMPARE(c.theirs, two);
        QCOMPARE(c.base, SampleValues[int(field)]);
    }
}

// Each side changes another field of the same line, and other lines:
// the merge holds all of them, and no conflict.
void TableMergeTest::differentFieldsOfOneLine()
{
    QByteArray base(1488, '\0');
    QByteArray ours = base, theirs = base, expected = base;
    const FormationLine o{0, 0x15, 0, 0, -21, 0, 0};
    const FormationLine t{0, 0, 3, 0, 0, 0, 42};
    const FormationLine both{0, 0x15, 3, 0, -21, 0, 42};
    ours.replace(5 * 48 + 16, 16, o.toBytes());
    theirs.replace(5 * 48 + 16, 16, t.toBytes());
    expected.replace(5 * 48 + 16, 16, both.toBytes());
    ours[0] = 1; // formation 0, line 1, byte0: ours alone
    expected[0] = 1;
    theirs[1487] = char(0x80); // formation 30's last byte: theirs alone
    expected[1487] = char(0x80);
    const TableMerge result = mergeTables(base, ours, theirs);
    QCOMPARE(result.table.toHex(' '), expected.toHex(' '));
    QVERIFY(result.conflicts.isEmpty());
    QVERIFY(result.settled);
}

// A type code's conflict says the type and modifiers each side means.
void TableMergeTest::conflictsInWords()
{
    const QList<MergeConflict> conflicts{{30, 3, LineField::TypeCode, 0x23, 0x13, 0x04},
                                         {0, 1, LineField::Byte3, 7, 8, 9}};
    QCOMPARE(conflictText(conflicts, {QStringLiteral("Zero")}),
             QStringLiteral("formation 30, line 3, typeCode: BASE 35 (Line echelon right; "
                            "modifiers: Staggered), OURS 19 (Line echelon right; modifiers: One "
                            "lead), THEIRS 4 (Line echelon left; modifiers: none)\n"
                            "formation 0 (Zero), line 1, byte3: BASE 7, OURS 8, THEIRS 9\n"));
}

QTEST_APPLESS_MAIN(TableMergeTest)
#include "tst_table_merge.moc"
