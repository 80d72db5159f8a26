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
    if (changes.isEmpty())
        return 0;
    // A reader that stopped early (| head) still learns the answer: they differ.
    switch (
        writeToStandardOutput(diffText(changes, formationNamesFor(invocation.files[0])).toUtf8())) {
    case StreamWrite::Written:
    case StreamWrite::ReaderGone:
        return 1;
    case StreamWrite::Failed:
        break;
    }
    return Trouble;
}
