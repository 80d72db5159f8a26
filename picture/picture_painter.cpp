#include "picture_painter.h"

#include "line_schematic.h"
#include "picture_scale.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <optional>

namespace
{

const QColor Ink(0x20, 0x20, 0x20);
const QColor GridInk(0xE2, 0xE2, 0xE2);
const QColor AxisInk(0xB0, 0xB0, 0xB0);
const QColor FrameInk(0x90, 0x90, 0x90);
const QColor TickInk(0x80, 0x80, 0x80);

// The part of the segment from `a` to `b` within `rect`; empty when none is.
// Clipped here, not by the painter: a kept scale can put a line's end
// millions of pixels away.
std::optional<QLineF> clipped(QPointF a, QPointF b, const QRectF &rect)
{
    double t0 = 0;
    double t1 = 1;
    const QPointF d = b - a;
    const double p[] = {-d.x(), d.x(), -d.y(), d.y()};
    const double q[] = {a.x() - rect.left(), rect.right() - a.x(), a.y() - rect.top(),
                        rect.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    return QLineF(a + t0 * d, a + t1 * d);
}

void paintView(QPainter &painter, const PictureContent &content, const PictureLayout &layout,
               const ViewLayout &view, int number)
{
    const PictureFonts fonts = pictureFonts();
    painter.setFont(fonts.heading);
    painter.setPen(Ink);
    painter.drawText(view.frame.adjusted(0, 0, 0, view.plot.top() - view.frame.bottom()),
                     Qt::AlignLeft | Qt::AlignVCenter, viewName(number));

    painter.save();
    painter.setClipRect(view.plot);
    painter.fillRect(view.plot, Qt::white);
    painter.setPen(QPen(GridInk, 1));
    for (const double x : view.gridX)
        painter.drawLine(QPointF(x, view.plot.top()), QPointF(x, view.plot.bottom()));
    for (const double y : view.gridY)
        painter.drawLine(QPointF(view.plot.left(), y), QPointF(view.plot.right(), y));
    painter.setFont(fonts.small);
    painter.setPen(TickInk);
    for (const QList<GridTick> *ticks : {&view.ticksX, &view.ticksY})
        for (const GridTick &tick : *ticks)
            painter.drawText(tick.rect, Qt::AlignCenter, tick.text);
    // The axes through the reference point.
    painter.setPen(QPen(AxisInk, 1));
    painter.drawLine(QPointF(view.origin.x(), view.plot.top()),
                     QPointF(view.origin.x(), view.plot.bottom()));
    painter.drawLine(QPointF(view.plot.left(), view.origin.y()),
                     QPointF(view.plot.right(), view.origin.y()));

    // The reference point (0, 0, 0) as a cross.
    painter.setPen(QPen(Ink, 1.5));
    const QPointF o = view.origin;
    painter.drawLine(o + QPointF(-7, -7), o + QPointF(7, 7));
    painter.drawLine(o + QPointF(-7, 7), o + QPointF(7, -7));
    painter.setFont(fonts.text);
    if (!view.referenceLabel.isEmpty())
        painter.drawText(view.referenceLabel, Qt::AlignCenter, QStringLiteral("0, 0, 0"));

    // Axis names with their positive direction, and the scale bar.
    painter.setPen(Ink);
    painter.drawText(view.horizontalName, Qt::AlignLeft | Qt::AlignVCenter,
                     axisName(view.axes.horizontal) + QStringLiteral(" ->"));
    painter.drawText(view.verticalName, Qt::AlignLeft | Qt::AlignVCenter,
                     axisName(view.axes.vertical) + QStringLiteral(" ^"));
    painter.drawText(view.scaleText, Qt::AlignLeft | Qt::AlignVCenter, stepText(layout.gridFeet));
    const QRectF bar = view.scaleBar;
    painter.setPen(QPen(Ink, 1.5));
    painter.drawLine(bar.bottomLeft(), bar.bottomRight());
    painter.drawLine(bar.topLeft(), bar.bottomLeft());
    painter.drawLine(bar.topRight(), bar.bottomRight());

    // Ghosts where the lines were, faint, each with a thin line to where
    // its line is now.
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        if (!content.lines[l].ghost)
            continue;
        QColor faint = lineColor(l + 1);
        faint.setAlpha(110);
        if (const std::optional<QLineF> trail =
                clipped(view.ghosts[l], view.markers[l], view.plot)) {
            painter.setPen(QPen(faint, 1));
            painter.drawLine(*trail);
        }
        if (!view.plot.contains(view.ghosts[l]))
            continue;
        painter.setPen(QPen(faint, 1.5, Qt::DotLine));
        QColor fill = lineColor(l + 1);
        fill.setAlpha(45);
        painter.setBrush(fill);
        painter.drawEllipse(view.ghosts[l], MarkerRadius, MarkerRadius);
    }

    // Markers, last line on top; then their labels, which never overlap.
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        if (!view.plot.contains(view.markers[l]))
            continue;
        const bool written = content.lines[l].written;
        const QColor color = lineColor(l + 1);
        painter.setPen(
            QPen(written ? color.darker(130) : color, 2, written ? Qt::SolidLine : Qt::DashLine));
        painter.setBrush(written ? QBrush(color) : QBrush(Qt::white));
        painter.drawEllipse(view.markers[l], MarkerRadius, MarkerRadius);
    }
    painter.setBrush(Qt::NoBrush);
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        // A line out of the view has no label in it: the legend says where it is.
        if (!view.plot.contains(view.markers[l]))
            continue;
        const LineLabel &label = view.labels[l];
        const QColor color = lineColor(l + 1);
        // A thin line leads to a label set apart from its marker.
        const QPointF m = view.markers[l];
        const QPointF nearest(std::clamp(m.x(), label.rect.left(), label.rect.right()),
                              std::clamp(m.y(), label.rect.top(), label.rect.bottom()));
        if (QLineF(m, nearest).length() > MarkerRadius + 6) {
            painter.setPen(QPen(color, 1));
            painter.drawLine(QLineF(m, nearest));
        }
        painter.fillRect(label.rect, QColor(255, 255, 255, 220));
        painter.setPen(QPen(color, 1, label.written ? Qt::SolidLine : Qt::DashLine));
        painter.drawRect(label.rect);

