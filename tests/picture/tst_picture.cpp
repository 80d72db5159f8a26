// Drawing a formation without a window: where the markers go, one scale for
// the three views, labels that never overlap, and the files it writes.
#include "line_schematic.h"
#include "picture_export.h"
#include "picture_layout.h"
#include "picture_scale.h"

#include <QImage>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>

using Offsets = QList<qint32>; // x, y, z of line 1, then of line 2 and line 3

static PictureContent content(const Offsets &offsets, int count = 4, int typeCode = 0x23)
{
    PictureContent c;
    c.formation = 5;
    c.name = QStringLiteral("Vic");
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        FormationLine &line = c.lines[l].line;
        line.count = quint8(count);
        line.typeCode = quint8(typeCode);
        line.xOffset = offsets[3 * l];
        line.yOffset = offsets[3 * l + 1];
        line.zOffset = offsets[3 * l + 2];
    }
    return c;
}

class PictureTest : public QObject
{
    Q_OBJECT
private slots:
    void roundSteps_data();
    void roundSteps();
    void markersAtTheirOffsets_data();
    void markersAtTheirOffsets();
    void labelsKeepApart_data();
    void labelsKeepApart();
    void labelSaysTypeCountAndModifiers_data();
    void labelSaysTypeCountAndModifiers();
    void filesNameEachLine();
    void formatByName_data();
    void formatByName();
    void keptFitHoldsThroughChanges();
    void ghostsWhereLinesMoved_data();
    void ghostsWhereLinesMoved();
    void fitTakesInGhosts();
    void ticksNumberTheGrid_data();
    void ticksNumberTheGrid();
    void tickTexts_data();
    void tickTexts();
    void givenScaleIsFeetPerPixel_data();
    void givenScaleIsFeetPerPixel();
};

// Where `at` is drawn, to a millionth of its size.
static bool near(QPointF drawn, QPointF at)
{
    return QLineF(drawn, at).length() < 1e-6 * std::max(1.0, at.manhattanLength());
}

// A whole formation's 48 bytes with these offsets and the lines of `content`.
static QByteArray formationBytes(const Offsets &offsets, int count = 4, int typeCode = 0x23)
{
    const PictureContent c = content(offsets, count, typeCode);
    QByteArray bytes;
    for (const PictureLine &line : c.lines)
        bytes += line.line.toBytes();
    return bytes;
}

void PictureTest::roundSteps_data()
{
    QTest::addColumn<double>("atLeast");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("below one") << 0.3 << 0.5 << "0.5 ft";
    QTest::newRow("one") << 1.0 << 1.0 << "1 ft";
    QTest::newRow("up to ten") << 7.0 << 10.0 << "10 ft";
    QTest::newRow("a power of ten itself") << 1000.0 << 1000.0 << "1,000 ft";
    QTest::newRow("up to two") << 1200.0 << 2000.0 << "2,000 ft";
    QTest::newRow("the whole range") << 3.1e7 << 5e7 << "50,000,000 ft";
}

void PictureTest::roundSteps()
{
    QFETCH(double, atLeast);
    QFETCH(double, step);
    QFETCH(QString, text);
    QCOMPARE(roundStep(atLeast), step);
    QCOMPARE(stepText(step), text);
}

void PictureTest::markersAtTheirOffsets_data()
{
    QTest::addColumn<Offsets>("offsets");
    const qint32 most = std::numeric_limits<qint32>::max();
    const qint32 least = std::numeric_limits<qint32>::min();
    QTest::newRow("the worked example") << Offsets{2100, -1050, 0, -2100, 0, 1050, 0, 4200, -4200};
    QTest::newRow("all at the reference point") << Offsets(9, 0);
    QTest::newRow("the largest values") << Offsets(9, most);
    QTest::newRow("the smallest values") << Offsets(9, least);
    QTest::newRow("both ends") << Offsets{most, least, most, least, most, least, 0, 0, 0};
    QTest::newRow("a factor of ten apart") << Offsets{1050, 0, 0, 10500, 0, 0, 0, 0, 0};
    QTest::newRow("a twenty-first of a foot") << Offsets{1, -1, 1, 2, -2, 2, 0, 0, 0};
}

