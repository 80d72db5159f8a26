#include "picture_layout.h"

#include "label_placement.h"
#include "line_schematic.h"
#include "picture_scale.h"

#include <QFontMetricsF>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double Margin = 8;
constexpr double ViewGap = 10;
constexpr double TitleHeight = 22;
constexpr double RowHeight = 16; // legend and note rows
constexpr double HeadingHeight = 18;
constexpr double LabelPadding = 3;
constexpr QSizeF SchematicSize(40, 22);
constexpr double ModifierRowWidth = 96;
constexpr double GridPixels = 44; // a grid square is at least this wide

QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// The label's rows and size; placed at the origin.
LineLabel lineLabel(const PictureLine &line, int number, const PictureFonts &fonts)
{
    LineLabel label;
    label.written = line.written;
    label.heading = QStringLiteral("%1  x%2").arg(number).arg(line.line.count);
    const QFontMetricsF heading(fonts.heading);
    const QFontMetricsF small(fonts.small);
    double width = heading.horizontalAdvance(label.heading);
    double height = heading.height();
    if (line.line.typeIndex() >= FormationLine::TypeCount) {
        label.typeText = lineTypeText(line.line);
        width = std::max(width, small.horizontalAdvance(label.typeText));
        height += small.height();
    } else if (line.line.count > 0) {
        double rowWidth = SchematicSize.width();
        if (line.line.count > SchematicMostDots) {
            label.more = QStringLiteral("+%1").arg(line.line.count - SchematicMostDots);
            rowWidth += 3 + small.horizontalAdvance(label.more);
        }
        label.schematic = QRectF(QPointF(0, height + 2), SchematicSize);
        width = std::max(width, rowWidth);
        height += SchematicSize.height() + 4;
    }
    for (const QString &caption : modifierTexts(line.line)) {
        QString &row = label.modifierRows.isEmpty() ? label.modifierRows.emplace_back()
                                                    : label.modifierRows.last();
        const QString joined = row.isEmpty() ? caption : row + QStringLiteral(", ") + caption;
        if (row.isEmpty() || small.horizontalAdvance(joined) <= ModifierRowWidth)
            row = joined;
        else
            label.modifierRows << caption;
    }
    for (const QString &row : std::as_const(label.modifierRows))
        width = std::max(width, small.horizontalAdvance(row));
    height += label.modifierRows.size() * small.height();
    if (!line.written) {
        width = std::max(width, small.horizontalAdvance(QStringLiteral("not written")));
        height += small.height();
    }
    label.rect =
        QRectF(0, 0, std::ceil(width) + 2 * LabelPadding, std::ceil(height) + LabelPadding);
    return label;
}

// The ticks of one axis of a view: every `step` feet from `low` to `high`,
// at least `leastApart` pixels apart, so that their texts never meet.
double tickStep(double gridFeet, double pixelsPerFoot, double low, double high, bool across,
                const QFontMetricsF &metrics)
{
    double step = gridFeet;
    for (int tries = 0; tries < 40; ++tries) {
        double widest = 0;
        const double first = std::ceil(low / step);
        for (double k = first; k * step <= high && k - first < 200; ++k)
            widest = std::max(widest, across ? metrics.horizontalAdvance(tickText(k * step, step))
                                             : metrics.height());
        if (step * pixelsPerFoot >= widest + 8)
            return step;
        // The next round number that is also a whole number of grid squares.
        double next = roundStep(step * 1.5);
        for (;;) {
            const double squares = next / gridFeet;
            if (std::abs(squares - std::round(squares)) < 1e-9 * squares)
                break;
            next = roundStep(next * 1.5);
        }
        step = next;
    }
    return step;
}

void moveLabel(LineLabel &label, const QPointF &topLeft)
{
    const QPointF by = topLeft - label.rect.topLeft() + QPointF(LabelPadding, LabelPadding / 2);
    label.rect.moveTopLeft(topLeft);
    if (!label.schematic.isEmpty())
        label.schematic.translate(by);
}

} // namespace

PictureFonts pictureFonts()
{
    return {font(15, true), font(12, true), font(11), font(10)};
}

QString spacingNote()
{
    return QStringLiteral("Dots beside a line show its formation type; the spacing of its "
                          "aircraft is the game's and not to scale.");
}

QString tickText(double feet, double step)
{
    const QLocale english(QLocale::English);
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    return english.toString(feet == 0 ? 0.0 : feet, 'f', decimals);
}

PictureFit fitOf(const PictureLayout &layout)
{
    std::array<QPointF, ViewCount> centres;
    for (int v = 0; v < ViewCount; ++v)
        centres[v] = layout.views[v].centreFeet;
    return {layout.pixelsPerFoot, centres};
}

QPointF viewPixel(const ViewLayout &view, double pixelsPerFoot, double horizontalFeet,
                  double verticalFeet)
{
    return view.origin + QPointF(horizontalFeet * pixelsPerFoot, -verticalFeet * pixelsPerFoot);
}

