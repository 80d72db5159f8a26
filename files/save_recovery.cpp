#include "save_recovery.h"

#include "change_words.h"
#include "message_text.h"
#include "native_file.h"
#include "save_journal.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

namespace
{

Recovery refused(const QString &message)
{
    return {Recovery::Kind::Refused, message};
}

// Why recover cannot go on: a journal or file that does not fit (running it
// again will not help), or one that could not be read now.
struct Problem {
    QString text; // empty: none
    bool lasting = true;
};

Recovery stopped(const Problem &problem)
{
    return {problem.lasting ? Recovery::Kind::Refused : Recovery::Kind::Failed,
            problem.text + QStringLiteral(" Nothing was changed.")};
}

QString nothingChanged()
{
    return QStringLiteral(" Nothing was changed.");
}

// The journal beside `path`, read and checked; nothing, with `problem`.
std::optional<SaveJournal> readJournal(const QString &journal, Problem *problem)
{
    QFile file(journal);
    if (const OpenResult opened = openRegularFile(file, QIODevice::ReadOnly); !opened.ok) {
        *problem = {
            QStringLiteral("%1 cannot be read (%2).").arg(shownPath(journal), opened.reason),
            false};
        return std::nullopt;
    }
    QByteArray bytes(MaxJournalBytes + 1, '\0');
    const qint64 got = readUpTo(file, bytes.data(), bytes.size());
    if (got < 0) {
        *problem = {QStringLiteral("%1 cannot be read (%2).")
                        .arg(shownPath(journal),
                             plainReason(file.errorString(), "the system reported a read error")),
                    false};
        return std::nullopt;
    }
    bytes.truncate(got);
    QString why;
    std::optional<SaveJournal> read = decodeJournal(bytes, &why);
    if (!read)
        *problem = {QStringLiteral("%1 is no journal this program can use: %2.")
                        .arg(shownPath(journal), why)};
    return read;
}

// The file a journal belongs to, open, with what it holds where the save wrote.
struct JournaledFile {
    QFile file;
    FileStatus status;
    QByteArray region; // from the journal's offset, as far as the table reaches
};

// Opens `path` and checks it against `journal`; no problem when it is the
// file the save wrote into.
Problem openJournaled(const QString &path, const SaveJournal &journal, QIODevice::OpenMode mode,
                      JournaledFile *opened)
{
    const QString shown = shownPath(path);
    opened->file.setFileName(path);
    if (pathKind(path) == PathKind::Missing)
        return {QStringLiteral("%1 is not there any more.").arg(shown)};
    if (const OpenResult result = openRegularFile(opened->file, mode); !result.ok)
        return {QStringLiteral("%1 cannot be opened (%2).").arg(shown, result.reason), false};
    QString reason;
    if (!fileStatus(opened->file, &opened->status, &reason))
        return {QStringLiteral("%1 cannot be looked at (%2).").arg(shown, reason), false};
    if (opened->status.identity != journal.identity)
        return {QStringLiteral("%1 is not the file that save wrote into: another file has its "
                               "name now.")
                    .arg(shown)};
    const qint64 length =
        std::clamp<qint64>(opened->status.size - journal.offset, 0, journal.newBytes.size());
    opened->region.resize(length);
    if (readAt(opened->file, journal.offset, opened->region.data(), length, &reason) != length)
        return {QStringLiteral("%1 cannot be read (%2).")
                    .arg(shown, plainReason(reason, "the file became shorter meanwhile")),
                false};
    return {};
}

QString otherBytesProblem(const QString &path)
{
    return QStringLiteral("%1 holds other bytes there than that save left: another program has "
                          "changed it since, so the bytes in the journal would go over its "
                          "changes.")
        .arg(shownPath(path));
}

QString removeJournal(const QString &journal)
{
    QString reason;
    if (!removeFile(journal, &reason))
        return reason;
    syncFolder(QFileInfo(journal).absolutePath());
    return {};
}

// Writes the journal's old bytes and length back into the open file, synced
// and read back; empty when they are there.
QString putBack(JournaledFile &opened, const SaveJournal &journal)
{
    QFile &file = opened.file;
    QString reason;
    if (writeAt(file, journal.offset, journal.oldBytes.constData(), journal.oldBytes.size(),
                &reason) != journal.oldBytes.size())
        return QStringLiteral("the old bytes could not be written (%1)")
            .arg(plainReason(reason, "the disk took only part of them"));
    if (opened.status.size != journal.size && !resizeFile(file, journal.size, &reason))
        return QStringLiteral("the old length could not be set (%1)").arg(reason);
    if (!syncFile(file, &reason))
        return QStringLiteral("the disk did not confirm the write (%1)").arg(reason);
    QByteArray back(journal.oldBytes.size(), '\0');
    FileStatus now;
    if (readAt(file, journal.offset, back.data(), back.size(), &reason) != back.size() ||
        back != journal.oldBytes || !fileStatus(file, &now, &reason) || now.size != journal.size)
        return QStringLiteral("reading the file back did not give the old bytes");
    // The modification time stays that of this write: another program may
    // have changed bytes outside the table since, which an old time would hide.
    return {};
}

} // namespace

