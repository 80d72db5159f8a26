#pragma once

#include "formation_line.h"

#include <QString>

// What the editing panel holds for one line, and how it becomes the line
// that is stored.
struct EditedLine {
    // The type button that is on, 0..7, or -1 when none is: the stored type
    // index is unknown to the editor and is kept.
    int typeIndex = 0;
    bool modifiers[FormationLine::ModifierCount] = {};
    QString count; // the "Number" box
    QString xOffset;
    QString yOffset;
    QString zOffset;
};

struct LineEncoding {
    bool ok = false;
    FormationLine line;
    QString error; // names the line and the field
};

// The stored line with the editor's fields put in: type code from the
// button and boxes, count from "Number" (0 to 255 after rounding), offsets
// in feet times 21, rounded half to even, as signed 32-bit values. The two
// bytes the editor does not interpret come from `stored`. `lineNumber`
// (1..3) is only for the message.
LineEncoding encodeEditedLine(const EditedLine &edited, const FormationLine &stored,
                              int lineNumber);

// Feet as stored units, or nothing when out of the 32-bit range.
std::optional<qint32> feetToStored(double feet);

// The panel's view of a stored line: the "Type" box shows the whole code.
struct LineTexts {
    QString type;
    QString count;
    QString xOffset;
    QString yOffset;
    QString zOffset;
};
LineTexts lineTexts(const FormationLine &line);
