#include "table_text.h"

#include "csv.h"
#include "formation_table.h"
#include "table_text_fields.h"

#include <QStringDecoder>
#include <utility>

namespace
{

// Texts come as UTF-8, or as UTF-16 with a byte-order mark: Notepad's
// "Unicode", Excel's "Unicode Text" and Windows PowerShell's ">" write that.
enum class Encoding { Utf8, Utf16LE, Utf16BE };

Encoding encodingOf(QByteArrayView text)
{
    if (text.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    return text.startsWith("\xFE\xFF") ? Encoding::Utf16BE : Encoding::Utf8;
}

QByteArrayView withoutByteOrderMark(QByteArrayView text)
{
    switch (encodingOf(text)) {
    case Encoding::Utf8:
        return text.startsWith("\xEF\xBB\xBF") ? text.sliced(3) : text;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        break;
    }
    return text.sliced(2);
}

// The `index`th code unit of a text without its byte-order mark.
char16_t unitAt(QByteArrayView text, Encoding encoding, qsizetype index)
{
    switch (encoding) {
    case Encoding::Utf8:
        return uchar(text[index]);
    case Encoding::Utf16LE:
        return char16_t(uchar(text[2 * index]) | uchar(text[2 * index + 1]) << 8);
    case Encoding::Utf16BE:
        break;
    }
    return char16_t(uchar(text[2 * index]) << 8 | uchar(text[2 * index + 1]));
}

struct Utf8Text {
    QByteArray bytes; // without a byte-order mark
    QString error;    // a whole text that is no UTF-16 after all
};

// The text as the readers take it: UTF-8 without a byte-order mark. A head
// (`whole` false) may be cut anywhere; a whole text must be whole UTF-16.
Utf8Text asUtf8(QByteArrayView text, bool whole)
{
    const Encoding encoding = encodingOf(text);
    const QByteArrayView body = withoutByteOrderMark(text);
    if (encoding == Encoding::Utf8)
        return {QByteArray::fromRawData(body.data(), body.size()), {}};
    const QString wrong =
        QStringLiteral("The text begins with the byte-order mark of UTF-16, but %1.");
    if (whole && body.size() % 2 != 0)
        return {{}, wrong.arg(QStringLiteral("it ends in the middle of a character"))};
    QStringDecoder decoder(encoding == Encoding::Utf16LE ? QStringConverter::Utf16LE
                                                         : QStringConverter::Utf16BE,
                           QStringConverter::Flag::Stateless);
    const QString decoded = decoder(body.first(body.size() & ~qsizetype(1)));
    if (whole && !QStringView(decoded).isValidUtf16())
        return {{},
                wrong.arg(QStringLiteral("it holds half of a character that takes two "
                                         "UTF-16 units"))};
    return {decoded.toUtf8(), {}};
}

int lineStart(int formation, int line)
{
    return (FormationTable::LinesPerFormation * formation + line) * FormationLine::Size;
}

// The first two code units after the byte-order mark and blanks; 0 past the end.
std::pair<char16_t, char16_t> firstUnits(QByteArrayView text)
{
    const Encoding encoding = encodingOf(text);
    const QByteArrayView body = withoutByteOrderMark(text);
    const qsizetype units = encoding == Encoding::Utf8 ? body.size() : body.size() / 2;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t c = unitAt(body, encoding, i);
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')
            continue;
        return {c, i + 1 < units ? unitAt(body, encoding, i + 1) : u'\0'};
    }
    return {u'\0', u'\0'};
}

// FF FE 00 00 begins UTF-16 too, with the character 0, which no table text has.
bool beginsAsUtf32(QByteArrayView text)
{
    return text.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)) ||
           text.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
}

} // namespace

TextFormat detectTextFormat(QByteArrayView text)
{
    // No CSV table text begins with "[" or "/", so the JSON reader says what
    // such a text is: a list, or JSON with comments.
    const auto [first, second] = firstUnits(text);
    const bool comment = first == u'/' && (second == u'/' || second == u'*');
    return first == u'{' || first == u'[' || comment ? TextFormat::Json : TextFormat::Csv;
}

bool beginsAsTableText(QByteArrayView head)
{
    // The JSON reader says what to mend in these, so they are never bytes.
    const auto [unit, next] = firstUnits(head);
    if (unit == u'{' || unit == u'[' || (unit == u'/' && (next == u'/' || next == u'*')) ||
        beginsAsUtf32(head))
        return true;
    // The first row alone, so that where the head is cut does not matter.
    const QString text = QString::fromUtf8(asUtf8(head, false).bytes);
    // A spreadsheet's line that names the separator, before the header.
    if (QStringView(text).trimmed().startsWith(u"sep=", Qt::CaseInsensitive))
        return true;
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
    if (beginsAsUtf32(text))
        return tabletext::refused(tabletext::notTableText(
            QStringLiteral("it begins with a UTF-32 byte-order mark, which this program does not "
                           "read; save it as UTF-8")));
    const Utf8Text utf8 = asUtf8(text, true);
    if (!utf8.error.isEmpty()) {
        TableText result;
        result.error = utf8.error;
        return result;
    }
    return format == TextFormat::Json ? tabletext::readJson(utf8.bytes)
                                      : tabletext::readCsv(utf8.bytes);
}

QString pasteRefusal(const TableText &read)
{
    Q_ASSERT(!read.ok);
    // A place or a fault in a text not meant as a table text helps no one.
    if (!read.isTableText)
        return QStringLiteral("The clipboard holds no formation.");
    // Messages about the whole text begin "The text ...".
    const QLatin1String whole("The text ");
    if (read.error.startsWith(whole))
        return QStringLiteral("The clipboard's text ") + read.error.sliced(whole.size());
    return QStringLiteral("The clipboard's formation cannot be pasted: %1").arg(read.error);
}

bool coversWholeTable(const TableText &text)
{
    Q_ASSERT(text.ok);
    return text.formations.size() == FormationTable::FormationCount;
}

std::optional<QByteArray> wholeTableFromText(QByteArrayView text, QString *error)
{
    const TableText read = readTableText(text);
    if (!read.ok) {
        *error = read.error;
        return std::nullopt;
    }
    if (!coversWholeTable(read)) {
        *error = QStringLiteral("it gives %1 of the 31 formations.").arg(read.formations.size());
        return std::nullopt;
    }
    for (const TextFormation &formation : read.formations)
        for (int line = 0; line < FormationTable::LinesPerFormation; ++line)
            if (const TextLine &given = formation.lines[line]; !given.hasByte0 || !given.hasByte3) {
                *error = QStringLiteral("formation %1, line %2 leaves out %3, which a table's "
                                        "bytes hold.")
                             .arg(formation.formation)
                             .arg(line + 1)
                             .arg(QLatin1String(given.hasByte0 ? "byte3" : "byte0"));
                return std::nullopt;
            }
    return applyTableText(QByteArray(FormationTable::ByteCount, '\0'), read);
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