UnfinishedSave findUnfinishedSave(const QString &path)
{
    UnfinishedSave unfinished;
    unfinished.journalPath = journalPath(path);
    switch (journalState(path)) {
    case JournalState::None:
    case JournalState::NotAJournal: // no save's: a save refuses it, a load goes on
        return unfinished;
    case JournalState::SaveRunning:
        unfinished.found = true;
        unfinished.running = true;
        unfinished.problem = QStringLiteral("A save of %1 is running now, in this program or "
                                            "another copy of it. Load it once that is done.")
                                 .arg(shownPath(path));
        return unfinished;
    case JournalState::Unfinished:
        break;
    }
    unfinished.found = true;
    Problem problem;
    const std::optional<SaveJournal> journal = readJournal(unfinished.journalPath, &problem);
    JournaledFile opened;
    if (journal)
        problem = openJournaled(path, *journal, QIODevice::ReadOnly, &opened);
    if (!problem.text.isEmpty()) {
        unfinished.problem = problem.text;
        return unfinished;
    }
    unfinished.match = matchJournal(*journal, opened.region, opened.status.size);
    unfinished.differing = differingFormations(journal->oldBytes, opened.region);
    if (unfinished.match == JournalMatch::Elsewhere)
        unfinished.problem = otherBytesProblem(path);
    unfinished.canPutBack = unfinished.problem.isEmpty();
    return unfinished;
}

namespace
{

// The command that puts `path` back, as words to type where they can be.
QString recoverCommand(const QString &path)
{
    const std::optional<QString> argument = commandArgument(path);
    return argument ? QStringLiteral("kgf-formation-editor recover %1").arg(*argument)
                    : QStringLiteral("kgf-formation-editor recover with this file");
}

QString saveRunning()
{
    return QStringLiteral("a save of it is running now, in this program or another copy of it; "
                          "try again once it is done");
}

} // namespace

QString unfinishedSaveRefusal(const QString &path)
{
    if (journalState(path) == JournalState::SaveRunning)
        return QStringLiteral("%1 was not read: %2.").arg(shownPath(path), saveRunning());
    return QStringLiteral("%1 was not read: a save of it did not finish, so its table may be part "
                          "old, part new. Run %2 to put back what it held before.")
        .arg(shownPath(path), recoverCommand(path));
}

QString unfinishedSaveReason(const QString &path)
{
    const QString journal = shownPath(journalPath(path));
    switch (journalState(path)) {
    case JournalState::SaveRunning:
        return saveRunning();
    case JournalState::NotAJournal:
        return QStringLiteral("%1, the name its journal needs, is taken by %2; remove it first")
            .arg(journal, notRegularReason(pathKind(journalPath(path))).section(u',', 0, 0));
    case JournalState::None:
    case JournalState::Unfinished:
        break;
    }
    if (pathKind(path) == PathKind::Missing)
        return QStringLiteral("an earlier save of it did not finish, and %1 is left beside it, "
                              "though the file itself is not there any more; remove %1 once you "
                              "are sure it is not needed")
            .arg(journal);
    return QStringLiteral("an earlier save of it did not finish, and %1 holds what is needed to "
                          "put back what it held before. Load it in the editor to choose what to "
                          "do, or run %2")
        .arg(journal, recoverCommand(path));
}

