#include "gathered_lines.h"

#include "formation_table.h"

namespace tabletext
{

std::optional<QString> GatheredLines::take(int formation, int line, const TextLine &read,
                                           const QString &where)
{
    Q_ASSERT(formation >= 0 && formation < FormationTable::FormationCount);
    Q_ASSERT(line >= 1 && line <= FormationTable::LinesPerFormation);
    Q_ASSERT(!where.isEmpty());
    Gathered &gathered = m_formations[formation];
    QString &whereOfLine = gathered.whereOf[line - 1];
    if (!whereOfLine.isEmpty())
        return whereOfLine;
    if (gathered.firstWhere.isEmpty())
        gathered.firstWhere = where;
    whereOfLine = where;
    gathered.formation.formation = formation;
    gathered.formation.lines[line - 1] = read;
    return std::nullopt;
}

void GatheredLines::name(int formation, const QString &name)
{
    Q_ASSERT(m_formations.count(formation) == 1);
    QString &named = m_formations[formation].formation.name;
    if (named.isEmpty())
        named = name;
}

std::optional<GatheredLines::Gap> GatheredLines::firstGap() const
{
    for (const auto &[number, gathered] : m_formations)
        for (int line = 0; line < FormationTable::LinesPerFormation; ++line)
            if (gathered.whereOf[line].isEmpty())
                return Gap{number, line + 1, gathered.firstWhere};
    return std::nullopt;
}

QList<TextFormation> GatheredLines::formations() const
{
    QList<TextFormation> formations;
    for (const auto &entry : m_formations)
        formations.append(entry.second.formation);
    return formations;
}

} // namespace tabletext
