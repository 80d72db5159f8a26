#include "save_leftovers.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "save_journal.h"
#include "save_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace
{

// Whether every byte of `copy` is the byte at the same place in `original`.
bool isStartOf(const QString &copy, const QString &original)
{
    QFile part(copy);
    QFile whole(original);
    if (!openRegularFile(part, QIODevice::ReadOnly).ok ||
        !openRegularFile(whole, QIODevice::ReadOnly).ok || part.size() > whole.size())
        return false;
    constexpr qint64 Piece = qint64(1) << 20;
    QByteArray a(Piece, '\0');
    QByteArray b(Piece, '\0');
    QString reason;
    for (qint64 at = 0;; at += Piece) {
        const qint64 got = readAt(part, at, a.data(), Piece, &reason);
        if (got < 0 || readAt(whole, at, b.data(), got, &reason) != got)
            return false;
        if (QByteArrayView(a.constData(), got) != QByteArrayView(b.constData(), got))
            return false;
        if (got < Piece)
            return true;
    }
}

// An empty file, or one that begins with the whole first line of a journal.
bool isOwnJournal(const QString &path, qint64 size)
{
    if (size == 0)
        return true;
    if (size > MaxJournalBytes)
        return false;
    QFile file(path);
    if (!openRegularFile(file, QIODevice::ReadOnly).ok)
        return false;
    QByteArray head(64, '\0');
    const qint64 got = readUpTo(file, head.data(), head.size());
    return got > 0 && beginsAsWholeJournalLine(QByteArrayView(head.constData(), got));
}

// Whether the leftover `info` is recognisably this program's own.
bool isOwnLeftover(const QFileInfo &info, TemporaryKind kind, const QString &target)
{
    switch (kind) {
    case TemporaryKind::Journal:
        return isOwnJournal(info.filePath(), info.size());
    case TemporaryKind::NewFile:
        // Part of a table is of use to no one; a whole one may be the only
        // copy of a save that was cut off, and stays.
        if (info.size() < FormationTable::ByteCount)
            return true;
        // Earlier versions made backup copies under this name too.
        return info.size() > FormationTable::ByteCount && isStartOf(info.filePath(), target);
    case TemporaryKind::Backup:
        return isStartOf(info.filePath(), target);
    }
    return false;
}

} // namespace

Leftovers findLeftovers(const QString &target)
{
    const QFileInfo targetInfo(target);
    const QDir folder = targetInfo.absoluteDir();
    const QFileInfoList entries = folder.entryInfoList(
        {QStringLiteral(".kgf-*.tmp")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    Leftovers found;
    for (const QFileInfo &entry : entries) {
        const std::optional<TemporaryKind> kind = temporaryKindOf(entry.fileName());
        if (!kind)
            continue;
        const QString path = entry.filePath();
        if (entry.isSymLink() || pathKind(path) != PathKind::Regular) {
            found.others
                << QStringLiteral("%1 (it is no file of this program's)").arg(shownPath(path));
            continue;
        }
        if (isHeldByAnother(path))
            continue; // a save that runs now, in this program or another copy of it
        if (isOwnLeftover(entry, *kind, target)) {
            QString ignored;
            found.ours.push_back({path, pathIdentity(path, &ignored), entry.size()});
            continue;
        }
        found.others << (*kind == TemporaryKind::NewFile &&
                                 entry.size() == FormationTable::ByteCount
                             ? QStringLiteral("%1 (it holds a whole table, which a save cut off "
                                              "was writing to a new file; give it a name to keep "
                                              "it)")
                                   .arg(shownPath(path))
                             : QStringLiteral("%1 (it holds no copy of %2)")
                                   .arg(shownPath(path), shownPath(targetInfo.fileName())));
    }
    return found;
}

QString removeLeftovers(const Leftovers &found)
{
    QStringList left = found.others;
    for (const Leftovers::Own &own : found.ours) {
        // Still the file that was judged, not one that took its name since.
        QString reason;
        if (pathIdentity(own.path, &reason) != own.identity ||
            QFileInfo(own.path).size() != own.size || isHeldByAnother(own.path))
            continue;
        if (!removeFile(own.path, &reason))
            left << QStringLiteral("%1 (it could not be removed: %2)")
                        .arg(shownPath(own.path), reason);
    }
    if (left.isEmpty())
        return {};
    return QStringLiteral("A save that was cut off earlier left %1 in the folder; %2 left as %3, "
                          "and can be removed once you know %4 no longer needed.")
        .arg(left.join(QStringLiteral(", ")),
             left.size() == 1 ? QStringLiteral("it was") : QStringLiteral("they were"),
             left.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are"),
             left.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
}

QString clearLeftovers(const QString &target)
{
    return removeLeftovers(findLeftovers(target));
}
