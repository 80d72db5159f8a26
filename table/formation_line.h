#pragma once

#include <QByteArray>
#include <QtGlobal>

class FormationTable;

// One 16-byte line of a formation, as stored in the table:
//   0 byte0     not interpreted, carried unchanged
//   1 typeCode  bits 0-3 type index, bits 4-7 modifier flags
//   2 count     number of aircraft
//   3 byte3     not interpreted, carried unchanged
//   4 xOffset   signed 32-bit little-endian, 1/21 foot
//   8 yOffset
//  12 zOffset
struct FormationLine {
    static constexpr int Size = 16;
    static constexpr int TypeCount = 8;     // type indices with a button
    static constexpr int ModifierCount = 4; // flags in bits 4..7
    static constexpr int UnitsPerFoot = 21;

    quint8 byte0 = 0;
    quint8 typeCode = 0;
    quint8 count = 0;
    quint8 byte3 = 0;
    qint32 xOffset = 0;
    qint32 yOffset = 0;
    qint32 zOffset = 0;

    int typeIndex() const { return typeCode & 0x0F; }
    // Modifier k (0 "One lead", 1 "Staggered", 2 "Step", 3 "Alternate") has value 16 << k.
    bool hasModifier(int k) const { return (typeCode >> (4 + k)) & 1; }
    static quint8 makeTypeCode(int typeIndex, const bool (&modifiers)[ModifierCount]);

    static FormationLine fromBytes(const QByteArray &bytes); // exactly 16 bytes
    QByteArray toBytes() const;

    friend bool operator==(const FormationLine &, const FormationLine &) = default;
};

// Decodes grid row `row` of the table.
FormationLine readLine(const FormationTable &table, int row);
// Encodes the editor's fields (type code, count, offsets) into grid row
// `row`: columns 2, 3 and 5 to 16. Columns 1 and 4 are never written.
void writeLine(FormationTable &table, int row, const FormationLine &line);