QPointF viewFeet(const ViewLayout &view, double pixelsPerFoot, const QPointF &pixel)
{
    const QPointF d = pixel - view.origin;
    return QPointF(d.x() / pixelsPerFoot, -d.y() / pixelsPerFoot);
}

PictureLayout layOutPicture(const PictureContent &content, const QSizeF &size,
                            const PictureFit &fit)
{
    PictureLayout layout;
    layout.size = size;
    const PictureFonts fonts = pictureFonts();
    const double w = std::max(size.width(), 3 * 60 + 2 * Margin + 2 * ViewGap);
    const double h = std::max(size.height(), 200.0);

    layout.titleRect = QRectF(Margin, Margin, w - 2 * Margin, TitleHeight);
    layout.noteRect = QRectF(Margin, h - Margin - RowHeight, w - 2 * Margin, RowHeight);
    for (int l = 0; l < PictureContent::LineCount; ++l)
        layout.legendRows[l] =
            QRectF(Margin, layout.noteRect.top() - (PictureContent::LineCount - l) * RowHeight,
                   w - 2 * Margin, RowHeight);
    const double viewsTop = layout.titleRect.bottom() + 4;
    const double viewsBottom = layout.legendRows[0].top() - 6;
    const double viewWidth = (w - 2 * Margin - (ViewCount - 1) * ViewGap) / ViewCount;

    // One scale for all views: the tightest of the three fits.
    // The ghosts are fitted too, so that a line moved far stays in sight
    // with where it was.
    AxisRange ranges[AxisCount];
    for (int axis = 0; axis < AxisCount; ++axis) {
        double feet[2 * PictureContent::LineCount];
        int count = 0;
        for (const PictureLine &line : content.lines) {
            feet[count++] = offsetFeet(line.line, Axis(axis));
            if (line.ghost)
                feet[count++] = offsetFeet(*line.ghost, Axis(axis));
        }
        ranges[axis] = axisRange(feet, count, SmallestSpanFeet);
    }
    QRectF dataRects[ViewCount];
    double scale = std::numeric_limits<double>::max();
    for (int v = 0; v < ViewCount; ++v) {
        ViewLayout &view = layout.views[v];
        view.axes = PictureViews[v];
        view.frame = QRectF(Margin + v * (viewWidth + ViewGap), viewsTop, viewWidth,
                            std::max(viewsBottom - viewsTop, 60.0));
        view.plot = view.frame.adjusted(0, HeadingHeight, 0, 0);
        const double insetX = std::max(36.0, view.plot.width() * 0.12);
        const double insetY = std::max(30.0, view.plot.height() * 0.12);
        dataRects[v] = view.plot.adjusted(insetX, insetY, -insetX, -insetY);
        dataRects[v].setWidth(std::max(dataRects[v].width(), 1.0));
        dataRects[v].setHeight(std::max(dataRects[v].height(), 1.0));
        scale = std::min({scale, dataRects[v].width() / ranges[view.axes.horizontal].span(),
                          dataRects[v].height() / ranges[view.axes.vertical].span()});
    }
    if (fit.pixelsPerFoot)
        scale = *fit.pixelsPerFoot;
    layout.pixelsPerFoot = scale;
    layout.gridFeet = roundStep(GridPixels / scale);

    const QFontMetricsF text(fonts.text);
    for (int v = 0; v < ViewCount; ++v) {
        ViewLayout &view = layout.views[v];
        view.centreFeet = fit.centres ? (*fit.centres)[v]
                                      : QPointF(ranges[view.axes.horizontal].middle(),
                                                ranges[view.axes.vertical].middle());
        view.origin = dataRects[v].center() +
                      QPointF(-view.centreFeet.x() * scale, view.centreFeet.y() * scale);

        // Grid lines at whole multiples of a round number of feet, so that
        // the reference point lies on two of them.
        const QPointF low = viewFeet(view, scale, view.plot.bottomLeft());
        const QPointF high = viewFeet(view, scale, view.plot.topRight());
        for (double k = std::ceil(low.x() / layout.gridFeet); k * layout.gridFeet <= high.x(); ++k)
            view.gridX << viewPixel(view, scale, k * layout.gridFeet, 0).x();
        for (double k = std::ceil(low.y() / layout.gridFeet); k * layout.gridFeet <= high.y(); ++k)
            view.gridY << viewPixel(view, scale, 0, k * layout.gridFeet).y();

        const QString scaleWords = stepText(layout.gridFeet);
        const double barLength = layout.gridFeet * scale;
        view.scaleBar = QRectF(view.plot.left() + 8, view.plot.bottom() - 12, barLength, 6);
        view.scaleText =
            QRectF(view.scaleBar.left(), view.scaleBar.top() - text.height() - 1,
                   std::max(barLength, text.horizontalAdvance(scaleWords)), text.height());
        QList<QRectF> clear{view.scaleText | view.scaleBar};
        const QString across_ = axisName(view.axes.horizontal) + QStringLiteral(" ->");
        const QString up_ = axisName(view.axes.vertical) + QStringLiteral(" ^");
        const double acrossWidth = text.horizontalAdvance(across_);
        view.horizontalName =
            QRectF(view.plot.right() - acrossWidth - 6, view.plot.bottom() - text.height() - 4,
                   acrossWidth, text.height());
        view.verticalName = QRectF(view.plot.left() + 6, view.plot.top() + 4,
                                   text.horizontalAdvance(up_), text.height());
        clear << view.horizontalName << view.verticalName;

        // Numbered ticks along the top and the right side, away from the
        // scale bar and the axis names, which they leave clear.
        const QFontMetricsF tickMetrics(fonts.small);
        const double acrossStep =
            tickStep(layout.gridFeet, scale, low.x(), high.x(), true, tickMetrics);
        view.tickFeetX = acrossStep;
        for (double k = std::ceil(low.x() / acrossStep); k * acrossStep <= high.x(); ++k) {
            const double feet = k * acrossStep;
            GridTick tick{feet, tickText(feet, acrossStep), {}};
            const double width = tickMetrics.horizontalAdvance(tick.text);
            const double x = viewPixel(view, scale, feet, 0).x();
            tick.rect = QRectF(x - width / 2, view.plot.top() + 1, width, tickMetrics.height());
            if (view.plot.contains(tick.rect) &&
                std::none_of(clear.begin(), clear.end(),
                             [&](const QRectF &r) { return r.intersects(tick.rect); }))
                view.ticksX << tick;
        }
        for (const GridTick &tick : std::as_const(view.ticksX))
            clear << tick.rect.adjusted(-2, -2, 2, 2);
        const double upStep =
            tickStep(layout.gridFeet, scale, low.y(), high.y(), false, tickMetrics);
        view.tickFeetY = upStep;
        for (double k = std::ceil(low.y() / upStep); k * upStep <= high.y(); ++k) {
            const double feet = k * upStep;
            GridTick tick{feet, tickText(feet, upStep), {}};
            const double y = viewPixel(view, scale, 0, feet).y();
            const double width = tickMetrics.horizontalAdvance(tick.text);
            tick.rect = QRectF(view.plot.right() - 3 - width, y - tickMetrics.height() / 2, width,
                               tickMetrics.height());
            if (view.plot.contains(tick.rect) &&
                std::none_of(clear.begin(), clear.end(),
                             [&](const QRectF &r) { return r.intersects(tick.rect); }))
                view.ticksY << tick;
        }

        QList<LabelRequest> requests;
        QList<QPointF> obstacles{view.origin};
        for (int l = 0; l < PictureContent::LineCount; ++l) {
            const FormationLine &line = content.lines[l].line;
            view.markers[l] = viewPixel(view, scale, offsetFeet(line, view.axes.horizontal),
                                        offsetFeet(line, view.axes.vertical));
            view.labels[l] = lineLabel(content.lines[l], l + 1, fonts);
            requests << LabelRequest{view.markers[l], view.labels[l].rect.size()};
            obstacles << view.markers[l];
            if (const std::optional<FormationLine> &ghost = content.lines[l].ghost) {
                view.ghosts[l] = viewPixel(view, scale, offsetFeet(*ghost, view.axes.horizontal),
                                           offsetFeet(*ghost, view.axes.vertical));
                obstacles << view.ghosts[l];
            }
        }
        const QString reference = QStringLiteral("0, 0, 0");
        requests << LabelRequest{view.origin,
                                 QSizeF(text.horizontalAdvance(reference) + 2, text.height())};
        const QList<QRectF> placed =
            placeLabels(requests, view.plot,
                        {view.horizontalName, view.verticalName, view.scaleText | view.scaleBar},
                        obstacles, MarkerRadius + 1, MarkerRadius + 4);
        for (int l = 0; l < PictureContent::LineCount; ++l)
            moveLabel(view.labels[l], placed[l].topLeft());
        // The reference point's label only where it fits without covering anything.
        const QRectF referenceLabel = placed.last();
        const bool fits =
            view.plot.contains(referenceLabel) &&
            std::none_of(obstacles.begin() + 1, obstacles.end(), [&](const QPointF &p) {
                return referenceLabel
                    .adjusted(-MarkerRadius, -MarkerRadius, MarkerRadius, MarkerRadius)
                    .contains(p);
            });
        view.referenceLabel = fits ? referenceLabel : QRectF();
    }
    return layout;
}

MarkerHit markerAt(const PictureLayout &layout, const QPointF &pixel)
{
    for (int v = 0; v < ViewCount; ++v) {
        if (!layout.views[v].plot.contains(pixel))
            continue;
        for (int l = PictureContent::LineCount - 1; l >= 0; --l) {
            const QPointF d = layout.views[v].markers[l] - pixel;
            if (std::hypot(d.x(), d.y()) <= MarkerRadius + 3)
                return {v, l};
        }
    }
    return {};
}
