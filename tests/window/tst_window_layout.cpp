#include "controls.h"
#include "twips.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

class WindowLayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void windowTitleAndFixedSize();
    void geometry_data();
    void geometry();
    void containers();
    void captions_data();
    void captions();
    void fonts();
    void noCaptionIsClipped();
    void nameLabelsStopShortOfTheirNeighbours_data();
    void nameLabelsStopShortOfTheirNeighbours();
    void labelsAndFramesNeverTakeFocus();
    void focusChainFollowsTabIndex();
    void tabFromCommand1WalksTheLineEditors();
    void optionGroupsAreIndependent();
    void workingLabelsAreHiddenInPlace();
    void gridHoldsTheTableAfterALoadAndAnEdit();
    void selectorButtonsAreWhite();
    void textBoxesHaveNoLengthLimit();
    void screenReaderNames();
    void labelsAnnounceTheirCaption();
};

static QString accessibleText(QWidget *widget, QAccessible::Text kind)
{
    QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(widget);
    return interface ? interface->text(kind) : QStringLiteral("<no interface>");
}

void WindowLayoutTest::windowTitleAndFixedSize()
{
    WindowFixture f;
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Orvin's 4.16R Formation table utility"));
    QCOMPARE(f.window->size(), QSize(873, 459));
    QCOMPARE(f.window->minimumSize(), QSize(873, 459));
    QCOMPARE(f.window->maximumSize(), QSize(873, 459));
}

void WindowLayoutTest::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");  // left, top, width, height, as the form is drawn
    QTest::addColumn<QRect>("pixels"); // the same at 15 twips a pixel, to the nearest
    auto row = [](const char *name, QRect twips, QRect pixels) {
        QTest::newRow(name) << QString::fromLatin1(name) << twips << pixels;
    };
    row("Command1", {270, 120, 2805, 465}, {18, 8, 187, 31});
    row("Text2", {11640, 180, 1005, 285}, {776, 12, 67, 19});
    row("Label3", {10050, 180, 1455, 315}, {670, 12, 97, 21});
    row("Frame1", {90, 780, 12975, 5985}, {6, 52, 865, 399});
    row("Label5", {60, 390, 465, 255}, {4, 26, 31, 17});
    row("Label7(2)", {3990, 390, 705, 255}, {266, 26, 47, 17});
    row("Text3(0)", {120, 690, 585, 345}, {8, 46, 39, 23});
    row("Text3(6)", {780, 1050, 345, 345}, {52, 70, 23, 23});
    row("Text3(14)", {3750, 1440, 1155, 345}, {250, 96, 77, 23});
    row("Label10", {330, 1920, 1875, 225}, {22, 128, 125, 15});
    row("Option2(0)", {330, 2370, 555, 345}, {22, 158, 37, 23});
    row("Option2(4)", {4330, 2370, 555, 345}, {289, 158, 37, 23});
    row("Option2(7)", {2330, 2770, 555, 345}, {155, 185, 37, 23});
    row("Option2(29)", {4330, 4370, 555, 345}, {289, 291, 37, 23});
    row("Option2(30)", {330, 4770, 555, 345}, {22, 318, 37, 23});
    row("Command2", {90, 5250, 1095, 555}, {6, 350, 73, 37});
    row("Command3", {3360, 5070, 1455, 705}, {224, 338, 97, 47});
    row("Frame2(0)", {5010, 450, 2445, 5445}, {334, 30, 163, 363});
    row("Frame2(2)", {10050, 450, 2445, 5445}, {670, 30, 163, 363});
    row("Option3(0)", {330, 360, 1485, 255}, {22, 24, 99, 17});
    row("Option3(4)", {360, 2025, 1845, 255}, {24, 135, 123, 17});
    row("Option4(4)", {330, 2025, 1845, 255}, {22, 135, 123, 17});
    row("Option3(7)", {330, 3270, 1665, 255}, {22, 218, 111, 17});
    row("Option4(7)", {330, 3270, 1845, 255}, {22, 218, 123, 17});
    row("Option5(7)", {330, 3240, 1845, 315}, {22, 216, 123, 21});
    row("Option5(5)", {330, 2430, 1245, 255}, {22, 162, 83, 17});
    row("Check2(0)", {450, 3780, 1245, 315}, {30, 252, 83, 21});
    row("Check4(2)", {450, 4485, 885, 315}, {30, 299, 59, 21});
    row("Check3(3)", {450, 4860, 1065, 315}, {30, 324, 71, 21});
}

