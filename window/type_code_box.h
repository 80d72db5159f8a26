#pragma once

#include <QString>
#include <optional>

// What a line's "Type" box holds: a type code, the type index in bits 0 to 3
// and the modifier flags in bits 4 to 7, as a whole number from 0 to 255,
// written as the other boxes' numbers are (" 35 ", "3.5E1").
struct TypeCodeReading {
    std::optional<int> code;
    QString error; // names the line and the field when there is no code
};

// "35" -> 35; "" -> "Line 2, Type: the box is empty."; "300" -> "Line 2,
// Type: 300 is not a type code, a whole number from 0 to 255." `lineNumber`
// (1..3) is only for the message.
TypeCodeReading readTypeCodeBox(const QString &text, int lineNumber);
