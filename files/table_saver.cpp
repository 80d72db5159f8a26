#include "table_saver.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <optional>

namespace
{

// The open file itself, through the system's calls.
class QFileWritable : public WritableFile
{
public:
    explicit QFileWritable(std::unique_ptr<QFile> file) : m_file(std::move(file)) {}

    qint64 size() override
    {
        // From the handle: QFile::size() gives 0, not an error, when it fails.
        FileStatus status;
        return fileStatus(*m_file, &status, &m_reason) ? status.size : -1;
    }

    qint64 readAt(qint64 position, char *data, qint64 length) override
    {
        return ::readAt(*m_file, position, data, length, &m_reason);
    }

    qint64 writeAt(qint64 position, const char *data, qint64 length) override
    {
        return ::writeAt(*m_file, position, data, length, &m_reason);
    }

    bool resize(qint64 size) override { return resizeFile(*m_file, size, &m_reason); }

    bool sync() override { return syncFile(*m_file, &m_reason); }

    QString errorString() const override { return m_reason; }

private:
    std::unique_ptr<QFile> m_file;
    QString m_reason; // from the last call that failed
};

// A file a save has open: the file it reads and writes through (which tests
// may wrap), and the QFile beneath for what only the system can tell.
struct OpenFile {
    QFile *native = nullptr; // owned by `file`
    std::unique_ptr<WritableFile> file;
};

OpenFile openFile(std::unique_ptr<QFile> qfile, const FileWrapper &wrap)
{
    OpenFile open;
    open.native = qfile.get();
    open.file = writableFile(std::move(qfile));
    if (wrap)
        open.file = wrap(std::move(open.file));
    return open;
}

using Kind = SaveOutcome::Kind;
using Question = SaveOutcome::Question;

// Nothing was written, or what was written is undone: the file is as it was.
SaveOutcome notSaved(const QString &path, const QString &reason)
{
    SaveOutcome outcome;
    outcome.kind = Kind::NotSaved;
    outcome.message =
        QStringLiteral("The table was not saved to %1: %2.").arg(shownPath(path), reason);
    return outcome;
}

// What stands in the way (`fact`, one sentence), to be asked about.
SaveOutcome ask(Question question, const QString &fact)
{
    SaveOutcome outcome;
    outcome.kind = Kind::Ask;
    outcome.question = question;
    outcome.message = fact;
    return outcome;
}

QString reasonOf(const WritableFile &file, const char *ownWords)
{
    return plainReason(file.errorString(), ownWords);
}

FileSnapshot snapshotOf(const QString &path, const FileStatus &status, qint64 tableOffset,
                        const QByteArray &tableBytes)
{
    FileSnapshot snapshot;
    snapshot.valid = true;
    snapshot.path = QFileInfo(path).absoluteFilePath();
    snapshot.identity = status.identity;
    snapshot.size = status.size;
    snapshot.modifiedNs = status.modifiedNs;
    snapshot.tableOffset = tableOffset;
    snapshot.tableBytes = tableBytes;
    return snapshot;
}

// The watched file `path` is, now `identity`: the loaded one first.
const FileSnapshot *watchedSnapshot(const WatchedFiles *watched, const QString &path,
                                    const FileIdentity &identity)
{
    if (!watched)
        return nullptr;
    for (const FileSnapshot *snapshot : {&watched->loaded, &watched->saved})
        if (describes(*snapshot, path, identity))
            return snapshot;
    return nullptr;
}

// Up to one table's bytes at `offset`; nothing when they could not be read.
// A snapshot left without them makes the next save ask, which is the safe way.
std::optional<QByteArray> tableBytesAt(WritableFile &file, qint64 offset)
{
    QByteArray bytes(FormationTable::ByteCount, '\0');
    const qint64 got = file.readAt(offset, bytes.data(), bytes.size());
    if (got < 0)
        return std::nullopt;
    bytes.truncate(got);
    return bytes;
}

// The open file as it is now; not valid when the system cannot tell.
FileSnapshot snapshotNow(const QString &path, OpenFile &open, qint64 tableOffset)
{
    FileStatus now;
    QString reason;
    if (!fileStatus(*open.native, &now, &reason))
        return {};
    return snapshotOf(path, now, tableOffset,
                      tableBytesAt(*open.file, tableOffset).value_or(QByteArray()));
}

// Writes the whole table at the start, pushes it to the disk and reads it
// back. Empty when all of that worked; otherwise what failed. `touched`
// tells whether the file may have changed: it took a byte, or its length moved.
QString writeAndCheck(WritableFile &file, const QByteArray &table, qint64 oldSize, bool *touched)
{
    const qint64 expectedSize = std::max<qint64>(oldSize, table.size());
    const qint64 written = file.writeAt(0, table.constData(), table.size());
    if (written != table.size()) {
        // A write refused outright put nothing into the file.
        *touched = written > 0 || file.size() != oldSize;
        const QString reason = reasonOf(file, "the disk took only part of the table");
        return written > 0 ? QStringLiteral("only %1 of %2 bytes could be written (%3)")
                                 .arg(grouped(written), grouped(table.size()), reason)
                           : reason;
    }
    *touched = true;
    if (!file.sync())
        return QStringLiteral("the disk did not confirm the write (%1)")
            .arg(reasonOf(file, "no reason given"));
    QByteArray check(table.size(), '\0');
    const qint64 read = file.readAt(0, check.data(), check.size());
    if (read < 0)
        return QStringLiteral("the written bytes could not be read back (%1)")
            .arg(reasonOf(file, "the system reported a read error"));
    if (read != table.size() || check != table || file.size() != expectedSize)
        return QStringLiteral("reading the file back did not give the bytes that were written");
    return {};
}

// Puts back the first bytes, the length and the time the file had before
// the save. Empty when it worked and was read back; otherwise what failed.
QString restore(OpenFile &target, const QByteArray &oldStart, const FileStatus &old)
{
    WritableFile &file = *target.file;
    // Longer than this save can have made it: another program wrote to the
    // file meanwhile, and its bytes are not ours to overwrite.
    if (file.size() > std::max<qint64>(old.size, FormationTable::ByteCount))
        return QStringLiteral("another program made the file longer meanwhile, so it was left "
                              "as it is");
    if (file.writeAt(0, oldStart.constData(), oldStart.size()) != oldStart.size())
        return QStringLiteral("the old bytes could not be written (%1)")
            .arg(reasonOf(file, "no reason given"));
    if (file.size() != old.size && !file.resize(old.size))
        return QStringLiteral("the old length could not be set (%1)")
            .arg(reasonOf(file, "no reason given"));
    if (!file.sync())
        return QStringLiteral("the disk did not confirm the write (%1)")
            .arg(reasonOf(file, "no reason given"));
    QByteArray check(oldStart.size(), '\0');
    if (file.readAt(0, check.data(), check.size()) != check.size() || check != oldStart ||
        file.size() != old.size)
        return QStringLiteral("reading it back did not give the old bytes");
    // So that the file is as it was to anyone who compares times too; the
    // bytes are back whether or not this works.
    QString ignored;
    setModifiedTime(*target.native, old.modifiedNs, &ignored);
    return {};
}

// The folder's free name for a temporary file; short, so that it fits where
// the target's own name just fits.
QString temporaryPath(const QString &folder)
{
    return QDir(folder).filePath(
        QStringLiteral(".kgf-save-%1.tmp")
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

// Creates and opens a new temporary file in `folder`: its path, or empty
// with `reason` set.
QString createTemporary(const QString &folder, int permissions, QFile &file, QString *reason)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = temporaryPath(folder);
        const OpenResult created = createNewFile(file, candidate, permissions);
        if (created.ok)
            return candidate;
        *reason = created.reason;
        if (pathKind(candidate) ==
            PathKind::Missing) // not a clash of names: trying again won't help
            break;
    }
    return {};
}

// Removes a temporary file this save made: empty when it is gone, else
// words for the message that say it is left.
QString removeTemporary(const QString &temporary)
{
    QString reason;
    if (removeFile(temporary, &reason))
        return {};
    return QStringLiteral("; the unfinished file %1 is left, as it could not be removed (%2)")
        .arg(shownPath(temporary), reason);
}

// Closes the complete temporary file and gives it the name `path`, which
// must still be free. Empty when it has it; otherwise why not, and the
// temporary file is gone. `taken` tells that something had the name.
QString giveName(OpenFile &file, const QString &temporary, const QString &path,
                 const SaveOptions &options, bool *taken)
{
    QString reason;
    const bool visible = setHidden(*file.native, false, &reason);
    file.file.reset(); // closes it
    *taken = false;
    if (visible) {
        if (options.beforeNaming)
            options.beforeNaming(path);
        switch (renameNoReplace(temporary, path, &reason)) {
        case RenameResult::Done:
            syncFolder(QFileInfo(path).absolutePath());
            return {};
        case RenameResult::NameTaken:
            *taken = true;
            reason = QStringLiteral("a file of that name appeared while the table was being saved");
            break;
        case RenameResult::Failed:
            break;
        }
    }
    return reason + removeTemporary(temporary);
}

// Copies the whole of `source` (which holds `size` bytes) to a new file at
// `backupPath` with the given permissions, written completely, synced and
// read back. Empty when the copy is there, or when something took the name
// meanwhile (it stays, and serves as the backup); otherwise why not.
QString makeBackup(WritableFile &source, const FileStatus &status, const QString &backupPath,
                   const SaveOptions &options, bool *made)
{
    *made = false;
    auto qfile = std::make_unique<QFile>();
    QString reason;
    // The original's permission bits, but never set-user or set-group: the
    // copy's owner is whoever saves.
    const int permissions = status.permissions & ~06000;
    const QString temporary =
        createTemporary(QFileInfo(backupPath).absolutePath(), permissions, *qfile, &reason);
    if (temporary.isEmpty())
        return reason;
    OpenFile backup = openFile(std::move(qfile), options.wrapBackup);

    const qint64 piece = qint64(1) << 20;
    QString failed;
    for (qint64 at = 0; failed.isEmpty() && at < status.size; at += piece) {
        QByteArray bytes(std::min(piece, status.size - at), '\0');
        const qint64 got = source.readAt(at, bytes.data(), bytes.size());
        if (got != bytes.size())
            failed = got < 0 ? QStringLiteral("the file could not be read (%1)")
                                   .arg(reasonOf(source, "the system reported a read error"))
                             : QStringLiteral("the file became shorter while it was being read");
        else if (backup.file->writeAt(at, bytes.constData(), bytes.size()) != bytes.size())
            failed = reasonOf(*backup.file, "the disk took only part of the copy");
        if (options.progress)
            options.progress();
    }
    if (failed.isEmpty() && !backup.file->sync())
        failed = QStringLiteral("the disk did not confirm the write (%1)")
                     .arg(reasonOf(*backup.file, "no reason given"));
    for (qint64 at = 0; failed.isEmpty() && at < status.size; at += piece) {
        QByteArray original(std::min(piece, status.size - at), '\0');
        QByteArray copy(original.size(), '\0');
        if (source.readAt(at, original.data(), original.size()) != original.size() ||
            backup.file->readAt(at, copy.data(), copy.size()) != copy.size() || copy != original)
            failed = QStringLiteral("reading the copy back did not give the file's bytes");
        if (options.progress)
            options.progress();
    }
    if (failed.isEmpty() && backup.file->size() != status.size)
        failed = QStringLiteral("reading the copy back did not give the file's bytes");
    if (!failed.isEmpty()) {
        backup.file.reset();
        return failed + removeTemporary(temporary);
    }
    bool taken = false;
    failed = giveName(backup, temporary, backupPath, options, &taken);
    *made = failed.isEmpty();
    // A file that took the name meanwhile serves as the backup; anything else does not.
    if (taken && pathKind(backupPath) != PathKind::Regular)
        return QStringLiteral("%1 appeared meanwhile and is not a regular file")
            .arg(shownPath(backupPath));
    return taken ? QString() : failed;
}

SaveOutcome writeInPlace(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    // A file marked read-only stays untouched, even for a user (such as an
    // administrator) whom the system would let write it.
    if (isMarkedReadOnly(path))
        return notSaved(path, QStringLiteral("the file is read-only"));

    auto qfile = std::make_unique<QFile>(path);
    if (const OpenResult opened = openRegularFile(*qfile, QIODevice::ReadWrite); !opened.ok)
        return notSaved(path, opened.reason);
    OpenFile target = openFile(std::move(qfile), options.wrap);
    WritableFile &file = *target.file;

    FileStatus old;
    QString reason;
    if (!fileStatus(*target.native, &old, &reason))
        return notSaved(path, QStringLiteral("the file could not be read first (%1)").arg(reason));
    QByteArray oldStart(std::min<qint64>(old.size, table.size()), '\0');
    if (const qint64 got = file.readAt(0, oldStart.data(), oldStart.size()); got != oldStart.size())
        return notSaved(
            path, got < 0 ? QStringLiteral("the file could not be read first (%1)")
                                .arg(reasonOf(file, "the system reported a read error"))
                          : QStringLiteral("the file became shorter while it was being read"));

    // Is it a watched file, and did another program change it since?
    const FileSnapshot *watched = watchedSnapshot(options.watched, path, old.identity);
    const qint64 tableOffset = watched ? watched->tableOffset : 0;
    if (watched) {
        const std::optional<QByteArray> now = tableBytesAt(file, tableOffset);
        if (!now)
            return notSaved(path, QStringLiteral("the file could not be read first (%1)")
                                      .arg(reasonOf(file, "the system reported a read error")));
        if (watched->identity != old.identity || watched->size != old.size ||
            watched->modifiedNs != old.modifiedNs || *now != watched->tableBytes) {
            const bool loaded = watched == &options.watched->loaded;
            SaveOutcome asked = ask(Question::ChangedByOtherProgram,
                                    QStringLiteral("%1 was changed by another program after the "
                                                   "table was %2 it.")
                                        .arg(shownPath(path), loaded ? QStringLiteral("loaded from")
                                                                     : QStringLiteral("saved to")));
            asked.seen = snapshotOf(path, old, tableOffset, *now);
            return asked;
        }
    }

    SaveOutcome result;
    const bool changesBytes = old.size < table.size() || oldStart != table;
    if (!changesBytes) {
        // The file holds the table already: nothing to write, nothing to keep.
        result.kind = Kind::NothingToChange;
        result.left = snapshotNow(path, target, tableOffset);
        return result;
    }

    if (!options.withoutBackup) {
        const QString backupPath = path + QStringLiteral(".bak");
        // Unknown: a name that cannot be looked at, such as one too long;
        // trying to make it says why. A regular file there is the backup;
        // anything else in its place means there is none.
        const PathKind kind = pathKind(backupPath);
        if (kind != PathKind::Regular && kind != PathKind::Missing && kind != PathKind::Unknown)
            return ask(Question::NoBackup,
                       QStringLiteral("No backup of %1 can be made (%2 is there, but %3).")
                           .arg(shownPath(path), shownPath(backupPath), notRegularReason(kind)));
        if (kind == PathKind::Missing || kind == PathKind::Unknown) {
            bool made = false;
            if (const QString cannot = makeBackup(file, old, backupPath, options, &made);
                !cannot.isEmpty())
                return ask(Question::NoBackup, QStringLiteral("No backup of %1 can be made (%2).")
                                                   .arg(shownPath(path), cannot));
            if (made)
                result.backupPath = backupPath;
        }
    }

    bool touched = false;
    const QString failed = writeAndCheck(file, table, old.size, &touched);
    if (failed.isEmpty()) {
        settleModifiedTime(*target.native);
        result.kind = Kind::Saved;
        result.left = snapshotNow(path, target, tableOffset);
        return result;
    }
    // A write refused outright leaves nothing to put back.
    const QString notRestored = touched ? restore(target, oldStart, old) : QString();
    if (notRestored.isEmpty()) {
        // A backup made on the way is a true copy of the unchanged file; it
        // stays, and the message says so.
        const QString kept = result.backupPath.isEmpty()
                                 ? QString()
                                 : QStringLiteral(", and the copy of it made before this save "
                                                  "stays as %1")
                                       .arg(shownPath(result.backupPath));
        SaveOutcome undone =
            notSaved(path, failed + QStringLiteral(". The file is unchanged") + kept);
        undone.backupPath = result.backupPath;
        // What the file is now, so that its time, if it could not be put
        // back, is not later taken for another program's change.
        undone.left = snapshotNow(path, target, tableOffset);
        return undone;
    }

    const qint64 sizeNow = file.size();
    const QString length =
        sizeNow < 0 ? QStringLiteral("unknown") : QStringLiteral("%1 bytes").arg(grouped(sizeNow));
    const QString backupPath = path + QStringLiteral(".bak");
    const QString copy =
        !result.backupPath.isEmpty()
            ? QStringLiteral("%1, the copy made before this save").arg(shownPath(result.backupPath))
        : pathKind(backupPath) == PathKind::Regular
            ? QStringLiteral("%1, the copy made before it was first changed")
                  .arg(shownPath(backupPath))
            : QStringLiteral("a copy");
    SaveOutcome damaged;
    damaged.kind = Kind::Damaged;
    damaged.backupPath = result.backupPath;
    // What the save left: the next save takes it for the editor's own write.
    damaged.left = snapshotNow(path, target, tableOffset);
    damaged.message =
        QStringLiteral("Saving the table to %1 failed: %2. Putting back the file's old "
                       "content failed too (%3), so the file is damaged: its first "
                       "%4 bytes may hold part of the new table. Its length is now %5 "
                       "(it was %6 bytes). Restore it from %7, or save the table to "
                       "it again once the cause is fixed.")
            .arg(shownPath(path), failed, notRestored,
                 grouped(sizeNow < 0 ? table.size() : std::min<qint64>(sizeNow, table.size())),
                 length, grouped(old.size), copy);
    return damaged;
}

SaveOutcome createNew(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    const QString folder = QFileInfo(path).absolutePath();
    auto qfile = std::make_unique<QFile>();
    QString reason;
    const QString temporary = createTemporary(folder, -1, *qfile, &reason);
    if (temporary.isEmpty())
        return notSaved(
            path, QStringLiteral("no file can be made in %1 (%2)").arg(shownPath(folder), reason));
    OpenFile file = openFile(std::move(qfile), options.wrap);
    bool touched = false;
    if (const QString failed = writeAndCheck(*file.file, table, 0, &touched); !failed.isEmpty()) {
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

std::unique_ptr<WritableFile> writableFile(std::unique_ptr<QFile> file)
{
    Q_ASSERT(file && file->isOpen());
    return std::make_unique<QFileWritable>(std::move(file));
}

bool isProgramPath(const QString &path)
{
    // Windows drops dots and blanks at the end of a name: "kgf.exe. " opens kgf.exe.
    QStringView name(path);
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    return name.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

QString SaveOutcome::questionText() const
{
    Q_ASSERT(kind == Kind::Ask);
    return message + (question == Question::ChangedByOtherProgram
                          ? QStringLiteral(" Save over those changes?")
                          : QStringLiteral(" Save without a backup?"));
}

SaveOutcome saveTable(const QString &path, const QByteArray &table, const SaveOptions &options)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    switch (const PathKind kind = pathKind(path)) {
    case PathKind::Missing:
        return createNew(path, table, options);
    case PathKind::Regular:
    case PathKind::Unknown: // opening it says why it cannot be written
        return writeInPlace(path, table, options);
    case PathKind::Folder:
    case PathKind::Device:
    case PathKind::Special:
    case PathKind::BrokenLink:
        return notSaved(path, notRegularReason(kind));
    }
    Q_UNREACHABLE();
}
