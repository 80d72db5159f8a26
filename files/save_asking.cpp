#include "save_asking.h"

SaveOutcome saveAsking(const QString &path, const QByteArray &table, WatchedFiles &watched,
                       SaveOptions options, const SaveAnswer &answer)
{
    options.watched = &watched;
    FileSnapshot agreed; // the file as the user saw it when saying yes
    SaveOutcome outcome;
    for (;;) {
        outcome = saveTable(path, table, options);
        if (outcome.kind != SaveOutcome::Kind::Ask || !answer(outcome))
            break;
        agreed = outcome.seen;
        options.agreed = &agreed;
        if (outcome.question == SaveOutcome::Question::NoBackup)
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