void WindowLayoutTest::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QRect, pixels);
    WindowFixture f;
    QCOMPARE(f.control(name)->geometry(), pixels);
    // The form is laid out from its twips: a few (such as 4330) fall between pixels.
    QCOMPARE(twipsRect(twips.left(), twips.top(), twips.width(), twips.height()), pixels);
}

void WindowLayoutTest::containers()
{
    WindowFixture f;
    auto parentName = [&](const QString &name) {
        return f.control(name)->parentWidget()->objectName();
    };
    QCOMPARE(parentName(QStringLiteral("Command1")), QStringLiteral("BiForm"));
    QCOMPARE(parentName(QStringLiteral("Frame1")), QStringLiteral("BiForm"));
    QCOMPARE(parentName(QStringLiteral("Command3")), QStringLiteral("Frame1"));
    QCOMPARE(parentName(QStringLiteral("Option2(30)")), QStringLiteral("Frame1"));
    QCOMPARE(parentName(QStringLiteral("Text3(9)")), QStringLiteral("Frame1"));
    QCOMPARE(parentName(QStringLiteral("Label12")), QStringLiteral("Frame1"));
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(parentName(QStringLiteral("Option3(%1)").arg(k)), QStringLiteral("Frame2(0)"));
        QCOMPARE(parentName(QStringLiteral("Option4(%1)").arg(k)), QStringLiteral("Frame2(1)"));
        QCOMPARE(parentName(QStringLiteral("Option5(%1)").arg(k)), QStringLiteral("Frame2(2)"));
    }
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(parentName(QStringLiteral("Check2(%1)").arg(k)), QStringLiteral("Frame2(0)"));
        QCOMPARE(parentName(QStringLiteral("Check3(%1)").arg(k)), QStringLiteral("Frame2(1)"));
        QCOMPARE(parentName(QStringLiteral("Check4(%1)").arg(k)), QStringLiteral("Frame2(2)"));
    }
}

void WindowLayoutTest::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    auto row = [](const char *name, const char *caption) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption);
    };
    row("Command1", "Load frmation.dat or KGF");
    row("Command2", "Edit this one");
    row("Command3", "Save Formation file");
    row("Label3", "Start  location");
    row("Frame1", "Formation editing:  Distances in feet to match the source code");
    row("Label5", "Type");
    row("Label6", "Number");
    row("Label7(0)", "X Offset");
    row("Label7(1)", "Y Offset");
    row("Label7(2)", "Z Offset");
    row("Label10", "The mouse is over");
    row("Option2(0)", "0");
    row("Option2(1)", " 1");
    row("Option2(30)", " 30");
    row("Frame2(0)", "Calculator line 1");
    row("Frame2(1)", "Calculator line 2");
    row("Frame2(2)", "Calculator line 3");
    const char *types[8] = {
        "Line Astern",       "Line abreast right", "Line abreast left", "Line echelon right",
        "Line echelon left", "Inverted V",         "Diamond",           "Bomber stream"};
    const char *boxes[4] = {"One lead", "Staggered", "Step", "Alternate"};
    for (int line = 0; line < 3; ++line) {
        for (int k = 0; k < 8; ++k) {
            const QString name = QStringLiteral("Option%1(%2)").arg(3 + line).arg(k);
            QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(types[k]);
        }
        for (int k = 0; k < 4; ++k) {
            const QString name = QStringLiteral("Check%1(%2)").arg(2 + line).arg(k);
            QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(boxes[k]);
        }
    }
}

static QString captionOf(QWidget *widget)
{
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        return frame->title();
    return {};
}

void WindowLayoutTest::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    WindowFixture f;
    QCOMPARE(captionOf(f.control(name)), caption);
}

void WindowLayoutTest::fonts()
{
    WindowFixture f;
    const QStringList acceptable = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                    "Arimo",         "Nimbus Sans",          "Arial"};
    for (const char *name : {"Command1", "Label3", "Text3(0)", "Option2(30)", "Check4(3)"}) {
        QWidget *widget = f.control(QString::fromLatin1(name));
        const QFontInfo info(widget->font());
        QVERIFY2(acceptable.contains(info.family()), qPrintable(info.family()));
        QCOMPARE(widget->font().pixelSize(), 11); // 8.25 pt at 96 dpi
        QVERIFY(!widget->font().bold());
    }
    for (const char *name : {"Label4", "Label12"}) {
        QWidget *widget = f.control(QString::fromLatin1(name));
        QCOMPARE(widget->font().pixelSize(), 13); // 9.75 pt at 96 dpi
        QVERIFY(widget->font().bold());
        QVERIFY(acceptable.contains(QFontInfo(widget->font()).family()));
    }
}

