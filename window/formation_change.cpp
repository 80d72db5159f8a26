#include "formation_change.h"

#include <algorithm>

FormationChange::FormationChange(int formation, const QByteArray &before, const QByteArray &after,
                                 const QString &text, const Apply &apply, QUndoCommand *parent)
    : QUndoCommand(text, parent), m_formation(formation), m_before(copied(before)),
      m_after(copied(after)), m_apply(apply)
{
}

FormationChange::Bytes FormationChange::copied(const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == FormationTable::FormationBytes);
    Bytes copy;
    std::copy_n(bytes.constData(), copy.size(), copy.begin());
    return copy;
}

void FormationChange::put(const Bytes &bytes) const
{
    m_apply(m_formation, QByteArray(bytes.data(), qsizetype(bytes.size())));
}

void FormationChange::undo()
{
    put(m_before);
}

void FormationChange::redo()
{
    put(m_after);
}

void FormationsChange::add(int formation, const QByteArray &before, const QByteArray &after,
                           const FormationChange::Apply &apply)
{
    m_changes.push_back(new FormationChange(formation, before, after, text(), apply, this));
}

void FormationsChange::undo()
{
    for (auto change = m_changes.rbegin(); change != m_changes.rend(); ++change)
        (*change)->undo();
}

void FormationsChange::redo()
{
    for (auto change = m_changes.rbegin(); change != m_changes.rend(); ++change)
        (*change)->redo();
}
