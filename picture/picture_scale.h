#pragma once

#include <QString>

// Round numbers for grids and scale bars.

// The smallest of 1, 2 and 5 times a power of ten that is at least
// `atLeast` (> 0): 0.3 -> 0.5, 7 -> 10, 1200 -> 2000.
double roundStep(double atLeast);

// A round number of feet for a scale bar: "20,000 ft", "1 ft", "0.5 ft".
QString stepText(double feet);

// The range of one axis a picture must show: its values and zero, at least
// `minimumSpan` wide, centred on the middle of the values.
struct AxisRange {
    double low = 0;
    double high = 0;
    double span() const { return high - low; }
    double middle() const { return (low + high) / 2; }
};
AxisRange axisRange(const double *values, int count, double minimumSpan);
