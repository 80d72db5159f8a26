#include "line_schematic.h"

#include "formation_line.h"

#include <algorithm>

QList<QPointF> schematicDots(int typeIndex, int count)
{
    Q_ASSERT(typeIndex >= 0 && typeIndex < FormationLine::TypeCount);
    const int n = std::clamp(count, 0, SchematicMostDots);
    QList<QPointF> dots;
    for (int i = 0; i < n; ++i) {
        const double t = n > 1 ? double(i) / (n - 1) : 0.5; // 0 the lead, 1 the last
        switch (typeIndex) {
        case 0: // line astern: one behind another
            dots << QPointF(0.5, t);
            break;
        case 1: // line abreast right: side by side, the lead on the left
            dots << QPointF(t, 0.5);
            break;
        case 2: // line abreast left
            dots << QPointF(1 - t, 0.5);
            break;
        case 3: // line echelon right: each behind and to the right
            dots << QPointF(t, t);
            break;
        case 4: // line echelon left
            dots << QPointF(1 - t, t);
            break;
        case 5: { // inverted V: the lead at the apex, the others in pairs below it
            const int pairs = n / 2;
            const int pair = (i + 1) / 2;
            const double spread = pairs > 0 ? double(pair) / pairs : 0;
            dots << QPointF(0.5 + (i % 2 ? -0.5 : 0.5) * spread * (i > 0), spread);
            break;
        }
        case 6: { // diamond: its four corners, then the middles of its sides
            static const QPointF places[SchematicMostDots] = {
                {0.5, 0},     {0, 0.5},     {1, 0.5},     {0.5, 1},
                {0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}};
            dots << places[i];
            break;
        }
        default: // bomber stream: a column two abreast, staggered
            dots << QPointF(i % 2 ? 0.7 : 0.3, t);
            break;
        }
    }
    return dots;
}
