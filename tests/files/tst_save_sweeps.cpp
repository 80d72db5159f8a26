// Sweeps over whole saves, system call by system call, in the folders of
// sweep_scenes.h: before each call, another program acts on the files, or
// the call fails (once, or once and then again in the put-back), or the
// save is cut off there as a kill would cut it. Each save makes the steps
// listed in ExpectedSteps and no others. After every run the folder must
// be what a model of it says, not only what the save's outcome says: a
// backup the outcome names is the file as it was, every file a message
// names holds what the message says, nothing another program wrote is gone
// unless the user agreed after being asked, a second save asks only what
// is true, and a save cut off anywhere leaves the old table, the new one,
// or a journal from which recover gives back the old one exactly.
#include "sweep_scenes.h"

#include "save_target.h"

#include <QRegularExpression>
#include <QTest>
#ifdef Q_OS_UNIX
#include <sys/wait.h>
#endif

using namespace sweep;

namespace
{

// Each scene's calls, undisturbed, with the part each file plays (see
// Folder::role). A save that stops making one of them fails the sweep.
// Windows is asked other things than POSIX systems are: a list of its own.
const QMap<QString, QString> &expectedSteps()
{
    static const QMap<QString, QString> steps = {
#ifdef Q_OS_WIN
#include "sweep_steps_windows.inc"
#else
#include "sweep_steps.inc"
#endif
    };
    return steps;
}

QStringList stepsOf(const SceneKind &scene)
{
    return expectedSteps().value(QLatin1String(scene.name)).split(u',', Qt::SkipEmptyParts);
}

enum class Action {
    ChangeInsideTable,
    ChangeTableEnd,
    ChangeAfterTable,
    Touch,
    Append,
    CutShort,
    ReplaceByRename,
    ReplaceByCopy,
    Delete,
    SymbolicLink,
    BackupAppears,
};
constexpr const char *ActionNames[] = {"changes bytes inside the table",
                                       "changes the table's last bytes, keeping its time",
                                       "changes bytes after the table",
                                       "touches it (a new time, the same bytes)",
                                       "appends",
                                       "cuts it short",
                                       "replaces it by rename",
                                       "replaces it by a copy of itself",
                                       "deletes it",
                                       "puts a symbolic link in its place",
                                       "makes NAME.bak appear"};

// The failures each call can really give.
QList<SystemFault> faultsOf(const QByteArray &call)
{
    using F = SystemFault;
    if (call == "read")
        return {F::IoError, F::Interrupted, F::Short};
    if (call == "write")
        return {F::NoSpace, F::IoError, F::Interrupted, F::Short, F::Garbled};
    if (call == "sync" || call == "create")
        return {F::NoSpace, F::IoError, F::Interrupted};
    if (call == "open" || call == "resize")
        return {F::IoError, F::Interrupted};
    if (call == "rename")
        return {F::NoSpace, F::IoError};
    return {F::IoError}; // looking at a path or a file, setting a time, an owner, removing
}
constexpr const char *FaultNames[] = {"none", "ENOSPC", "EIO", "EINTR", "short", "garbled"};

// What another program does; false when there was nothing to do.
// On Windows a file removed while another process has it open keeps its
// name until that process closes it: no other file can be put there then.
// What the other program did is then a deletion, and `action` says so.
bool replaceBy(const QString &theirs, const QString &path, Action &action)
{
    if (!QFile::remove(path) && QFileInfo::exists(path))
        return false;
    if (QFile::rename(theirs, path))
        return true;
    QFile::remove(theirs);
    action = Action::Delete;
    return true;
}

bool act(const Folder &folder, Action &action)
{
    const QString theirs = folder.dir.filePath(QStringLiteral("theirs.dat"));
    const QString &path = folder.path;
    switch (action) {
    case Action::ChangeInsideTable:
        return writeAll(path, "another program's", folder.offset + 100);
    case Action::ChangeTableEnd: {
        // As a tool that keeps times does: only the bytes tell.
        const qint64 time = Folder::timeOf(path);
        QFile stamped(path);
        QString reason;
        return writeAll(path, "another program's", folder.offset + TableSize - 17) &&
               openRegularFile(stamped, QIODevice::ReadWrite).ok &&
               setModifiedTime(stamped, time, &reason);
    }
    case Action::ChangeAfterTable:
        return writeAll(path, "another program's", folder.offset + 2000);
    case Action::Touch: {
        QFile file(path);
        return file.open(QIODevice::ReadWrite) &&
               file.setFileTime(QDateTime::currentDateTime().addSecs(3600),
                                QFileDevice::FileModificationTime);
    }
    case Action::ReplaceByCopy: {
        // Another file, with the same bytes and time: only its identity differs.
        const qint64 time = Folder::timeOf(path);
        const Bytes same = contents(path);
        QFile copy(theirs);
        if (!same || !copy.open(QIODevice::WriteOnly) || copy.write(*same) != same->size())
            return false;
        copy.close();
        QFile stamped(theirs);
        QString reason;
        return openRegularFile(stamped, QIODevice::ReadWrite).ok &&
               setModifiedTime(stamped, time, &reason) && (stamped.close(), true) &&
               replaceBy(theirs, path, action);
    }
    case Action::Append:
        return writeAll(path, "another program's", 0, QIODevice::Append);
    case Action::CutShort:
        return QFileInfo::exists(path) && QFile(path).resize(600);
    case Action::ReplaceByRename:
        return writeAll(theirs, pattern(2500, 2), 0, QIODevice::WriteOnly) &&
               replaceBy(theirs, path, action);
    case Action::Delete:
        return QFile::remove(path);
    case Action::SymbolicLink: {
        const QString link = folder.dir.filePath(QStringLiteral("link.tmp"));
        return writeAll(theirs, pattern(2600, 3), 0, QIODevice::WriteOnly) &&
               QFile::link(theirs, link) && (QFile::remove(path) || !QFileInfo::exists(path)) &&
               QFile::rename(link, path);
    }
    case Action::BackupAppears:
        if (QFileInfo::exists(folder.backup) || QFileInfo(folder.backup).isSymLink())
            return false;
        return writeAll(folder.backup, "another program's backup", 0, QIODevice::WriteOnly);
    }
    return false;
}

// What happened in one run.
struct Run {
    Ending ending;
    QStringList steps; // "call role", every call made
    int calls = 0;
    Action action = Action::ChangeInsideTable;
    bool acted = false;
    Bytes prior;               // the target just before the other program acted
    Bytes theirs;              // and just after
    Bytes theirBackup;         // NAME.bak as the other program made it
    Bytes agreedOver;          // what the user agreed to save over, when asked after that
    bool garbled = false;      // a write stored other bytes than it was given
    bool journalLetGo = false; // the journal was there, and no save held it