// Where each kind of control draws its caption, and whether the caption fits.
static bool captionFits(QWidget *widget, QString *why)
{
    const QString caption = captionOf(widget);
    const QFontMetrics metrics(widget->font());
    const int textWidth = metrics.horizontalAdvance(caption);
    if (auto *wrapping = qobject_cast<WrappingButton *>(widget)) {
        const QRect area = wrapping->captionRect();
        const QRect needed =
            metrics.boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, caption);
        *why = QStringLiteral("needs %1x%2 in %3x%4")
                   .arg(needed.width())
                   .arg(needed.height())
                   .arg(area.width())
                   .arg(area.height());
        return area.contains(needed);
    }
    if (auto *button = qobject_cast<QAbstractButton *>(widget);
        qobject_cast<QRadioButton *>(widget) || qobject_cast<QCheckBox *>(widget)) {
        // The caption is drawn right of the indicator, in the style's contents area.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = caption;
        const bool radio = qobject_cast<QRadioButton *>(widget) != nullptr;
        const QRect area = button->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
        *why = QStringLiteral("needs %1 of %2").arg(textWidth).arg(area.width());
        return area.left() >= 0 && area.right() < button->width() && textWidth <= area.width() &&
               metrics.height() <= button->height();
    }
    if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        const int needed = textWidth + 2 * metrics.averageCharWidth();
        *why = QStringLiteral("needs %1 of %2").arg(needed).arg(frame->width());
        return needed <= frame->width();
    }
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        const int needed = textWidth + 2 * label->frameWidth();
        *why = QStringLiteral("needs %1 of %2").arg(needed).arg(label->width());
        return needed <= label->width() && metrics.height() <= label->height();
    }
    return true;
}

void WindowLayoutTest::noCaptionIsClipped()
{
    WindowFixture f;
    int checked = 0;
    for (QWidget *widget : f.window->findChildren<QWidget *>()) {
        if (captionOf(widget).isEmpty())
            continue;
        QString why;
        QVERIFY2(captionFits(widget, &why), qPrintable(widget->objectName() + ": " + why));
        ++checked;
    }
    // 3 commands, 7 fixed labels, 4 frames, 31 selectors, 24 type buttons, 12 boxes.
    QCOMPARE(checked, 81);
}

void WindowLayoutTest::nameLabelsStopShortOfTheirNeighbours_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("neighbour"); // the next control to its right
    QTest::addColumn<int>("length");
    for (int length : {20, 60, 4096}) {
        QTest::addRow("chosen name, %d characters", length) << "Label4"
                                                            << "Command3" << length;
        QTest::addRow("name under the mouse, %d characters", length) << "Label12"
                                                                     << "Frame2(0)" << length;
    }
}

