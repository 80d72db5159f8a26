// The names file: names split from bytes that arrive in pieces, and the
// names read from a real file, against a reference that splits the whole
// text at once with the library's own string functions.
//
// Input: 1 byte of piece size, then the bytes of readorder.txt.
#include "formation_names.h"
#include "fuzz_check.h"

#include <QUtf8StringView>
#include <cstdint>

namespace
{

QString referenceDecode(QByteArray line, bool cut)
{
    for (int dropped = 0; dropped <= (cut ? 3 : 0) && dropped <= line.size(); ++dropped) {
        const QByteArray kept = line.chopped(dropped);
        if (QUtf8StringView(kept).isValidUtf8())
            return QString::fromUtf8(kept);
    }
    return QString::fromLatin1(line);
}

struct ReferenceNames {
    QStringList names;
    int cut = 0;
};

ReferenceNames referenceNames(QByteArray bytes)
{
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.last().isEmpty()) // text after the last line end, if any, is a line
        lines.removeLast();
    ReferenceNames result;
    for (const QByteArray &line : lines.mid(0, FormationNames::LinesUsed)) {
        const bool cut = line.size() > FormationNames::MaxNameBytes;
        result.cut += cut;
        result.names << referenceDecode(line.left(FormationNames::MaxNameBytes), cut);
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