void PictureTest::markersAtTheirOffsets()
{
    QFETCH(Offsets, offsets);
    const PictureContent c = content(offsets);
    for (const QSizeF size : {QSizeF(DefaultPictureSize), QSizeF(600, 320)}) {
        const PictureLayout layout = layOutPicture(c, size);
        const double scale = layout.pixelsPerFoot;
        QVERIFY(std::isfinite(scale) && scale > 0);
        for (int v = 0; v < ViewCount; ++v) {
            const ViewLayout &view = layout.views[v];
            QVERIFY(view.plot.contains(view.origin));
            QVERIFY(view.gridX.size() > 0 && view.gridX.size() < 60);
            QVERIFY(view.gridY.size() > 0 && view.gridY.size() < 60);
            for (int l = 0; l < PictureContent::LineCount; ++l) {
                // Offsets in feet times one scale, the same in every view.
                const QPointF d = view.markers[l] - view.origin;
                const double across = offsetFeet(c.lines[l].line, view.axes.horizontal) * scale;
                const double up = offsetFeet(c.lines[l].line, view.axes.vertical) * scale;
                QVERIFY2(std::abs(d.x() - across) < 1e-6 * std::max(1.0, std::abs(across)),
                         qPrintable(QStringLiteral("view %1 line %2").arg(v).arg(l)));
                QVERIFY(std::abs(d.y() + up) < 1e-6 * std::max(1.0, std::abs(up)));
                QVERIFY(view.plot.contains(view.markers[l]));
            }
        }
    }
}

void PictureTest::labelsKeepApart_data()
{
    QTest::addColumn<Offsets>("offsets");
    QTest::addColumn<int>("count");
    QTest::newRow("three lines at one place") << Offsets(9, 2100) << 200;
    QTest::newRow("all at the reference point") << Offsets(9, 0) << 4;
    QTest::newRow("two alike far from the third")
        << Offsets{0, 0, 0, 0, 0, 0, std::numeric_limits<qint32>::max(), 0, 0} << 12;
    QTest::newRow("a hair apart") << Offsets{2100, 0, 0, 2101, 0, 0, 2102, 0, 0} << 1;
}

void PictureTest::labelsKeepApart()
{
    QFETCH(Offsets, offsets);
    QFETCH(int, count);
    const PictureContent c = content(offsets, count, 0xF5); // every modifier
    for (const QSizeF size : {QSizeF(DefaultPictureSize), QSizeF(600, 320)}) {
        const PictureLayout layout = layOutPicture(c, size);
        for (const ViewLayout &view : layout.views) {
            QList<QRectF> drawn{view.horizontalName, view.verticalName, view.referenceLabel};
            for (const LineLabel &label : view.labels) {
                for (const QRectF &other : std::as_const(drawn))
                    QVERIFY2(!label.rect.intersects(other), qPrintable(label.heading));
                drawn << label.rect;
            }
        }
    }
}

void PictureTest::labelSaysTypeCountAndModifiers_data()
{
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("dots");
    QTest::addColumn<QString>("more");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<QStringList>("modifiers");
    QTest::newRow("echelon right, staggered") << 0x23 << 4 << 4 << ""
                                              << "" << QStringList{"Staggered"};
    QTest::newRow("more than eight") << 0x07 << 12 << 8 << "+4"
                                     << "" << QStringList{};
    QTest::newRow("none in the line") << 0x06 << 0 << 0 << ""
                                      << "" << QStringList{};
    QTest::newRow("a type without a button") << 0x99 << 3 << 0 << ""
                                             << "type 9" << QStringList{"One lead", "Alternate"};
}

void PictureTest::labelSaysTypeCountAndModifiers()
{
    QFETCH(int, typeCode);
    QFETCH(int, count);
    QFETCH(int, dots);
    QFETCH(QString, more);
    QFETCH(QString, typeText);
    QFETCH(QStringList, modifiers);
    const PictureContent c = content(Offsets(9, 0), count, typeCode);
    const LineLabel &label = layOutPicture(c, QSizeF(DefaultPictureSize)).views[1].labels[0];
    QCOMPARE(label.heading, QStringLiteral("1  x%1").arg(count));
    QCOMPARE(label.more, more);
    QCOMPARE(label.typeText, typeText);
    QCOMPARE(label.schematic.isEmpty(), dots == 0);
    if (typeCode % 16 < FormationLine::TypeCount)
        QCOMPARE(schematicDots(typeCode % 16, count).size(), dots);
    QCOMPARE(label.modifierRows.join(QStringLiteral(", ")), modifiers.join(QStringLiteral(", ")));
}

