#include "table_text.h"

#include "csv.h"
#include "formation_table.h"
#include "table_text_fields.h"

namespace
{

QByteArrayView withoutByteOrderMark(QByteArrayView text)
{
    return text.startsWith("\xEF\xBB\xBF") ? text.sliced(3) : text;
}

int lineStart(int formation, int line)
{
    return (FormationTable::LinesPerFormation * formation + line) * FormationLine::Size;
}

} // namespace

TextFormat detectTextFormat(QByteArrayView text)
{
    for (const char c : withoutByteOrderMark(text)) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{' ? TextFormat::Json : TextFormat::Csv;
    }
    return TextFormat::Csv;
}

bool beginsAsTableText(QByteArrayView head)
{
    if (detectTextFormat(head) == TextFormat::Json)
        return true;
    // The first row alone, so that where the head is cut does not matter.
    const QString text = QString::fromUtf8(withoutByteOrderMark(head));
    CsvParser parser(QStringView(text).trimmed(), 1000, csvSeparator(text));
    CsvRecord first;
    if (!parser.next(first))
        return false;
    switch (tabletext::firstRowOf(first.fields)) {
    case tabletext::FirstRow::Header:
        return true;
    case tabletext::FirstRow::FormatRow:
        return first.fields.value(1) == QLatin1String(TableTextFormatName);
    case tabletext::FirstRow::Other:
        return false;
    }
    Q_UNREACHABLE();
}

TableText readTableText(QByteArrayView text, TextFormat format)
{
    if (text.size() > MaxTableTextBytes) {
        TableText result;
        // Readers stop one byte past the limit, so the true length is unknown.
        result.error = QStringLiteral("The text is longer than 16 MiB (16,777,216 bytes), the "
                                      "most that is read.");
        return result;
    }
    text = withoutByteOrderMark(text);
    return format == TextFormat::Json ? tabletext::readJson(text) : tabletext::readCsv(text);
}

bool coversWholeTable(const TableText &text)
{
    Q_ASSERT(text.ok);
    return text.formations.size() == FormationTable::FormationCount;
}

QByteArray applyTextFormation(const QByteArray &base, int formation, const TextFormation &read)
{
    Q_ASSERT(base.size() == FormationTable::ByteCount);
    Q_ASSERT(formation >= 0 && formation < FormationTable::FormationCount);
    QByteArray table = base;
    for (int line = 0; line < FormationTable::LinesPerFormation; ++line) {
        const int at = lineStart(formation, line);
        FormationLine written = read.lines[line].line;
        const FormationLine present = FormationLine::fromBytes(base.mid(at, FormationLine::Size));
        if (!read.lines[line].hasByte0)
            written.byte0 = present.byte0;
        if (!read.lines[line].hasByte3)
            written.byte3 = present.byte3;
        table.replace(at, FormationLine::Size, written.toBytes());
    }
    return table;
}

QByteArray applyTableText(const QByteArray &base, const TableText &text)
{
    Q_ASSERT(text.ok);
    QByteArray table = base;
    for (const TextFormation &formation : text.formations)
        table = applyTextFormation(table, formation.formation, formation);
    return table;
}
