// The picture window beside the main one: it follows the panel, and a
// marker moved there is a typed edit of the panel, written and undone as one.
#include "../files/unix_files.h"
#include "line_captions.h"
#include "message_text.h"
#include "number_text.h"
#include "picture_export.h"
#include "picture_window.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>

class PictureWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void followsThePanel();
    void dragMovesTwoOffsets_data();
    void dragMovesTwoOffsets();
    void arrowKeysMoveTheFocusedMarker_data();
    void arrowKeysMoveTheFocusedMarker();
    void savesAndRefuses();
    void menuItemsActOnce_data();
    void menuItemsActOnce();
    void shiftF10OpensTheMenu_data();
    void shiftF10OpensTheMenu();
    void keptScaleHoldsUntilTurnedOff();
    void dragKeepsTheMarkerUnderThePointer();
    void ghostsWhereTheTableDiffers();
    void historyKeysActHere();
    void placedBeside_data();
    void placedBeside();
};

Q_DECLARE_METATYPE(Pick)

static QByteArray sampleTable()
{
    QByteArray table(1488, '\0');
    for (int f = 0; f < 31; ++f)
        for (int l = 0; l < 3; ++l) {
            FormationLine line;
            line.typeCode = quint8(0x20 + l);
            line.count = quint8(2 + l + f % 5);
            line.xOffset = 21 * (100 * l - 50 + f);
            line.yOffset = 21 * (40 * l);
            line.zOffset = -21 * (30 * l) + f;
            table.replace(f * 48 + l * 16, 16, line.toBytes());
        }
    return table;
}

// A shown window with the sample loaded, `formation` chosen and its picture open.
static PictureWindow *open(WindowFixture &f, int formation, const QByteArray &table = sampleTable())
{
    f.window->show();
    if (!QTest::qWaitForWindowExposed(f.window.get()))
        return nullptr;
    f.window->loadFile(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Option2(%1)").arg(formation));
    QTest::keyClick(f.window.get(), Qt::Key_P, Qt::ControlModifier);
    PictureWindow *picture = f.window->pictureWindow();
    if (!picture || !QTest::qWaitForWindowExposed(picture))
        return nullptr;
    return picture;
}

static FormationLine storedLine(const WindowFixture &f, int formation, int line)
{
    return FormationLine::fromBytes(f.window->GF1().formationBytes(formation).mid(16 * line, 16));
}

void PictureWindowTest::followsThePanel()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 7);
    QVERIFY(picture);
    QCOMPARE(picture->windowTitle(), QStringLiteral("Formation 7: Formation 7"));
    QCOMPARE(picture->content().lines[1].line, storedLine(f, 7, 1));

    // Typing: drawn at once, as it would be stored, and not written.
    f.box(7)->setText(QStringLiteral("12.5"));
    QCOMPARE(picture->content().lines[1].line.xOffset, 262); // 12.5 x 21, half to even
    QVERIFY(!picture->content().lines[1].written);
    QVERIFY(picture->content().lines[0].written);
    // A box that holds no number: the stored value, not written.
    f.box(3)->setText(QStringLiteral("abc"));
    QCOMPARE(picture->content().lines[0].line, storedLine(f, 7, 0));
    QVERIFY(!picture->content().lines[0].written);

    // Edit this one writes; undo takes it back; another formation; a load.
    f.box(3)->setText(QStringLiteral("0"));
    f.click(QStringLiteral("Command2"));
    QCOMPARE(picture->content().lines[1].line.xOffset, 262);
    QVERIFY(picture->content().lines[1].written);
    f.window->undo();
    QCOMPARE(picture->content().lines[1].line, storedLine(f, 7, 1));
    QVERIFY(picture->content().lines[1].line.xOffset != 262);
    f.click(QStringLiteral("Option2(30)"));
    QCOMPARE(picture->windowTitle(), QStringLiteral("Formation 30: Formation 30"));
    QByteArray other = sampleTable();
    other[30 * 48 + 2] = 9;
    f.window->loadFile(f.writeFile(QStringLiteral("other.dat"), other));
    QCOMPARE(picture->content().lines[0].line.count, quint8(9));

    // Closing changes nothing.
    const QByteArray before = f.window->GF1().toBytes();
    picture->close();
    QTRY_VERIFY(!f.window->pictureWindow());
    QCOMPARE(f.window->GF1().toBytes(), before);
    QCOMPARE(f.box(1)->text(), QStringLiteral("9"));
}

