#include "target_save.h"

#include "formation_table.h"
#include "native_file.h"
#include "save_asking.h"
#include "table_place.h"

namespace
{

TargetSave failedWith(TargetSave result, const QString &error)
{
    result.kind = TargetSave::Kind::Failed;
    result.error = error;
    return result;
}

// What the place holds, as the table is made from it.
void takeFound(TargetSave &result, const TablePlace &place, const QString &target)
{
    result.offset = place.offset;
    result.inProgram = place.intoProgramTable;
    if (place.found.valid) {
        result.held = TargetSave::Held::Table;
        result.before = place.found.tableBytes;
    } else {
        result.held = pathKind(target) == PathKind::Missing ? TargetSave::Held::Nothing
                                                            : TargetSave::Held::Less;
        result.before = QByteArray(FormationTable::ByteCount, '\0');
    }
}

} // namespace

TargetSave saveIntoTarget(const QString &target, const TargetSaveOptions &options,
                          const TableMaker &make)
{
    TargetSave result;
    result.backupNotWanted = options.noBackup;
    const Placement placement = placeTable(
        {target, {}, {}, PlaceFor::CommandLine, options.start, options.force, options.startOption});
    if (!placement.refusal.isEmpty())
        return failedWith(result, placement.refusal);
    Q_ASSERT(placement.places.size() == 1 && placement.question.isEmpty());
    TablePlace place = placement.places.first();

    SaveOutcome outcome;
    // A second round only where the program's table moved after it was found.
    for (int round = 0; round < 2; ++round) {
        takeFound(result, place, target);
        QString error;
        const std::optional<QByteArray> table = make(result.before, result.held, &error);
        if (!table)
            return failedWith(result, error);
        result.table = *table;
        if (const QString unfit = tableFitsPlace(place, result.table, target); !unfit.isEmpty())
            return failedWith(result, unfit);

        WatchedFiles watched{place.found, {}};
        SaveOptions save = options.save;
        save.withoutBackup = save.withoutBackup || options.noBackup;
        save.offset = place.offset;
        save.intoProgramTable = place.intoProgramTable;
        outcome = saveAsking(target, result.table, watched, save, [&](const SaveOutcome &asked) {
            if ((asked.question != SaveOutcome::Question::NoBackup &&
                 asked.question != SaveOutcome::Question::NoJournal) ||
                !options.allowNoBackup)
                return false;
            result.noBackup +=
                (result.noBackup.isEmpty() ? QString() : QStringLiteral(" ")) + asked.message;
            return true;
        });
        if (outcome.kind != SaveOutcome::Kind::Ask ||
            outcome.question != SaveOutcome::Question::TableMoved || round > 0)
            break;
        result.movedFrom = place.offset;
        place.offset = outcome.movedTo;
        place.found = outcome.seen;
    }
    result.remark = outcome.remark;
    result.outcome = outcome;
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
        result.kind = TargetSave::Kind::Saved;
        result.backupPath = outcome.backupPath;
        return result;
    case SaveOutcome::Kind::NothingToChange:
        result.kind = TargetSave::Kind::Unchanged;
        return result;
    case SaveOutcome::Kind::Ask:
        result.stoppedAt = outcome.question;
        return failedWith(result, outcome.message + QStringLiteral(" Nothing was written."));
    case SaveOutcome::Kind::NotSaved:
    case SaveOutcome::Kind::Damaged:
        return failedWith(result, outcome.message);
    }
    Q_UNREACHABLE();
}
