#include "formation_scaling.h"

#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double Least = std::numeric_limits<qint32>::min();
constexpr double Most = std::numeric_limits<qint32>::max();

qint32 *offsetOf(FormationLine &line, int axis)
{
    return axis == 0 ? &line.xOffset : axis == 1 ? &line.yOffset : &line.zOffset;
}

} // namespace

ScaledFormation scaleAndMove(const FormationLines &lines, const ScaleMove &move)
{
    ScaledFormation scaled{lines, {}};
    for (int line = 0; line < 3; ++line) {
        if (!move.lines[line])
            continue;
        for (int axis = 0; axis < 3; ++axis) {
            Q_ASSERT(std::abs(move.factor[axis]) <= MostScaleFactor &&
                     std::abs(move.shiftFeet[axis]) <= MostShiftFeet);
            qint32 *offset = offsetOf(scaled.lines[line], axis);
            // In stored units throughout: stored x factor + 21 x shift is
            // 21 times the new feet, so one rounding gives the nearest 1/21.
            // Both terms stay far below 2^53, where a double holds them to
            // well under a unit.
            const double wanted = roundHalfEven(*offset * move.factor[axis] +
                                                move.shiftFeet[axis] * FormationLine::UnitsPerFoot);
            if (wanted < Least || wanted > Most)
                scaled.clamped
                    << QStringLiteral("line %1 %2").arg(line + 1).arg(QLatin1Char("XYZ"[axis]));
            *offset = qint32(std::clamp(wanted, Least, Most));
        }
    }
    return scaled;
}

std::optional<ScaleMove> readScaleMove(const std::array<QString, 3> &factors,
                                       const std::array<QString, 3> &shiftsFeet,
                                       const std::array<bool, 3> &lines, QString *problem)
{
    ScaleMove move;
    move.lines = lines;
    const struct {
        const std::array<QString, 3> &texts;
        std::array<double, 3> &values;
        double most;
        const char *what; // after the axis, up to the range
    } boxes[] = {{factors, move.factor, MostScaleFactor, "factor is a number"},
                 {shiftsFeet, move.shiftFeet, MostShiftFeet, "shift is feet"}};
    for (int axis = 0; axis < 3; ++axis)
        for (const auto &box : boxes) {
            const std::optional<double> value = parseNumberBox(box.texts[axis]);
            if (!value || std::abs(*value) > box.most) {
                *problem = QStringLiteral("%1 %2 from -%3 to %3, not \"%4\".")
                               .arg(QLatin1Char("XYZ"[axis]))
                               .arg(QLatin1String(box.what))
                               .arg(qint64(box.most))
                               .arg(box.texts[axis].trimmed());
                return std::nullopt;
            }
            box.values[axis] = *value;
        }
    if (lines == std::array<bool, 3>{false, false, false}) {
        *problem = QStringLiteral("No line is chosen.");
        return std::nullopt;
    }
    problem->clear();
    return move;
}
