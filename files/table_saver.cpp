#include "table_saver.h"

#include "change_words.h"
#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "save_journal.h"
#include "save_leftovers.h"
#include "save_recovery.h"
#include "save_steps.h"
#include "save_target.h"
#include "table_backup.h"
#include "table_loader.h"

#include <QFileInfo>
#include <optional>
#include <variant>

namespace
{

using Kind = SaveOutcome::Kind;
using Question = SaveOutcome::Question;
constexpr qint64 TableBytes = FormationTable::ByteCount;

// Nothing was written, or what was written is undone: the file is as it was.
SaveOutcome notSaved(const QString &path, const QString &reason)
{
    SaveOutcome outcome;
    outcome.kind = Kind::NotSaved;
    outcome.message =
        QStringLiteral("The table was not saved to %1: %2.").arg(shownPath(path), reason);
    return outcome;
}

// What stands in the way (`fact`, one sentence), to be asked about, with
// the file as it was when asked.
SaveOutcome ask(Question question, const QString &fact, const FileSnapshot &seen)
{
    SaveOutcome outcome;
    outcome.kind = Kind::Ask;
    outcome.question = question;
    outcome.message = fact;
    outcome.seen = seen;
    return outcome;
}

// The snapshot a save of `path`, now `identity`, compares the file with:
// the one the user last agreed to save over, else the loaded file's, else
// the one last saved to. `since` says after what, for the question.
const FileSnapshot *watchedSnapshot(const SaveOptions &options, const QString &path,
                                    const FileIdentity &identity, QString *since)
{
    if (options.agreed && describes(*options.agreed, path, identity)) {
        *since = QStringLiteral("while the question about saving it was open");
        return options.agreed;
    }
    if (!options.watched)
        return nullptr;
    if (describes(options.watched->loaded, path, identity)) {
        *since = QStringLiteral("after the table was loaded from it");
        return &options.watched->loaded;
    }
    if (describes(options.watched->saved, path, identity)) {
        *since = QStringLiteral("after the table was saved to it");
        return &options.watched->saved;
    }
    return nullptr;
}

bool sameState(const FileStatus &a, const FileStatus &b)
{
    return a.identity == b.identity && a.size == b.size && a.modifiedNs == b.modifiedNs;
}

// What another program changed in a file the editor saw as `was`, now
// `now` with `tableNow` at the table's place, in a sentence.
QString whatChanged(const FileSnapshot &was, const FileStatus &now, const QByteArray &tableNow,
                    const QStringList &names)
{
    if (was.identity.valid && was.identity != now.identity)
        return QStringLiteral("Another file has its name now.");
    if (const QList<int> differing = differingFormations(was.tableBytes, tableNow);
        !differing.isEmpty())
        return QStringLiteral("In its table, %1 now %2 from what the editor read there.")
            .arg(formationList(differing, names),
                 differing.size() == 1 ? QStringLiteral("differs") : QStringLiteral("differ"));
    if (was.size != now.size)
        return QStringLiteral("Its table is as the editor read it; its length changed from %1 "
                              "to %2 bytes.")
            .arg(grouped(was.size), grouped(now.size));
    return QStringLiteral("Its table and its length are as the editor read them; only its "
                          "modification time, or bytes outside the table, changed.");
}

// How putting back the old bytes ended.
struct PutBack {
    enum class Kind {
        Done, // the file is as the save found it, read back
        // The old bytes are back, but another program wrote to the file
        // after they went in: its write stays, under its time.
        DoneOtherProgramWroteSince,
        LeftToOtherProgram, // another program wrote to it since: left as it is
        Failed,             // the old bytes could not be put back
    };
    PutBack() = default;
    PutBack(Kind ending, QString reason, QString note = {})
        : kind(ending), why(std::move(reason)), timeNote(std::move(note))
    {
    }

    Kind kind = Kind::Done;
    QString why;      // with LeftToOtherProgram and Failed
    QString timeNote; // with Done: words on an old time that could not be put back

    bool bytesBack() const
    {
        return kind == Kind::Done || kind == Kind::DoneOtherProgramWroteSince;
    }
};

// What the table's write did, for putting it back and for what the save left.
struct TableWrite {
    qint64 written = -1;             // bytes of the table written, -1 on an error
    std::optional<FileStatus> after; // the file right after the write, when the system tells
};

// What keeps the file safe while the table goes in.
struct Guards {
    std::optional<OpenFile> journal; // named and held; none where the user agreed to go without
    QString backupPath;              // the backup this save made, if it made one
};

// What a step gives: what the save goes on with, or the outcome it ends with.
template <typename Next> using Step = std::variant<Next, SaveOutcome>;

// News of an earlier save's journal that this save settled; empty when none.
struct EarlierSave {
    QString settled;
};

// A save over an existing file, step by step (run() shows them all). It
// writes the 1,488 bytes at the offset in place, with a journal beside the
// file from before the first write until the file is synced, after
// checking, just before the first write, that the file is still the one it
// found; a failure after the file took any byte puts the old bytes back,
// unless another program has written since.
class InPlaceSave
{
public:
    InPlaceSave(const QString &path, const QByteArray &table, const SaveOptions &options)
        : m_path(path), m_table(table), m_options(options), m_offset(options.offset)
    {
    }

