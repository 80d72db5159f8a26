// The table text reader on any bytes, checked against the writer: whatever
// the reader accepts, applied onto a table and written again as JSON, as
// CSV and formation by formation, must read back to the same bytes and the
// same names; and what the text does not give must stay as it was.
//
// Input: 1 byte that picks the table the text is applied onto, then the text.
#include "formation_table.h"
#include "fuzz_check.h"
#include "table_text.h"

#include <cstdint>

namespace
{

QByteArray baseTable(int seed)
{
    QByteArray table(FormationTable::ByteCount, '\0');
    quint32 state = 2166136261u ^ quint32(seed);
    for (char &byte : table) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    return table;
}

void checkAccepted(const TableText &read, int seed)
{
    FUZZ_CHECK(read.error.isEmpty(), "accepted with the error \"%s\"", qPrintable(read.error));
    FUZZ_CHECK(!read.formations.isEmpty(), "accepted without a formation");
    const QByteArray base = baseTable(seed);
    const QByteArray table = applyTableText(base, read);
    bool given[FormationTable::FormationCount] = {};
    int previous = -1;
    for (const TextFormation &formation : read.formations) {
        FUZZ_CHECK(formation.formation > previous && formation.formation < 31,
                   "formation %d after %d", formation.formation, previous);
        previous = formation.formation;
        given[formation.formation] = true;
        for (int line = 0; line < 3; ++line) {
            const int at = formation.formation * 48 + line * 16;
            const TextLine &read1 = formation.lines[line];
            FUZZ_CHECK(read1.hasByte0 || table[at] == base[at], "byte0 of %d changed", at);
            FUZZ_CHECK(read1.hasByte3 || table[at + 3] == base[at + 3], "byte3 of %d changed", at);
        }
    }
    for (int f = 0; f < FormationTable::FormationCount; ++f)
        FUZZ_CHECK(given[f] || table.mid(f * 48, 48) == base.mid(f * 48, 48),
                   "formation %d changed without being given", f);

    QStringList names(FormationTable::FormationCount);
    for (const TextFormation &formation : read.formations)
        names[formation.formation] = formation.name;
    const QByteArray other = baseTable(seed + 1);
    for (const TextFormat format : {TextFormat::Json, TextFormat::Csv}) {
        const char *form = format == TextFormat::Json ? "JSON" : "CSV";
        const TableText back = readTableText(writeTableText(table, names, format), format);
        FUZZ_CHECK(back.ok, "written %s does not read: %s", form, qPrintable(back.error));
        FUZZ_CHECK(applyTableText(other, back) == table, "written %s reads to other bytes", form);
        for (const TextFormation &formation : back.formations) {
            const QString &name = names[formation.formation];
            // A lone surrogate from a JSON escape has no UTF-8 form to write.
            FUZZ_CHECK(formation.name == name || QString::fromUtf8(name.toUtf8()) != name,
                       "written %s reads formation %d's name as another", form,
                       formation.formation);
        }
    }
    for (const TextFormation &formation : read.formations) {
        const TableText one = readTableText(writeFormationText(table, formation.formation, {}));
        FUZZ_CHECK(one.ok && one.formations.size() == 1, "formation %d alone does not read: %s",
                   formation.formation, qPrintable(one.error));
        FUZZ_CHECK(applyTextFormation(other, 0, one.formations[0]).left(48) ==
                       table.mid(formation.formation * 48, 48),
                   "formation %d alone reads to other bytes", formation.formation);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (const TextFormat format : {TextFormat::Json, TextFormat::Csv}) {
        const TableText read = readTableText(text, format);
        if (read.ok)
            checkAccepted(read, data[0]);
        else
            FUZZ_CHECK(!read.error.isEmpty() && !read.error.contains(u'\n'),
                       "refused without a one-line reason: \"%s\"", qPrintable(read.error));
    }
    return 0;
}
