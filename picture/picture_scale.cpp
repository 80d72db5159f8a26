#include "picture_scale.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

double roundStep(double atLeast)
{
    Q_ASSERT(atLeast > 0 && std::isfinite(atLeast));
    double power = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (;;) {
        for (const double factor : {1.0, 2.0, 5.0})
            // A relative tolerance, so that 1000 is not taken for more than 10^3.
            if (factor * power >= atLeast * (1 - 1e-12))
                return factor * power;
        power *= 10;
    }
}

QString stepText(double feet)
{
    const QLocale english(QLocale::English);
    const QString number = feet >= 1 ? english.toString(qlonglong(std::llround(feet)))
                                     : english.toString(feet, 'g', 3);
    return number + QStringLiteral(" ft");
}

AxisRange axisRange(const double *values, int count, double minimumSpan)
{
    AxisRange range;
    for (int i = 0; i < count; ++i) {
        range.low = std::min(range.low, values[i]);
        range.high = std::max(range.high, values[i]);
    }
    if (range.span() < minimumSpan) {
        const double middle = range.middle();
        range.low = middle - minimumSpan / 2;
        range.high = middle + minimumSpan / 2;
    }
    return range;
}