    // Every step, in order; save_steps.h lists the outcomes each may end
    // the save with. The journal comes first: a question it raises leaves
    // nothing behind. From then on every end but Damaged removes it again
    // (Saved once the file is synced).
    SaveOutcome run()
    {
        const Step<EarlierSave> earlier = settleEarlierSave();
        if (const SaveOutcome *stop = std::get_if<SaveOutcome>(&earlier))
            return ended(SaveStep::SettleEarlierSave, *stop, {});
        const QString settled = std::get<EarlierSave>(earlier).settled;
        if (std::optional<SaveOutcome> stop = open())
            return ended(SaveStep::Open, *stop, settled);
        if (std::optional<SaveOutcome> stop = findTable())
            return ended(SaveStep::FindTable, *stop, settled);
        const Step<FileSnapshot> found = askAboutChanges();
        if (const SaveOutcome *stop = std::get_if<SaveOutcome>(&found))
            return ended(SaveStep::AskAboutChanges, *stop, settled);
        m_found = std::get<FileSnapshot>(found);
        if (m_oldRegion == m_table)
            return ended(SaveStep::CompareTables, nothingToChange(), settled);

        Step<std::optional<OpenFile>> journal = writeJournal();
        if (const SaveOutcome *stop = std::get_if<SaveOutcome>(&journal))
            return ended(SaveStep::WriteJournal, *stop, settled);
        Guards guards{std::move(std::get<std::optional<OpenFile>>(journal)), {}};

        Step<std::optional<PendingBackup>> copy = copyBackup();
        if (const SaveOutcome *stop = std::get_if<SaveOutcome>(&copy))
            return ended(SaveStep::CopyBackup, withoutJournal(*stop, guards.journal), settled);
        if (std::optional<PendingBackup> &pending = std::get<std::optional<PendingBackup>>(copy)) {
            // The copy is of the file as the save found it, or it is no backup.
            if (std::optional<SaveOutcome> changed = checkAgain({}))
                return ended(SaveStep::CheckBeforeNamingBackup,
                             withoutJournal(withoutBackup(*changed, *pending), guards.journal),
                             settled);
            const Step<std::optional<QString>> named = nameBackupCopy(*pending);
            if (const SaveOutcome *stop = std::get_if<SaveOutcome>(&named))
                return ended(SaveStep::NameBackup, withoutJournal(*stop, guards.journal), settled);
            guards.backupPath = std::get<std::optional<QString>>(named).value_or(QString());
        }

        if (std::optional<SaveOutcome> changed = checkAgain(guards.backupPath))
            return ended(SaveStep::CheckAgain, withoutJournal(*changed, guards.journal), settled);
        return ended(SaveStep::Write, write(guards), settled);
    }

private:
    // How the save ended, with the news of an earlier save it settled.
    SaveOutcome ended(SaveStep step, SaveOutcome outcome, const QString &settled) const
    {
        if (m_options.stepEnded)
            m_options.stepEnded(step, outcome);
        if (!settled.isEmpty()) {
            outcome.journalSettled = settled;
            outcome.remark =
                settled + (outcome.remark.isEmpty() ? QString() : u' ' + outcome.remark);
        }
        return outcome;
    }

    // A file marked read-only stays untouched, even for a user (such as an
    // administrator) whom the system would let write it; and what an
    // earlier save that did not finish left is to be settled first. One
    // that changed nothing (as a journal left by this save's own question,
    // that could not be removed then) is settled as recover would.
    Step<EarlierSave> settleEarlierSave()
    {
        if (isMarkedReadOnly(m_path))
            return notSaved(m_path, QStringLiteral("the file is read-only"));
        EarlierSave earlier;
        if (hasJournal(m_path) && !settleUntouched(m_path, &earlier.settled))
            return notSaved(m_path, unfinishedSaveReason(m_path));
        return earlier;
    }

    // The file held the table already: nothing to write, nothing to keep.
    SaveOutcome nothingToChange() const
    {
        SaveOutcome outcome;
        outcome.kind = Kind::NothingToChange;
        outcome.left = m_found;
        return outcome;
    }

    // Opens the file and reads what the save will overwrite.
    std::optional<SaveOutcome> open()
    {
        auto qfile = std::make_unique<QFile>(m_path);
        if (const OpenResult opened = openRegularFile(*qfile, QIODevice::ReadWrite); !opened.ok)
            return notSaved(m_path, opened.reason);
        m_target = openFile(m_path, std::move(qfile), m_options.wrap);
        QString reason;
        if (!fileStatus(*m_target.native, &m_old, &reason))
            return notSaved(m_path,
                            QStringLiteral("the file could not be read first (%1)").arg(reason));
        // A program made shorter may still hold its table elsewhere: findTable looks.
        if (m_offset > 0 && m_old.size < m_offset + TableBytes && !m_options.intoProgramTable)
            return notSaved(m_path, QStringLiteral("it holds %1 bytes, fewer than the %2 a table "
                                                   "at byte %3 needs, and a save never makes a "
                                                   "file longer to reach its table")
                                        .arg(grouped(m_old.size), grouped(m_offset + TableBytes),
                                             grouped(m_offset)));
        const qint64 held = std::clamp<qint64>(m_old.size - m_offset, 0, TableBytes);
        const std::optional<QByteArray> region = bytesAt(file(), m_offset, TableBytes);
        if (!region)
            return notSaved(m_path, QStringLiteral("the file could not be read first (%1)")
                                        .arg(reasonOf(file(), "the system reported a read error")));
        if (region->size() != held)
            return notSaved(m_path,
                            QStringLiteral("the file became shorter while it was being read"));
        m_oldRegion = *region;
        return std::nullopt;
    }

