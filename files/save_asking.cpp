#include "save_asking.h"

SaveOutcome saveAsking(const QString &path, const QByteArray &table, WatchedFiles &watched,
                       SaveOptions options, const SaveAnswer &answer)
{
    WatchedFiles agreed = watched; // as the user last knew the files
    options.watched = &agreed;
    SaveOutcome outcome;
    for (;;) {
        outcome = saveTable(path, table, options);
        if (outcome.kind != SaveOutcome::Kind::Ask || !answer(outcome))
            break;
        if (outcome.question == SaveOutcome::Question::ChangedByOtherProgram)
            refreshWatched(agreed, outcome.seen);
        else
            options.withoutBackup = true;
    }
    // The editor's own save, even one undone or failed, is no change by
    // another program.
    if (outcome.tableInFile())
        watchSaved(watched, outcome.left);
    else
        refreshWatched(watched, outcome.left);
    return outcome;
}
