// Reading the CSV form of the table: a format row, a header row that names
// the columns, then one row per line in any order.
#include "csv.h"
#include "formation_table.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text_fields.h"

#include <algorithm>
#include <map>

using namespace tabletext;

namespace
{

QString rowPlace(int row, const QString &column = QString())
{
    return column.isEmpty() ? QStringLiteral("row %1").arg(row)
                            : QStringLiteral("row %1, column %2").arg(QString::number(row), column);
}

// A number cell as a message shows it: as written, unless it is long.
QString shownCell(const QString &cell)
{
    const QString trimmed = cell.trimmed();
    return trimmed.size() <= 40 && !trimmed.isEmpty() ? trimmed : shown(cell);
}

class CsvReader
{
public:
    TableText read(QStringView text);

private:
    bool fail(int row, const QString &column, const QString &what)
    {
        m_error = rowPlace(row, column) + QStringLiteral(": ") + what;
        return false;
    }
    bool readFormatRow(const CsvRecord &record);
    bool readHeader(const CsvRecord &record);
    bool readRow(const CsvRecord &record, int &formation, int &lineNumber, TextLine &line);
    // The cell of a column in a row; empty when the column or the cell is not there.
    QString cell(const CsvRecord &record, const QString &column) const;
    bool number(const CsvRecord &record, const QString &column, std::optional<GivenNumber> &out);
    bool required(const CsvRecord &record, const QString &column, std::optional<GivenNumber> &out,
                  double low, double high, const QString &what, int &value);

