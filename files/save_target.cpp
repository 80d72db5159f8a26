#include "save_target.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>

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

} // namespace

std::unique_ptr<WritableFile> writableFile(std::unique_ptr<QFile> file)
{
    Q_ASSERT(file && file->isOpen());
    return std::make_unique<QFileWritable>(std::move(file));
}

OpenFile openFile(const QString &path, std::unique_ptr<QFile> qfile, const FileWrapper &wrap)
{
    OpenFile open;
    open.path = path;
    open.native = qfile.get();
    open.file = writableFile(std::move(qfile));
    if (wrap)
        open.file = wrap(std::move(open.file));
    return open;
}

QString reasonOf(const WritableFile &file, const char *ownWords)
{
    return plainReason(file.errorString(), ownWords);
}

std::optional<QByteArray> bytesAt(WritableFile &file, qint64 offset, qint64 length)
{
    QByteArray bytes(length, '\0');
    const qint64 got = file.readAt(offset, bytes.data(), bytes.size());
    if (got < 0)
        return std::nullopt;
    bytes.truncate(got);
    return bytes;
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

FileSnapshot snapshotNow(OpenFile &open, qint64 tableOffset)
{
    FileStatus now;
    QString reason;
    if (!fileStatus(*open.native, &now, &reason))
        return {};
    // Bytes that cannot be read leave the snapshot without them, which
    // makes the next save ask: the safe way.
    return snapshotOf(
        open.path, now, tableOffset,
        bytesAt(*open.file, tableOffset, FormationTable::ByteCount).value_or(QByteArray()));
}

FileSnapshot snapshotOfPath(const QString &path, qint64 tableOffset)
{
    auto qfile = std::make_unique<QFile>(path);
    if (openRegularFile(*qfile, QIODevice::ReadOnly).ok) {
        OpenFile open = openFile(path, std::move(qfile), {});
        if (FileSnapshot snapshot = snapshotNow(open, tableOffset); snapshot.valid)
            return snapshot;
    }
    FileSnapshot nothing;
    nothing.valid = true;
    nothing.path = QFileInfo(path).absoluteFilePath();
    nothing.size = -1;
    return nothing;
}

QString removeTemporary(const QString &temporary)
{
    QString reason;
    if (removeFile(temporary, &reason))
        return {};
    return QStringLiteral("; the unfinished file %1 is left, as it could not be removed (%2)")
        .arg(shownPath(temporary), reason);
}

namespace
{

const char *const TemporaryPrefixes[] = {".kgf-save-", ".kgf-backup-", ".kgf-journal-"};
constexpr int RandomDigits = 8;

const char *prefixOf(TemporaryKind kind)
{
    return TemporaryPrefixes[int(kind)];
}

// The folder's free name for a temporary file; short, so that it fits where
// the target's own name just fits.
QString temporaryPath(const QString &folder, TemporaryKind kind)
{
    return QDir(folder).filePath(
        QStringLiteral("%1%2.tmp")
            .arg(QLatin1String(prefixOf(kind)))
            .arg(QRandomGenerator::global()->generate(), RandomDigits, 16, QLatin1Char('0')));
}

} // namespace

std::optional<TemporaryKind> temporaryKindOf(const QString &fileName)
{
    for (const TemporaryKind kind :
         {TemporaryKind::NewFile, TemporaryKind::Backup, TemporaryKind::Journal}) {
        const QLatin1String prefix(prefixOf(kind));
        if (!fileName.startsWith(prefix) || !fileName.endsWith(QLatin1String(".tmp")))
            continue;
        const QStringView digits = QStringView(fileName).mid(prefix.size()).chopped(4);
        if (digits.size() == RandomDigits && std::all_of(digits.begin(), digits.end(), [](QChar c) {
                return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
            }))
            return kind;
    }
    return std::nullopt;
}

QString createTemporary(const QString &folder, TemporaryKind kind, int permissions, QFile &file,
                        QString *reason)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = temporaryPath(folder, kind);
        const OpenResult created = createNewFile(file, candidate, permissions);
        if (created.ok)
            return candidate;
        *reason = created.reason;
        // Not a clash of names: trying again won't help.
        if (pathKind(candidate) == PathKind::Missing)
            break;
    }
    return {};
}

QString giveName(OpenFile &file, const QString &temporary, const QString &path,
                 const SaveOptions &options, bool *taken, AfterNaming after)
{
    QString reason;
    const bool visible = setHidden(*file.native, false, &reason);
#ifdef Q_OS_WIN
    // Shared for reading only, an open file cannot be renamed: it is let go
    // for the rename, and taken hold of again under its name.
    file.file.reset();
#endif
    *taken = false;
    if (visible) {
        if (options.beforeNaming)
            options.beforeNaming(path);
        switch (renameNoReplace(temporary, path, &reason)) {
        case RenameResult::Done:
            syncFolder(QFileInfo(path).absolutePath());
#ifdef Q_OS_WIN
            // Named even when it cannot be held again: whoever removes it
            // later must find it under its name.
            file.path = path;
            file.native = nullptr;
            if (after == AfterNaming::Held) {
                auto held = std::make_unique<QFile>(path);
                if (openRegularFile(*held, QIODevice::ReadWrite).ok)
                    file = openFile(path, std::move(held), {});
            }
#else
            file.path = path;
            if (after == AfterNaming::Close)
                file.file.reset();
#endif
            return {};
        case RenameResult::NameTaken:
            *taken = true;
            reason = QStringLiteral("a file of that name appeared while the table was being saved");
            break;
        case RenameResult::Failed:
            break;
        }
    }
    file.file.reset();
    return reason + removeTemporary(temporary);
}