void PictureWindowTest::dragMovesTwoOffsets_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<bool>("exact");
    QTest::newRow("X-Z, right and up") << 0 << QPoint(40, -30) << false;
    QTest::newRow("X-Y, left and down, exact") << 1 << QPoint(-25, 35) << true;
    QTest::newRow("Z-Y, across only") << 2 << QPoint(50, 0) << false;
}

void PictureWindowTest::dragMovesTwoOffsets()
{
    QFETCH(int, view);
    QFETCH(QPoint, by);
    QFETCH(bool, exact);
    WindowFixture f;
    PictureWindow *picture = open(f, 4);
    QVERIFY(picture);
    const QByteArray loaded = f.window->GF1().toBytes();
    QStringList boxes;
    for (int n = 0; n < 15; ++n)
        boxes << f.box(n)->text();

    const int line = 1;
    QWidget *marker = picture->marker(view, line);
    const double scale = picture->pictureLayout().pixelsPerFoot;
    const QPoint at = marker->rect().center();
    const QPoint globalAt = marker->mapToGlobal(at); // the marker follows the drag
    const Qt::KeyboardModifiers modifiers = exact ? Qt::ControlModifier : Qt::NoModifier;
    auto send = [&](QEvent::Type type, const QPoint &local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, globalAt + (local - at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          modifiers);
        QApplication::sendEvent(marker, &event);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseMove, at + by / 2, Qt::LeftButton);
    send(QEvent::MouseMove, at + by, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + by, Qt::NoButton);

    // Exactly the two offsets of the view changed, in the boxes only.
    const ViewAxes axes = PictureViews[view];
    const FormationLine before = storedLine(f, 4, line);
    const struct {
        Axis axis;
        double pixels;
    } moved[] = {{axes.horizontal, double(by.x())}, {axes.vertical, -double(by.y())}};
    for (const auto &m : moved) {
        const int n = 5 * line + 2 + m.axis;
        const double feet = offsetFeet(before, m.axis) + m.pixels / scale;
        const auto typed = parseNumberBox(f.box(n)->text());
        QVERIFY(typed);
        if (m.pixels == 0) {
            QCOMPARE(f.box(n)->text(), boxes[n]);
        } else {
            QVERIFY2(std::abs(*typed - feet) <= (exact ? 1.0 / 21 : 0.5), qPrintable(boxes[n]));
            // Whole feet, or with the modifier a whole number of stored units.
            QCOMPARE(formatFeet(*feetToStored(*typed)), f.box(n)->text());
            if (!exact)
                QCOMPARE(*typed, std::round(*typed));
        }
        boxes[n] = f.box(n)->text();
    }
    for (int n = 0; n < 15; ++n)
        QCOMPARE(f.box(n)->text(), boxes[n]);
    QCOMPARE(f.window->GF1().toBytes(), loaded);
    QVERIFY(!picture->content().lines[line].written);

    // "Edit this one" writes them as one step, and undo takes it back.
    f.click(QStringLiteral("Command2"));
    QVERIFY(f.window->GF1().toBytes() != loaded);
    QVERIFY(picture->content().lines[line].written);
    f.window->undo();
    QCOMPARE(f.window->GF1().toBytes(), loaded);
}

void PictureWindowTest::arrowKeysMoveTheFocusedMarker_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("feet");
    QTest::newRow("line 1, X-Z, right") << 0 << int(Qt::Key_Right) << false << 2 << 1;
    QTest::newRow("line 2, X-Z, up ten") << 1 << int(Qt::Key_Up) << true << 9 << 10;
    QTest::newRow("line 1, X-Y, down") << 3 << int(Qt::Key_Down) << false << 3 << -1;
    QTest::newRow("line 3, Z-Y, left ten") << 8 << int(Qt::Key_Left) << true << 14 << -10;
}

