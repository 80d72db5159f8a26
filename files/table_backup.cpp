#include "table_backup.h"

#include "message_text.h"
#include "native_file.h"

#include <QFileInfo>

ExistingBackup existingBackup(const QString &backupPath, const FileIdentity &target,
                              qint64 targetSize)
{
    ExistingBackup existing;
    // Unknown: a name that cannot be looked at, such as one too long;
    // trying to make the copy says why.
    const PathKind kind = pathKind(backupPath);
    if (kind == PathKind::Missing || kind == PathKind::Unknown)
        return existing;
    existing.state = ExistingBackup::State::NoBackup;
    if (kind != PathKind::Regular) {
        existing.why = QStringLiteral("%1 is there, but %2")
                           .arg(shownPath(backupPath), notRegularReason(kind));
        return existing;
    }
    // A link, or another name of the file itself, holds no copy of the old
    // bytes: the save would change them there too.
    if (isSymbolicLink(backupPath)) {
        existing.why =
            QStringLiteral("%1 is there, but it is a link, not a copy").arg(shownPath(backupPath));
        return existing;
    }
    QString reason;
    const FileIdentity identity = pathIdentity(backupPath, &reason);
    if (!identity.valid) {
        existing.why = QStringLiteral("%1 cannot be looked at (%2)")
                           .arg(shownPath(backupPath),
                                plainReason(reason, "it went away while it was looked at"));
        return existing;
    }
    if (identity == target) {
        existing.why = QStringLiteral("%1 is there, but it is another name of the file itself, "
                                      "not a copy")
                           .arg(shownPath(backupPath));
        return existing;
    }
    // Such as what a shell's "> NAME.bak" makes before the program starts.
    if (QFileInfo(backupPath).size() == 0 && targetSize > 0) {
        existing.why =
            QStringLiteral("%1 is there, but it is empty, not a copy").arg(shownPath(backupPath));
        return existing;
    }
    existing.state = ExistingBackup::State::Kept;
    return existing;
}

std::optional<PendingBackup> copyForBackup(OpenFile &original, const FileStatus &status,
                                           const QString &backupPath, const SaveOptions &options,
                                           QString *reason)
{
    auto qfile = std::make_unique<QFile>();
    // Its owner's alone until keepAccessOf gives it the original's access.
    const QString temporary = createTemporary(QFileInfo(backupPath).absolutePath(),
                                              TemporaryKind::Backup, 0600, *qfile, reason);
    if (temporary.isEmpty())
        return std::nullopt;
    keepAccessOf(*qfile, *original.native, status);
    WritableFile &source = *original.file;
    PendingBackup pending{temporary, openFile(temporary, std::move(qfile), options.wrapBackup)};
    WritableFile &copy = *pending.file.file;

    const qint64 piece = qint64(1) << 20;
    QString failed;
    for (qint64 at = 0; failed.isEmpty() && at < status.size; at += piece) {
        QByteArray bytes(std::min(piece, status.size - at), '\0');
        const qint64 got = source.readAt(at, bytes.data(), bytes.size());
        if (got != bytes.size())
            failed = got < 0 ? QStringLiteral("the file could not be read (%1)")
                                   .arg(reasonOf(source, "the system reported a read error"))
                             : QStringLiteral("the file became shorter while it was being read");
        else if (copy.writeAt(at, bytes.constData(), bytes.size()) != bytes.size())
            failed = reasonOf(copy, "the disk took only part of the copy");
        if (options.progress)
            options.progress();
    }
    if (failed.isEmpty() && !copy.sync())
        failed = QStringLiteral("the disk did not confirm the write (%1)")
                     .arg(reasonOf(copy, "no reason given"));
    for (qint64 at = 0; failed.isEmpty() && at < status.size; at += piece) {
        QByteArray held(std::min(piece, status.size - at), '\0');
        QByteArray copied(held.size(), '\0');
        if (source.readAt(at, held.data(), held.size()) != held.size() ||
            copy.readAt(at, copied.data(), copied.size()) != copied.size() || copied != held)
            failed = QStringLiteral("reading the copy back did not give the file's bytes");
        if (options.progress)
            options.progress();
    }
    if (failed.isEmpty() && copy.size() != status.size)
        failed = QStringLiteral("reading the copy back did not give the file's bytes");
    if (!failed.isEmpty()) {
        *reason = failed + discardBackup(pending);
        return std::nullopt;
    }
    return pending;
}

QString nameBackup(PendingBackup &pending, const QString &backupPath, const FileStatus &target,
                   const SaveOptions &options, bool *made)
{
    bool taken = false;
    const QString failed = giveName(pending.file, pending.temporary, backupPath, options, &taken);
    *made = failed.isEmpty();
    if (!taken)
        return failed;
    // Something took the name meanwhile: it stays, and serves only if it
    // is a file of its own.
    const ExistingBackup appeared = existingBackup(backupPath, target.identity, target.size);
    switch (appeared.state) {
    case ExistingBackup::State::Kept:
        return {};
    case ExistingBackup::State::NoBackup:
        return appeared.why + QStringLiteral(", which appeared meanwhile");
    case ExistingBackup::State::None:
        break;
    }
    return QStringLiteral("%1 appeared meanwhile and went again").arg(shownPath(backupPath));
}

QString discardBackup(PendingBackup &pending)
{
    pending.file.file.reset(); // closes it
    return removeTemporary(pending.temporary);
}
