#include "csv.h"

#include "number_text.h"

#include <algorithm>

namespace
{

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

CsvParser::CsvParser(QStringView text, int maxFields, QChar separator)
    : m_text(text), m_maxFields(maxFields), m_separator(separator)
{
}

bool CsvParser::fail(const CsvRecord &record, const QString &error)
{
    m_errorRow = record.row;
    m_errorField = int(record.fields.size()) + 1;
    m_error = error;
    m_faulty = record;
    m_at = m_text.size(); // nothing more is read
    return false;
}

bool CsvParser::next(CsvRecord &record)
{
    const QStringView text = m_text;
    const qsizetype n = text.size();
    const QChar separator = m_separator;
    qsizetype &i = m_at;
    while (i < n) {
        record.fields.clear();
        record.row = ++m_row;
        // The fields of one record.
        for (;;) {
            if (record.fields.size() == m_maxFields)
                return fail(record, QStringLiteral("the row has more than %1 fields")
                                        .arg(QString::number(m_maxFields)));
            QString field;
            if (i < n && text[i] == u'"') {
                ++i;
                for (;;) {
                    const qsizetype quote = text.indexOf(u'"', i);
                    if (quote < 0)
                        return fail(record, QStringLiteral("the quoted field is not closed"));
                    field += text.sliced(i, quote - i);
                    i = quote + 1;
                    if (i < n && text[i] == u'"') {
                        field += u'"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (i < n && text[i] != separator && !isLineEnd(text[i]))
                    return fail(record, QStringLiteral("there is text after the closing quote"));
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != separator && !isLineEnd(text[i])) {
                    if (text[i] == u'"')
                        return fail(record, QStringLiteral("a quote is inside a field that does "
                                                           "not start with one"));
                    ++i;
                }
                field = text.sliced(start, i - start).toString();
            }
            record.fields.append(field);
            if (i < n && text[i] == separator) {
                ++i;
                continue; // a separator at the very end still ends a field, an empty one
            }
            break;
        }
        // A line end, or the end of the text, ends the record.
        if (i < n && text[i] == u'\r') {
            ++i;
            if (i < n && text[i] == u'\n')
                ++i;
        } else if (i < n && text[i] == u'\n') {
            ++i;
        }
        if (std::any_of(record.fields.begin(), record.fields.end(),
                        [](const QString &field) { return !field.isEmpty(); }))
            return true;
    }
    return false;
}

QList<CsvRecord> parseCsv(QStringView text)
{
    CsvParser parser(text);
    QList<CsvRecord> records;
    CsvRecord record;
    while (parser.next(record))
        records.append(record);
    return parser.failed() ? QList<CsvRecord>() : records;
}

QString csvRecord(const QStringList &fields)
{
    QString line;
    for (qsizetype k = 0; k < fields.size(); ++k) {
        if (k > 0)
            line += u',';
        const QString &field = fields[k];
        const bool quoted = field.contains(u',') || field.contains(u'"') || field.contains(u'\r') ||
                            field.contains(u'\n');
        if (quoted)
            line += u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
        else
            line += field;
    }
    return line + QStringLiteral("\r\n");
}

QChar csvSeparator(QStringView text)
{
    bool quoted = false;
    bool inRow = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == u',' || c == u';' || c == u'\t')
            return c;
        if (isLineEnd(c) && inRow)
            break;
        inRow = inRow || !c.isSpace();
    }
    return u',';
}

namespace
{

bool startsFormula(const QString &cell)
{
    const QChar first = cell.isEmpty() ? QChar() : cell.front();
    if (first == u'\t' || first == u'\r')
        return true;
    return (first == u'=' || first == u'+' || first == u'-' || first == u'@') &&
           !parseNumberBox(cell);
}

} // namespace

QString formulaGuarded(const QString &cell)
{
    return startsFormula(cell) || cell.startsWith(u'\'') ? u'\'' + cell : cell;
}

QString formulaUnguarded(const QString &cell)
{
    const QString rest = cell.mid(1);
    return cell.startsWith(u'\'') && (startsFormula(rest) || rest.startsWith(u'\'')) ? rest : cell;
}
