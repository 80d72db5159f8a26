// The panel's three lines on their own, in a frame of their own: what a
// line shows it reads back unchanged, and the "Type" box and the type
// buttons and modifier boxes follow each other.
#include "line_panel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

class LinePanelTest : public QObject
{
    Q_OBJECT
private slots:
    void readsBackWhatItShows_data();
    void readsBackWhatItShows();
    void typedCodeSetsTheButtons_data();
    void typedCodeSetsTheButtons();
    void chosenTypeWritesTheCode();
    void escapePutsBackTheShownText();
};

namespace
{
struct Panel {
    QGroupBox frame;
    LinePanel panel{&frame, [](int, int, QWidget *) {}};
    Panel()
    {
        panel.addCalculators([](int, int, QWidget *) {});
        panel.keepInStep();
    }
    int typeButtonOn(int line) const
    {
        const QList<QRadioButton *> &types = panel.typeButtons()[line - 1];
        return int(types.indexOf(static_cast<QRadioButton *>(types[0]->group()->checkedButton())));
    }
    QString modifiersTicked(int line) const
    {
        QString ticked;
        for (const QCheckBox *box : panel.modifierBoxes()[line - 1])
            ticked += box->isChecked() ? u'x' : u'-';
        return ticked;
    }
};
} // namespace

void LinePanelTest::readsBackWhatItShows_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("xOffset");
    QTest::addColumn<int>("zOffset");
    QTest::newRow("line astern, nothing else") << 1 << 0x00 << 0 << 0 << 0;
    QTest::newRow("bomber stream, all modifiers") << 2 << 0xF7 << 255 << -21 << 2'100'021;
    QTest::newRow("a type without a button") << 3 << 0x5A << 12 << 1 << -2'147'483'647;
    QTest::newRow("step alone") << 2 << 0x43 << 4 << 2'147'483'647 << 10;
}

void LinePanelTest::readsBackWhatItShows()
{
    QFETCH(int, line);
    QFETCH(int, typeCode);
    QFETCH(int, count);
    QFETCH(int, xOffset);
    QFETCH(int, zOffset);
    FormationLine stored;
    stored.byte0 = 0x99;
    stored.typeCode = quint8(typeCode);
    stored.count = quint8(count);
    stored.byte3 = 0x42;
    stored.xOffset = xOffset;
    stored.yOffset = -xOffset / 3;
    stored.zOffset = zOffset;
    Panel p;
    p.panel.showLine(line, stored);

    QCOMPARE(p.panel.lineBox(line, LineEncoding::Type)->text(), QString::number(typeCode));
    const int typeIndex = typeCode & 0x0F;
    QCOMPARE(p.typeButtonOn(line), typeIndex < FormationLine::TypeCount ? typeIndex : -1);
    QString modifiers;
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        modifiers += (typeCode >> (4 + k)) & 1 ? u'x' : u'-';
    QCOMPARE(p.modifiersTicked(line), modifiers);
    // A type without a button says so in red.
    const QLineEdit *typeBox = p.panel.lineBox(line, LineEncoding::Type);
    QCOMPARE(typeBox->palette().color(QPalette::Text) == QColor(Qt::red),
             typeIndex >= FormationLine::TypeCount);
    QCOMPARE(typeBox->toolTip().contains(QStringLiteral("has no button")),
             typeIndex >= FormationLine::TypeCount);

    const LineEncoding read = encodeEditedLine(p.panel.editedLine(line), stored, line);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.line, stored);
}

void LinePanelTest::typedCodeSetsTheButtons_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("buttonOn");
    QTest::addColumn<QString>("modifiers");
    QTest::newRow("35") << "35" << 3 << "-x--";
    QTest::newRow("with blanks and an exponent") << " 1.3E2 " << 2 << "---x";
    QTest::newRow("a type without a button") << "9" << -1 << "----";
    QTest::newRow("no code leaves them") << "256" << 6 << "x-x-";
}

void LinePanelTest::typedCodeSetsTheButtons()
{
    QFETCH(QString, typed);
    QFETCH(int, buttonOn);
    QFETCH(QString, modifiers);
    Panel p;
    FormationLine shown;
    shown.typeCode = 0x56; // Diamond, One lead and Step
    p.panel.showLine(2, shown);
    p.panel.lineBox(2, LineEncoding::Type)->setText(typed);
    QCOMPARE(p.typeButtonOn(2), buttonOn);
    QCOMPARE(p.modifiersTicked(2), modifiers);
    // The other lines stay as they were.
    QCOMPARE(p.typeButtonOn(1), -1);
}

void LinePanelTest::chosenTypeWritesTheCode()
{
    Panel p;
    FormationLine shown;
    shown.typeCode = 0x1C; // index 12, without a button, and One lead
    p.panel.showLine(3, shown);
    QCOMPARE(p.panel.editedLine(3).typeIndex, 12);
    p.panel.typeButtons()[2][5]->click(); // Inverted V replaces it
    QCOMPARE(p.panel.lineBox(3, LineEncoding::Type)->text(), QStringLiteral("21"));
    QCOMPARE(p.panel.editedLine(3).typeIndex, 5);
    p.panel.modifierBoxes()[2][3]->click(); // Alternate
    QCOMPARE(p.panel.lineBox(3, LineEncoding::Type)->text(), QString::number(0x95));
    QVERIFY(p.panel.lineBox(3, LineEncoding::Type)->toolTip().isEmpty());
}

void LinePanelTest::escapePutsBackTheShownText()
{
    Panel p;
    FormationLine shown;
    shown.count = 7;
    p.panel.showLine(1, shown);
    QLineEdit *count = p.panel.lineBox(1, LineEncoding::Count);
    count->setText(QStringLiteral("12"));
    p.panel.putBackShownText(count);
    QCOMPARE(count->text(), QStringLiteral("7"));
    count->undo(); // put back as typed: the typed text comes back
    QCOMPARE(count->text(), QStringLiteral("12"));
}

QTEST_MAIN(LinePanelTest)
#include "tst_line_panel.moc"