    bool changedTarget() const { return acted && action != Action::BackupAppears; }
    // The other program changed bytes where the table goes.
    bool changedTableBytes(qint64 offset) const
    {
        return changedTarget() && prior && theirs &&
               prior->mid(offset, TableSize) != theirs->mid(offset, TableSize);
    }
    // The name now leads to another file, or to none.
    bool movedName() const
    {
        return acted && (action == Action::ReplaceByRename || action == Action::ReplaceByCopy ||
                         action == Action::Delete || action == Action::SymbolicLink);
    }
    QString said() const
    {
        return ending.outcome.message + u' ' + ending.outcome.remark + u' ' +
               ending.recovery.message;
    }
};

using BeforeCall = std::function<SystemFault(Run &, int call)>;

// Runs the scene's driver once, letting `beforeCall` act before each call.
Run runOnce(Folder &folder, const BeforeCall &beforeCall = {})
{
    Run run;
    bool looking = false; // the hook's own look at the journal is no step of the save
    [[maybe_unused]] bool named = false; // a save named its journal and has not yet removed it
    setSystemCallHook([&](const char *call, const QString &file) {
        if (looking)
            return SystemFault::None;
        const QString step = QStringLiteral("%1 %2").arg(QLatin1String(call), folder.role(file));
        run.steps << step;
#ifdef Q_OS_UNIX
        // A journal no save holds is taken for an unfinished save's: from its
        // naming to its removal the save holds it (this very process, so
        // that the look sees it held). One whose removal failed is rightly
        // let go, for the next save or recover to settle.
        if (step == QLatin1String("remove journal"))
            named = false;
        looking = true;
        if (named && folder.kind.driver != Driver::Recover && QFileInfo::exists(folder.journal) &&
            journalState(folder.path) == JournalState::Unfinished)
            run.journalLetGo = true;
        looking = false;
        if (step == QLatin1String("rename journal"))
            named = true;
#endif
        const int index = run.calls++;
        return beforeCall ? beforeCall(run, index) : SystemFault::None;
    });
    // Both questions tell the user that the file changed; Save agrees to it.
    run.ending = drive(folder, [&](const SaveOutcome &asked) {
        if (run.acted && (asked.question == SaveOutcome::Question::ChangedByOtherProgram ||
                          asked.question == SaveOutcome::Question::TableMoved))
            run.agreedOver = contents(folder.path);
    });
    setSystemCallHook({});
    return run;
}

// Where in a scene's steps things happen.
struct Landmarks {
    int firstRead = -1;     // the first look at the file's bytes
    int lastCheck = -1;     // where the last check before the table's write begins
    int tableWrite = -1;    // the table's first write into the file, or its naming
    int lastNameCheck = -1; // the save's last look at the name, after which it has saved
    int momentEnd = -1;     // the last call of the open moment (see inLastMoment)
};

Landmarks landmarksOf(const QStringList &steps, Driver driver)
{
    Landmarks marks;
    marks.firstRead = int(steps.indexOf(QStringLiteral("read F")));
    for (const char *write : {"write F", "rename F"})
        if (const int at = int(steps.indexOf(QLatin1String(write))); at >= 0)
            marks.tableWrite = marks.tableWrite < 0 ? at : std::min(marks.tableWrite, at);
    if (driver != Driver::Recover)
        marks.lastNameCheck = int(steps.lastIndexOf(QStringLiteral("look F")));
    if (marks.tableWrite >= 0)
        marks.lastCheck = int(steps.lastIndexOf(QStringLiteral("look F"), marks.tableWrite));
    marks.momentEnd = marks.tableWrite;
    if (driver == Driver::Recover) {
        marks.lastCheck = marks.firstRead - 1;
        marks.momentEnd =
            std::max<int>(marks.tableWrite, int(steps.indexOf(QStringLiteral("resize F"))));
    }
    return marks;
}

// The one moment that stays open, as for any program: another program's
// change between the last check's first look and the table's write shows
// only after the write (for recover, between its look at the bytes and the
// end of its put-back).
bool inLastMoment(int step, const Landmarks &marks)
{
    return marks.tableWrite >= 0 && step > marks.lastCheck && step <= marks.momentEnd;
}

// Another program's change to a file nobody has loaded, made before the
// save first reads it, is part of the file the save finds.
bool seenAsFound(const Folder &folder, const Run &run, int step, const Landmarks &marks)
{
    const bool watched = folder.kind.driver == Driver::Window && folder.kind.size >= TableSize;
    return run.acted && !watched && step >= 0 && step <= std::max(marks.firstRead, 0);
}

bool isTemporary(const QString &name)
{
    return temporaryKindOf(name).has_value();
}

// The file as the save found it: what another program left, or the file
// as it was. `base` is what it may hold now besides the table.
struct Expected {
    Bytes base;
    QList<QByteArray> found; // what a backup or the journal may hold
};

Expected expectedOf(const Folder &folder, const Run &run)
{
    Expected expected;
    const Bytes before = folder.kind.size < 0 ? Bytes() : Bytes(folder.before);
    expected.base = run.agreedOver ? run.agreedOver : run.acted ? run.theirs : before;
    if (before)
        expected.found << *before;
    if (run.theirs && run.changedTarget())
        expected.found << *run.theirs;
    return expected;
}

QString journalViolation(const Folder &folder, const Run &run, const Expected &expected)
{
    const Bytes journal = contents(folder.journal);
    const bool damaged = run.ending.outcome.kind == SaveOutcome::Kind::Damaged ||
                         run.ending.recovery.kind == Recovery::Kind::Failed ||
                         (folder.kind.driver == Driver::Recover &&
                          run.ending.recovery.kind == Recovery::Kind::Refused);
    if (!journal)
        return damaged && folder.kind.driver != Driver::Recover
                   ? QStringLiteral("the save left the file damaged, but no journal")
                   : QString();
    // Done, but the journal could not be removed: the message says so.
    const bool told = run.said().contains(QDir::toNativeSeparators(folder.journal)) &&
                      run.said().contains(QStringLiteral("could not be removed"));
    if (!damaged && !told)
        return QStringLiteral("a journal is left, but the outcome does not say the file is "
                              "damaged");
    QString why;
    const std::optional<SaveJournal> read = decodeJournal(*journal, &why);
    if (!read)
        return QStringLiteral("the journal left is no journal: ") + why;
    const QByteArray old = folder.kind.driver == Driver::Recover ? folder.tornFrom : QByteArray();
    for (const QByteArray &file : expected.found + QList<QByteArray>{old})
        if (read->oldBytes == file.mid(read->offset, TableSize) && read->size == file.size())
            return {};
    return QStringLiteral("the journal does not hold the bytes the file had before the save");
}

QString backupViolation(const Folder &folder, const Run &run, const Expected &expected)
{
    const SaveOutcome &outcome = run.ending.outcome;
    // A link to the file holds no copy: no backup, after the question.
    if (folder.kind.twist == Twist::BackupIsLink)
        return !QFileInfo(folder.backup).isSymLink() ? QStringLiteral("the link NAME.bak is gone")
               : outcome.kind == SaveOutcome::Kind::Saved && !run.movedName() &&
                       !run.ending.asked.contains(SaveOutcome::Question::NoBackup)
                   ? QStringLiteral("a link to the file was taken for its backup")
                   : QString();
    const Bytes backup =
        folder.kind.twist == Twist::BackupBlocked ? Bytes() : contents(folder.backup);
    if (folder.kind.twist == Twist::BackupKept)
        return backup == folder.keptBackup ? QString()
                                           : QStringLiteral("the NAME.bak kept before changed");
    if (!outcome.backupPath.isEmpty() && !backup)
        return QStringLiteral("the outcome names a backup that is not there");
    if (!backup)
        return {};
    if (run.theirBackup && *backup == *run.theirBackup)
        return outcome.backupPath.isEmpty() ? QString()
                                            : QStringLiteral("the outcome names the other "
                                                             "program's NAME.bak as its backup");
    if (run.theirBackup)
        return QStringLiteral("the other program's NAME.bak was replaced");
    if (!expected.found.contains(*backup))
        return QStringLiteral("NAME.bak is not the file as it was before this save");
    return {};
}

// Every file a message names holds what the message says.
bool isLookAlike(const QString &name)
{
    return std::any_of(lookAlikes().begin(), lookAlikes().end(),
                       [&](const auto &file) { return file.first == name; });
}

// Files with a save's temporary names that no save made stay as they are,
// and a save that did its work names them.
QString lookAlikesViolation(const Folder &folder, const Run &run)
{
    if (folder.kind.twist != Twist::LookAlikes)
        return {};
    for (const auto &[name, bytes] : lookAlikes()) {
        if (contents(folder.dir.filePath(name)) != bytes)
            return QStringLiteral("%1, which no save made, is gone or changed").arg(name);
        if (run.ending.outcome.tableInFile() && !run.ending.outcome.remark.contains(name))
            return QStringLiteral("%1, which no save made, is not named").arg(name);
    }
    return {};
}

// A backup or journal a save made lets in no one the file keeps out.
QString accessViolation(const Folder &folder, const Run &run)
{
#ifdef Q_OS_UNIX
    QStringList made;
    if (folder.kind.twist != Twist::BackupKept && !run.theirBackup)
        made << folder.backup;
    if (folder.kind.driver != Driver::Recover) // that one is the sweep's own
        made << folder.journal;
    // The file's own access, or another program's file's that took its name.
    const QFileDevice::Permissions allowed =
        FilePermissions | QFileInfo(folder.path).permissions() | QFile::ReadUser | QFile::WriteUser;
    for (const QString &copy : made)
        if (const QFileInfo info(copy);
            info.isFile() && !info.isSymLink() && (info.permissions() & ~allowed) != 0)
            return QStringLiteral("%1 lets in more than the file does").arg(info.fileName());
#else
    Q_UNUSED(folder); // a new file takes the access of its folder
    Q_UNUSED(run);
#endif
    return {};
}

QString namedFilesViolation(const Folder &folder, const Run &run)
{
    const QString said = run.said();
    for (const QString &name : folder.names())
        if (isTemporary(name) && !isLookAlike(name) && !said.contains(name))
            return QStringLiteral("the temporary file %1 is left and no message says so").arg(name);
    const QRegularExpression temporaryNamed(QStringLiteral("\\.kgf-[a-z]+-[0-9a-f]{8}\\.tmp"));
    for (auto match = temporaryNamed.globalMatch(said); match.hasNext();) {
        const QString name = match.next().captured();
        if (!QFileInfo::exists(folder.dir.filePath(name)))
            return QStringLiteral("a message names %1, which is not there").arg(name);
    }
    if (said.contains(QDir::toNativeSeparators(folder.journal)) &&
        !QFileInfo::exists(folder.journal))
        return QStringLiteral("a message names the journal, which is not there");
    return {};
}

QString fileViolation(const Folder &folder, const Run &run, const Expected &expected, int step,
                      const Landmarks &marks)
{
    const bool seen = seenAsFound(folder, run, step, marks);
    const Bytes now = contents(folder.path);
    // Import decides the place anew where another program put a data file
    // in the program's place before it looked.
    const qint64 offset = seen && folder.kind.driver == Driver::Import && folder.kind.program &&
                                  run.movedName() && run.action != Action::ReplaceByCopy
                              ? 0
                              : folder.offset;
    const bool afterWrite = marks.tableWrite >= 0 && step > marks.tableWrite;
    const bool unclosable = inLastMoment(step, marks);
    const Bytes &base = expected.base;
    // Bytes outside the table are never the save's to change; but a file
    // cut short in the last moment is made longer again by the table's
    // write, a damage the save then reports.
    const qint64 end = offset + TableSize;
    const bool grownByTheWrite = unclosable && run.action == Action::CutShort &&
                                 run.ending.outcome.kind == SaveOutcome::Kind::Damaged;
    if (now && base && !grownByTheWrite &&
        (now->left(offset) != base->left(offset) || now->mid(end) != base->mid(end)))
        return QStringLiteral("bytes beside the table differ from the file the save may write");
    if (folder.linked && run.movedName()) {
        const Bytes kept = contents(folder.keep);
        const bool saved = step > marks.lastNameCheck && kept == overlaid(folder.before, offset);
        if (kept != folder.before && !saved)
            return QStringLiteral("the file that had the name before is changed");
    }
    const SaveOutcome &outcome = run.ending.outcome;
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
    case SaveOutcome::Kind::NothingToChange:
        // Another program that wrote after the table was written in and
        // read back changed the saved file; all it wrote must be there.
        if (afterWrite && run.acted ? now != run.theirs : (!now || *now != overlaid(base, offset)))
            return QStringLiteral("said saved, but the file does not hold the table");
        if (run.changedTableBytes(offset) && !run.agreedOver && !unclosable && !afterWrite && !seen)
            return QStringLiteral("the other program's table bytes were saved over unasked");
        // Any other change it made before the last check, too, is asked about
        // first (but a file deleted, where the save makes a new one).
        if (run.changedTarget() && run.action != Action::Delete && !run.agreedOver && !unclosable &&
            !afterWrite && !seen && step >= 0 && step <= marks.lastCheck)
            return QStringLiteral("the other program's change was saved over unasked");
        return {};
    case SaveOutcome::Kind::Ask:
        if (run.ending.questions > 4)
            return QStringLiteral("the same question came again and again");
        return now == base ? QString() : QStringLiteral("asked, but the file changed");
    case SaveOutcome::Kind::NotSaved:
        if (now != base)
            return QStringLiteral("said not saved, but the file changed");
        // "Unchanged" takes in the modification time, unless it says otherwise.
        if (!run.acted && outcome.message.contains(QStringLiteral("The file is unchanged")) &&
            !outcome.message.contains(QStringLiteral("but for its modification time")) &&
            Folder::timeOf(folder.path) != folder.modifiedNs)
            return QStringLiteral("said unchanged, but the file's time moved");
        if (!run.acted && outcome.message.contains(QStringLiteral("another program wrote")))
            return QStringLiteral("blames another program, which did nothing");
        return {};
    case SaveOutcome::Kind::Damaged:
        break;
    }
    return outcome.message.contains(QStringLiteral("damaged"))
               ? QString()
               : QStringLiteral("damaged, but the message does not say so");
}