    // A program's own table is where its signature is: when that is no
    // longer at the offset, the program has changed (a new version), and
    // nothing may go over what it holds there now.
    std::optional<SaveOutcome> findTable()
    {
        if (!m_options.intoProgramTable || m_oldRegion.startsWith(tableSignature()))
            return std::nullopt;
        const SearchResult found = searchSignature(*m_target.native, m_old.size);
        const QString shown = shownPath(m_path);
        const QString gone =
            QStringLiteral("the program has changed since the table was read from it: its "
                           "formation table is no longer at byte %1")
                .arg(grouped(m_offset));
        if (!found.readError.isEmpty() || found.offset < 0 ||
            found.offset + TableBytes > m_old.size)
            return notSaved(m_path,
                            gone + QStringLiteral(", and it was not found anywhere else in it "
                                                  "(no signature 00 25 03 00 AA at or after byte "
                                                  "%1), so nothing was written")
                                       .arg(grouped(SignatureScanStart + 1)));
        const std::optional<QByteArray> there = bytesAt(file(), found.offset, TableBytes);
        if (!there)
            return notSaved(m_path, QStringLiteral("the file could not be read first (%1)")
                                        .arg(reasonOf(file(), "the system reported a read error")));
        SaveOutcome moved = ask(Question::TableMoved,
                                QStringLiteral("In %1, %2 (a new version of the program may have "
                                               "moved it): it is now at byte %3.")
                                    .arg(shown, gone, grouped(found.offset)),
                                snapshotOf(m_path, m_old, found.offset, *there));
        moved.movedTo = found.offset;
        return moved;
    }

    // Another program changed a watched file since the user last saw it.
    // Otherwise the file as the save found it, its table bytes taken where
    // the watched file has them.
    Step<FileSnapshot> askAboutChanges()
    {
        QString since;
        const FileSnapshot *watched = watchedSnapshot(m_options, m_path, m_old.identity, &since);
        const qint64 tableOffset = watched ? watched->tableOffset : m_offset;
        const std::optional<QByteArray> now =
            tableOffset == m_offset ? m_oldRegion : bytesAt(file(), tableOffset, TableBytes);
        if (!now)
            return notSaved(m_path, QStringLiteral("the file could not be read first (%1)")
                                        .arg(reasonOf(file(), "the system reported a read error")));
        const FileSnapshot found = snapshotOf(m_path, m_old, tableOffset, *now);
        if (watched && (watched->identity != m_old.identity || watched->size != m_old.size ||
                        (watched->timeKnown && watched->modifiedNs != m_old.modifiedNs) ||
                        *now != watched->tableBytes))
            return ask(Question::ChangedByOtherProgram,
                       QStringLiteral("%1 was changed by another program %2. %3")
                           .arg(shownPath(m_path), since,
                                whatChanged(*watched, m_old, *now, m_options.formationNames)),
                       found);
        return found;
    }

    // Copies the file's whole content for NAME.bak, unless a copy is there
    // already or the user agreed to go without: then there is none to name.
    Step<std::optional<PendingBackup>> copyBackup()
    {
        if (m_options.withoutBackup)
            return std::nullopt;
        const ExistingBackup existing = existingBackup(backupPath(), m_old.identity, m_old.size);
        switch (existing.state) {
        case ExistingBackup::State::Kept:
            return std::nullopt;
        case ExistingBackup::State::NoBackup:
            return noBackup(existing.why);
        case ExistingBackup::State::None:
            break;
        }
        QString reason;
        std::optional<PendingBackup> copy =
            copyForBackup(m_target, m_old, backupPath(), m_options, &reason);
        if (!copy)
            return noBackup(reason);
        return copy;
    }

    // A question after the copy was made, which is then no backup.
    static SaveOutcome withoutBackup(SaveOutcome changed, PendingBackup &copy)
    {
        const QString left = discardBackup(copy);
        if (!left.isEmpty())
            changed.message += QStringLiteral(" No backup was kept") + left + u'.';
        return changed;
    }

    // Gives the copy its name: the backup this save made, or none where a
    // file of its own took the name meanwhile.
    Step<std::optional<QString>> nameBackupCopy(PendingBackup &copy)
    {
        bool made = false;
        if (const QString cannot = ::nameBackup(copy, backupPath(), m_old, m_options, &made);
            !cannot.isEmpty())
            return noBackup(cannot);
        if (made)
            return std::optional<QString>(backupPath());
        return std::optional<QString>();
    }