void PictureWindowTest::arrowKeysMoveTheFocusedMarker()
{
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QFETCH(int, box);
    QFETCH(int, feet);
    WindowFixture f;
    PictureWindow *picture = open(f, 2);
    QVERIFY(picture);
    picture->marker(0, 0)->setFocus();
    for (int t = 0; t < tabs; ++t)
        QTest::keyClick(picture->focusWidget(), Qt::Key_Tab);
    QWidget *focused = picture->marker(tabs / 3, tabs % 3);
    QCOMPARE(picture->focusWidget(), focused);
    // Its name says the line, type, count and offsets.
    const FormationLine line = storedLine(f, 2, tabs % 3);
    const QString name = QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
    QVERIFY2(name.startsWith(QStringLiteral("Line %1: %2, Staggered")
                                 .arg(tabs % 3 + 1)
                                 .arg(typeCaption(line.typeIndex()))),
             qPrintable(name));
    QVERIFY2(name.contains(QStringLiteral("%1 aircraft, X %2 ft, Y %3 ft, Z %4 ft")
                               .arg(line.count)
                               .arg(formatFeet(line.xOffset), formatFeet(line.yOffset),
                                    formatFeet(line.zOffset))),
             qPrintable(name));

    const QString before = f.box(box)->text();
    QTest::keyClick(focused, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    const qint32 stored = *feetToStored(*parseNumberBox(before));
    QCOMPARE(f.box(box)->text(), formatFeet(stored + 21 * feet));
    // The box's own undo takes the move back.
    QVERIFY(f.box(box)->isUndoAvailable());
}

void PictureWindowTest::savesAndRefuses()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 9);
    QVERIFY(picture);
    // A character that turns the text around is written out where the path is quoted.
    const QString png = f.path(QStringLiteral("nine\u202e.png"));
    QVERIFY(picture->savePictureAs(png));
    QCOMPARE(QImage(png).size(), picture->size());
    QCOMPARE(picture->notice(),
             QStringLiteral("Saved as %1.")
                 .arg(QDir::toNativeSeparators(f.path(QStringLiteral("nine\\u202e.png")))));
    if (canWriteSvg()) {
        const QString svg = f.path(QStringLiteral("nine.svg"));
        QVERIFY(picture->savePictureAs(svg));
        QFile saved(svg);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.contains("<svg") && text.contains("Formation 9: Formation 9"));
    }

    // Never over the loaded table or the one last saved to, nor a name that
    // is no picture's, nor into a FIFO, which would hold the window until a
    // reader came.
    const QString table = f.path(QStringLiteral("frmation.dat"));
    const QString savedTable = f.path(QStringLiteral("table.png"));
    f.answers.push_back(savedTable);
    f.click(QStringLiteral("Command3"));
    QStringList refused{table, savedTable, f.path(QStringLiteral("nine.txt"))};
    if (unixfiles::makeFifo(f.path(QStringLiteral("fifo.png"))))
        refused << f.path(QStringLiteral("fifo.png"));
    for (const QString &target : refused)
        QVERIFY(!picture->savePictureAs(target));
    QCOMPARE(f.prompter.told.size(), refused.size());
    if (refused.size() == 4)
        QVERIFY2(f.prompter.told[3].contains(QStringLiteral("not a regular file")),
                 qPrintable(f.prompter.told[3]));
    QVERIFY(f.prompter.told[0].startsWith(QStringLiteral("The picture was not saved:")));
    for (const QString &name : {table, savedTable}) {
        QFile kept(name);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), sampleTable());
    }
    QVERIFY(!QFile::exists(f.path(QStringLiteral("nine.txt"))));
    // "Saved as" spoke of the picture as it was.
    f.click(QStringLiteral("Option2(10)"));
    QCOMPARE(picture->notice(), QString());

    picture->copyPicture();
    QCOMPARE(QApplication::clipboard()->image().size(), picture->image().size());
}

void PictureWindowTest::menuItemsActOnce_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<Pick>("picking");
    const std::pair<const char *, Pick> picks[] = {
        {"Return", Pick::Keyboard}, {"click", Pick::Mouse}, {"screen reader", Pick::Accessible}};
    for (const char *item : {"Copy picture", "Save picture...", "Close"})
        for (const auto &[how, picking] : picks)
            QTest::addRow("%s, %s", item, how) << QString::fromLatin1(item) << picking;
}

void PictureWindowTest::menuItemsActOnce()
{
    QFETCH(QString, item);
    QFETCH(Pick, picking);
    WindowFixture f;
    QPointer<PictureWindow> picture = open(f, 4);
    QVERIFY(picture);
    int asked = 0;
    const QString path = f.path(QStringLiteral("formation.png"));
    picture->setFileAsker([&] {
        ++asked;
        return path;
    });
    QSignalSpy clipboardChanges(QApplication::clipboard(), &QClipboard::dataChanged);
    // A menu opened before: its items must not stand for the next one's.
    QCOMPARE(openMenu(picture, QStringLiteral("mouse")).size(), 4);
    openMenu(picture, QStringLiteral("mouse"), item, picking);

    const bool copy = item == QLatin1String("Copy picture");
    const bool save = item == QLatin1String("Save picture...");
    // On Windows the news of a clipboard change comes later, as a message.
    QTRY_COMPARE_WITH_TIMEOUT(clipboardChanges.size(), copy ? 1 : 0, 3000);
    QCOMPARE(asked, save ? 1 : 0);
    QCOMPARE(QFile::exists(path), save);
    QCOMPARE(!picture || !picture->isVisible(), !copy && !save);
    if (picture)
        QCOMPARE(picture->notice(), copy   ? QStringLiteral("Copied to the clipboard as an image.")
                                    : save ? QStringLiteral("Saved as %1.").arg(shownPath(path))
                                           : QString());
}

