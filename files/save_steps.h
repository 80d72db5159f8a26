#pragma once

#include "table_saver.h"

#include <array>

// The steps of a save over an existing file, in the order it takes them,
// and the outcomes each may end the save with. The sweeps hold every save
// they make to this table (SaveOptions::stepEnded).
enum class SaveStep {
    SettleEarlierSave,       // a read-only file, or an earlier save's journal
    Open,                    // opens it and reads what the table replaces
    FindTable,               // a program's table is where its signature is
    AskAboutChanges,         // another program changed a watched file
    CompareTables,           // the file holds the table already
    WriteJournal,            // the old bytes beside the file, synced
    CopyBackup,              // the whole file copied for NAME.bak
    CheckBeforeNamingBackup, // the copy is of the file as found
    NameBackup,              // the copy becomes NAME.bak
    CheckAgain,              // just before the write, the file is as found
    Write,                   // the table written, synced and read back, or put back
};

// One way a save can end: an outcome, and with Ask, its question.
enum SaveEnd : unsigned {
    EndsSaved = 1u << 0,
    EndsNothingToChange = 1u << 1,
    AsksChangedByOtherProgram = 1u << 2,
    AsksNoBackup = 1u << 3,
    AsksNoJournal = 1u << 4,
    AsksTableMoved = 1u << 5,
    EndsNotSaved = 1u << 6,
    EndsDamaged = 1u << 7,
};

struct StepEnds {
    SaveStep step;
    unsigned ends; // SaveEnd bits
};

inline constexpr std::array<StepEnds, 11> SaveStepEnds = {{
    {SaveStep::SettleEarlierSave, EndsNotSaved},
    {SaveStep::Open, EndsNotSaved},
    {SaveStep::FindTable, AsksTableMoved | EndsNotSaved},
    {SaveStep::AskAboutChanges, AsksChangedByOtherProgram | EndsNotSaved},
    {SaveStep::CompareTables, EndsNothingToChange},
    {SaveStep::WriteJournal, AsksNoJournal | EndsNotSaved},
    {SaveStep::CopyBackup, AsksNoBackup},
    {SaveStep::CheckBeforeNamingBackup, AsksChangedByOtherProgram | EndsNotSaved},
    {SaveStep::NameBackup, AsksNoBackup},
    {SaveStep::CheckAgain, AsksChangedByOtherProgram | EndsNotSaved},
    {SaveStep::Write, EndsSaved | EndsNotSaved | EndsDamaged},
}};

constexpr unsigned saveEndOf(SaveOutcome::Kind kind, SaveOutcome::Question question)
{
    using Kind = SaveOutcome::Kind;
    using Question = SaveOutcome::Question;
    switch (kind) {
    case Kind::Saved:
        return EndsSaved;
    case Kind::NothingToChange:
        return EndsNothingToChange;
    case Kind::NotSaved:
        return EndsNotSaved;
    case Kind::Damaged:
        return EndsDamaged;
    case Kind::Ask:
        switch (question) {
        case Question::ChangedByOtherProgram:
            return AsksChangedByOtherProgram;
        case Question::NoBackup:
            return AsksNoBackup;
        case Question::NoJournal:
            return AsksNoJournal;
        case Question::TableMoved:
            return AsksTableMoved;
        }
    }
    return 0;
}

// Whether the table lets `step` end the save as `outcome` did.
constexpr bool stepMayEnd(SaveStep step, SaveOutcome::Kind kind, SaveOutcome::Question question)
{
    for (const StepEnds &row : SaveStepEnds)
        if (row.step == step)
            return (row.ends & saveEndOf(kind, question)) != 0;
    return false;
}
