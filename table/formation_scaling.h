#pragma once

#include "formation_line.h"

#include <QStringList>
#include <array>
#include <optional>

// A formation's offsets scaled and moved: each offset of a chosen line
// becomes offset x factor + shift, in feet, stored to the nearest 1/21
// foot (an exact half to the even neighbour) and held to what the record
// can store.

using FormationLines = std::array<FormationLine, 3>;

// What a move may ask, beyond which no offset of the record could be
// anything but held at its end: a factor of at most a million either way,
// a shift of at most a thousand million feet (the record holds about 102
// million).
inline constexpr double MostScaleFactor = 1e6;
inline constexpr double MostShiftFeet = 1e9;

struct ScaleMove {
    std::array<double, 3> factor{1, 1, 1}; // X, Y, Z
    std::array<double, 3> shiftFeet{0, 0, 0};
    std::array<bool, 3> lines{true, true, true}; // lines 1, 2 and 3
};

struct ScaledFormation {
    FormationLines lines;
    // The offsets held to the record's range, as "line 2 X".
    QStringList clamped;
};

ScaledFormation scaleAndMove(const FormationLines &lines, const ScaleMove &move);

// The move that boxes ask, X, Y and Z, as the panel reads a number typed
// into a box; nothing when a box holds none the move takes, or no line is
// chosen, with `problem` saying so in words.
std::optional<ScaleMove> readScaleMove(const std::array<QString, 3> &factors,
                                       const std::array<QString, 3> &shiftsFeet,
                                       const std::array<bool, 3> &lines, QString *problem);