void PictureWindowTest::shiftF10OpensTheMenu_data()
{
    QTest::addColumn<int>("marker"); // in the first view; -1: the window itself
    QTest::newRow("the window") << -1;
    QTest::newRow("a marker") << 1;
}

void PictureWindowTest::shiftF10OpensTheMenu()
{
    QFETCH(int, marker);
    WindowFixture f;
    QPointer<PictureWindow> picture = open(f, 4);
    QVERIFY(picture);
    QWidget *at = marker < 0 ? picture.data() : picture->marker(0, marker);
    // The window's own menu, wherever the focus is in it; the key itself is no item.
    QCOMPARE(
        openMenu(at, QStringLiteral("shift+f10")),
        QStringList({QStringLiteral("Copy picture|Ctrl+C|on"),
                     QStringLiteral("Save picture...|Ctrl+S|on"),
                     QStringLiteral("Keep this scale|Ctrl+K|on"), QStringLiteral("Close|Esc|on")}));
}

// The scale and the views' middles a layout was made at.
static bool sameFit(const PictureLayout &a, const PictureLayout &b)
{
    if (a.pixelsPerFoot != b.pixelsPerFoot)
        return false;
    for (int v = 0; v < ViewCount; ++v)
        if (a.views[v].origin != b.views[v].origin)
            return false;
    return true;
}

void PictureWindowTest::keptScaleHoldsUntilTurnedOff()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 6);
    QVERIFY(picture);
    const PictureLayout before = picture->pictureLayout();
    // Ctrl+K, from the window or a marker.
    QTest::keyClick(picture->marker(1, 0), Qt::Key_K, Qt::ControlModifier);
    QVERIFY(picture->keepsScale());
    QVERIFY(picture->keepScaleAction()->isChecked());

    // A line far out and another formation: the same scale and middles.
    f.box(2)->setText(QStringLiteral("5000"));
    QVERIFY(sameFit(picture->pictureLayout(), before));
    f.click(QStringLiteral("Command2"));
    f.click(QStringLiteral("Option2(20)"));
    QCOMPARE(picture->content().formation, 20);
    QVERIFY(sameFit(picture->pictureLayout(), before));

    // Off: fitted to the lines now shown, as without it.
    QTest::keyClick(picture, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(!picture->keepsScale());
    const PictureLayout fitted = layOutPicture(picture->content(), QSizeF(picture->size()));
    QVERIFY(sameFit(picture->pictureLayout(), fitted));
    QVERIFY(!sameFit(fitted, before));
}

void PictureWindowTest::dragKeepsTheMarkerUnderThePointer()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 4);
    QVERIFY(picture);
    // Line 3 has the largest X: dragging it right widens what must be fitted.
    const int view = 0;
    const int line = 2;
    QWidget *marker = picture->marker(view, line);
    const PictureLayout pressed = picture->pictureLayout();
    const QPointF start = pressed.views[view].markers[line];
    const QPoint at = marker->rect().center();
    const QPoint globalAt = marker->mapToGlobal(at);
    auto send = [&](QEvent::Type type, const QPoint &by, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at + by, globalAt + by,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(marker, &event);
    };
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
    for (const QPoint by : {QPoint(30, -10), QPoint(160, -40)}) {
        send(QEvent::MouseMove, by, Qt::LeftButton);
        const PictureLayout &during = picture->pictureLayout();
        QVERIFY(sameFit(during, pressed));
        // Under the pointer, to the whole foot the boxes take.
        const QPointF d = during.views[view].markers[line] - (start + QPointF(by));
        QVERIFY2(std::abs(d.x()) <= 0.5 * during.pixelsPerFoot + 1e-6 &&
                     std::abs(d.y()) <= 0.5 * during.pixelsPerFoot + 1e-6,
                 qPrintable(QStringLiteral("%1, %2").arg(d.x()).arg(d.y())));
    }
    send(QEvent::MouseButtonRelease, QPoint(160, -40), Qt::NoButton);
    // Fitted again once let go, so that the line is back in sight.
    const PictureLayout &after = picture->pictureLayout();
    QVERIFY(!sameFit(after, pressed));
    QVERIFY(sameFit(after, layOutPicture(picture->content(), QSizeF(picture->size()))));

    // With the scale kept, letting go keeps it too.
    picture->setKeepScale(true);
    const PictureLayout kept = picture->pictureLayout();
    send(QEvent::MouseButtonPress, QPoint(160, -40), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(400, -40), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(400, -40), Qt::NoButton);
    QVERIFY(sameFit(picture->pictureLayout(), kept));
}

