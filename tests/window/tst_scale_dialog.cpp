// "Scale and move formation N" in the window: drawn dashed while open,
// written as one step of the history on "Apply", nothing on Cancel.
#include "picture_window.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <QtEndian>
#include <functional>

namespace
{

// Formation 4's lines at X 100 ft, Y -50 ft, Z 10 ft times the line's number.
QByteArray table()
{
    QByteArray bytes(1488, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7) % 89);
    for (int line = 0; line < 3; ++line) {
        char *at = bytes.data() + (12 + line) * 16;
        at[1] = char(0x12); // a type the panel shows
        qToLittleEndian<qint32>(2100 * (line + 1), at + 4);
        qToLittleEndian<qint32>(-1050 * (line + 1), at + 8);
        qToLittleEndian<qint32>(210 * (line + 1), at + 12);
    }
    return bytes;
}

// `bytes` with formation 4's line `line` (1..3) at those stored offsets.
QByteArray withOffsets(QByteArray bytes, int line, qint32 x, qint32 y, qint32 z)
{
    char *at = bytes.data() + (12 + line - 1) * 16;
    qToLittleEndian<qint32>(x, at + 4);
    qToLittleEndian<qint32>(y, at + 8);
    qToLittleEndian<qint32>(z, at + 12);
    return bytes;
}

void start(WindowFixture &f)
{
    QVERIFY(f.showActive());
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table()));
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("Option2(0)"));
}

// Runs `act` on the dialog once it shows while the window waits on it,
// then cancels it if `act` left it open.
// The dialog opened from the menu of `widget`.
int whileOpen(WindowFixture &f, const char *widget, const std::function<void(QDialog *)> &act)
{
    int opened = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("ScaleDialog"))
            return;
        watch.stop();
        ++opened;
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    watch.start(5);
    openMenu(f.control(QLatin1String(widget)), QStringLiteral("mouse"),
             QStringLiteral("Scale and move formation 4..."));
    return opened;
}

QLineEdit *box(QDialog *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(QLatin1String(name));
}

} // namespace

class ScaleDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void appliesAsOneStepAndShowsItFirst();
    void cancelAndUnwrittenEditsChangeNothing();
    void saysWhereItHeldAnOffset();
};

void ScaleDialogTest::appliesAsOneStepAndShowsItFirst()
{
    WindowFixture f;
    start(f);
    auto *history = f.window->findChild<QUndoStack *>();
    const int steps = history->count();
    const int opened = whileOpen(f, "Option2(4)", [&](QDialog *dialog) {
        PictureWindow *picture = f.window->pictureWindow();
        QVERIFY(picture && picture->isVisible());
        box(dialog, "XFactor")->setText(QStringLiteral("1.5"));
        box(dialog, "YShift")->setText(QStringLiteral("-0.5"));
        dialog->findChild<QCheckBox *>(QStringLiteral("ScaleLine3"))->setChecked(false);
        // Drawn dashed: X 150 ft, Y -50.5 ft (-1060.5 stored: to even, -1060).
        const PictureContent &shown = picture->content();
        QCOMPARE(shown.lines[0].line.xOffset, 3150);
        QCOMPARE(shown.lines[0].line.yOffset, -1060);
        QVERIFY(!shown.lines[0].written && !shown.lines[1].written);
        QCOMPARE(shown.lines[2].line.xOffset, 6300);
        QVERIFY(shown.lines[2].written);

        // A box without a number: no Apply, the table drawn.
        box(dialog, "ZFactor")->setText(QStringLiteral("big"));
        auto *apply = dialog->findChild<QPushButton *>(QStringLiteral("Apply"));
        QVERIFY(!apply->isEnabled());
        QCOMPARE(picture->content().lines[0].line.xOffset, 2100);
        box(dialog, "ZFactor")->setText(QStringLiteral("1"));
        apply->click();
    });
    QCOMPARE(opened, 1);
    QByteArray after = withOffsets(table(), 1, 3150, -1060, 210);
    after = withOffsets(after, 2, 6300, -2110, 420);
    QCOMPARE(f.window->GF1().toBytes(), after);
    QCOMPARE(history->count(), steps + 1);
    QVERIFY(f.window->pictureWindow()->content().lines[0].written);
    QVERIFY(f.prompter.told.isEmpty());
    history->undo();
    QCOMPARE(f.window->GF1().toBytes(), table());
}

void ScaleDialogTest::cancelAndUnwrittenEditsChangeNothing()
{
    WindowFixture f;
    start(f);
    f.click(QStringLiteral("Option2(4)"));
    auto *history = f.window->findChild<QUndoStack *>();
    const int steps = history->count();
    QCOMPARE(whileOpen(f, "Frame1",
                       [](QDialog *dialog) {
                           box(dialog, "XFactor")->setText(QStringLiteral("3"));
                           dialog->findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
                       }),
             1);
    QCOMPARE(f.window->GF1().toBytes(), table());
    QCOMPARE(history->count(), steps);
    QVERIFY(f.window->pictureWindow()->content().lines[0].written);

    // An unwritten edit is asked about first; staying opens nothing.
    f.box(1)->setText(QStringLiteral("7"));
    f.prompter.writeAnswer = Prompter::Choice::Cancel;
    QCOMPARE(whileOpen(f, "Frame1", [](QDialog *) {}), 0);
    QCOMPARE(f.prompter.asked.size(), 1);
    QCOMPARE(f.box(1)->text(), QStringLiteral("7"));
    QCOMPARE(f.window->GF1().toBytes(), table());
}

void ScaleDialogTest::saysWhereItHeldAnOffset()
{
    WindowFixture f;
    start(f);
    whileOpen(f, "Option2(4)", [](QDialog *dialog) {
        box(dialog, "YFactor")->setText(QStringLiteral("1000000"));
        dialog->findChild<QCheckBox *>(QStringLiteral("ScaleLine1"))->setChecked(false);
        dialog->findChild<QPushButton *>(QStringLiteral("Apply"))->click();
    });
    // Line 2's -2100 x a million fits; line 3's -3150 x a million is below
    // the least offset. Line 1 was not chosen.
    QByteArray after = withOffsets(table(), 2, 4200, -2'100'000'000, 420);
    after = withOffsets(after, 3, 6300, -2147483647 - 1, 630);
    QCOMPARE(f.window->GF1().toBytes(), after);
    QCOMPARE(f.prompter.told,
             QStringList{QStringLiteral(
                 "Formation 4 was scaled and moved, but line 3 Y would have gone beyond what the "
                 "record holds (about 102 million feet either way) and was held at its end.")});
}

QTEST_MAIN(ScaleDialogTest)
#include "tst_scale_dialog.moc"
