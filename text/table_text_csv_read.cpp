// Reading the CSV form of the table: a header row that names the columns,
// then one row per line in any order. Texts written before the header came
// first have a format row above it.
#include "csv.h"
#include "formation_table.h"
#include "gathered_lines.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text_fields.h"

using namespace tabletext;

namespace
{

QString rowPlace(int row, const QString &column = QString())
{
    return column.isEmpty() ? QStringLiteral("row %1").arg(row)
                            : QStringLiteral("row %1, column %2").arg(QString::number(row), column);
}

// Reads a table text top-down: the head (the header, after the format row
// in older texts), then each row as one line, then whether every formation
// has its three lines. The first fault ends the reading; m_error says where
// and what.
class CsvReader
{
public:
    explicit CsvReader(QStringView text)
        : m_text(text), m_separator(csvSeparator(text)), m_parser(text, 1000, m_separator)
    {
    }
    TableText read();

private:
    bool readHead();
    bool refuseFirstRow(const CsvRecord &record);
    bool readFormatRow(const CsvRecord &record);
    bool readHeader(const CsvRecord &record);
    bool readRows();
    bool readRow(const CsvRecord &record);
    bool readVersion(const CsvRecord &record);
    bool readPlace(const CsvRecord &record, int &formation, int &lineNumber);
    bool readFields(const CsvRecord &record, LineFields &fields);
    bool readModifiers(const CsvRecord &record, LineFields &fields);
    bool readNumbers(const CsvRecord &record, LineFields &fields);
    bool noUnnamedCells(const CsvRecord &record);
    bool allLinesGiven();

    // The cell of a column in a row; empty when the column or the cell is not there.
    QString cell(const CsvRecord &record, const QString &column) const;
    bool number(const CsvRecord &record, const QString &column, std::optional<GivenNumber> &out);
    std::optional<GivenNumber> numberIn(const QString &cell) const;

    // The row and column, after the formation and line of the row where its cells give them.
    QString place(const CsvRecord &record, const QString &column) const;
    bool fail(const CsvRecord &record, const QString &column, const QString &what)
    {
        m_error = place(record, column) + QStringLiteral(": ") + what;
        return false;
    }
    bool failText(const QString &what)
    {
        m_error = what;
        return false;
    }
    // The parser's fault; past the header, its column is named as the header names it.
    bool parserFault();

