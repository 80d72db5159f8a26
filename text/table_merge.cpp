#include "table_merge.h"

#include "formation_line.h"
#include "formation_table.h"

#include <array>

namespace
{

qint64 valueOf(const FormationLine &line, LineField field)
{
    switch (field) {
    case LineField::Byte0:
        return line.byte0;
    case LineField::TypeCode:
        return line.typeCode;
    case LineField::Count:
        return line.count;
    case LineField::Byte3:
        return line.byte3;
    case LineField::X:
        return line.xOffset;
    case LineField::Y:
        return line.yOffset;
    case LineField::Z:
        return line.zOffset;
    }
    Q_UNREACHABLE();
    return 0;
}

// Copies `field` of `from` into `into`: the values are those of a real line.
void take(FormationLine &into, const FormationLine &from, LineField field)
{
    switch (field) {
    case LineField::Byte0:
        into.byte0 = from.byte0;
        return;
    case LineField::TypeCode:
        into.typeCode = from.typeCode;
        return;
    case LineField::Count:
        into.count = from.count;
        return;
    case LineField::Byte3:
        into.byte3 = from.byte3;
        return;
    case LineField::X:
        into.xOffset = from.xOffset;
        return;
    case LineField::Y:
        into.yOffset = from.yOffset;
        return;
    case LineField::Z:
        into.zOffset = from.zOffset;
        return;
    }
}

} // namespace

const char *lineFieldName(LineField field)
{
    static constexpr std::array<const char *, LineFieldCount> names = {
        "byte0", "typeCode", "count", "byte3", "x", "y", "z"};
    return names[static_cast<int>(field)];
}

TableMerge mergeTables(const QByteArray &base, const QByteArray &ours, const QByteArray &theirs,
                       MergeTake takeSide)
{
    Q_ASSERT(base.size() == FormationTable::ByteCount && ours.size() == base.size() &&
             theirs.size() == base.size());
    TableMerge merge;
    merge.table = ours;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
            const int at = (FormationTable::rowOfLine(formation, line) - 1) * FormationLine::Size;
            const FormationLine b = FormationLine::fromBytes(base.mid(at, FormationLine::Size));
            const FormationLine o = FormationLine::fromBytes(ours.mid(at, FormationLine::Size));
            const FormationLine t = FormationLine::fromBytes(theirs.mid(at, FormationLine::Size));
            FormationLine merged = o;
            for (int k = 0; k < LineFieldCount; ++k) {
                const auto field = static_cast<LineField>(k);
                const qint64 vb = valueOf(b, field), vo = valueOf(o, field), vt = valueOf(t, field);
                if (vo == vb || vo == vt) {
                    take(merged, t, field); // theirs changed it, or nobody did, or both alike
                    continue;
                }
                if (vt == vb)
                    continue; // ours changed it
                merge.conflicts.append({formation, line, field, vb, vo, vt});
                if (takeSide == MergeTake::Theirs)
                    take(merged, t, field);
                merge.settled = merge.settled && takeSide != MergeTake::Neither;
            }
            merge.table.replace(at, FormationLine::Size, merged.toBytes());
        }
    }
    return merge;
}