    QString backupPath() const { return m_path + QStringLiteral(".bak"); }

    SaveOutcome noBackup(const QString &why) const
    {
        return ask(Question::NoBackup,
                   QStringLiteral("No backup of %1 can be made (%2).").arg(shownPath(m_path), why),
                   m_found);
    }

    // Writes the journal beside the file, complete, synced and read back,
    // and only then gives it its name: from then on a save cut off at any
    // moment can be put back. The journal, held; none where the user agreed
    // to go without.
    Step<std::optional<OpenFile>> writeJournal()
    {
        if (m_options.withoutJournal)
            return std::nullopt;
        const QByteArray bytes = encodeJournal(
            {m_old.identity, m_old.size, m_old.modifiedNs, m_offset, m_oldRegion, m_table});
        const QString journal = journalPath(m_path);
        auto qfile = std::make_unique<QFile>();
        QString reason;
        const QString temporary = createTemporary(QFileInfo(journal).absolutePath(),
                                                  TemporaryKind::Journal, 0600, *qfile, &reason);
        if (temporary.isEmpty())
            return noJournal(reason);
        keepAccessOf(*qfile, *m_target.native, m_old);
        OpenFile written = openFile(temporary, std::move(qfile), {});
        QString failed;
        if (written.file->writeAt(0, bytes.constData(), bytes.size()) != bytes.size())
            failed = reasonOf(*written.file, "the disk took only part of it");
        else if (!written.file->sync())
            failed = QStringLiteral("the disk did not confirm the write (%1)")
                         .arg(reasonOf(*written.file, "no reason given"));
        else if (const std::optional<QByteArray> back = bytesAt(*written.file, 0, bytes.size() + 1);
                 !back || *back != bytes)
            failed = QStringLiteral("reading it back did not give what was written");
        if (!failed.isEmpty()) {
            written.file.reset();
            return noJournal(failed + removeTemporary(temporary));
        }
        bool taken = false;
        // Held while the save runs: a journal no save holds is an unfinished save's.
        if (const QString unnamed =
                giveName(written, temporary, journal, m_options, &taken, AfterNaming::Held);
            !unnamed.isEmpty()) {
            if (taken)
                return notSaved(m_path, QStringLiteral("the journal of another save of it "
                                                       "appeared meanwhile, so nothing was "
                                                       "written to it"));
            return noJournal(unnamed);
        }
#ifdef Q_OS_WIN
        // Let go for the rename, it must be this save's journal that it holds
        // again: one it cannot hold, or another save's, gives no way back.
        const std::optional<QByteArray> held =
            written.file ? bytesAt(*written.file, 0, bytes.size() + 1) : std::nullopt;
        if (!held || *held != bytes) {
            written.file.reset();
            // Removed where it is this save's own, read by another opening.
            QFile named(journal);
            const bool ours = !held && named.open(QIODevice::ReadOnly) &&
                              named.read(bytes.size() + 1) == bytes && (named.close(), true);
            const bool left = !ours || !removeFile(journal, &reason);
            return notSaved(m_path,
                            QStringLiteral("its journal could not be kept open once "
                                           "named, or another save of it took its "
                                           "place, so nothing was written to it%1")
                                .arg(left && pathKind(journal) != PathKind::Missing
                                         ? QStringLiteral(" (%1 stays)").arg(shownPath(journal))
                                         : QString()));
        }
#endif
        return std::optional<OpenFile>(std::move(written));
    }

    SaveOutcome noJournal(const QString &why) const
    {
        return ask(Question::NoJournal,
                   QStringLiteral("No journal of %1 can be written beside it (%2): if the save "
                                  "were cut off part-way, by a crash or a power cut, the file "
                                  "could not be put back.")
                       .arg(shownPath(m_path), why),
                   m_found);
    }

    // Removes the journal once it is no longer needed: the file holds the
    // table, synced, or its old bytes again. Words on why it stays, where
    // it could not be removed.
    static std::optional<QString> removeJournal(std::optional<OpenFile> &held)
    {
        if (!held)
            return std::nullopt;
        const QString journal = held->path;
#ifdef Q_OS_WIN
        held->file.reset(); // held, it could not be removed
#endif
        QString reason;
        const bool removed = removeFile(journal, &reason);
        held->file.reset(); // and let go, once it is gone
        if (!removed)
            return QStringLiteral("%1 could not be removed (%2)").arg(shownPath(journal), reason);
        held.reset();
        syncFolder(QFileInfo(journal).absolutePath());
        return std::nullopt;
    }

    // An outcome with nothing written: the journal goes, or the message says
    // it stays.
    static SaveOutcome withoutJournal(SaveOutcome outcome, std::optional<OpenFile> &journal)
    {
        if (const std::optional<QString> left = removeJournal(journal)) {
            outcome.remark = QStringLiteral("The file was not written, but its journal %1; it "
                                            "is no longer needed.")
                                 .arg(*left);
            outcome.journalLeft = outcome.remark;
        }
        return outcome;
    }