// After a damaged save, the journal gives the old bytes back, wherever only
// this save wrote.
QString damagedViolation(const Folder &folder, const Run &run, const Expected &expected, int step,
                         const Landmarks &marks)
{
    if (run.ending.outcome.kind != SaveOutcome::Kind::Damaged)
        return {};
    const bool afterWrite = marks.tableWrite >= 0 && step > marks.tableWrite;
    // Until that is settled, a save goes over the journal only where the
    // file holds its old bytes again: nothing is lost then.
    const UnfinishedSave unfinished = findUnfinishedSave(folder.path);
    if (unfinished.found && unfinished.match != JournalMatch::Old) {
        const Bytes damagedFile = contents(folder.path);
        SaveOptions options;
        options.offset = folder.offset;
        const SaveOutcome next = saveTable(folder.path, table(), options);
        if (next.kind != SaveOutcome::Kind::NotSaved || contents(folder.path) != damagedFile ||
            !hasJournal(folder.path))
            return QStringLiteral("a save went over the journal of a damaged save: ") +
                   next.message + u' ' + next.remark;
    }
    const Recovery recovery = recoverSave(folder.path);
    // Where the damaged save had changed nothing after all, the next save
    // settled its journal: the file must be as it was.
    if (recovery.kind == Recovery::Kind::NothingToRecover)
        return expected.found.contains(contents(folder.path).value_or(QByteArray())) ||
                       run.changedTarget()
                   ? QString()
                   : QStringLiteral("the journal of a damaged save is gone, and the file is not "
                                    "as it was");
    if (recovery.kind == Recovery::Kind::PutBack) {
        const Bytes now = contents(folder.path);
        // What another program wrote outside the table stays, the old table
        // back beside it.
        const bool theirsKept = run.changedTarget() && run.theirs && now && folder.kind.size >= 0 &&
                                *now == QByteArray(*run.theirs)
                                            .replace(folder.offset, TableSize,
                                                     folder.before.mid(folder.offset, TableSize));
        return expected.found.contains(now.value_or(QByteArray())) || theirsKept
                   ? QString()
                   : QStringLiteral("recover after the damaged save did not give back the file "
                                    "as it was");
    }
    // What a disk did not keep is neither old nor new: recover leaves it.
    return (run.changedTarget() && (afterWrite || inLastMoment(step, marks))) || run.garbled
               ? QString()
               : QStringLiteral("recover refused after a damaged save nobody else touched: ") +
                     recovery.message;
}

