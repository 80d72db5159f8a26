// export: the table of FILE as JSON or CSV text, on standard output or in OUT.
#include "console.h"
#include "formation_table.h"
#include "message_text.h"
#include "mode_inputs.h"
#include "mode_runs.h"
#include "native_file.h"
#include "output_file.h"
#include "save_journal.h"
#include "table_text.h"

#include <QFileInfo>

namespace
{

// Why export's OUT, an existing file, is not to be written over: it is a
// journal, the one copy of a file's old bytes; or, without --force, a
// backup or a file that holds a table (anything but a table text long
// enough for one). Empty when it may be written.
QString keptOutput(const QString &output, bool force)
{
    QString refusal;
    if (isJournalFile(output))
        refusal = QStringLiteral("%1 is the journal of a save that did not finish, the one "
                                 "copy of what that file had before");
    else if (force || pathKind(output) != PathKind::Regular)
        return {};
    else if (output.endsWith(QLatin1String(".bak"), Qt::CaseInsensitive))
        refusal = QStringLiteral("%1 is a backup, and export writes text; give --force to write "
                                 "it anyway");
    else if (QFileInfo(output).size() >= FormationTable::ByteCount && !holdsTableText(output))
        refusal = QStringLiteral("%1 may hold a formation table, and export writes text; give "
                                 "--force to write it anyway");
    else
        return {};
    return refusal.arg(shownPath(output));
}

} // namespace

int runExport(const Invocation &invocation)
{
    const QString &output = invocation.output;
    if (!output.isEmpty() && output != QLatin1String("-")) {
        // The text must never take the place of the table it comes from, or
        // of a program.
        QString refusal = unfitOutput(output, {invocation.files[0]},
                                      {QStringLiteral("%1 is a program, and export writes text"),
                                       QStringLiteral("%1 is the file being exported")});
        if (refusal.isEmpty())
            refusal = keptOutput(output, invocation.force);
        if (!refusal.isEmpty())
            return fail(QStringLiteral("Nothing was written: %1.").arg(refusal));
    }
    const LoadResult loaded = loadForCommandLine(invocation.files[0], invocation.start,
                                                 startGiven(invocation, "start"), "start");
    if (!loaded.ok)
        return fail(loaded.error);
    const QByteArray text =
        writeTableText(loaded.table, formationNamesFor(invocation.files[0], MissingNames::Said),
                       invocation.format, invocation.units);
    const bool written = invocation.output.isEmpty() ? writeStandardOutput(text)
                                                     : writeOutput(invocation.output, text);
    return written ? 0 : FailedStatus;
}