    // Just before the first write: the name still leads to the file the
    // save opened, and its length, time and the bytes to be overwritten
    // are what the save found.
    // `backup` names the backup this save made, for the message.
    std::optional<SaveOutcome> checkAgain(const QString &backup)
    {
        QString reason;
        const FileIdentity named = pathIdentity(m_path, &reason);
        if (!named.valid && !reason.isEmpty())
            return cannotCheck(reason, backup);
        FileStatus now;
        if (!fileStatus(*m_target.native, &now, &reason))
            return cannotCheck(reason, backup);
        const std::optional<QByteArray> region = bytesAt(file(), m_offset, TableBytes);
        if (!region)
            return cannotCheck(reasonOf(file(), "the system reported a read error"), backup);
        if (named == m_old.identity && sameState(now, m_old) && *region == m_oldRegion)
            return std::nullopt;
        const QString shown = shownPath(m_path);
        const QString what =
            !named.valid ? QStringLiteral("%1 was removed by another program").arg(shown)
            : named != m_old.identity
                ? QStringLiteral("Another program put another file in the place of %1").arg(shown)
                : QStringLiteral("%1 was changed by another program").arg(shown);
        const FileSnapshot seen = snapshotOfPath(m_path, m_found.tableOffset);
        QString change;
        if (named.valid && named == m_old.identity) {
            const std::optional<QByteArray> table =
                m_found.tableOffset == m_offset ? region
                                                : bytesAt(file(), m_found.tableOffset, TableBytes);
            change = u' ' + whatChanged(m_found, now, table.value_or(QByteArray()),
                                        m_options.formationNames);
        }
        const QString kept = backup.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" %1, made just before, holds the file as it "
                                                  "was before that.")
                                       .arg(shownPath(backup));
        return ask(Question::ChangedByOtherProgram,
                   what + QStringLiteral(" while the table was being saved to it.") + change + kept,
                   seen);
    }

    SaveOutcome cannotCheck(const QString &reason, const QString &backup) const
    {
        return notSaved(m_path, QStringLiteral("it could not be checked again just before "
                                               "writing (%1), so nothing was written to it%2")
                                    .arg(reason, backupStays(backup)));
    }

    // Where a backup this save made stays, for a message; empty without one.
    static QString backupStays(const QString &backup)
    {
        return backup.isEmpty()
                   ? QString()
                   : QStringLiteral(", and the copy of it made before this save stays as %1")
                         .arg(shownPath(backup));
    }

    // Writes the table, pushes it to the disk, reads it back and checks
    // that the name still leads to the file written; then the journal goes.
    SaveOutcome write(Guards &guards)
    {
        TableWrite tableWrite;
        tableWrite.written = file().writeAt(m_offset, m_table.constData(), TableBytes);
        if (tableWrite.written > 0)
            settleModifiedTime(*m_target.native);
        tableWrite.after = statusNow();
        const auto failed = [&](const QString &why) {
            return failedWrite(why, tableWrite, guards);
        };
        if (tableWrite.written != TableBytes) {
            const QString why = reasonOf(file(), "the disk took only part of the table");
            return failed(tableWrite.written > 0
                              ? QStringLiteral("only %1 of %2 bytes could be written (%3)")
                                    .arg(grouped(tableWrite.written), grouped(TableBytes), why)
                              : why);
        }
        if (!file().sync())
            return failed(QStringLiteral("the disk did not confirm the write (%1)")
                              .arg(reasonOf(file(), "no reason given")));
        if (!tableWrite.after) // once more: the next save compares with it
            tableWrite.after = statusNow();
        // Another program that cut the file short in the instant between the
        // last check and the write: the table may now lie beyond its end.
        if (const std::optional<FileStatus> &after = tableWrite.after;
            after && after->size < std::max(m_old.size, m_offset + TableBytes))
            return failed(QStringLiteral("another program changed the file's length just as the "
                                         "table was written"));
        const qint64 tableOffset = m_found.tableOffset;
        const std::optional<QByteArray> atTableOffset =
            tableOffset == m_offset ? m_table : bytesAt(file(), tableOffset, TableBytes);
        // Read back last but for the name, so that a change made after the
        // write shows here or in the next save's check.
        const std::optional<QByteArray> back = bytesAt(file(), m_offset, TableBytes);
        if (!back || !atTableOffset)
            return failed(QStringLiteral("the written bytes could not be read back (%1)")
                              .arg(reasonOf(file(), "the system reported a read error")));
        if (*back != m_table)
            return failed(
                QStringLiteral("reading the file back did not give the bytes that were written"));
        QString reason;
        const FileIdentity named = pathIdentity(m_path, &reason);
        if (!named.valid && !reason.isEmpty())
            return failed(QStringLiteral("whether the name still leads to the file written "
                                         "could not be checked (%1)")
                              .arg(reason));
        if (named != m_old.identity)
            return nameMoved(named.valid, tableWrite, guards);

        SaveOutcome outcome;
        outcome.kind = Kind::Saved;
        outcome.backupPath = guards.backupPath;
        // The file as the write left it: whatever another program did since
        // is asked about next time. Where the system could not tell its
        // time, the rest still tells.
        if (!tableWrite.after)
            tableWrite.after = statusNow();
        FileStatus written = m_old;
        written.size = std::max(m_old.size, m_offset + TableBytes);
        outcome.left =
            snapshotOf(m_path, tableWrite.after.value_or(written), tableOffset, *atTableOffset);
        outcome.left.timeKnown = tableWrite.after.has_value();
        if (const std::optional<QString> left = removeJournal(guards.journal))
            outcome.remark =
                QStringLiteral("The table was saved to %1, but its journal %2: remove it, or the "
                               "next load of %1 takes this save for one that did not finish.")
                    .arg(shownPath(m_path), *left);
        return outcome;
    }