// What recover must leave where another program acts before call `step`:
// a change it saw before reading is refused and stays (but one outside the
// table, which recover does not look at); one after its write stays too.
QString recoverViolation(const Folder &folder, const Run &run, int step, const Landmarks &marks)
{
    const Bytes now = contents(folder.path);
    const Recovery::Kind kind = run.ending.recovery.kind;
    const qint64 offset = folder.offset;
    if (run.changedTarget()) {
        if (inLastMoment(step, marks))
            return {}; // the one open moment: it shows in the next save's question
        // After the put-back: kept, whether recover's reading back finds it or not.
        if (step > marks.tableWrite)
            return kind != Recovery::Kind::Refused && now == run.theirs
                       ? QString()
                       : QStringLiteral("another program's change after the put-back is gone");
        // What recover does not look at, the bytes outside the table and the
        // time, stays as the other program left it.
        if ((run.action == Action::ChangeAfterTable && run.prior->size() == run.theirs->size()) ||
            run.action == Action::Touch) {
            const QByteArray expected = run.theirs->left(offset) +
                                        folder.tornFrom.mid(offset, TableSize) +
                                        run.theirs->mid(offset + TableSize);
            return kind == Recovery::Kind::PutBack && now == expected
                       ? QString()
                       : QStringLiteral("recover did not put back the table beside another "
                                        "program's change");
        }
        if (kind == Recovery::Kind::PutBack || now != run.theirs)
            return QStringLiteral("recover did not leave another program's change alone");
        // The journal stays where it was (a link put in the file's place
        // leads to another file, whose journal would have another name).
        return QFileInfo::exists(folder.journal) || !run.theirs
                   ? QString()
                   : QStringLiteral("recover refused, but the journal is gone");
    }
    switch (kind) {
    case Recovery::Kind::PutBack:
        return now == folder.tornFrom ? QString()
                                      : QStringLiteral("recovered, but not to the old file");
    case Recovery::Kind::NothingToRecover:
    case Recovery::Kind::Kept:
    case Recovery::Kind::Refused:
        return QStringLiteral("recover did not put back the file nobody else touched");
    case Recovery::Kind::Failed:
        break;
    }
    // Running it again, once the cause is gone, puts the old file back; but
    // what a disk did not keep is neither old nor new, and stays.
    const Recovery again = recoverSave(folder.path);
    return (again.kind == Recovery::Kind::PutBack && contents(folder.path) == folder.tornFrom) ||
                   (run.garbled && again.kind == Recovery::Kind::Refused)
               ? QString()
               : QStringLiteral("recover failed, and again: ") + again.message;
}

