// merge: the changes OURS and THEIRS made to BASE's table, field by field,
// saved into OURS (or OUT) as import saves.
#include "command_line.h"
#include "console.h"
#include "message_text.h"
#include "mode_inputs.h"
#include "mode_runs.h"
#include "output_file.h"
#include "save_report.h"
#include "table_merge.h"
#include "table_text.h"
#include "target_save.h"

namespace
{

// Exit statuses: 0 merged, 1 a conflict left, nothing written.
constexpr int Conflict = 1;
constexpr int Trouble = 2;

const SaveWords Words{QStringLiteral("merge"), QStringLiteral("the merged table"),
                      QStringLiteral("the merged table")};

struct Side {
    const char *option; // its start location's
    QString Invocation::*start;
};
constexpr Side Sides[] = {{"start-base", &Invocation::startBase},
                          {"start-ours", &Invocation::startOurs},
                          {"start-theirs", &Invocation::startTheirs}};

// "1 field was", "2 fields were"
QString fieldsWere(int count)
{
    return count == 1 ? QStringLiteral("1 field was") : QStringLiteral("%1 fields were").arg(count);
}

// What the settled conflicts were, for the report.
QString settledText(const TableMerge &merge, MergeTake take, const QStringList &names)
{
    if (merge.conflicts.isEmpty())
        return {};
    const int count = int(merge.conflicts.size());
    return QStringLiteral("%1 changed differently in OURS and THEIRS, settled with %2's "
                          "value:\n")
               .arg(fieldsWere(count),
                    take == MergeTake::Ours ? QStringLiteral("OURS") : QStringLiteral("THEIRS")) +
           conflictText(merge.conflicts, names);
}

} // namespace

int runMerge(const Invocation &invocation)
{
    const QString &ours = invocation.files[1];
    const bool printed = invocation.output == QLatin1String("-");
    const QString target = invocation.output.isEmpty() ? ours : invocation.output;
    const bool intoOurs = invocation.output.isEmpty() || isSameFile(target, ours);
    // A start location for OURS says it is a table file, whatever it begins with.
    const bool oursAtStart = intoOurs && startGiven(invocation, "start-ours") == StartGiven::Yes;
    if (!printed) {
        if (refuseStreamsOnTarget(target, Words.mode))
            return Trouble;
        // A table's bytes would go over the start of the text.
        if (!oursAtStart && holdsTableText(target)) {
            tell(QStringLiteral("Nothing was written: %1 is a formation table text, and merge "
                                "saves a table's bytes into it. Give -o OUT to save the merged "
                                "table into a table file, or -o - to print it as JSON.")
                     .arg(shownPath(target)));
            return Trouble;
        }
    }

    QByteArray tables[3];
    for (int k = 0; k < 3; ++k) {
        const LoadResult loaded =
            loadForCommandLine(invocation.files[k], invocation.*Sides[k].start,
                               startGiven(invocation, Sides[k].option), Sides[k].option);
        if (!loaded.ok) {
            tell(loaded.error);
            return Trouble;
        }
        tables[k] = loaded.table;
    }
    const TableMerge merge = mergeTables(tables[0], tables[1], tables[2], invocation.take);
    const QStringList names = formationNamesFor(ours);
    if (!merge.settled) {
        const int count = int(merge.conflicts.size());
        // With -o -, standard output is for the merged table alone.
        QString refusal;
        if (writeToStream(printed ? stderr : stdout, conflictText(merge.conflicts, names).toUtf8(),
                          &refusal) == StreamWrite::Failed)
            tell(QStringLiteral("The conflicts could not be written to standard %1: %2.")
                     .arg(printed ? QStringLiteral("error") : QStringLiteral("output"), refusal));
        tell(QStringLiteral("Nothing was written: %1 changed differently in OURS and THEIRS. "
                            "Give --take ours or --take theirs to settle %2 with that side's "
                            "value.")
                 .arg(fieldsWere(count),
                      count == 1 ? QStringLiteral("it") : QStringLiteral("them")));
        return Conflict;
    }
    const QString settled = settledText(merge, invocation.take, names);

    if (printed) {
        if (!invocation.quiet && !settled.isEmpty()) {
            QString unused;
            writeToStream(stderr, settled.toUtf8(), &unused); // news only: the JSON is what counts
        }
        return writeStandardOutput(writeTableText(merge.table, names, TextFormat::Json)) ? 0
                                                                                         : Trouble;
    }

    TargetSaveOptions options = targetSaveOptions(invocation);
    if (oursAtStart) {
        options.start = startArgument(invocation.startOurs);
        options.startOption = "start-ours";
    }
    const TableMaker make = [&](const QByteArray &before, TargetSave::Held held,
                                QString *error) -> std::optional<QByteArray> {
        // The merge holds OURS as it was read: a change made since would be lost.
        if (intoOurs && (held != TargetSave::Held::Table || before != tables[1])) {
            *error = QStringLiteral("Nothing was written: %1 was changed by another program "
                                    "while it was merged.")
                         .arg(shownPath(target));
            return std::nullopt;
        }
        return merge.table;
    };
    const TargetSave saved = saveIntoTarget(target, options, make);
    if (saved.kind == TargetSave::Kind::Failed) {
        tellSaveFailed(saved, Words);
        return Trouble;
    }
    if (invocation.quiet)
        return 0;
    printSaveReport(target, settled + saveReport(target, saved, names, Words), Words);
    return 0;
}
