#pragma once

#include "formation_line.h"

#include <QString>

// What the editing panel holds for one line, and how it becomes the line
// that is stored.
struct EditedLine {
    // The type index to store, 0..15 (see typeIndexToStore).
    int typeIndex = 0;
    bool modifiers[FormationLine::ModifierCount] = {};
    QString count; // the "Number" box
    QString xOffset;
    QString yOffset;
    QString zOffset;
};

struct LineEncoding {
    // The panel's boxes of a line, in order.
    enum Field { Type, Count, XOffset, YOffset, ZOffset, FieldCount };

    bool ok = false;
    FormationLine line;
    QString error;  // names the line and the field
    int field = -1; // the box that was refused, when not ok
};

// The type index "Edit this one" stores for a line: the type button that is
// on (0..7); with none on, the index 8..15 the panel was showing for that
// line (it has no button, `shownWithoutButton`, -1 when there is none); else 0.
int typeIndexToStore(int buttonOn, int shownWithoutButton);

// The stored line with the editor's fields put in: type code from the
// type index and modifier boxes, count from "Number" (0 to 255 after rounding), offsets
// in feet times 21, rounded half to even, as signed 32-bit values. The two
// bytes the editor does not interpret come from `stored`. `lineNumber`
// (1..3) is only for the message.
LineEncoding encodeEditedLine(const EditedLine &edited, const FormationLine &stored,
                              int lineNumber);

// Feet as stored units, or nothing when out of the 32-bit range.
std::optional<qint32> feetToStored(double feet);
// What is wrong with `feet`, typed as `shown`, when feetToStored gives nothing:
// "-1e9 feet is beyond what the table can hold (from ... feet)."
QString feetOutOfRange(const QString &shown, double feet);

// The panel's view of a stored line: the "Type" box shows the whole code.
struct LineTexts {
    QString type;
    QString count;
    QString xOffset;
    QString yOffset;
    QString zOffset;
};
LineTexts lineTexts(const FormationLine &line);

// The working texts of one stored offset, as "Edit this one" leaves them:
// the value as eight upper-case hex digits, two's complement for negative
// values, and its four bytes in decimal, least significant first.
// 2100 -> "00000834", {"52", "8", "0", "0"}.
struct OffsetTexts {
    QString hex;
    QString bytes[4];
};
OffsetTexts offsetTexts(qint32 stored);
