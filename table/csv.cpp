#include "csv.h"

namespace
{

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

CsvParse parseCsv(QStringView text)
{
    CsvParse result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    CsvRecord record;
    record.row = 1;
    auto fail = [&](const QString &error) {
        result.errorRow = record.row;
        result.errorField = int(record.fields.size()) + 1;
        result.error = error;
        return result;
    };
    while (i < n) {
        QString field;
        if (text[i] == u'"') {
            ++i;
            for (;;) {
                const qsizetype quote = text.indexOf(u'"', i);
                if (quote < 0)
                    return fail(QStringLiteral("the quoted field is not closed"));
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
                return fail(QStringLiteral("there is text after the closing quote"));
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !isLineEnd(text[i])) {
                if (text[i] == u'"')
                    return fail(
                        QStringLiteral("a quote is inside a field that does not start with one"));
                ++i;
            }
            field = text.sliced(start, i - start).toString();
        }
        record.fields.append(field);
        if (i < n && text[i] == u',') {
            ++i;
            if (i < n)
                continue;
            record.fields.append(QString()); // a comma at the very end still ends a field
        }
        // A line end, or the end of the text, ends the record.
        if (i < n && text[i] == u'\r') {
            ++i;
            if (i < n && text[i] == u'\n')
                ++i;
        } else if (i < n && text[i] == u'\n') {
            ++i;
        }
        result.records.append(record);
        record.fields.clear();
        ++record.row;
    }
    result.ok = true;
    return result;
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
