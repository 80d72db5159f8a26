// Choosing a formation by the first letters of its name.
#include "type_ahead.h"

#include <QTest>

class TypeAheadTest : public QObject
{
    Q_OBJECT
private slots:
    void chooses_data();
    void chooses();
};

void TypeAheadTest::chooses_data()
{
    // Letters typed one after another, each with the time it is typed at;
    // the formation each one chooses, starting from `current`.
    QTest::addColumn<QStringList>("letters");
    QTest::addColumn<QList<int>>("at");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("chosen");
    QTest::newRow("a capital finds a small letter")
        << QStringList{"B"} << QList<int>{0} << 2 << QList<int>{3};
    QTest::newRow("more letters go on to the name they fit")
        << QStringList{"v", "e"} << QList<int>{0, 100} << -1 << QList<int>{1, 4};
    QTest::newRow("one letter again goes on, and round to the start")
        << QStringList{"v", "v", "v"} << QList<int>{0, 100, 200} << -1 << QList<int>{1, 4, 1};
    QTest::newRow("one letter goes on from the chosen formation")
        << QStringList{"v"} << QList<int>{0} << 2 << QList<int>{4};
    QTest::newRow("a pause starts a new prefix")
        << QStringList{"v", "b"} << QList<int>{0, 1000} << -1 << QList<int>{1, 2};
    QTest::newRow("no pause: vb fits nothing")
        << QStringList{"v", "b"} << QList<int>{0, 100} << -1 << QList<int>{1, -1};
    QTest::newRow("blanks and digits are letters too")
        << QStringList{"2", " ", "s"} << QList<int>{0, 10, 20} << -1 << QList<int>{5, 5, 5};
}

void TypeAheadTest::chooses()
{
    QFETCH(QStringList, letters);
    QFETCH(QList<int>, at);
    QFETCH(int, current);
    QFETCH(QList<int>, chosen);
    const QStringList names{"Arrow", "Vic", "Box", "bomber stream", "Vee", "2 ship", "Diamond"};
    TypeAhead typeAhead;
    typeAhead.setInterval(400);
    for (int k = 0; k < letters.size(); ++k) {
        QCOMPARE(typeAhead.typing(at[k]), k > 0 && at[k] - at[k - 1] <= 400);
        const int found = typeAhead.type(letters[k], at[k], current, names);
        QCOMPARE(found, chosen[k]);
        if (found >= 0)
            current = found;
    }
}

QTEST_GUILESS_MAIN(TypeAheadTest)
#include "tst_type_ahead.moc"