        QPointF at = label.rect.topLeft() + QPointF(3, 1);
        auto row = [&](const QFont &font, const QString &text, const QColor &ink) {
            const QFontMetricsF metrics(font);
            painter.setFont(font);
            painter.setPen(ink);
            painter.drawText(QRectF(at, QSizeF(label.rect.width() - 4, metrics.height())),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            at.ry() += metrics.height();
        };
        row(fonts.heading, label.heading, color.darker(140));
        if (!label.typeText.isEmpty())
            row(fonts.small, label.typeText, Ink);
        if (!label.schematic.isEmpty()) {
            const QRectF box = label.schematic.adjusted(4, 3, -4, -3);
            const QList<QPointF> dots =
                schematicDots(content.lines[l].line.typeIndex(), content.lines[l].line.count);
            painter.setPen(Qt::NoPen);
            for (int d = 0; d < dots.size(); ++d) {
                painter.setBrush(d == 0 ? color.darker(160) : color);
                const QPointF p(box.left() + dots[d].x() * box.width(),
                                box.top() + dots[d].y() * box.height());
                painter.drawEllipse(p, d == 0 ? 2.8 : 2.2, d == 0 ? 2.8 : 2.2);
            }
            painter.setBrush(Qt::NoBrush);
            if (!label.more.isEmpty()) {
                painter.setFont(fonts.small);
                painter.setPen(Ink);
                painter.drawText(QRectF(label.schematic.right() + 3, label.schematic.top(),
                                        label.rect.right() - label.schematic.right() - 3,
                                        label.schematic.height()),
                                 Qt::AlignLeft | Qt::AlignVCenter, label.more);
            }
            at.setY(label.schematic.bottom() + 2);
        }
        for (const QString &modifiers : label.modifierRows)
            row(fonts.small, modifiers, Ink);
        if (!label.written) {
            QFont italic = fonts.small;
            italic.setItalic(true);
            row(italic, QStringLiteral("not written"), Ink);
        }
    }
    painter.restore();
    painter.setPen(QPen(FrameInk, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(view.plot);
}

// A row's text where the picture is too narrow for it: whole parts (", "
// between them) are left out from the end, marked with an ellipsis, so that
// no number is cut into another number and nothing is hidden unmarked.
QString elided(const QPainter &painter, const QString &text, double width)
{
    const QFontMetricsF metrics(painter.font());
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    QStringList parts = text.split(QStringLiteral(", "));
    while (parts.size() > 1) {
        parts.removeLast();
        const QString shorter = parts.join(QStringLiteral(", ")) + QStringLiteral(", \u2026");
        if (metrics.horizontalAdvance(shorter) <= width)
            return shorter;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

} // namespace

QColor lineColor(int line)
{
    Q_ASSERT(line >= 1 && line <= PictureContent::LineCount);
    static const QColor colors[PictureContent::LineCount] = {
        QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00), QColor(0x00, 0x9E, 0x73)};
    return colors[line - 1];
}

void paintPicture(QPainter &painter, const PictureContent &content, const PictureLayout &layout)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(QPointF(0, 0), layout.size), QColor(0xF6, 0xF6, 0xF4));
    const PictureFonts fonts = pictureFonts();
    painter.setFont(fonts.title);
    painter.setPen(Ink);
    painter.drawText(layout.titleRect, Qt::AlignLeft | Qt::AlignVCenter, pictureTitle(content));
    if (content.formation < 0) {
        painter.setFont(fonts.text);
        painter.drawText(QRectF(QPointF(0, 0), layout.size), Qt::AlignCenter,
                         QStringLiteral("Choose a formation with the numbered buttons."));
        painter.restore();
        return;
    }
    for (int v = 0; v < ViewCount; ++v)
        paintView(painter, content, layout, layout.views[v], v);

    painter.setFont(fonts.text);
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        const QRectF row = layout.legendRows[l];
        painter.setPen(Qt::NoPen);
        painter.setBrush(lineColor(l + 1));
        painter.drawEllipse(QPointF(row.left() + 5, row.center().y()), 4, 4);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(Ink);
        const QRectF text = row.adjusted(14, 0, 0, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                         elided(painter, lineDescription(content.lines[l], l + 1), text.width()));
    }
    QFont italic = fonts.text;
    italic.setItalic(true);
    painter.setFont(italic);
    painter.drawText(layout.noteRect, Qt::AlignLeft | Qt::AlignVCenter,
                     elided(painter, spacingNote(), layout.noteRect.width()));
    painter.restore();
}