void WindowLayoutTest::nameLabelsStopShortOfTheirNeighbours()
{
    QFETCH(QString, label);
    QFETCH(QString, neighbour);
    QFETCH(int, length);
    const QByteArray words = "Harrier Column with a very long descriptive name for the escort "
                             "group flying high cover ";
    QByteArray name;
    while (name.size() < length)
        name += words;
    name.truncate(length);
    WindowFixture f(name + "\r\n" + WindowFixture::defaultNames());
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    auto *shown = f.control<AutoSizeLabel>(label);
    QWidget *frame1 = f.control(QStringLiteral("Frame1"));
    QWidget *option = f.control(QStringLiteral("Option2(0)"));
    if (label == QLatin1String("Label4")) {
        f.click(QStringLiteral("Option2(0)"));
    } else {
        // From elsewhere first: the pointer may already rest on the button.
        QTest::mouseMove(frame1, QPoint(1, 1));
        QTest::mouseMove(frame1, option->mapTo(frame1, option->rect().center()));
    }
    const QString caption = QLatin1Char(' ') + QString::fromLatin1(name) + QLatin1Char(' ');
    QTRY_COMPARE(shown->text(), caption);
    // The whole name stays reachable; what is drawn ends before the neighbour.
    QCOMPARE(shown->toolTip(), caption.trimmed());
    QCOMPARE(accessibleText(shown, QAccessible::Name), caption.trimmed());
    QWidget *next = f.control(neighbour);
    QVERIFY2(shown->geometry().right() + 6 < next->x(),
             qPrintable(QStringLiteral("%1 ends at %2, %3 starts at %4")
                            .arg(label)
                            .arg(shown->geometry().right())
                            .arg(neighbour)
                            .arg(next->x())));
    const QFontMetrics metrics = shown->fontMetrics();
    QVERIFY(metrics.horizontalAdvance(shown->shownText()) <= shown->textRoom());
    if (metrics.horizontalAdvance(caption) > shown->textRoom())
        QVERIFY2(shown->shownText().endsWith(QChar(0x2026)), qPrintable(shown->shownText()));
    else
        QCOMPARE(shown->shownText(), caption);

    // A click on the middle of "Save Formation file" reaches the button.
    QWidget *save = f.control(QStringLiteral("Command3"));
    const QPoint centre = save->mapTo(f.window.get(), save->rect().center());
    QCOMPARE(f.window->childAt(centre), save);
    QTest::mouseClick(f.window->childAt(centre), Qt::LeftButton);
    QCOMPARE(f.requests.size(), 1);
    QCOMPARE(f.requests[0].mode, CommonDialog::Mode::Save);
}

void WindowLayoutTest::labelsAndFramesNeverTakeFocus()
{
    WindowFixture f;
    for (QWidget *widget : f.window->findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QGroupBox *>(widget))
            QVERIFY2(widget->focusPolicy() == Qt::NoFocus, qPrintable(widget->objectName()));
    }
}

// The expected focus order, by the controls' tab indices.
static QStringList expectedTabOrder()
{
    QStringList order = {"Command1", "Text2"};
    for (int n = 0; n < 15; ++n)
        order << QStringLiteral("Text3(%1)").arg(n);
    for (int n = 0; n <= 30; ++n)
        order << QStringLiteral("Option2(%1)").arg(n);
    order << "Command2";
    for (int k = 0; k < 7; ++k)
        order << QStringLiteral("Option3(%1)").arg(k);
    for (int k = 0; k < 4; ++k)
        order << QStringLiteral("Check2(%1)").arg(k);
    for (int k = 3; k >= 0; --k)
        order << QStringLiteral("Check3(%1)").arg(k);
    for (int k = 6; k >= 0; --k)
        order << QStringLiteral("Option4(%1)").arg(k);
    for (int k = 3; k >= 0; --k)
        order << QStringLiteral("Check4(%1)").arg(k);
    for (int k = 6; k >= 0; --k)
        order << QStringLiteral("Option5(%1)").arg(k);
    order << "Command3"
          << "Option4(7)"
          << "Option5(7)"
          << "Option3(7)";
    return order;
}

void WindowLayoutTest::focusChainFollowsTabIndex()
{
    WindowFixture f;
    QStringList chain;
    QWidget *start = f.control(QStringLiteral("Command1"));
    QWidget *widget = start;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start && chain.size() < 200);
    QCOMPARE(chain, expectedTabOrder());
}

void WindowLayoutTest::tabFromCommand1WalksTheLineEditors()
{
    WindowFixture f;
    QVERIFY(f.showActive());
    QCOMPARE(QApplication::focusWidget(), f.control(QStringLiteral("Command1")));
    QStringList visited;
    for (int i = 0; i < 16; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expectedTabOrder().mid(1, 16));
}

void WindowLayoutTest::optionGroupsAreIndependent()
{
    WindowFixture f;
    f.window->show();
    // The selector first: choosing a formation sets the type buttons of its lines.
    f.click(QStringLiteral("Option2(3)"));
    f.click(QStringLiteral("Option3(2)"));
    f.click(QStringLiteral("Option4(5)"));
    f.click(QStringLiteral("Option5(7)"));
    for (const char *name : {"Option3(2)", "Option4(5)", "Option5(7)", "Option2(3)"})
        QVERIFY2(f.button(QString::fromLatin1(name))->isChecked(), name);
    f.click(QStringLiteral("Option3(4)"));
    f.prompter.writeAnswer = Prompter::Choice::Discard; // the type edits stay unwritten
    QVERIFY(!f.button(QStringLiteral("Option3(2)"))->isChecked());
    QVERIFY(f.button(QStringLiteral("Option4(5)"))->isChecked());
    QVERIFY(f.button(QStringLiteral("Option5(7)"))->isChecked());
    QVERIFY(f.button(QStringLiteral("Option2(3)"))->isChecked());
    f.click(QStringLiteral("Option2(30)"));
    QVERIFY(!f.button(QStringLiteral("Option2(3)"))->isChecked());
    QVERIFY(f.button(QStringLiteral("Option2(30)"))->isChecked());
}

