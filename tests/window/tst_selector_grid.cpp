// The formation selectors on their own: where they stand, which one is on,
// and how a changed formation is marked.
#include "selector_grid.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class SelectorGridTest : public QObject
{
    Q_OBJECT
private slots:
    void tabOrderAndPlaces();
    void turnedOnByAClick_data();
    void turnedOnByAClick();
    void turnOnOneOrNone();
    void marksAChange_data();
    void marksAChange();
};

namespace
{
struct Grid {
    QGroupBox frame;
    QList<std::pair<int, int>> stops;
    SelectorGrid grid{&frame, [this](int t, int s, QWidget *) { stops.append({t, s}); }};
    Grid()
    {
        frame.resize(900, 400);
        grid.addRest([this](int t, int s, QWidget *) { stops.append({t, s}); });
    }
};
} // namespace

void SelectorGridTest::tabOrderAndPlaces()
{
    Grid g;
    QCOMPARE(g.grid.buttons().size(), 31);
    QCOMPARE(g.stops.size(), 31);
    for (int n = 0; n < 31; ++n) {
        QCOMPARE(g.stops[n], std::make_pair(22, n));
        QRadioButton *button = g.grid.buttons()[n];
        QCOMPARE(button->objectName(), QStringLiteral("Option2(%1)").arg(n));
        QCOMPARE(button->parentWidget(), &g.frame);
        QCOMPARE(g.grid.formationOf(button), n);
        QVERIFY(!button->isChecked());
    }
    QCOMPARE(g.grid.formationOf(&g.frame), -1);
    QCOMPARE(g.grid.formationOf(nullptr), -1);
}

void SelectorGridTest::turnedOnByAClick_data()
{
    QTest::addColumn<int>("formation");
    QTest::newRow("the first") << 0;
    QTest::newRow("one of the rest") << 17;
}

void SelectorGridTest::turnedOnByAClick()
{
    QFETCH(int, formation);
    Grid g;
    QSignalSpy turnedOn(&g.grid, &SelectorGrid::turnedOn);
    QSignalSpy clicked(&g.grid, &SelectorGrid::clicked);
    g.grid.buttons()[formation]->click();
    QCOMPARE(turnedOn.count(), 1);
    QCOMPARE(turnedOn.at(0).at(0).toInt(), formation);
    // A click on the one that is on turns nothing on, but is a click.
    g.grid.buttons()[formation]->click();
    QCOMPARE(turnedOn.count(), 1);
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(clicked.at(1).at(0).toInt(), formation);
    // Another one turned on is told, not the one that goes off.
    g.grid.buttons()[formation + 1]->click();
    QCOMPARE(turnedOn.count(), 2);
    QCOMPARE(turnedOn.at(1).at(0).toInt(), formation + 1);
}

void SelectorGridTest::turnOnOneOrNone()
{
    Grid g;
    g.grid.turnOn(4);
    g.grid.turnOn(30);
    for (int n = 0; n < 31; ++n)
        QCOMPARE(g.grid.buttons()[n]->isChecked(), n == 30);
    g.grid.turnOn(-1);
    for (const QRadioButton *button : g.grid.buttons())
        QVERIFY(!button->isChecked());
}

void SelectorGridTest::marksAChange_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("description");
    QTest::newRow("changed") << true << "Changed since saved"
                             << "Vic, changed since saved";
    QTest::newRow("as it was") << false << ""
                               << "Vic";
}

void SelectorGridTest::marksAChange()
{
    QFETCH(bool, changed);
    QFETCH(QString, toolTip);
    QFETCH(QString, description);
    Grid g;
    QRadioButton *button = g.grid.buttons()[12];
    const QRect place = button->geometry();
    g.grid.markChanged(12, true, QStringLiteral("loaded"), QStringLiteral("Old"));
    g.grid.markChanged(12, changed, QStringLiteral("saved"), QStringLiteral("Vic"));
    QCOMPARE(button->font().bold(), changed);
    QCOMPARE(button->toolTip(), toolTip);
    QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Description),
             description);
    QCOMPARE(button->geometry(), place);
    QCOMPARE(button->text(), QStringLiteral(" 12"));
    QVERIFY(!g.grid.buttons()[11]->font().bold());
}

QTEST_MAIN(SelectorGridTest)
#include "tst_selector_grid.moc"
