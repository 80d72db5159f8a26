#include "formation_line.h"
#include "table_diff.h"

#include <QJsonDocument>
#include <QTest>

namespace
{

// A table whose line (formation, line) is `changed` from the all-zero line.
QByteArray tableWith(int formation, int line, const FormationLine &changed)
{
    QByteArray table(1488, '\0');
    table.replace(formation * 48 + (line - 1) * 16, 16, changed.toBytes());
    return table;
}

} // namespace

class TableDiffTest : public QObject
{
    Q_OBJECT
private slots:
    void differences_data();
    void differences();
    void asJson_data();
    void asJson();
};

void TableDiffTest::differences_data()
{
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("text");
    const QByteArray zero(1488, '\0');
    QTest::newRow("same") << zero << QString();
    QTest::newRow("type with a caption to one without, modifiers")
        << tableWith(0, 2, FormationLine{0, 0x59, 0, 0, 0, 0, 0})
        << "formation 0 (Vic)\n  line 2\n    type: Line Astern -> type index 9\n"
           "    modifiers: none -> One lead, Step\n";
    QTest::newRow("count, offsets in feet, carried bytes, the last line of the table")
        << tableWith(30, 3, FormationLine{7, 0, 4, 255, 2100, -1, -2147483647 - 1})
        << "formation 30\n  line 3\n    count: 0 -> 4\n    xFeet: 0 -> 100\n"
           "    yFeet: 0 -> -4.76190476190476E-02\n    zFeet: 0 -> -102261126.095238\n"
           "    byte0: 0 -> 7\n    byte3: 0 -> 255\n";
    QByteArray two = tableWith(1, 1, FormationLine{0, 7, 0, 0, 0, 0, 0});
    two[2 * 48 + 16 + 2] = 1; // formation 2, line 2, count
    QTest::newRow("two formations in order")
        << two
        << "formation 1 (Box, \"tight\")\n  line 1\n    type: Line Astern -> Bomber stream\n"
           "formation 2\n  line 2\n    count: 0 -> 1\n";
}

void TableDiffTest::differences()
{
    QFETCH(QByteArray, after);
    QFETCH(QString, text);
    const QStringList names{QStringLiteral("Vic"), QStringLiteral("Box, \"tight\"")};
    const QList<FormationChanges> changes = diffTables(QByteArray(1488, '\0'), after);
    QCOMPARE(changes.isEmpty(), text.isEmpty());
    QCOMPARE(diffText(changes, names), text);
}

void TableDiffTest::asJson_data()
{
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("json");
    const QByteArray zero(1488, '\0');
    QTest::newRow("same") << zero << QByteArray(R"({"formations": []})");
    QTest::newRow("type with a caption to one without, modifiers")
        << tableWith(0, 2, FormationLine{0, 0x59, 0, 0, 0, 0, 0})
        << QByteArray(R"({"formations": [{"formation": 0, "formationName": "Vic", "lines": [
               {"line": 2, "fields": {
                   "type": {"a": {"typeIndex": 0, "type": "Line Astern"}, "b": {"typeIndex": 9}},
                   "modifiers": {"a": [], "b": ["One lead", "Step"]}}}]}]})");
    QTest::newRow("count, offsets in feet and stored, carried bytes, the table's last line")
        << tableWith(30, 3, FormationLine{7, 0, 4, 255, 2100, -1, -2147483647 - 1})
        << QByteArray(R"({"formations": [{"formation": 30, "formationName": "", "lines": [
               {"line": 3, "fields": {
                   "count": {"a": 0, "b": 4},
                   "x": {"a": {"feet": 0, "stored": 0}, "b": {"feet": 100, "stored": 2100}},
                   "y": {"a": {"feet": 0, "stored": 0},
                         "b": {"feet": -0.047619047619047616, "stored": -1}},
                   "z": {"a": {"feet": 0, "stored": 0},
                         "b": {"feet": -102261126.09523809, "stored": -2147483648}},
                   "byte0": {"a": 0, "b": 7},
                   "byte3": {"a": 0, "b": 255}}}]}]})");
    QByteArray two = tableWith(1, 1, FormationLine{0, 7, 0, 0, 0, 0, 0});
    two[2 * 48 + 16 + 2] = 1; // formation 2, line 2, count
    QTest::newRow("two formations in order, the name as it is")
        << two << QByteArray(R"({"formations": [
               {"formation": 1, "formationName": "Box, \"tight\"", "lines": [{"line": 1, "fields": {
                   "type": {"a": {"typeIndex": 0, "type": "Line Astern"},
                            "b": {"typeIndex": 7, "type": "Bomber stream"}}}}]},
               {"formation": 2, "formationName": "", "lines": [{"line": 2, "fields": {
                   "count": {"a": 0, "b": 1}}}]}]})");
}

void TableDiffTest::asJson()
{
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, json);
    const QStringList names{QStringLiteral("Vic"), QStringLiteral("Box, \"tight\"")};
    const QJsonDocument expected = QJsonDocument::fromJson(json);
    QVERIFY(expected.isObject());
    QJsonParseError error;
    const QJsonDocument got =
        QJsonDocument::fromJson(diffJson(QByteArray(1488, '\0'), after, names), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TableDiffTest)
#include "tst_table_diff.moc"