// A second save, as the window makes it next (import and recover: afresh),
// asks only what is true, and asks when another program changed the
// length or the file under the name after the save wrote.
QString secondSaveViolation(Folder &folder, const Run &first, int step, const Landmarks &marks)
{
    if (folder.kind.driver == Driver::Recover)
        return {};
    const bool damaged = first.ending.outcome.kind == SaveOutcome::Kind::Damaged;
    // and said so; or what another program did keeps the table out
    const bool mayFail = damaged || hasJournal(folder.path) || first.changedTarget();
    if (folder.kind.driver == Driver::Import) { // every import starts afresh
        const SaveOutcome next = runOnce(folder).ending.outcome;
        if (next.kind == SaveOutcome::Kind::Ask ||
            (next.kind == SaveOutcome::Kind::NotSaved && !mayFail))
            return QStringLiteral("the next import does not save: ") + next.message;
        return {};
    }
    QList<SaveOutcome> asked;
    SaveOptions options;
    options.offset = folder.offset; // where the window's placement now puts it
    options.intoProgramTable = folder.kind.program;
    const SaveOutcome second =
        saveAsking(folder.path, table(), folder.watched, options, [&](const SaveOutcome &question) {
            asked << question;
            return false;
        });
    // Another program's change before the save, not saved over, is still there.
    const bool changed =
        first.changedTarget() ||
        ((folder.kind.twist == Twist::ChangedBefore || folder.kind.twist == Twist::TableMoved) &&
         !first.ending.outcome.tableInFile());
    for (const SaveOutcome &question : asked) {
        switch (question.question) {
        case SaveOutcome::Question::ChangedByOtherProgram:
            if (!changed)
                return QStringLiteral("the next save asks about another program that did "
                                      "nothing: ") +
                       question.message;
            break;
        case SaveOutcome::Question::NoBackup:
            if (folder.kind.twist != Twist::BackupBlocked &&
                folder.kind.twist != Twist::BackupIsLink)
                return QStringLiteral("the next save asks about a backup: ") + question.message;
            break;
        case SaveOutcome::Question::NoJournal:
        case SaveOutcome::Question::TableMoved:
            return QStringLiteral("the next save asks: ") + question.message;
        }
    }
    if (second.kind == SaveOutcome::Kind::NotSaved && !mayFail)
        return QStringLiteral("the next save fails: ") + second.message;
    const bool unseen =
        folder.kind.driver == Driver::Window &&
        first.ending.outcome.kind == SaveOutcome::Kind::Saved && step > marks.lastNameCheck &&
        (first.action == Action::Append || first.action == Action::CutShort ||
         first.action == Action::ReplaceByRename || first.action == Action::SymbolicLink);
    if (first.acted && unseen && second.tableInFile() &&
        std::none_of(asked.begin(), asked.end(), [](const SaveOutcome &question) {
            return question.question == SaveOutcome::Question::ChangedByOtherProgram;
        }))
        return QStringLiteral("the next save writes over another program's change unasked");
    return {};
}