    QStringView m_text;
    QChar m_separator;
    CsvParser m_parser;
    QStringList m_header;
    QString m_error;
    bool m_isTableText = true;
    GatheredLines m_gathered;
};

// A column a later form may add to say its version; this program's texts
// leave it out.
const QString VersionColumn = QStringLiteral("formatVersion");

TableText CsvReader::read()
{
    TableText result;
    if (readHead() && readRows() && allLinesGiven()) {
        result.formations = m_gathered.formations();
        result.ok = true;
    } else {
        result.error = m_error;
        result.isTableText = m_isTableText;
    }
    return result;
}

bool CsvReader::parserFault()
{
    const QString name = m_header.value(m_parser.errorField() - 1);
    return fail(m_parser.faultyRecord(),
                name.isEmpty() ? QString::number(m_parser.errorField()) : name,
                m_parser.error() + u'.');
}

bool CsvReader::readHead()
{
    CsvRecord record;
    if (!m_parser.next(record)) {
        // A first row that does not parse is a header only if what was read of it is.
        if (m_parser.failed() && firstRowOf(m_parser.faultyRecord().fields) == FirstRow::Header)
            return parserFault();
        if (m_parser.failed())
            return refuseFirstRow(m_parser.faultyRecord());
        m_isTableText = false;
        return failText(QStringLiteral("The text is empty."));
    }
    const FirstRow first = firstRowOf(record.fields);
    if (first == FirstRow::FormatRow) {
        if (!readFormatRow(record))
            return false;
        if (!m_parser.next(record))
            return m_parser.failed() ? parserFault()
                                     : failText(QStringLiteral("The text ends after its first "
                                                               "row; the header row is missing."));
    } else if (first == FirstRow::Other) {
        return refuseFirstRow(record);
    }
    return readHeader(record);
}

// A first row that is neither the header nor the format row of older texts.
bool CsvReader::refuseFirstRow(const CsvRecord &record)
{
    m_isTableText = false;
    // A JSON object, read as CSV by --format csv, is no table in CSV form only.
    if (m_text.trimmed().startsWith(u'{'))
        return fail(record, QString(),
                    QStringLiteral("the first row must be the header, which names the columns "
                                   "%1; this is not a KGF formation table text.")
                        .arg(csvHeader().join(u',')));
    return failText(beginsAsNeitherForm(m_text));
}

bool CsvReader::readFormatRow(const CsvRecord &record)
{
    const QStringList &cells = record.fields;
    if (cells.size() < 4 || cells[0] != QLatin1String("format") ||
        cells[1] != QLatin1String(TableTextFormatName) ||
        cells[2] != QLatin1String("formatVersion"))
        return refuseFirstRow(record);
    const auto version = parseNumberBox(cells[3]);
    if (!version ||
        !wholeIn(givenNumber(*version, cells[3]), TableTextFormatVersion, TableTextFormatVersion))
        return fail(record, QStringLiteral("4"), otherVersion(shownAsWritten(cells[3])));
    for (qsizetype k = 4; k < cells.size(); ++k)
        if (!cells[k].isEmpty())
            return fail(record, QString::number(k + 1),
                        QStringLiteral("the first row ends after the version, but this cell holds "
                                       "%1.")
                            .arg(shown(cells[k])));
    return true;
}

bool CsvReader::readHeader(const CsvRecord &record)
{
    const QStringList known = csvHeader() << VersionColumn;
    for (qsizetype k = 0; k < record.fields.size(); ++k) {
        const QString &name = record.fields[k];
        if (name.isEmpty())
            continue; // a spreadsheet may carry empty columns along
        if (!known.contains(name))
            return fail(record, QString::number(k + 1),
                        QStringLiteral("%1 is not a column name; the columns are %2.")
                            .arg(shown(name), known.join(QStringLiteral(", "))));
        if (record.fields.indexOf(name) != k)
            return fail(record, QString::number(k + 1),
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
                record, QString(),
                QStringLiteral("the header has no column %1, which every line needs.").arg(name));
    return true;
}

bool CsvReader::readRows()
{
    CsvRecord record;
    while (m_parser.next(record))
        if (!readRow(record))
            return false;
    if (m_parser.failed())
        return parserFault();
    if (m_gathered.isEmpty())
        return failText(
            QStringLiteral("The text holds no formation: there is no row after the header."));
    return true;
}

bool CsvReader::readRow(const CsvRecord &record)
{
    int formation = 0;
    int lineNumber = 0;
    LineFields fields;
    TextLine line;
    if (!noUnnamedCells(record) || !readVersion(record) ||
        !readPlace(record, formation, lineNumber) || !readFields(record, fields) ||
        !readCheckedLine(
            fields, [this, &record](const QString &field) { return place(record, field); }, line,
            m_error))
        return false;
    const auto before = m_gathered.take(formation, lineNumber, line, rowPlace(record.row));
    if (before)
        return fail(record, QStringLiteral("line"),
                    QStringLiteral("this line is given twice, in %1 and here.").arg(*before));
    m_gathered.name(formation, formulaUnguarded(cell(record, QStringLiteral("formationName"))));
    return true;
}

bool CsvReader::readVersion(const CsvRecord &record)
{
    std::optional<GivenNumber> version;
    if (!number(record, VersionColumn, version))
        return false;
    if (version && !wholeIn(*version, TableTextFormatVersion, TableTextFormatVersion))
        return fail(record, VersionColumn, otherVersion(version->shown));
    return true;
}

bool CsvReader::noUnnamedCells(const CsvRecord &record)
{
    for (qsizetype k = 0; k < record.fields.size(); ++k) {
        if (record.fields[k].isEmpty() || !m_header.value(k).isEmpty())
            continue;
        return fail(record, QString::number(k + 1),
                    QStringLiteral("this cell holds %1, but its column has no name in the header.")
                        .arg(shown(record.fields[k])));
    }
    return true;
}

bool CsvReader::readPlace(const CsvRecord &record, int &formation, int &lineNumber)
{
    const struct {
        QString column;
        std::optional<int> (*check)(const GivenNumber &, QString &);
        int &number;
    } places[] = {{QStringLiteral("formation"), formationNumber, formation},
                  {QStringLiteral("line"), tabletext::lineNumber, lineNumber}};
    for (const auto &place : places) {
        std::optional<GivenNumber> given;
        if (!number(record, place.column, given))
            return false;
        if (!given)
            return fail(record, place.column, QStringLiteral("the cell is empty."));
        QString error;
        const auto whole = place.check(*given, error);
        if (!whole)
            return fail(record, place.column, error);
        place.number = *whole;
    }
    return true;
}

bool CsvReader::readFields(const CsvRecord &record, LineFields &fields)
{
    if (const QString type = cell(record, QStringLiteral("type")); !type.isEmpty())
        fields.type = formulaUnguarded(type);
    return readModifiers(record, fields) && readNumbers(record, fields);
}

bool CsvReader::readModifiers(const CsvRecord &record, LineFields &fields)
{
    for (int k = 0; k < FormationLine::ModifierCount; ++k) {
        const QString column = modifierCaption(k);
        const QString value = cell(record, column).trimmed();
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return fail(record, column,
                        value.isEmpty()
                            ? QStringLiteral("the cell is empty; write 1 (set) or 0 (not set).")
                            : QStringLiteral("%1 is not 1 (set) or 0 (not set).")
                                  .arg(shown(cell(record, column))));
        fields.modifiers[k] = value == QLatin1String("1");
    }
    return true;
}

bool CsvReader::readNumbers(const CsvRecord &record, LineFields &fields)
{
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
    return true;
}

bool CsvReader::allLinesGiven()
{
    const auto gap = m_gathered.firstGap();
    if (!gap)
        return true;
    return failText(
        QStringLiteral("formation %1 (%2): line %3 is missing; a formation has "
                       "exactly three lines, 1, 2 and 3.")
            .arg(QString::number(gap->formation), gap->where, QString::number(gap->line)));
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
    out = numberIn(text);
    if (!out)
        return fail(record, column, QStringLiteral("%1 is not a number.").arg(shown(text)));
    return true;
}

std::optional<GivenNumber> CsvReader::numberIn(const QString &cell) const
{
    // Where commas do not separate, a spreadsheet may write them as the
    // decimal mark: "-53,857" is -53.857 there.
    const bool decimalComma = m_separator != u',' && cell.count(u',') == 1 && !cell.contains(u'.');
    const auto value = parseNumberBox(decimalComma ? QString(cell).replace(u',', u'.') : cell);
    if (!value)
        return std::nullopt;
    return givenNumber(*value, cell);
}

QString CsvReader::place(const CsvRecord &record, const QString &column) const
{
    const QString row = rowPlace(record.row, column);
    const auto formation = numberIn(cell(record, QStringLiteral("formation")));
    const auto line = numberIn(cell(record, QStringLiteral("line")));
    QString unused;
    const auto formationGiven = formation ? formationNumber(*formation, unused) : std::nullopt;
    if (!formationGiven)
        return row;
    const auto lineGiven = line ? lineNumber(*line, unused) : std::nullopt;
    return QStringLiteral("formation %1%2 (%3)")
        .arg(QString::number(*formationGiven),
             lineGiven ? QStringLiteral(", line %1").arg(*lineGiven) : QString(), row);
}

} // namespace

namespace tabletext
{

TableText readCsv(QByteArrayView text)
{
    const QString decoded = QString::fromUtf8(text);
    return CsvReader(decoded).read();
}

} // namespace tabletext
