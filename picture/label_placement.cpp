#include "label_placement.h"

#include <algorithm>
#include <functional>

namespace
{

// Places beside `anchor`, nearest first: right, left, above, below and the
// corners, then the same further out.
QList<QRectF> candidates(const LabelRequest &request, double gap)
{
    const double w = request.size.width();
    const double h = request.size.height();
    const QPointF p = request.anchor;
    QList<QRectF> places;
    for (int ring = 0; ring < 6; ++ring) {
        const double d = gap + ring * (h / 2 + 4);
        const QPointF corners[] = {{p.x() + d, p.y() - h / 2},     {p.x() - d - w, p.y() - h / 2},
                                   {p.x() + d, p.y() - d - h},     {p.x() + d, p.y() + d},
                                   {p.x() - d - w, p.y() - d - h}, {p.x() - d - w, p.y() + d},
                                   {p.x() - w / 2, p.y() - d - h}, {p.x() - w / 2, p.y() + d}};
        for (const QPointF &corner : corners)
            places << QRectF(corner, request.size);
    }
    return places;
}

} // namespace

QList<QRectF> placeLabels(const QList<LabelRequest> &requests, const QRectF &bounds,
                          const QList<QRectF> &taken, const QList<QPointF> &obstacles,
                          double obstacleRadius, double gap)
{
    QList<QRectF> placed = taken;
    for (const LabelRequest &request : requests) {
        const QList<QRectF> places = candidates(request, gap);
        auto freeOfLabels = [&](const QRectF &r) {
            return std::none_of(placed.begin(), placed.end(),
                                [&](const QRectF &other) { return other.intersects(r); });
        };
        auto freeOfMarkers = [&](const QRectF &r) {
            return std::none_of(obstacles.begin(), obstacles.end(), [&](const QPointF &o) {
                return r.intersects(QRectF(o.x() - obstacleRadius, o.y() - obstacleRadius,
                                           2 * obstacleRadius, 2 * obstacleRadius));
            });
        };
        // Each pass asks for less; the last place, below every label so far,
        // always keeps labels apart.
        const std::function<bool(const QRectF &)> passes[] = {
            [&](const QRectF &r) {
                return bounds.contains(r) && freeOfLabels(r) && freeOfMarkers(r);
            },
            [&](const QRectF &r) { return bounds.contains(r) && freeOfLabels(r); }, freeOfLabels};
        QRectF chosen;
        bool found = false;
        for (const auto &pass : passes) {
            const auto it = std::find_if(places.begin(), places.end(), pass);
            if (it != places.end()) {
                chosen = *it;
                found = true;
                break;
            }
        }
        if (!found) {
            double bottom = request.anchor.y();
            for (const QRectF &r : placed)
                bottom = std::max(bottom, r.bottom());
            chosen = QRectF(QPointF(request.anchor.x() + gap, bottom + 2), request.size);
        }
        placed << chosen;
    }
    return placed.mid(taken.size());
}
