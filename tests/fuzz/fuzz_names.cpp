// The names file: names split from bytes that arrive in pieces, and the
// names read from a real file, against a reference that splits the whole
// text at once with the library's own string functions (a UTF-16 text is
// decoded whole before it is split).
//
// Input: 1 byte of piece size, then the bytes of readorder.txt.
#include "formation_names.h"
#include "fuzz_check.h"

#include <QStringDecoder>
#include <QUtf8StringView>
#include <cstdint>

namespace
{

// Windows-1252 at 0x80-0x9F, written out as the characters themselves.
const QString &windows1252High()
{
    static const QString high = QString::fromUtf8("€\u0081‚ƒ„…†‡"
                                                  "ˆ‰Š‹Œ\u008dŽ\u008f"
                                                  "\u0090‘’“”•–—"
                                                  "˜™š›œ\u009džŸ");
    return high;
}

// How much of a cut line comes before an unfinished last character, found
// by looking for its first byte; the whole line when there is none.
qsizetype keptBeforeUnfinished(const QByteArray &line)
{
    for (qsizetype back = 1; back <= 3 && back <= line.size(); ++back) {
        const uchar byte = uchar(line[line.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const int needs = byte >= 0xF0 && byte <= 0xF4  ? 4
                          : byte >= 0xE0 && byte < 0xF0 ? 3
                          : byte >= 0xC2 && byte < 0xE0 ? 2
                                                        : 1;
        return needs > back ? line.size() - back : line.size();
    }
    return line.size();
}

QString referenceDecode(QByteArray line, bool cut)
{
    if (QUtf8StringView(line).isValidUtf8())
        return QString::fromUtf8(line);
    if (const QByteArray kept = line.left(keptBeforeUnfinished(line));
        cut && kept.size() < line.size() && QUtf8StringView(kept).isValidUtf8())
        return QString::fromUtf8(kept);
    QString text;
    for (const char byte : line)
        text += uchar(byte) >= 0x80 && uchar(byte) < 0xA0 ? windows1252High()[uchar(byte) - 0x80]
                                                          : QChar(uchar(byte));
    return text;
}

// A file with a UTF-8 mark: invalid bytes are replaced; a cut line loses an
// unfinished last character, found by looking for its first byte.
QString referenceUtf8(const QByteArray &line, bool cut)
{
    return QString::fromUtf8(cut ? line.left(keptBeforeUnfinished(line)) : line);
}

struct ReferenceNames {
    QStringList names;
    int cut = 0;
};

QList<QByteArray> byteLines(QByteArray bytes)
{
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.last().isEmpty()) // text after the last line end, if any, is a line
        lines.removeLast();
    return lines.mid(0, FormationNames::LinesUsed);
}

// UTF-16: the whole text decoded at once and split as text; a line is cut
// by the bytes it took in the file.
ReferenceNames referenceUtf16(const QByteArray &bytes, QStringDecoder::Encoding encoding)
{
    const bool half = bytes.size() % 2;
    QStringDecoder decoder(encoding, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes.chopped(half));
    if (half)
        text += QChar(QChar::ReplacementCharacter);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    ReferenceNames result;
    for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), FormationNames::LinesUsed); ++i) {
        QString line = lines[i];
        const bool endsHalf = half && i == lines.size() - 1;
        const bool cut = 2 * line.size() - endsHalf > FormationNames::MaxNameBytes;
        if (cut) {
            line.truncate(FormationNames::MaxNameBytes / 2);
            if (line.back().isHighSurrogate())
                line.chop(1);
        }
        result.cut += cut;
        result.names << line;
    }
    return result;
}

ReferenceNames referenceNames(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return referenceUtf16(bytes.mid(2), QStringDecoder::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return referenceUtf16(bytes.mid(2), QStringDecoder::Utf16BE);
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    ReferenceNames result;
    for (const QByteArray &line : byteLines(utf8 ? bytes.mid(3) : bytes)) {
        const bool cut = line.size() > FormationNames::MaxNameBytes;
        const QByteArray kept = line.left(FormationNames::MaxNameBytes);
        result.cut += cut;
        result.names << (utf8 ? referenceUtf8(kept, cut) : referenceDecode(kept, cut));
    }
    return result;
}

QString describe(const QStringList &names)
{
    QString text;
    for (const QString &name : names)
        text += QStringLiteral("[%1]").arg(name.left(20));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int pieceSize = 1 + data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const ReferenceNames expected = referenceNames(bytes);

    NameLineReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize)
        reader.feed(
            QByteArrayView(bytes).sliced(at, qMin<qsizetype>(pieceSize, bytes.size() - at)));
    reader.finish();
    FUZZ_CHECK(reader.lines() == expected.names, "pieces of %d: %s, reference %s", pieceSize,
               qPrintable(describe(reader.lines())), qPrintable(describe(expected.names)));
    FUZZ_CHECK(reader.cutLines() == expected.cut, "%d cut, reference %d", reader.cutLines(),
               expected.cut);

    const QString path = scratchFile(QStringLiteral("readorder.txt"), bytes);
    const FormationNames names = readFormationNames(path);
    QStringList all = expected.names;
    all.resize(FormationNames::Count);
    FUZZ_CHECK(names.names == all, "file: %s, reference %s", qPrintable(describe(names.names)),
               qPrintable(describe(all)));
    const bool complete = expected.names.size() == FormationNames::LinesUsed;
    FUZZ_CHECK((names.status == FormationNames::Status::Complete) == complete &&
                   (names.status == FormationNames::Status::Short) == !complete,
               "status %d with %lld lines", int(names.status), qlonglong(expected.names.size()));
    FUZZ_CHECK(names.problem.isEmpty() == (complete && expected.cut == 0), "problem \"%s\"",
               qPrintable(names.problem));
    return 0;
}