// Another program's write that the file's old time hides: no program that
// compares times would see it.
QString hiddenChangeViolation(const Folder &folder, const Run &run)
{
    const bool writes = run.action == Action::ChangeInsideTable ||
                        run.action == Action::ChangeAfterTable || run.action == Action::Append ||
                        run.action == Action::CutShort;
    if (!run.acted || !writes || folder.kind.size < 0 || !QFileInfo::exists(folder.path))
        return {};
    const Bytes now = contents(folder.path);
    return now && *now != folder.before && Folder::timeOf(folder.path) == folder.modifiedNs
               ? QStringLiteral("another program's write is hidden under the file's old time")
               : QString();
}

QString violation(Folder &folder, const Run &run, int step)
{
    if (run.journalLetGo)
        return QStringLiteral("the journal was there while the save ran, but not held by it");
    if (!run.ending.offTable.isEmpty())
        return QStringLiteral("a save ended as save_steps.h does not allow: ") +
               run.ending.offTable.join(QStringLiteral("; "));
    if (const QString hidden = hiddenChangeViolation(folder, run); !hidden.isEmpty())
        return hidden;
    const Landmarks marks = landmarksOf(stepsOf(folder.kind), folder.kind.driver);
    const Expected expected = expectedOf(folder, run);
    for (const QString &wrong :
         {namedFilesViolation(folder, run), lookAlikesViolation(folder, run),
          accessViolation(folder, run), journalViolation(folder, run, expected),
          folder.kind.driver == Driver::Recover ? QString()
                                                : backupViolation(folder, run, expected)})
        if (!wrong.isEmpty())
            return wrong;
    if (folder.kind.driver == Driver::Recover)
        return recoverViolation(folder, run, step, marks);
    if (const QString wrong = fileViolation(folder, run, expected, step, marks); !wrong.isEmpty())
        return wrong;
    // A damaged save is followed by recover, which the next save would rightly
    // take for another program; any other by the next save.
    if (run.ending.outcome.kind == SaveOutcome::Kind::Damaged)
        return damagedViolation(folder, run, expected, step, marks);
    return secondSaveViolation(folder, run, step, marks);
}

QString told(const Run &run)
{
    return QStringLiteral(". Outcome %1/%2: %3")
        .arg(int(run.ending.outcome.kind))
        .arg(int(run.ending.recovery.kind))
        .arg(run.said());
}

// Rows over each scene's expected steps.
void forEachStep(const std::function<void(int scene, int step, const QString &call)> &add)
{
    for (int scene = 0; scene < scenes().size(); ++scene) {
        const QStringList steps = stepsOf(scenes()[scene]);
        for (int step = 0; step < steps.size(); ++step)
            add(scene, step, steps[step]);
    }
}

#ifdef Q_OS_UNIX
// Runs `body` in a child process that the save's hook kills at call
// `stopAt` (with `tornWrite`, the call before it writes only half of its
// bytes), as a kill stops a save: nothing is cleaned up.
bool cutOff(Folder &folder, int stopAt, bool tornWrite)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        int calls = 0;
        setSystemCallHook([&](const char *, const QString &) {
            const int index = calls++;
            if (index == stopAt)
                ::_exit(0);
            return tornWrite && index == stopAt - 1 ? SystemFault::Short : SystemFault::None;
        });
        drive(folder);
        ::_exit(3); // it never came to that call
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

} // namespace

class SaveSweepTest : public QObject
{
    Q_OBJECT
private slots:
    void stepsAreAsListed_data();
    void stepsAreAsListed();
    void anotherProgramActs_data();
    void anotherProgramActs();
    void callsFail_data();
    void callsFail();
    void cutOffAtEachStep_data();
    void cutOffAtEachStep();
};

void SaveSweepTest::stepsAreAsListed_data()
{
    QTest::addColumn<int>("scene");
    for (int scene = 0; scene < scenes().size(); ++scene)
        QTest::addRow("%s", scenes()[scene].name) << scene;
}

void SaveSweepTest::stepsAreAsListed()
{
    QFETCH(int, scene);
    Folder folder(scenes()[scene]);
    const Run run = runOnce(folder);
    // tools/sweep-steps.sh writes them down from here.
    if (qEnvironmentVariableIsSet("KGF_PRINT_SWEEP_STEPS")) {
        std::printf("steps: {QStringLiteral(\"%s\"),\n", scenes()[scene].name);
        for (int i = 0; i < run.steps.size(); ++i)
            std::printf("steps: %s\"%s%s\n", i == 0 ? " QStringLiteral(" : "                ",
                        qPrintable(run.steps[i]), i + 1 < run.steps.size() ? ",\"" : "\")},");
    }
    QCOMPARE(run.steps, stepsOf(folder.kind));
    const QString wrong = violation(folder, run, -1);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + told(run)));
    const bool done = folder.kind.driver == Driver::Recover
                          ? run.ending.recovery.kind == Recovery::Kind::PutBack
                          : run.ending.outcome.kind == SaveOutcome::Kind::Saved;
    QVERIFY2(done, qPrintable(told(run)));
}