void PictureTest::filesNameEachLine()
{
    PictureContent c = content({2100, -1050, 0, -2100, 0, 1050, 0, 4200, -4200});
    c.lines[2].written = false;
    const QByteArray png = pictureBytes(c, DefaultPictureSize, PictureFormat::Png);
    QImage image;
    QVERIFY(image.loadFromData(png, "PNG"));
    QCOMPARE(image.size(), DefaultPictureSize);

    if (!canWriteSvg())
        QSKIP("This build writes no SVG: it was made without Qt SVG.");
    const QByteArray svg = pictureBytes(c, DefaultPictureSize, PictureFormat::Svg);
    QXmlStreamReader xml(svg);
    QString text;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::Characters)
            text += xml.text().toString() + u'\n';
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const char *const line1 =
        "Line 1: Line echelon right, Staggered, 4 aircraft, X 100 ft, Y -50 ft";
    for (const char *said : {"Formation 5: Vic", line1, "Line 2: ", "Line 3: ", "not written",
                             "X ->", "Z ^", "0, 0, 0", "not to scale"})
        QVERIFY2(text.contains(QLatin1String(said)), said);

    // Too narrow for the rows below the views: each loses whole parts from its
    // end, with a mark, and no number is cut.
    QXmlStreamReader narrow(pictureBytes(c, QSize(300, 400), PictureFormat::Svg));
    QStringList rows;
    while (!narrow.atEnd())
        if (narrow.readNext() == QXmlStreamReader::Characters &&
            narrow.text().startsWith(QLatin1String("Line ")) && !narrow.text().contains(u'\n'))
            rows << narrow.text().toString();
    QCOMPARE(rows.size(), 3);
    for (const QString &row : rows)
        QVERIFY2(row.endsWith(QStringLiteral(", \u2026")) && !row.contains(QLatin1String(" ft")),
                 qPrintable(row));
}

void PictureTest::formatByName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("format"); // -1: none
    const int png = int(PictureFormat::Png);
    const int svg = int(PictureFormat::Svg);
    QTest::newRow("png") << "vic.png" << png;
    QTest::newRow("svg") << "vic.svg" << svg;
    QTest::newRow("any case") << "C:/Wiki/VIC.Svg" << svg;
    QTest::newRow("PNG") << "/tmp/vic.PNG" << png;
    QTest::newRow("the last ending counts") << "vic.svg.png" << png;
    QTest::newRow("the ending alone") << ".svg" << svg;
    QTest::newRow("no dot") << "vicsvg" << -1;
    QTest::newRow("another picture") << "vic.jpg" << -1;
    QTest::newRow("a folder named .png on the way") << "x.png/vic" << -1;
    QTest::newRow("a blank after the ending") << "vic.png " << -1;
    QTest::newRow("empty") << "" << -1;
}

void PictureTest::formatByName()
{
    QFETCH(QString, path);
    QFETCH(int, format);
    const std::optional<PictureFormat> chosen = pictureFormatFor(path);
    QCOMPARE(chosen ? int(*chosen) : -1, format);
}

// A kept fit holds the scale and the views' middles through a change
// that a fresh fit would follow.
void PictureTest::keptFitHoldsThroughChanges()
{
    const Offsets worked{2100, -1050, 0, -2100, 0, 1050, 0, 4200, -4200};
    Offsets farther = worked;
    farther[0] *= 10;
    const QSizeF size(DefaultPictureSize);
    const PictureLayout first = layOutPicture(content(worked), size);
    const PictureContent changed = content(farther);
    const PictureLayout held = layOutPicture(changed, size, fitOf(first));
    const PictureLayout fitted = layOutPicture(changed, size);
    QCOMPARE(held.pixelsPerFoot, first.pixelsPerFoot);
    QVERIFY(fitted.pixelsPerFoot != first.pixelsPerFoot);
    QCOMPARE(held.gridFeet, first.gridFeet);
    for (int v = 0; v < ViewCount; ++v) {
        const ViewLayout &view = held.views[v];
        QCOMPARE(view.origin, first.views[v].origin);
        QCOMPARE(view.centreFeet, first.views[v].centreFeet);
        // The moved line at its offsets at the kept scale, in the view or not.
        for (int l = 0; l < PictureContent::LineCount; ++l)
            QVERIFY(near(view.markers[l],
                         viewPixel(view, held.pixelsPerFoot,
                                   offsetFeet(changed.lines[l].line, view.axes.horizontal),
                                   offsetFeet(changed.lines[l].line, view.axes.vertical))));
    }
}

