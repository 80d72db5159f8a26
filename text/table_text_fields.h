#pragma once

// What the JSON and CSV forms of the table share: the names of the fields
// and the checks of one line once its fields are taken out of the text.

#include "table_text.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <functional>
#include <optional>

namespace tabletext
{

inline constexpr int Axes = 3; // X, Y, Z

// "xFeet", "yStored", ...
QString feetField(int axis);
QString storedField(int axis);

// The CSV header, which also gives the order of the columns written: all
// of them, or the offset columns of `units` only.
QStringList csvHeader(OffsetUnits units = OffsetUnits::Both);

// Whether a text written with `units` carries the offsets in feet; in
// stored units.
bool carriesFeet(OffsetUnits units);
bool carriesStored(OffsetUnits units);

// A number as the text gave it: its value, how to show it in a message, and
// whether it is written as a whole number. The value is the nearest double,
// so it cannot tell: 4.9999999999999999 is the double 5.
struct GivenNumber {
    double value = 0;
    QString shown;
    bool whole = false;
};

// A number as written in a text, in a form parseNumberBox reads ("4",
// "-4.50", "4E2", or "4,5" where the comma is the decimal mark), with its
// value.
GivenNumber givenNumber(double value, QStringView written);

// Whether a number so written is exactly a whole number. The digits decide,
// not the double: 4, 4.0, 4.00, 4e0, 0.4e1 and 400E-2 are whole, while
// 4.9999999999999999 and 1e-400 are not. A point or a comma may be the
// decimal mark.
bool writtenWhole(QStringView written);

// The fields of one line, each absent where the text leaves it out.
// Offsets in feet are numbers already, read as the window reads its boxes.
struct LineFields {
    std::optional<QString> type; // a caption, not yet checked
    std::optional<GivenNumber> typeIndex;
    std::array<bool, FormationLine::ModifierCount> modifiers{};
    std::optional<GivenNumber> count;
    std::array<std::optional<GivenNumber>, Axes> feet;
    std::array<std::optional<GivenNumber>, Axes> stored;
    std::optional<GivenNumber> byte0;
    std::optional<GivenNumber> byte3;
};

// How a message names a field of the line (an empty field: the line itself).
using PlaceOf = std::function<QString(const QString &field)>;

struct LineCheck {
    bool ok = false;
    TextLine line;
    QString error;
};

// The line the fields give, or the first thing wrong with them.
LineCheck checkLine(const LineFields &fields, const PlaceOf &place);
// The same for a reader: the line into `line`, or false with `error` set.
inline bool readCheckedLine(const LineFields &fields, const PlaceOf &place, TextLine &line,
                            QString &error)
{
    LineCheck check = checkLine(fields, place);
    if (check.ok)
        line = check.line;
    else
        error = check.error;
    return check.ok;
}

// A number written as a whole number from `low` to `high`, or nothing.
std::optional<int> wholeIn(const GivenNumber &given, int low, int high);

// The same, or nothing with `error` saying that the number is not `what`
// ("a line number from 1 to 3"), and that it has a fraction where that is
// all that is wrong with it.
std::optional<int> wholeField(const GivenNumber &given, int low, int high, const QString &what,
                              QString &error);

// The formation number (0..30) or line number (1..3) a text gives, or
// nothing with `error` saying why it is not one.
std::optional<int> formationNumber(const GivenNumber &given, QString &error);
std::optional<int> lineNumber(const GivenNumber &given, QString &error);

// What the first row of a CSV text is: the header (it names the column
// "formation"), the format row of older texts ("format" first), or neither.
enum class FirstRow { Header, FormatRow, Other };
FirstRow firstRowOf(const QStringList &cells);

// A text that is not read, and why.
TableText refused(const QString &error, bool isTableText = true);

// The message for a text that is neither form of a table text; `found`
// says what it begins with.
QString notTableText(const QString &found);

// The message for a text (without a byte-order mark) that begins with
// neither "{" nor the CSV header: what its first line is, and what a table
// text begins with.
QString beginsAsNeitherForm(QStringView text);

// A text from its first character that is not a JSON blank (space, tab, CR, LF).
QByteArrayView withoutLeadingBlanks(QByteArrayView text);

// What is said of a text of another version than this program's.
QString otherVersion(const QString &shownVersion);

// A text of the input as a message shows it: in quotes, cut after a few
// dozen characters, control characters written as escapes.
QString shown(QStringView text);

// Whether a text can stand in a one-line message as it is: no control
// characters, no line breaks.
bool printable(QStringView text);

// A number as a message shows it: whole numbers without a point.
QString shownNumber(double value);

// A number as the text writes it, as a message shows it: as written unless
// it is long or holds a line break or another control character.
QString shownAsWritten(const QString &written);

} // namespace tabletext

namespace tabletext
{

// The two readers, for a text within the size limit, without a byte order mark.
TableText readJson(QByteArrayView text);
TableText readCsv(QByteArrayView text);

} // namespace tabletext
