#include "save_asking.h"

#include "message_text.h"

SaveOutcome saveAsking(const QString &path, const QByteArray &table, WatchedFiles &watched,
                       SaveOptions options, const SaveAnswer &answer)
{
    options.watched = &watched;
    FileSnapshot agreed; // the file as the user saw it when saying yes
    SaveOutcome outcome;
    QString backupMade;  // by an attempt before the user's answer
    QStringList remarks; // news of every attempt, each once
    QString journalLeft; // by the attempt before
    for (;;) {
        outcome = saveTable(path, table, options);
        if (!outcome.backupPath.isEmpty())
            backupMade = outcome.backupPath;
        QString remark = outcome.remark;
        // The journal an earlier attempt could not remove this one did: that
        // is no news of an earlier save, and no journal is left.
        if (!journalLeft.isEmpty() && !outcome.journalSettled.isEmpty()) {
            for (QString &earlier : remarks)
                earlier = earlier.remove(journalLeft).trimmed();
            remarks.removeAll(QString());
            remark = remark.remove(outcome.journalSettled).trimmed();
        }
        journalLeft = outcome.journalLeft;
        if (!remark.isEmpty() && !remarks.contains(remark))
            remarks << remark;
        if (outcome.kind != SaveOutcome::Kind::Ask || !answer(outcome))
            break;
        agreed = outcome.seen;
        options.agreed = &agreed;
        if (outcome.question == SaveOutcome::Question::NoBackup)
            options.withoutBackup = true;
        if (outcome.question == SaveOutcome::Question::NoJournal)
            options.withoutJournal = true;
        if (outcome.question == SaveOutcome::Question::TableMoved)
            options.offset = outcome.movedTo;
    }
    // One save to the user, however many attempts: the backup an earlier
    // attempt made is this save's, and so is its news.
    outcome.remark = remarks.join(u' ');
    if (outcome.backupPath.isEmpty() && !backupMade.isEmpty()) {
        outcome.backupPath = backupMade;
        if (!outcome.tableInFile())
            outcome.message += QStringLiteral(" The copy of it made before this save stays as %1.")
                                   .arg(shownPath(backupMade));
    }
    // The editor's own save, even one undone or failed, is no change by
    // another program.
    if (outcome.tableInFile())
        watchSaved(watched, outcome.left);
    else
        refreshWatched(watched, outcome.left);
    return outcome;
}