    QStringList m_header;
    QString m_error;
};

TableText CsvReader::read(QStringView text)
{
    TableText result;
    CsvParser parser(text);
    CsvRecord record;
    // Gives the fault of the parser, or of the rows, as the result.
    auto failed = [&] {
        if (parser.failed()) {
            // Past the header, a column is named as the header names it.
            const QString name = m_header.value(parser.errorField() - 1);
            m_error = rowPlace(parser.errorRow(),
                               name.isEmpty() ? QString::number(parser.errorField()) : name) +
                      QStringLiteral(": ") + parser.error() + u'.';
        }
        result.error = m_error;
        return result;
    };
    if (!parser.next(record)) {
        m_error = QStringLiteral("The text is empty.");
        return failed();
    }
    if (!readFormatRow(record))
        return failed();
    if (!parser.next(record)) {
        m_error = QStringLiteral("The text ends after its first row; the header row is missing.");
        return failed();
    }
    if (!readHeader(record))
        return failed();

    struct Seen {
        int firstRow = 0;
        int rowOfLine[FormationTable::LinesPerFormation] = {};
        TextFormation formation;
    };
    std::map<int, Seen> seen;
    while (parser.next(record)) {
        int formation = 0;
        int lineNumber = 0;
        TextLine line;
        if (!readRow(record, formation, lineNumber, line))
            return failed();
        Seen &entry = seen[formation];
        if (entry.firstRow == 0)
            entry.firstRow = record.row;
        int &rowOfLine = entry.rowOfLine[lineNumber - 1];
        if (rowOfLine != 0) {
            fail(record.row, QStringLiteral("line"),
                 QStringLiteral("formation %1 line %2 is given twice, in row %3 and here.")
                     .arg(QString::number(formation), QString::number(lineNumber),
                          QString::number(rowOfLine)));
            return failed();
        }
        rowOfLine = record.row;
        entry.formation.formation = formation;
        entry.formation.lines[lineNumber - 1] = line;
    }
    if (parser.failed())
        return failed();
    if (seen.empty()) {
        m_error = QStringLiteral("The text holds no formation: there is no row after the "
                                 "header.");
        return failed();
    }
    for (const auto &[number, entry] : seen) {
        for (int line = 0; line < FormationTable::LinesPerFormation; ++line) {
            if (entry.rowOfLine[line] == 0) {
                fail(entry.firstRow, QStringLiteral("line"),
                     QStringLiteral("formation %1 has no line %2; a formation has exactly three "
                                    "lines, 1, 2 and 3.")
                         .arg(number)
                         .arg(line + 1));
                return failed();
            }
        }
        result.formations.append(entry.formation);
    }
    result.ok = true;
    return result;
}

bool CsvReader::readFormatRow(const CsvRecord &record)
{
    const QStringList &cells = record.fields;
    const QString expected = QStringLiteral("format,%1,formatVersion,%2")
                                 .arg(QLatin1String(TableTextFormatName))
                                 .arg(TableTextFormatVersion);
    if (cells.size() < 4 || cells[0] != QLatin1String("format") ||
        cells[1] != QLatin1String(TableTextFormatName) ||
        cells[2] != QLatin1String("formatVersion"))
        return fail(record.row, QString(),
                    QStringLiteral("the first row must be %1; this is not a KGF formation table "
                                   "text.")
                        .arg(expected));
    const auto version = parseNumberBox(cells[3]);
    if (!version || *version != TableTextFormatVersion)
        return fail(record.row, QStringLiteral("4"),
                    QStringLiteral("this text is of version %1; this program reads version %2.")
                        .arg(shownCell(cells[3]), QString::number(TableTextFormatVersion)));
    for (qsizetype k = 4; k < cells.size(); ++k)
        if (!cells[k].isEmpty())
            return fail(record.row, QString::number(k + 1),
                        QStringLiteral("the first row ends after the version, but this cell holds "
                                       "%1.")
                            .arg(shown(cells[k])));
    return true;
}

bool CsvReader::readHeader(const CsvRecord &record)
{
    const QStringList known = csvHeader();
    for (qsizetype k = 0; k < record.fields.size(); ++k) {
        const QString &name = record.fields[k];
        if (name.isEmpty())
            continue; // a spreadsheet may carry empty columns along
        if (!known.contains(name))
            return fail(record.row, QString::number(k + 1),
                        QStringLiteral("%1 is not a column name; the columns are %2.")
                            .arg(shown(name), known.join(QStringLiteral(", "))));
        if (record.fields.indexOf(name) != k)
            return fail(record.row, QString::number(k + 1),
                        QStringLiteral("the column %1 is there twice.").arg(name));
    }
    m_header = record.fields;
    QStringList needed{QStringLiteral("formation"), QStringLiteral("line")};
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        needed << modifierCaption(k);
    needed << QStringLiteral("count");
    for (const QString &name : needed)
        if (!m_header.contains(name))
            return fail(
                record.row, QString(),
                QStringLiteral("the header has no column %1, which every line needs.").arg(name));
    return true;
}

QString CsvReader::cell(const CsvRecord &record, const QString &column) const
{
    const qsizetype at = m_header.indexOf(column);
    return at < 0 ? QString() : record.fields.value(at);
}

bool CsvReader::number(const CsvRecord &record, const QString &column,
                       std::optional<GivenNumber> &out)
{
    const QString text = cell(record, column);
    if (text.isEmpty())
        return true;
    const auto value = parseNumberBox(text);
    if (!value)
        return fail(record.row, column, QStringLiteral("%1 is not a number.").arg(shown(text)));
    out = GivenNumber{*value, shownCell(text)};
    return true;
}

bool CsvReader::required(const CsvRecord &record, const QString &column,
                         std::optional<GivenNumber> &out, double low, double high,
                         const QString &what, int &value)
{
    if (!number(record, column, out))
        return false;
    if (!out)
        return fail(record.row, column, QStringLiteral("the cell is empty."));
    const auto whole = wholeIn(out->value, low, high);
    if (!whole)
        return fail(record.row, column, QStringLiteral("%1 is not %2.").arg(out->shown, what));
    value = *whole;
    return true;
}

bool CsvReader::readRow(const CsvRecord &record, int &formation, int &lineNumber, TextLine &line)
{
    for (qsizetype k = 0; k < record.fields.size(); ++k) {
        if (record.fields[k].isEmpty() || !m_header.value(k).isEmpty())
            continue;
        return fail(record.row, QString::number(k + 1),
                    QStringLiteral("this cell holds %1, but its column has no name in the header.")
                        .arg(shown(record.fields[k])));
    }
    std::optional<GivenNumber> given;
    if (!required(record, QStringLiteral("formation"), given, 0, FormationTable::FormationCount - 1,
                  QStringLiteral("a formation number from 0 to 30"), formation))
        return false;
    given.reset();
    if (!required(record, QStringLiteral("line"), given, 1, FormationTable::LinesPerFormation,
                  QStringLiteral("a line number from 1 to 3"), lineNumber))
        return false;

    LineFields fields;
    if (const QString type = cell(record, QStringLiteral("type")); !type.isEmpty())
        fields.type = type;
    for (int k = 0; k < FormationLine::ModifierCount; ++k) {
        const QString column = modifierCaption(k);
        const QString value = cell(record, column).trimmed();
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return fail(record.row, column,
                        value.isEmpty()
                            ? QStringLiteral("the cell is empty; write 1 (set) or 0 (not set).")
                            : QStringLiteral("%1 is not 1 (set) or 0 (not set).")
                                  .arg(shown(cell(record, column))));
        fields.modifiers[k] = value == QLatin1String("1");
    }
    if (!number(record, QStringLiteral("typeIndex"), fields.typeIndex) ||
        !number(record, QStringLiteral("count"), fields.count) ||
        !number(record, QStringLiteral("byte0"), fields.byte0) ||
        !number(record, QStringLiteral("byte3"), fields.byte3))
        return false;
    for (int axis = 0; axis < Axes; ++axis) {
        if (!number(record, feetField(axis), fields.feet[axis]) ||
            !number(record, storedField(axis), fields.stored[axis]))
            return false;
        if (fields.feet[axis]) // feet are read as the window reads its box
            fields.feet[axis]->shown = shown(cell(record, feetField(axis)));
    }
    return readCheckedLine(
        fields, [&record](const QString &field) { return rowPlace(record.row, field); }, line,
        m_error);
}

} // namespace

namespace tabletext
{

TableText readCsv(QByteArrayView text)
{
    return CsvReader().read(QString::fromUtf8(text));
}

} // namespace tabletext
