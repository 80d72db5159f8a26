#include "csv.h"

#include <algorithm>

namespace
{

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

CsvParser::CsvParser(QStringView text, int maxFields) : m_text(text), m_maxFields(maxFields) {}

bool CsvParser::fail(const CsvRecord &record, const QString &error)
{
    m_errorRow = record.row;
    m_errorField = int(record.fields.size()) + 1;
    m_error = error;
    m_at = m_text.size(); // nothing more is read
    return false;
}

bool CsvParser::next(CsvRecord &record)
{
    const QStringView text = m_text;
    const qsizetype n = text.size();
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
                if (i < n && text[i] != u',' && !isLineEnd(text[i]))
                    return fail(record, QStringLiteral("there is text after the closing quote"));
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != u',' && !isLineEnd(text[i])) {
                    if (text[i] == u'"')
                        return fail(record, QStringLiteral("a quote is inside a field that does "
                                                           "not start with one"));
                    ++i;
                }
                field = text.sliced(start, i - start).toString();
            }
            record.fields.append(field);
            if (i < n && text[i] == u',') {
                ++i;
                continue; // a comma at the very end still ends a field, an empty one
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