    // The file as a save that put its bytes back left it: as the save found
    // it, with the time the system gives now, so that a time that could not
    // be put back is not later taken for another program's change.
    FileSnapshot leftAsFound(const PutBack &putBack)
    {
        FileSnapshot left = m_found;
        FileStatus now;
        QString reason;
        if (fileStatus(*m_target.native, &now, &reason))
            left.modifiedNs = now.modifiedNs;
        else
            left.timeKnown = putBack.timeNote.isEmpty();
        return left;
    }

    // The file's state now, when the system tells.
    std::optional<FileStatus> statusNow()
    {
        FileStatus status;
        QString reason;
        if (fileStatus(*m_target.native, &status, &reason))
            return status;
        return std::nullopt;
    }

    // The write did not complete: the old bytes go back where nothing but
    // this save has written since.
    SaveOutcome failedWrite(const QString &why, const TableWrite &tableWrite, Guards &guards)
    {
        const PutBack putBack = putOldBytesBack(tableWrite);
        if (!putBack.bytesBack())
            return namedFileDamaged(why, putBack, tableWrite, guards.backupPath);
        if (putBack.kind == PutBack::Kind::DoneOtherProgramWroteSince) {
            // Not unchanged: another program's write stays, under its time,
            // and the next save asks about it.
            SaveOutcome undone = withoutJournal(
                notSaved(m_path,
                         why +
                             QStringLiteral(". What this save wrote was taken back, but another "
                                            "program wrote to the file meanwhile: its change "
                                            "stays, with the time of its write") +
                             backupStays(guards.backupPath)),
                guards.journal);
            undone.backupPath = guards.backupPath;
            undone.left = m_found;
            return undone;
        }
        SaveOutcome undone =
            withoutJournal(notSaved(m_path, why + QStringLiteral(". The file is unchanged") +
                                                putBack.timeNote + backupStays(guards.backupPath)),
                           guards.journal);
        undone.backupPath = guards.backupPath;
        undone.left = leftAsFound(putBack);
        return undone;
    }

    // The name leads to another file, or to none, since the save opened it:
    // the table went into the file that had it, which gets its old bytes back.
    SaveOutcome nameMoved(bool replaced, const TableWrite &tableWrite, Guards &guards)
    {
        const QString what = replaced ? QStringLiteral("put another file in its place, and that "
                                                       "file was left as it is")
                                      : QStringLiteral("removed it");
        const PutBack putBack = putOldBytesBack(tableWrite);
        if (!putBack.bytesBack())
            return formerlyNamedFileDamaged(what, putBack, guards.backupPath);
        SaveOutcome outcome = withoutJournal(
            notSaved(m_path, QStringLiteral("while it was being saved, another program %1. The "
                                            "table had gone into the file that had the name "
                                            "before, and that file got its old content back%2%3")
                                 .arg(what, putBack.timeNote, backupStays(guards.backupPath))),
            guards.journal);
        outcome.backupPath = guards.backupPath;
        return outcome;
    }

    // The file the name led to when the save opened it, before another
    // program did `what`, may hold part of the table. The journal stays
    // beside the name, where that file no longer is; it names the file by
    // its identity.
    SaveOutcome formerlyNamedFileDamaged(const QString &what, const PutBack &putBack,
                                         const QString &backup) const
    {
        SaveOutcome outcome;
        outcome.kind = Kind::Damaged;
        outcome.backupPath = backup;
        outcome.message =
            QStringLiteral("The table was not saved to %1: while it was being saved, another "
                           "program %2. The table had gone into the file that had the name "
                           "before, and putting back its old content failed (%3), so that "
                           "file is damaged%4. %5 holds the bytes that file had there before "
                           "this save.")
                .arg(shownPath(m_path), what, putBack.why, backupStays(backup),
                     shownPath(journalPath(m_path)));
        return outcome;
    }

