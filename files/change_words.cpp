#include "change_words.h"

#include "formation_table.h"
#include "message_text.h"

QList<int> differingFormations(const QByteArray &a, const QByteArray &b)
{
    QList<int> differing;
    constexpr int Size = FormationTable::FormationBytes;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        const QByteArray one = a.mid(formation * Size, Size);
        const QByteArray other = b.mid(formation * Size, Size);
        if (one != other)
            differing << formation;
    }
    return differing;
}

QString formationList(const QList<int> &formations, const QStringList &names)
{
    Q_ASSERT(!formations.isEmpty());
    constexpr int Shown = 5;
    QStringList items;
    for (const int formation : formations.first(std::min<qsizetype>(formations.size(), Shown))) {
        const QString name = names.value(formation).trimmed();
        items << (name.isEmpty()
                      ? QString::number(formation)
                      : QStringLiteral("%1 (%2)").arg(formation).arg(escapeControls(name)));
    }
    const qsizetype more = formations.size() - items.size();
    QString list = items.join(QStringLiteral(", "));
    if (more > 0)
        list += QStringLiteral(" and %1 more").arg(more);
    else if (items.size() > 1)
        list = items.first(items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
               items.last();
    return (formations.size() == 1 ? QStringLiteral("formation ") : QStringLiteral("formations ")) +
           list;
}