void PictureTest::ghostsWhereLinesMoved_data()
{
    QTest::addColumn<Offsets>("reference");
    QTest::addColumn<Offsets>("now");
    QTest::addColumn<int>("referenceType");
    QTest::addColumn<QList<bool>>("ghosts");
    const Offsets worked{2100, -1050, 0, -2100, 0, 1050, 0, 4200, -4200};
    Offsets oneUnit = worked;
    oneUnit[5] += 1;
    QTest::newRow("line 2 by a 21st of a foot in Z")
        << worked << oneUnit << 0x23 << QList<bool>{false, true, false};
    QTest::newRow("only the type changed")
        << worked << worked << 0x07 << QList<bool>{false, false, false};
    QTest::newRow("from the smallest values") << Offsets(9, std::numeric_limits<qint32>::min())
                                              << worked << 0x23 << QList<bool>{true, true, true};
}

void PictureTest::ghostsWhereLinesMoved()
{
    QFETCH(Offsets, reference);
    QFETCH(Offsets, now);
    QFETCH(int, referenceType);
    QFETCH(QList<bool>, ghosts);
    PictureContent c = content(now);
    c.lines[0].ghost = c.lines[0].line; // one left from before goes
    setGhosts(c, formationBytes(reference, 4, referenceType));
    const PictureLayout layout = layOutPicture(c, QSizeF(DefaultPictureSize));
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        QCOMPARE(c.lines[l].ghost.has_value(), ghosts[l]);
        if (!ghosts[l])
            continue;
        for (const Axis axis : {AxisX, AxisY, AxisZ})
            QCOMPARE(storedOffset(*c.lines[l].ghost, axis), reference[3 * l + axis]);
        for (const ViewLayout &view : layout.views)
            QVERIFY(near(view.ghosts[l],
                         viewPixel(view, layout.pixelsPerFoot,
                                   double(reference[3 * l + view.axes.horizontal]) / 21,
                                   double(reference[3 * l + view.axes.vertical]) / 21)));
    }
}

void PictureTest::fitTakesInGhosts()
{
    // Lines near the reference point, their ghosts a mile out on every axis.
    const Offsets near{210, 0, 0, 0, 210, 0, 0, 0, 210};
    PictureContent c = content(near);
    const PictureLayout without = layOutPicture(c, QSizeF(DefaultPictureSize));
    setGhosts(c, formationBytes(Offsets{5280 * 21, 0, 0, 0, -5280 * 21, 0, 0, 0, 5280 * 21}));
    const PictureLayout with = layOutPicture(c, QSizeF(DefaultPictureSize));
    QVERIFY(with.pixelsPerFoot < without.pixelsPerFoot / 50);
    for (const ViewLayout &view : with.views)
        for (int l = 0; l < PictureContent::LineCount; ++l) {
            QVERIFY(view.plot.contains(view.ghosts[l]));
            QVERIFY(view.plot.contains(view.markers[l]));
        }
}

void PictureTest::ticksNumberTheGrid_data()
{
    QTest::addColumn<Offsets>("offsets");
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<double>("pixelsPerFoot"); // 0: fitted
    QTest::addColumn<int>("least");            // ticks on each axis at least
    const qint32 most = std::numeric_limits<qint32>::max();
    const qint32 least = std::numeric_limits<qint32>::min();
    const Offsets worked{2100, -1050, 0, -2100, 0, 1050, 0, 4200, -4200};
    QTest::newRow("the worked example") << worked << QSizeF(DefaultPictureSize) << 0.0 << 3;
    QTest::newRow("wide numbers") << Offsets{most, least, most, least, most, least, 0, 0, 0}
                                  << QSizeF(DefaultPictureSize) << 0.0 << 2;
    // Nine digits a number: the step between ticks spans most of a view, and
    // a tick beside an axis name is left out.
    QTest::newRow("negative millions, small window")
        << Offsets(9, least) << QSizeF(600, 320) << 0.0 << 1;
    QTest::newRow("far from the reference point, kept")
        << Offsets(9, 21 * 987654) << QSizeF(DefaultPictureSize) << 0.05 << 2;
}

