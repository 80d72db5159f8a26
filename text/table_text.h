#pragma once

#include "formation_line.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// The table as text, for people, diff tools and spreadsheets: JSON, or CSV
// with one row per line. Both say what they are (JSON by "format" and
// "formatVersion", CSV by the column names of its header row), give each
// formation its number and name and each line its number, type (by caption
// and by index), modifiers by caption, count, the offsets in feet (in JSON
// a number, in CSV as the window shows them), in stored units or both, and
// the two bytes the window does not show.
//
// Reading takes texts from anywhere (files from forums, the clipboard), so
// it checks all of a text before it gives anything back, and every message
// names the place: the formation and line as the window numbers them, where
// the text gives them, beside a JSON path such as
// formations[0].lines[1].count or a CSV row and column.

enum class TextFormat { Json, Csv };

inline constexpr char TableTextFormatName[] = "KGF formation table";
inline constexpr int TableTextFormatVersion = 1;
// Longer texts are refused before they are parsed.
inline constexpr qsizetype MaxTableTextBytes = qsizetype(16) << 20;

// One line as read: every field but the two carried bytes is always given.
struct TextLine {
    FormationLine line; // byte0 and byte3 are 0 where the text leaves them out
    bool hasByte0 = false;
    bool hasByte3 = false;
};

struct TextFormation {
    int formation = 0;             // 0..30
    std::array<TextLine, 3> lines; // lines 1, 2 and 3
    QString name; // as the text gives it, for the reader's eyes only: names come from readorder.txt
};

struct TableText {
    bool ok = false;
    QString error;                   // where and what, in plain words, when not ok
    QList<TextFormation> formations; // by ascending number, each at most once
    // False when the text is not meant as a table text at all, so that its
    // error tells a person who pasted it nothing: prose, another program's
    // CSV, a first row that is neither the header nor the format row of
    // older texts, an empty text. True for every text that is, or comes
    // close to, a table text, whose error says what to mend: any JSON object,
    // a JSON array (a list of formations without the object around it), JSON
    // after a comment, a text in UTF-32, a CSV text whose header is faulty.
    bool isTableText = true;
};

// A text is UTF-8, with or without a byte-order mark, or UTF-16 (little- or
// big-endian) when it begins with the byte-order mark of UTF-16, as
// Notepad's "Unicode", Excel's "Unicode Text" and Windows PowerShell's ">"
// write it. A text that begins with the byte-order mark of UTF-32 is
// refused in either form.
//
// A text that is neither form (no JSON object, no CSV whose first row is
// the header) is refused with an error that says so and what the text
// begins with.

// JSON when the first character after the byte-order mark and blanks is
// "{" or "[", or the text begins with a comment ("//" or "/*"), so that
// the JSON reader says what such a text is; CSV otherwise.
TextFormat detectTextFormat(QByteArrayView text);

// Whether the first bytes of a text (a few KiB are enough) begin as a table
// text does, or close enough that the reader says what to mend: after a
// byte-order mark and blanks, with "{", "[" or a comment ("//", "/*"),
// with a CSV first row that is the header, the format row of older texts
// or a spreadsheet's "sep=" line; or with the byte-order mark of UTF-32.
// Such a file is never taken for a table's bytes, nor written over by one.
bool beginsAsTableText(QByteArrayView head);

// Reads a text of at most MaxTableTextBytes bytes; a UTF-16 text must be
// whole UTF-16 (no half characters).
TableText readTableText(QByteArrayView text, TextFormat format);
inline TableText readTableText(QByteArrayView text)
{
    return readTableText(text, detectTextFormat(text));
}

// The offset fields a written text carries. Either unit alone reads back
// to the same stored values; a script that changes one unit writes only it,
// so that no stale value of the other disagrees with the change.
enum class OffsetUnits { Feet, Stored, Both };

// The whole table (1,488 bytes) with the names of formations 0..30 (missing
// names are empty).
QByteArray writeTableText(const QByteArray &table, const QStringList &names, TextFormat format,
                          OffsetUnits units = OffsetUnits::Both);

// An offset in feet as JSON writes it, a number: the double nearest
// stored / 21. Written in the fewest digits that read back as that double,
// it gives `stored` again when read as feet (times 21, rounded).
double offsetInFeet(qint32 stored);

// One formation of the table as a JSON text of the same form, holding only it.
QByteArray writeFormationText(const QByteArray &table, int formation, const QString &name);

// Why a text that readTableText refused cannot be pasted as a formation, in
// one sentence for the window: a text meant as none says only that the
// clipboard holds no formation; one meant as a table text says what to
// mend, and where.
QString pasteRefusal(const TableText &read);

// Whether the text gives all 31 formations, enough to make a table of its own.
bool coversWholeTable(const TableText &text);

// The table a text gives whole: all 31 formations, each line with its two
// carried bytes, so that no byte of it is guessed. Nothing otherwise, with
// `error` saying what is missing and where; as a table file's reading
// (TableTextReading in table_loader.h) takes it.
std::optional<QByteArray> wholeTableFromText(QByteArrayView text, QString *error);

// `base` (1,488 bytes) with every formation of the text put in; a carried
// byte the text leaves out keeps its value in `base`.
QByteArray applyTableText(const QByteArray &base, const TableText &text);

// `base` with one read formation put in as formation `formation`, whatever
// number the text gave it.
QByteArray applyTextFormation(const QByteArray &base, int formation, const TextFormation &read);