Recovery recoverSave(const QString &path)
{
    const QString journalName = journalPath(path);
    if (journalState(path) == JournalState::SaveRunning)
        return {Recovery::Kind::Failed,
                QStringLiteral("Nothing was changed: %1.").arg(saveRunning())};
    switch (const PathKind kind = pathKind(journalName)) {
    case PathKind::Unknown:
        return {Recovery::Kind::Failed,
                QStringLiteral("Whether a save of %1 was left unfinished cannot be told: %2 "
                               "cannot be looked at. Nothing was changed.")
                    .arg(shownPath(path), shownPath(journalName))};
    case PathKind::Missing:
        return {Recovery::Kind::NothingToRecover,
                QStringLiteral("Nothing to recover: no save of %1 was left unfinished (there is "
                               "no %2).")
                    .arg(shownPath(path), shownPath(journalName))};
    case PathKind::Regular:
        break;
    default:
        return refused(QStringLiteral("%1 is no journal: %2.")
                           .arg(shownPath(journalName), notRegularReason(kind)) +
                       nothingChanged());
    }
    Problem problem;
    const std::optional<SaveJournal> journal = readJournal(journalName, &problem);
    if (!journal)
        return stopped(problem);
    JournaledFile opened;
    if (problem = openJournaled(path, *journal, QIODevice::ReadWrite, &opened);
        !problem.text.isEmpty())
        return stopped(problem);
    const JournalMatch match = matchJournal(*journal, opened.region, opened.status.size);
    if (match == JournalMatch::Elsewhere)
        return refused(otherBytesProblem(path) + nothingChanged());
    const QList<int> differing = differingFormations(journal->oldBytes, opened.region);
    if (match != JournalMatch::Old) {
        if (const QString failed = putBack(opened, *journal); !failed.isEmpty())
            return {Recovery::Kind::Failed,
                    QStringLiteral("Putting back %1 failed: %2. %3 stays, so that recover can be "
                                   "run again once the cause is fixed.")
                        .arg(shownPath(path), failed, shownPath(journalName))};
    }
    opened.file.close();
    // The name may lead elsewhere by now: what was put back is then not
    // what the name shows, and the journal stays with it.
    if (QString reason; pathIdentity(path, &reason) != journal->identity)
        return {Recovery::Kind::Failed,
                QStringLiteral("%1 was moved, removed or replaced by another program while it "
                               "was being put back: the file put back no longer has that name, "
                               "and what has it now was left as it is. %2 stays.")
                    .arg(shownPath(path), shownPath(journalName))};
    const QString what =
        match == JournalMatch::Old
            ? QStringLiteral("%1 holds what it held before the save that did not finish; nothing "
                             "needed putting back.")
                  .arg(shownPath(path))
            : QStringLiteral("%1 holds again what it held before the save that did not finish "
                             "(%2 %3 back).")
                  .arg(shownPath(path),
                       differing.isEmpty() ? QStringLiteral("no formation")
                                           : formationList(differing, {}),
                       differing.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"));
    if (const QString left = removeJournal(journalName); !left.isEmpty())
        return {Recovery::Kind::PutBack,
                what + QStringLiteral(" Its journal %1 could not be removed (%2); it is no longer "
                                      "needed.")
                           .arg(shownPath(journalName), left),
                true};
    return {Recovery::Kind::PutBack, what + QStringLiteral(" Its journal was removed.")};
}

bool settleUntouched(const QString &path, QString *note)
{
    if (journalState(path) != JournalState::Unfinished)
        return false;
    const UnfinishedSave unfinished = findUnfinishedSave(path);
    if (!unfinished.canPutBack || unfinished.match != JournalMatch::Old ||
        !removeJournal(unfinished.journalPath).isEmpty())
        return false;
    *note = QStringLiteral("An earlier save of %1 that did not finish had changed nothing in it; "
                           "its journal was removed.")
                .arg(shownPath(path));
    return true;
}

Recovery keepAfterUnfinishedSave(const QString &path)
{
    const QString journalName = journalPath(path);
    if (!hasJournal(path))
        return {Recovery::Kind::NothingToRecover, {}};
    if (const QString left = removeJournal(journalName); !left.isEmpty())
        return refused(
            QStringLiteral("%1 could not be removed (%2).").arg(shownPath(journalName), left) +
            nothingChanged());
    return {
        Recovery::Kind::PutBack,
        QStringLiteral("%1 is kept as it is, and its journal was removed.").arg(shownPath(path))};
}