    // Puts back the old bytes, length and time, if this save changed them
    // and nothing else has written since.
    PutBack putOldBytesBack(const TableWrite &tableWrite)
    {
        // A write refused outright put nothing into the file.
        const qint64 written = std::max<qint64>(tableWrite.written, 0);
        const qint64 sizeLeft = std::max(m_old.size, written > 0 ? m_offset + written : 0);
        const QByteArray regionLeft = m_table.left(written) + m_oldRegion.mid(written);
        const std::optional<QByteArray> region = bytesAt(file(), m_offset, TableBytes);
        if (!region)
            return {PutBack::Kind::Failed,
                    QStringLiteral("it could not be checked first (%1)")
                        .arg(reasonOf(file(), "the system reported a read error"))};
        // The length and time last, the nearest to the write they allow.
        FileStatus now;
        QString reason;
        if (!fileStatus(*m_target.native, &now, &reason))
            return {PutBack::Kind::Failed,
                    QStringLiteral("it could not be checked first (%1)").arg(reason)};
        // Anything else in it now was written by another program, and is
        // not ours to overwrite: a file is never grown back, nor its bytes
        // put back over another program's.
        const auto leftAlone = [](const char *what) {
            return PutBack{PutBack::Kind::LeftToOtherProgram,
                           QStringLiteral("another program %1 meanwhile, so it was left as it is")
                               .arg(QLatin1String(what))};
        };
        if (now.size > sizeLeft)
            return leftAlone("made the file longer");
        if (now.size < sizeLeft)
            return leftAlone("made the file shorter");
        // Bytes this save did not write: another program's, or a disk that
        // did not keep what it took. Either way they are not put back over.
        if (*region != regionLeft)
            return {PutBack::Kind::LeftToOtherProgram,
                    QStringLiteral("the file holds other bytes there than this save wrote: "
                                   "another program changed them meanwhile, or the disk did not "
                                   "keep them; so it was left as it is")};
        if (tableWrite.after && now.modifiedNs != tableWrite.after->modifiedNs)
            return leftAlone("changed the file");
        WritableFile &target = file();
        FileStatus putBackAt = now;
        if (written > 0 || now.size != m_old.size) {
            if (target.writeAt(m_offset, m_oldRegion.constData(), m_oldRegion.size()) !=
                m_oldRegion.size())
                return {PutBack::Kind::Failed, QStringLiteral("the old bytes could not be "
                                                              "written (%1)")
                                                   .arg(reasonOf(target, "no reason given"))};
            if (now.size != m_old.size && !target.resize(m_old.size))
                return {PutBack::Kind::Failed, QStringLiteral("the old length could not be "
                                                              "set (%1)")
                                                   .arg(reasonOf(target, "no reason given"))};
            // The time of this write: any later one is another program's.
            if (!fileStatus(*m_target.native, &putBackAt, &reason))
                putBackAt.modifiedNs = -1;
            if (!target.sync())
                return {PutBack::Kind::Failed, QStringLiteral("the disk did not confirm the "
                                                              "write (%1)")
                                                   .arg(reasonOf(target, "no reason given"))};
            const std::optional<QByteArray> back = bytesAt(target, m_offset, TableBytes);
            if (!back || *back != m_oldRegion || target.size() != m_old.size)
                return {PutBack::Kind::Failed,
                        QStringLiteral("reading it back did not give the old bytes")};
        } else if (now.modifiedNs == m_old.modifiedNs) {
            return {}; // nothing went in, and nothing moved
        }
        // So that the file is as it was to anyone who compares times too;
        // the bytes are back whether or not this works. But an old time
        // would hide a write another program made since this one.
        FileStatus last;
        if (putBackAt.modifiedNs == -1)
            return {PutBack::Kind::Done,
                    {},
                    QStringLiteral(" but for its modification time, which was not put "
                                   "back: the time of the put-back could not be read (%1)")
                        .arg(reason)};
        if (fileStatus(*m_target.native, &last, &reason) &&
            last.modifiedNs != putBackAt.modifiedNs) {
            return {PutBack::Kind::DoneOtherProgramWroteSince, {}};
        }
        if (!setModifiedTime(*m_target.native, m_old.modifiedNs, &reason))
            return {PutBack::Kind::Done,
                    {},
                    QStringLiteral(" but for its modification time, which could not be "
                                   "put back (%1)")
                        .arg(reason)};
        return {};
    }

    // The file at the name may hold part of the table: the message says
    // what state it is in, and that the journal, which stays, holds its old
    // bytes.
    SaveOutcome namedFileDamaged(const QString &why, const PutBack &putBack,
                                 const TableWrite &tableWrite, const QString &backup)
    {
        const qint64 sizeNow = file().size();
        const QString length = sizeNow < 0 ? QStringLiteral("unknown")
                                           : QStringLiteral("%1 bytes").arg(grouped(sizeNow));
        const qint64 reach =
            sizeNow < 0 ? TableBytes : std::clamp<qint64>(sizeNow - m_offset, 0, TableBytes);
        const QString where = m_offset == 0
                                  ? QStringLiteral("its first %1 bytes").arg(grouped(reach))
                                  : QStringLiteral("its %1 bytes from byte %2 on")
                                        .arg(grouped(reach), grouped(m_offset));
        const QString copy =
            backup.isEmpty()
                ? QString()
                : QStringLiteral(" %1, made before this save, is a copy of the whole file as it "
                                 "was.")
                      .arg(shownPath(backup));
        SaveOutcome outcome;
        outcome.kind = Kind::Damaged;
        outcome.backupPath = backup;
        outcome.message =
            QStringLiteral("Saving the table to %1 failed: %2. Putting back the file's old "
                           "content failed too (%3), so the file is damaged: %4 may hold part "
                           "of the new table. Its length is now %5 (it was %6 bytes). %7 holds "
                           "the bytes it had there before this save: once the cause is fixed, "
                           "kgf-formation-editor recover %1, or loading %1 in the editor, puts "
                           "them back where the file holds nothing but what this save left; or "
                           "save the table to it again.%8")
                .arg(shownPath(m_path), why, putBack.why, where, length, grouped(m_old.size),
                     shownPath(journalPath(m_path)), copy);
        // What this save left there, so that the next save does not take
        // it for another program's change; where another program wrote
        // since, the next save asks about that.
        outcome.left = snapshotNow(m_target, m_found.tableOffset);
        if (outcome.left.valid && tableWrite.after &&
            putBack.kind == PutBack::Kind::LeftToOtherProgram) {
            outcome.left.size = tableWrite.after->size;
            outcome.left.modifiedNs = tableWrite.after->modifiedNs;
        }
        return outcome;
    }

