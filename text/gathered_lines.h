#pragma once

#include "table_text.h"

#include <QString>
#include <map>
#include <optional>

namespace tabletext
{

// The lines a text gives, gathered by formation, each line of a formation
// at most once, whatever order the text gives them in.
class GatheredLines
{
public:
    // Takes line `line` (1..3) of `formation`, given at `where`. When that
    // line was given before, takes nothing and returns where it was.
    std::optional<QString> take(int formation, int line, const TextLine &read,
                                const QString &where);

    // Gives a formation taken before its name, unless it has one already.
    void name(int formation, const QString &name);

    bool isEmpty() const { return m_formations.empty(); }

    // The first formation without all three lines: its number, the first
    // line it lacks and where its first given line was.
    struct Gap {
        int formation = 0;
        int line = 0;
        QString where;
    };
    std::optional<Gap> firstGap() const;

    // Every formation taken, by ascending number.
    QList<TextFormation> formations() const;

private:
    struct Gathered {
        QString firstWhere;
        QString whereOf[3]; // empty: not given yet
        TextFormation formation;
    };
    std::map<int, Gathered> m_formations;
};

} // namespace tabletext