// Where runs are many times slower (under the sanitizers, under Wine), one
// row of every KGF_SWEEP_EVERY of the sweeps by another program's
// acts and by failing calls: a row's kind changes from step to step, so
// each kind still meets many steps. KGF_SWEEP_OFFSET picks which one, so
// that parts can run side by side. KGF_SWEEP_PART=K/N then takes part K of
// N of those rows, so that a test of its own can run each part.
struct Sample {
    int every = std::max(1, qEnvironmentVariableIntValue("KGF_SWEEP_EVERY"));
    int offset = qEnvironmentVariableIntValue("KGF_SWEEP_OFFSET") % every;
    int parts = 1;
    int part = 0;
    int seen = 0;
    int taken = 0;
    Sample()
    {
        const QString given = qEnvironmentVariable("KGF_SWEEP_PART");
        if (given.isEmpty())
            return;
        bool kOk = false, nOk = false;
        part = given.section(u'/', 0, 0).toInt(&kOk);
        parts = given.section(u'/', 1, 1).toInt(&nOk);
        if (!kOk || !nOk || parts < 1 || part < 0 || part >= parts)
            qFatal("KGF_SWEEP_PART must be K/N with 0 <= K < N, not \"%s\"", qPrintable(given));
    }
    bool take() { return seen++ % every == offset && taken++ % parts == part; }
};

void SaveSweepTest::anotherProgramActs_data()
{
    QTest::addColumn<int>("scene");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("action");
    Sample sample;
    int rows = 0;
    forEachStep([&](int scene, int step, const QString &call) {
        for (int action = 0; action < int(std::size(ActionNames)); ++action) {
#ifdef Q_OS_WIN
            if (Action(action) == Action::SymbolicLink)
                continue; // POSIX only
#endif
            if (!sample.take())
                continue;
            QTest::addRow("%s, before call %d (%s), another program %s", scenes()[scene].name, step,
                          qPrintable(call), ActionNames[action])
                << scene << step << action;
            ++rows;
        }
    });
    qInfo("%d runs: each step of %d scenes, times each action", rows, int(scenes().size()));
}

void SaveSweepTest::anotherProgramActs()
{
    QFETCH(int, scene);
    QFETCH(int, step);
    QFETCH(int, action);
    Folder folder(scenes()[scene]);
    const Run run = runOnce(folder, [&](Run &current, int call) {
        if (call == step) {
            current.action = Action(action);
            current.prior = contents(folder.path);
            current.acted = act(folder, current.action);
            // A file deleted while open may still be read on Windows, until closed.
            current.theirs = current.action == Action::Delete ? Bytes() : contents(folder.path);
            if (current.action == Action::BackupAppears && current.acted)
                current.theirBackup = contents(folder.backup);
        }
        return SystemFault::None;
    });
    QVERIFY2(run.calls > step, "the save no longer makes this step");
    const QString wrong = violation(folder, run, step);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + told(run)));
}

// Whether another program's write just before `call` falls in a moment no
// check can close: between a look at the file's time and the write (or the
// setting of the time) it allows, and between a write and the look at the
// time that write gave.
bool isUnclosable(const QStringList &steps, int call)
{
    const auto is = [&](int at, const char *step) {
        return at >= 0 && at < steps.size() && steps[at] == QLatin1String(step);
    };
    if ((is(call, "write F") || is(call, "set time F")) && is(call - 1, "status F"))
        return true;
    if (!is(call, "status F") && !is(call, "resize F"))
        return false;
    int before = call - 1;
    while (is(before, "resize F"))
        --before;
    return is(before, "write F");
}

void SaveSweepTest::callsFail_data()
{
    QTest::addColumn<int>("scene");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("thenStep");  // -1: only the first fails
    QTest::addColumn<bool>("thenActs"); // at thenStep another program acts instead
    Sample sample;
    int rows = 0;
    int pairs = 0;
    forEachStep([&](int scene, int step, const QString &call) {
        const QByteArray name = call.section(u' ', 0, 0).toLatin1();
        for (SystemFault fault : faultsOf(name)) {
            if (!sample.take())
                continue;
            QTest::addRow("%s, call %d (%s) fails: %s", scenes()[scene].name, step,
                          qPrintable(call), FaultNames[int(fault)])
                << scene << step << int(fault) << -1 << false;
            ++rows;
        }
        // Once the table's write has begun, a failure is followed by the
        // put-back: each of its own calls on the file fails too.
        const Landmarks marks = landmarksOf(stepsOf(scenes()[scene]), scenes()[scene].driver);
        if (scenes()[scene].driver == Driver::Recover || marks.tableWrite < 0 ||
            step < marks.tableWrite || !call.endsWith(QLatin1String(" F")))
            return;
        Folder folder(scenes()[scene]);
        const Run failed = runOnce(folder, [&](Run &, int at) {
            return at == step ? SystemFault::IoError : SystemFault::None;
        });
        for (int then = step + 1; then < failed.steps.size(); ++then) {
            if (!failed.steps[then].endsWith(QLatin1String(" F")))
                continue;
            if (sample.take()) {
                QTest::addRow("%s, call %d (%s) fails, and then call %d (%s)", scenes()[scene].name,
                              step, qPrintable(call), then, qPrintable(failed.steps[then]))
                    << scene << step << int(SystemFault::IoError) << then << false;
                ++pairs;
            }
            // Or another program writes outside the table while the save
            // puts its bytes back: that change must not be hidden, but where
            // no check can see it.
            if (isUnclosable(failed.steps, then) || !sample.take())
                continue;
            QTest::addRow("%s, call %d (%s) fails, and before call %d (%s) another program %s",
                          scenes()[scene].name, step, qPrintable(call), then,
                          qPrintable(failed.steps[then]),
                          ActionNames[int(Action::ChangeAfterTable)])
                << scene << step << int(SystemFault::IoError) << then << true;
            ++pairs;
        }
    });
    qInfo("%d runs with one call failing, %d with a second failure or another program's write "
          "in the put-back",
          rows, pairs);
}