    WritableFile &file()
    {
        return *m_target.file;
    }

    const QString m_path;
    const QByteArray m_table;
    const SaveOptions &m_options;
    const qint64 m_offset; // where the table goes
    // What open() found, and askAboutChanges() with it; the same from then on.
    OpenFile m_target;
    FileStatus m_old;       // the file as the save found it
    QByteArray m_oldRegion; // the bytes the table replaces (fewer where the file ends first)
    FileSnapshot m_found;   // the file as the save found it, its table where snapshots take it
};

SaveOutcome createNew(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    if (options.offset > 0)
        return notSaved(path, QStringLiteral("it does not exist, and a table goes to byte %1 "
                                             "only in a file that already holds that many bytes "
                                             "and the table's")
                                  .arg(grouped(options.offset)));
    const QString folder = QFileInfo(path).absolutePath();
    auto qfile = std::make_unique<QFile>();
    QString reason;
    const QString temporary = createTemporary(folder, TemporaryKind::NewFile, -1, *qfile, &reason);
    if (temporary.isEmpty())
        return notSaved(
            path, QStringLiteral("no file can be made in %1 (%2)").arg(shownPath(folder), reason));
    OpenFile file = openFile(temporary, std::move(qfile), options.wrap);
    QString failed;
    if (const qint64 written = file.file->writeAt(0, table.constData(), table.size());
        written != table.size())
        failed = reasonOf(*file.file, "the disk took only part of the table");
    else if (!file.file->sync())
        failed = QStringLiteral("the disk did not confirm the write (%1)")
                     .arg(reasonOf(*file.file, "no reason given"));
    else if (const std::optional<QByteArray> back = bytesAt(*file.file, 0, table.size());
             !back || *back != table)
        failed = QStringLiteral("reading the file back did not give the bytes that were written");
    if (!failed.isEmpty()) {
        file.file.reset();
        return notSaved(path, failed + removeTemporary(temporary));
    }
    settleModifiedTime(*file.native);
    FileStatus status;
    const bool known = fileStatus(*file.native, &status, &reason);
    bool taken = false;
    if (const QString unnamed = giveName(file, temporary, path, options, &taken);
        !unnamed.isEmpty())
        return notSaved(path, unnamed);

    SaveOutcome result;
    result.kind = Kind::Saved;
    if (known)
        result.left = snapshotOf(path, status, 0, table);
    return result;
}

} // namespace

QString SaveOutcome::questionText() const
{
    Q_ASSERT(kind == Kind::Ask);
    switch (question) {
    case Question::ChangedByOtherProgram:
        return message + QStringLiteral(" Save over those changes?");
    case Question::NoBackup:
        return message + QStringLiteral(" Save without a backup?");
    case Question::NoJournal:
        return message + QStringLiteral(" Save without one?");
    case Question::TableMoved:
        return message + QStringLiteral(" Write the table there?");
    }
    Q_UNREACHABLE();
}

namespace
{

SaveOutcome saveByKind(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    switch (const PathKind kind = pathKind(path)) {
    case PathKind::Missing:
        if (hasJournal(path))
            return notSaved(path, unfinishedSaveReason(path));
        return createNew(path, table, options);
    case PathKind::Regular:
    case PathKind::Unknown: // opening it says why it cannot be written
        return InPlaceSave(path, table, options).run();
    case PathKind::Folder:
    case PathKind::Device:
    case PathKind::Special:
    case PathKind::BrokenLink:
        return notSaved(path, notRegularReason(kind));
    }
    Q_UNREACHABLE();
}

} // namespace

SaveOutcome saveTable(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    Q_ASSERT(table.size() == TableBytes && options.offset >= 0);
    // What earlier saves left is judged before this one changes the file,
    // and cleared only once it did its work: a failed save changes nothing.
    const Leftovers leftovers = findLeftovers(path);
    SaveOutcome outcome = saveByKind(path, table, options);
    if (outcome.tableInFile())
        if (const QString left = removeLeftovers(leftovers); !left.isEmpty())
            outcome.remark += (outcome.remark.isEmpty() ? QString() : QStringLiteral(" ")) + left;
    return outcome;
}
