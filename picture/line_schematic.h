#pragma once

#include <QList>
#include <QPointF>

// A small sign of a line's formation type: where its aircraft are drawn,
// as dots in a unit square (0..1 across, 0..1 down), the lead first. The
// spacing is a sign of the type, not the game's distances.

constexpr int SchematicMostDots = 8; // more aircraft are told as "+N"

// The dots of type index 0..7 for `count` aircraft: min(count, 8) dots.
QList<QPointF> schematicDots(int typeIndex, int count);
