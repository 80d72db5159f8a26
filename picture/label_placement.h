#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Places labels beside their points so that no two labels overlap, and,
// where there is room, none covers another point or leaves `bounds`.
// Labels are placed in order, so earlier ones get the better places.
struct LabelRequest {
    QPointF anchor; // the point the label belongs to
    QSizeF size;
};

// `taken` are areas already drawn on (axis names, a scale bar), which labels
// keep clear of as of each other. `obstacles` are points labels should not
// cover (markers), each a square of `obstacleRadius` around it. The result
// has one rectangle per request.
QList<QRectF> placeLabels(const QList<LabelRequest> &requests, const QRectF &bounds,
                          const QList<QRectF> &taken, const QList<QPointF> &obstacles,
                          double obstacleRadius, double gap);