void PictureWindowTest::ghostsWhereTheTableDiffers()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 3);
    QVERIFY(picture);
    const FormationLine loaded = storedLine(f, 3, 1);
    // Typed, and then written: a ghost where it was loaded, none elsewhere.
    f.box(8)->setText(QStringLiteral("77"));
    f.click(QStringLiteral("Command2"));
    QCOMPARE(*picture->content().lines[1].ghost, loaded);
    QVERIFY(!picture->content().lines[0].ghost && !picture->content().lines[2].ghost);
    // Saved: the saved table is what it is compared with now.
    const QString saved = f.path(QStringLiteral("saved.dat"));
    f.answers.push_back(saved);
    f.click(QStringLiteral("Command3"));
    QVERIFY(QFile::exists(saved));
    QVERIFY(!picture->content().lines[1].ghost);
    // Undone after the save: the ghost is where it was saved.
    f.window->undo();
    QCOMPARE(picture->content().lines[1].line, loaded);
    QCOMPARE(picture->content().lines[1].ghost.value_or(loaded).yOffset, 77 * 21);
}

void PictureWindowTest::historyKeysActHere()
{
    WindowFixture f;
    PictureWindow *picture = open(f, 5);
    QVERIFY(picture);
    const QByteArray loaded = f.window->GF1().toBytes();
    f.box(4)->setText(QStringLiteral("-33"));
    f.click(QStringLiteral("Command2"));
    const QByteArray written = f.window->GF1().toBytes();
    QVERIFY(written != loaded);

    picture->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(picture));
    picture->marker(2, 1)->setFocus();
    QTest::keySequence(picture->marker(2, 1), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(f.window->GF1().toBytes(), loaded);
    QCOMPARE(picture->content().lines[0].line, storedLine(f, 5, 0));
    QTest::keySequence(picture, QKeySequence(Qt::CTRL | Qt::Key_Y));
    QCOMPARE(f.window->GF1().toBytes(), written);
    // The picture window is still the one in front, its menu unchanged.
    QCOMPARE(QApplication::activeWindow(), picture);
}

void PictureWindowTest::placedBeside_data()
{
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QRect>("placed"); // the frame position and the size within it
    const QRect hd(0, 0, 1920, 1040);
    const QMargins none;
    const QMargins decorated(4, 30, 4, 4);
    QTest::newRow("right, with the frame's edges")
        << QRect(200, 20, 880, 480) << hd << decorated << QRect(1088, 20, 824, 440);
    QTest::newRow("right, raised to stay on the screen")
        << QRect(10, 800, 880, 200) << hd << decorated << QRect(898, 566, 960, 440);
    QTest::newRow("below, narrowed in height") << QRect(500, 10, 880, 480) << QRect(0, 0, 1440, 900)
                                               << decorated << QRect(472, 498, 960, 368);
    QTest::newRow("above, no side has room")
        << QRect(400, 400, 880, 480) << QRect(0, 0, 1300, 900) << none << QRect(340, 0, 960, 392);
    QTest::newRow("no room anywhere: right, past the edge")
        << QRect(100, 100, 880, 480) << QRect(0, 0, 1024, 600) << none << QRect(988, 100, 600, 440);
}

void PictureWindowTest::placedBeside()
{
    QFETCH(QRect, main);
    QFETCH(QRect, screen);
    QFETCH(QMargins, frame);
    QFETCH(QRect, placed);
    const WindowPlace place =
        pictureWindowPlace(main, screen, QSize(960, 440), QSize(600, 320), frame);
    QCOMPARE(QRect(place.framePosition, place.size), placed);
}

QTEST_MAIN(PictureWindowTest)
#include "tst_picture_window.moc"