void WindowLayoutTest::workingLabelsAreHiddenInPlace()
{
    WindowFixture f;
    f.window->show();
    // The working labels of "Edit this one" exist at their places, hidden.
    const QMap<QString, QRect> working = {{"Label8", QRect(408, 256, 75, 23)},
                                          {"Label9(0)", QRect(412, 288, 31, 23)},
                                          {"Label9(1)", QRect(450, 286, 31, 23)},
                                          {"Label9(2)", QRect(408, 320, 31, 23)},
                                          {"Label9(3)", QRect(444, 316, 31, 23)}};
    for (auto it = working.begin(); it != working.end(); ++it) {
        auto *label = f.control<QLabel>(it.key());
        QVERIFY2(!label->isVisible(), qPrintable(it.key()));
        QCOMPARE(label->geometry(), it.value());
        QCOMPARE(label->parentWidget(), f.control(QStringLiteral("Frame1")));
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        QCOMPARE(label->frameShape(), QFrame::Box);
    }
}

void WindowLayoutTest::gridHoldsTheTableAfterALoadAndAnEdit()
{
    // The table lives in a grid of two-digit hex cells behind the form, not
    // in any control: after a load and an edit of its first and last rows
    // every data cell holds its byte, and row 0 and column 0 hold nothing.
    WindowFixture f;
    f.window->show();
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>((i * 13 + i / 16) & 0xFF);
    f.answers.push_back(f.writeFile(QStringLiteral("frmation.dat"), table));
    f.click(QStringLiteral("Command1"));
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    f.click(QStringLiteral("Option2(0)"));
    f.box(2)->setText(QStringLiteral("100")); // line 1 X: 2100 stored
    f.click(QStringLiteral("Command2"));
    f.click(QStringLiteral("Option2(30)"));
    f.box(11)->setText(QStringLiteral("7")); // line 3 count, in the last row
    f.click(QStringLiteral("Command2"));
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
    QByteArray expected = table;
    expected.replace(4, 4, QByteArray::fromHex("34080000"));
    expected[16 * 92 + 2] = 7;

    const FormationTable &grid = f.window->GF1();
    QCOMPARE(grid.Rows(), 94);
    QCOMPARE(grid.Cols(), 17);
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Cols(); ++c) {
            const QString cell = r == 0 || c == 0
                                     ? QString()
                                     : QStringLiteral("%1")
                                           .arg(static_cast<quint8>(expected[16 * (r - 1) + c - 1]),
                                                2, 16, QChar(u'0'))
                                           .toUpper();
            QVERIFY2(grid.TextMatrix(r, c) == cell,
                     qPrintable(QStringLiteral("cell (%1, %2) holds \"%3\", not \"%4\"")
                                    .arg(r)
                                    .arg(c)
                                    .arg(grid.TextMatrix(r, c), cell)));
        }
    }
    QCOMPARE(grid.toBytes(), expected);
}

void WindowLayoutTest::selectorButtonsAreWhite()
{
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QColor frame = f.control(QStringLiteral("Frame1"))->grab().toImage().pixelColor(5, 60);
    QVERIFY2(frame != QColor(Qt::white), "the frame itself is not white, or this shows nothing");
    for (int n = 0; n <= 30; ++n) {
        auto *button = f.control<QRadioButton>(QStringLiteral("Option2(%1)").arg(n));
        const QImage image = button->grab().toImage();
        // The strip right of the caption and the bottom row hold only background.
        for (const QPoint &at : {QPoint(image.width() - 2, image.height() / 2),
                                 QPoint(image.width() - 2, image.height() - 2),
                                 QPoint(image.width() / 2, image.height() - 1)})
            QVERIFY2(image.pixelColor(at) == QColor(Qt::white),
                     qPrintable(QStringLiteral("%1 at (%2, %3) is %4")
                                    .arg(button->objectName())
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(image.pixelColor(at).name())));
    }
}