void SaveSweepTest::callsFail()
{
    QFETCH(int, scene);
    QFETCH(int, step);
    QFETCH(int, fault);
    QFETCH(int, thenStep);
    QFETCH(bool, thenActs);
    Folder folder(scenes()[scene]);
    const Run run = runOnce(folder, [&](Run &current, int call) {
        current.garbled = current.garbled || (call == step && fault == int(SystemFault::Garbled));
        if (call == thenStep && thenActs) {
            current.action = Action::ChangeAfterTable;
            current.prior = contents(folder.path);
            current.acted = act(folder, current.action);
            current.theirs = contents(folder.path);
            return SystemFault::None;
        }
        return call == step       ? SystemFault(fault)
               : call == thenStep ? SystemFault::IoError
                                  : SystemFault::None;
    });
    QVERIFY2(run.calls > std::max(step, thenStep), "the save no longer makes this step");
    const QString wrong = violation(folder, run, thenActs ? thenStep : -1);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + told(run)));
}

void SaveSweepTest::cutOffAtEachStep_data()
{
    QTest::addColumn<int>("scene");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("tornWrite");
    int rows = 0;
    forEachStep([&](int scene, int step, const QString &call) {
        QTest::addRow("%s, cut off before call %d (%s)", scenes()[scene].name, step,
                      qPrintable(call))
            << scene << step << false;
        ++rows;
        // A power cut in the middle of a write: half of it is on the disk.
        if (step > 0 && stepsOf(scenes()[scene])[step - 1] == QLatin1String("write F")) {
            QTest::addRow("%s, cut off in the middle of call %d (write F)", scenes()[scene].name,
                          step - 1)
                << scene << step << true;
            ++rows;
        }
    });
    qInfo("%d runs cut off as a kill cuts them", rows);
}

void SaveSweepTest::cutOffAtEachStep()
{
#ifndef Q_OS_UNIX
    QSKIP("a save is cut off in a child process, which needs fork()");
#else
    QFETCH(int, scene);
    QFETCH(int, step);
    QFETCH(bool, tornWrite);
    Folder folder(scenes()[scene]);
    QVERIFY2(cutOff(folder, step, tornWrite), "the save never came to this step");
    const SceneKind &kind = folder.kind;
    const QByteArray old = kind.driver == Driver::Recover ? folder.tornFrom : folder.before;
    if (hasJournal(folder.path)) {
        // Nothing reads the file until that is settled, and recover gives
        // back the old file exactly.
        QVERIFY(loadFromDataFile(folder.path, qint32(folder.offset)).unfinishedSave);
        const Recovery recovery = recoverSave(folder.path);
        QVERIFY2(recovery.kind == Recovery::Kind::PutBack, qPrintable(recovery.message));
        QCOMPARE(contents(folder.path), Bytes(old));
        QVERIFY(!hasJournal(folder.path));
    } else {
        const Bytes now = contents(folder.path);
        const bool asBefore = kind.size < 0 ? !now : now == old;
        QVERIFY2(asBefore || now == overlaid(old, folder.offset),
                 "without a journal, the file is neither the old table nor the new one");
        QVERIFY(kind.driver != Driver::Recover || now == old);
    }
    if (kind.twist == Twist::BackupKept)
        QCOMPARE(contents(folder.backup), Bytes(folder.keptBackup));
    else if (const Bytes backup =
                 kind.twist == Twist::BackupBlocked || kind.twist == Twist::BackupIsLink
                     ? Bytes()
                     : contents(folder.backup))
        QVERIFY2(*backup == old || *backup == folder.before, "NAME.bak is no copy of the file");

    // A fresh start: the next save clears what the cut-off one left, ...
    folder.watched = {loadFromDataFile(folder.path, qint32(folder.offset)).source, {}};
    folder.kind.driver = kind.driver == Driver::Recover ? Driver::Window : kind.driver;
    const Run next = runOnce(folder);
    QVERIFY2(next.ending.offTable.isEmpty(), qPrintable(next.ending.offTable.join(u';')));
    QVERIFY2(next.ending.outcome.tableInFile(), qPrintable(told(next)));
    // but for a whole table a new file's save had written: perhaps the only
    // copy of it, kept and named.
    QStringList kept;
    for (const QString &name : folder.names()) {
        QVERIFY2(name != QFileInfo(folder.journal).fileName(), "the journal is left");
        if (!isTemporary(name) || isLookAlike(name))
            continue;
        QVERIFY2(name.startsWith(QLatin1String(".kgf-save-")) &&
                     contents(folder.dir.filePath(name)) == table(),
                 qPrintable(name + QStringLiteral(" is left after the next save")));
        kept << name;
    }
    for (const QString &name : kept)
        QVERIFY2(next.ending.outcome.remark.contains(name), qPrintable(next.ending.outcome.remark));
    if (kept.isEmpty() && kind.twist != Twist::LookAlikes)
        QVERIFY2(next.ending.outcome.remark.isEmpty(), qPrintable(next.ending.outcome.remark));
#endif
}

QTEST_APPLESS_MAIN(SaveSweepTest)
#include "tst_save_sweeps.moc"
