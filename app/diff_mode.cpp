// diff: what differs between the tables of A and B, field by field.
#include "console.h"
#include "mode_inputs.h"
#include "mode_runs.h"
#include "table_diff.h"

namespace
{

// Exit statuses: 0 the same, 1 different.
constexpr int Trouble = 2;

} // namespace

int runDiff(const Invocation &invocation)
{
    if (invocation.formatGiven && invocation.format != TextFormat::Json)
        return reportUsageError(
            QStringLiteral("diff prints its differences as text, or as JSON with --format json."));
    const LoadResult a = loadForCommandLine(invocation.files[0], invocation.startA,
                                            startGiven(invocation, "start-a"), "start-a");
    if (!a.ok) {
        tell(a.error);
        return Trouble;
    }
    const LoadResult b = loadForCommandLine(invocation.files[1], invocation.startB,
                                            startGiven(invocation, "start-b"), "start-b");
    if (!b.ok) {
        tell(b.error);
        return Trouble;
    }
    const QList<FormationChanges> changes = diffTables(a.table, b.table);
    const int status = changes.isEmpty() ? 0 : 1;
    const QStringList names = formationNamesFor(invocation.files[0]);
    // A script always gets a whole document, the same tables included.
    const QByteArray output = invocation.formatGiven ? diffJson(a.table, b.table, names)
                                                     : diffText(changes, names).toUtf8();
    if (output.isEmpty())
        return status;
    // A reader that stopped early (| head) still learns the answer.
    switch (writeToStandardOutput(output)) {
    case StreamWrite::Written:
    case StreamWrite::ReaderGone:
        return status;
    case StreamWrite::Failed:
        break;
    }
    return Trouble;
}
