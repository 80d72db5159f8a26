#pragma once

#include "formation_table.h"

#include <QByteArray>
#include <QUndoCommand>
#include <array>
#include <functional>
#include <vector>

// One step of the table's history: the 48 bytes of one formation before and
// after an edit, a paste or a revert. Undoing and redoing hand the bytes to
// `apply`, which puts them into the table and shows the formation.
class FormationChange : public QUndoCommand
{
public:
    using Apply = std::function<void(int formation, const QByteArray &bytes)>;

    FormationChange(int formation, const QByteArray &before, const QByteArray &after,
                    const QString &text, const Apply &apply, QUndoCommand *parent = nullptr);
    void undo() override;
    void redo() override;

private:
    using Bytes = std::array<char, FormationTable::FormationBytes>;
    static Bytes copied(const QByteArray &bytes);
    void put(const Bytes &bytes) const;

    int m_formation;
    // Held inline: a long history costs a few hundred bytes a step.
    Bytes m_before;
    Bytes m_after;
    Apply m_apply;
};

// One step of several formations, one FormationChange each. Undone or
// redone, the lowest-numbered formation is put last, so that it is the one
// shown either way.
class FormationsChange : public QUndoCommand
{
public:
    explicit FormationsChange(const QString &text) : QUndoCommand(text) {}
    // Formations are added in rising order, each once.
    void add(int formation, const QByteArray &before, const QByteArray &after,
             const FormationChange::Apply &apply);
    int count() const { return int(m_changes.size()); }
    void undo() override;
    void redo() override;

private:
    std::vector<FormationChange *> m_changes; // this step's children
};