void PictureTest::ticksNumberTheGrid()
{
    QFETCH(Offsets, offsets);
    QFETCH(QSizeF, size);
    QFETCH(double, pixelsPerFoot);
    QFETCH(int, least);
    PictureFit fit;
    if (pixelsPerFoot > 0)
        fit.pixelsPerFoot = pixelsPerFoot;
    const PictureLayout layout = layOutPicture(content(offsets), size, fit);
    for (const ViewLayout &view : layout.views) {
        const struct {
            const QList<GridTick> &ticks;
            const QList<double> &grid;
            double step;
            bool across;
        } axes[] = {{view.ticksX, view.gridX, view.tickFeetX, true},
                    {view.ticksY, view.gridY, view.tickFeetY, false}};
        QList<QRectF> drawn{view.horizontalName, view.verticalName, view.scaleBar, view.scaleText};
        for (const auto &axis : axes) {
            QVERIFY2(axis.ticks.size() >= least, qPrintable(viewName(int(&view - layout.views))));
            const double step = axis.step;
            QCOMPARE(roundStep(step), step); // a round number of feet
            for (qsizetype t = 0; t < axis.ticks.size(); ++t) {
                const GridTick &tick = axis.ticks[t];
                QCOMPARE(tick.text, tickText(tick.feet, step));
                // On a grid line, at its value in the view.
                const QPointF at = axis.across
                                       ? viewPixel(view, layout.pixelsPerFoot, tick.feet, 0)
                                       : viewPixel(view, layout.pixelsPerFoot, 0, tick.feet);
                const double pixel = axis.across ? at.x() : at.y();
                QVERIFY(std::any_of(axis.grid.begin(), axis.grid.end(),
                                    [&](double g) { return std::abs(g - pixel) < 1e-6; }));
                QVERIFY(std::abs((axis.across ? tick.rect.center().x() : tick.rect.center().y()) -
                                 pixel) < 1e-6);
                // In order, a whole number of steps apart (one left out
                // where the scale bar or a name is), inside the view, clear
                // of each other.
                if (t > 0) {
                    const double apart = (tick.feet - axis.ticks[t - 1].feet) / step;
                    QVERIFY(apart > 0.5 && std::abs(apart - std::round(apart)) < 1e-6);
                }
                QVERIFY(view.plot.contains(tick.rect));
                for (const QRectF &other : std::as_const(drawn))
                    QVERIFY2(!tick.rect.intersects(other), qPrintable(tick.text));
                drawn << tick.rect;
            }
        }
    }
}

void PictureTest::tickTexts_data()
{
    QTest::addColumn<double>("feet");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("negative zero") << -0.0 << 5.0 << "0";
    QTest::newRow("a whole number at halves") << 3.0 << 0.5 << "3.0";
    QTest::newRow("hundredths") << -0.05 << 0.05 << "-0.05";
    QTest::newRow("the largest") << 1e8 << 5e7 << "100,000,000";
}

void PictureTest::tickTexts()
{
    QFETCH(double, feet);
    QFETCH(double, step);
    QFETCH(QString, text);
    QCOMPARE(tickText(feet, step), text);
}

void PictureTest::givenScaleIsFeetPerPixel_data()
{
    QTest::addColumn<double>("feetPer100");
    QTest::newRow("half a foot") << 0.5;
    QTest::newRow("a mile") << 5280.0;
}

void PictureTest::givenScaleIsFeetPerPixel()
{
    QFETCH(double, feetPer100);
    // Line 1 seven feet along X: 700 / FEET pixels right of the reference
    // point in X-Z and X-Y, in every size.
    const PictureContent c = content({7 * 21, 0, 0, 0, 0, 0, 0, 0, 0});
    PictureFit fit;
    fit.pixelsPerFoot = 100 / feetPer100;
    for (const QSizeF size : {QSizeF(DefaultPictureSize), QSizeF(600, 320)}) {
        const PictureLayout layout = layOutPicture(c, size, fit);
        for (const int v : {0, 1}) {
            const QPointF d = layout.views[v].markers[0] - layout.views[v].origin;
            QVERIFY2(std::abs(d.x() - 700 / feetPer100) < 1e-6 && std::abs(d.y()) < 1e-9,
                     qPrintable(QString::number(d.x())));
        }
    }
}

QTEST_MAIN(PictureTest)
#include "tst_picture.moc"