void WindowLayoutTest::textBoxesHaveNoLengthLimit()
{
    WindowFixture f;
    const QString longText(40'000, u'7');
    QList<QLineEdit *> boxes = {f.control<QLineEdit>(QStringLiteral("Text2"))};
    for (int n = 0; n < 15; ++n)
        boxes << f.box(n);
    for (QLineEdit *box : boxes) {
        box->setText(longText);
        QCOMPARE(box->text().size(), longText.size());
    }
}

void WindowLayoutTest::screenReaderNames()
{
    QByteArray names = "Vic\r\n" + WindowFixture::defaultNames();
    WindowFixture f(names);
    f.window->show();
    // Every frame, button, option button and check box: its own caption.
    int checked = 0;
    for (QWidget *widget : f.window->findChildren<QWidget *>()) {
        QString caption;
        if (auto *frame = qobject_cast<QGroupBox *>(widget))
            caption = frame->title();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            caption = button->text().trimmed();
        else
            continue;
        QCOMPARE(accessibleText(widget, QAccessible::Name), caption);
        ++checked;
    }
    QCOMPARE(checked, 4 + 3 + 31 + 24 + 12);
    // A selector is described by its formation's name.
    QCOMPARE(accessibleText(f.control(QStringLiteral("Option2(0)")), QAccessible::Description),
             QStringLiteral("Vic"));
    QCOMPARE(accessibleText(f.control(QStringLiteral("Option2(30)")), QAccessible::Description),
             QStringLiteral("Formation 29"));
    // The line editors: line and field.
    QCOMPARE(accessibleText(f.box(7), QAccessible::Name), QStringLiteral("Line 2 X Offset"));
    QCOMPARE(accessibleText(f.box(7), QAccessible::Description), QStringLiteral("In feet"));
    QCOMPARE(accessibleText(f.box(10), QAccessible::Name), QStringLiteral("Line 3 Type"));
    QCOMPARE(accessibleText(f.control(QStringLiteral("Text2")), QAccessible::Name),
             QStringLiteral("Start location"));
}

void WindowLayoutTest::labelsAnnounceTheirCaption()
{
    QByteArray names = "Vic\r\n" + WindowFixture::defaultNames();
    WindowFixture f(names);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QMap<QString, QString> descriptions = {{"Label1", "Loaded file"},
                                                 {"Label4", "Chosen formation"},
                                                 {"Label12", "Formation under the mouse"}};
    for (auto it = descriptions.begin(); it != descriptions.end(); ++it) {
        QWidget *label = f.control(it.key());
        // Empty: nothing, never the title of the frame around it.
        QCOMPARE(accessibleText(label, QAccessible::Name), QString());
        QCOMPARE(accessibleText(label, QAccessible::Description), it.value());
    }
    const QString path = f.writeFile(QStringLiteral("frmation.dat"), QByteArray(1488, '\0'));
    f.answers.push_back(path);
    f.click(QStringLiteral("Command1"));
    QCOMPARE(accessibleText(f.control(QStringLiteral("Label1")), QAccessible::Name),
             QDir::toNativeSeparators(path));
    f.click(QStringLiteral("Option2(0)"));
    QCOMPARE(accessibleText(f.control(QStringLiteral("Label4")), QAccessible::Name),
             QStringLiteral("Vic"));
    QWidget *frame1 = f.control(QStringLiteral("Frame1"));
    QWidget *option = f.control(QStringLiteral("Option2(1)"));
    QTest::mouseMove(frame1, option->mapTo(frame1, option->rect().center()));
    QTRY_COMPARE(accessibleText(f.control(QStringLiteral("Label12")), QAccessible::Name),
                 QStringLiteral("Formation 0"));

    // "The mouse is over" labels the name under the mouse.
    QAccessibleInterface *label12 =
        QAccessible::queryAccessibleInterface(f.control(QStringLiteral("Label12")));
    QAccessibleInterface *label10 =
        QAccessible::queryAccessibleInterface(f.control(QStringLiteral("Label10")));
    bool labelled = false;
    for (const auto &relation : label12->relations(QAccessible::Label))
        labelled = labelled || relation.first == label10;
    QVERIFY(labelled);
}

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
