#include "table_saver.h"

#include "formation_table.h"
#include "native_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace
{

class QFileWritable : public WritableFile
{
public:
    explicit QFileWritable(std::unique_ptr<QFile> file) : m_file(std::move(file)) {}

    qint64 size() override { return m_file->size(); }

    qint64 readAt(qint64 position, char *data, qint64 length) override
    {
        m_reason.clear();
        return m_file->seek(position) ? readUpTo(*m_file, data, length) : -1;
    }

    qint64 writeAt(qint64 position, const char *data, qint64 length) override
    {
        m_reason.clear();
        if (!m_file->seek(position))
            return -1;
        qint64 done = 0;
        while (done < length) {
            // A short count means the disk took only part; the next call
            // then reports why.
            const qint64 put = m_file->write(data + done, length - done);
            if (put <= 0)
                return done > 0 ? done : -1;
            done += put;
        }
        return done;
    }

    bool resize(qint64 size) override
    {
        m_reason.clear();
        return m_file->resize(size);
    }

    bool sync() override { return syncFile(*m_file, &m_reason); }

    QString errorString() const override
    {
        return m_reason.isEmpty() ? m_file->errorString() : m_reason;
    }

private:
    std::unique_ptr<QFile> m_file;
    QString m_reason; // from the last sync, which QFile does not know of
};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

SaveResult saved()
{
    return SaveResult{true, {}};
}

// Nothing was written, or what was written is undone: the file is as it was.
SaveResult notSaved(const QString &path, const QString &reason)
{
    return SaveResult{
        false, QStringLiteral("The table was not saved to %1: %2.").arg(shown(path), reason)};
}

QString reasonOf(const WritableFile &file, const char *ownWords)
{
    return plainReason(file.errorString(), ownWords);
}

// Writes the whole table at the start, pushes it to the disk and reads it
// back. Empty when all of that worked; otherwise what failed.
QString writeAndCheck(WritableFile &file, const QByteArray &table, qint64 expectedSize)
{
    const qint64 written = file.writeAt(0, table.constData(), table.size());
    if (written != table.size()) {
        const QString reason = reasonOf(file, "the disk took only part of the table");
        return written > 0 ? QStringLiteral("only %1 of %2 bytes could be written (%3)")
                                 .arg(written)
                                 .arg(table.size())
                                 .arg(reason)
                           : reason;
    }
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

// Puts back the first bytes and the length the file had before the save.
// Empty when it worked and was read back; otherwise what failed.
QString restore(WritableFile &file, const QByteArray &oldStart, qint64 oldSize)
{
    if (file.writeAt(0, oldStart.constData(), oldStart.size()) != oldStart.size())
        return reasonOf(file, "the old bytes could not be written");
    if (file.size() != oldSize && !file.resize(oldSize))
        return reasonOf(file, "the old length could not be set");
    if (!file.sync())
        return reasonOf(file, "the disk did not confirm the write");
    QByteArray check(oldStart.size(), '\0');
    if (file.readAt(0, check.data(), check.size()) != check.size() || check != oldStart ||
        file.size() != oldSize)
        return QStringLiteral("reading it back did not give the old bytes");
    return {};
}

SaveResult writeInPlace(const QString &path, const QByteArray &table, const FileWrapper &wrap)
{
    // A file marked read-only stays untouched, even for a user (such as an
    // administrator) whom the system would let write it.
    if (const QFileInfo info(path);
        info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        return notSaved(path, QStringLiteral("the file is read-only"));

    auto qfile = std::make_unique<QFile>(path);
    if (const OpenResult opened = openRegularFile(*qfile, QIODevice::ReadWrite); !opened.ok)
        return notSaved(path, opened.reason);
    std::unique_ptr<WritableFile> file = writableFile(std::move(qfile));
    if (wrap)
        file = wrap(std::move(file));

    const qint64 oldSize = file->size();
    QByteArray oldStart(std::min<qint64>(std::max<qint64>(oldSize, 0), table.size()), '\0');
    if (oldSize < 0 || file->readAt(0, oldStart.data(), oldStart.size()) != oldStart.size())
        return notSaved(path, QStringLiteral("the file could not be read first (%1)")
                                  .arg(reasonOf(*file, "the system reported a read error")));

    const QString failed = writeAndCheck(*file, table, std::max<qint64>(oldSize, table.size()));
    if (failed.isEmpty())
        return saved();
    const QString notRestored = restore(*file, oldStart, oldSize);
    if (notRestored.isEmpty())
        return notSaved(path, failed + QStringLiteral(". The file is unchanged"));

    const qint64 sizeNow = file->size();
    const QString length =
        sizeNow < 0 ? QStringLiteral("unknown") : QStringLiteral("%1 bytes").arg(sizeNow);
    return SaveResult{
        false, QStringLiteral("Saving the table to %1 failed: %2. Putting back the file's old "
                              "content failed too (%3), so the file is damaged: its first "
                              "%4 bytes may hold part of the new table. Its length is now %5 "
                              "(it was %6 bytes). Restore it from a copy, or save the table "
                              "to it again once the cause is fixed.")
                   .arg(shown(path), failed, notRestored, QString::number(table.size()), length,
                        QString::number(oldSize))};
}

// The folder's free name for a temporary file; short, so that it fits where
// the target's own name just fits.
QString temporaryPath(const QString &folder)
{
    return QDir(folder).filePath(
        QStringLiteral(".kgf-save-%1.tmp")
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

SaveResult createNew(const QString &path, const QByteArray &table, const FileWrapper &wrap)
{
    const QString folder = QFileInfo(path).absolutePath();
    auto qfile = std::make_unique<QFile>();
    for (int attempt = 0;; ++attempt) {
        qfile->setFileName(temporaryPath(folder));
        // Read and write: the save reads what it wrote back.
        if (qfile->open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (attempt == 20 || !qfile->exists())
            return notSaved(path, QStringLiteral("no file can be made in %1 (%2)")
                                      .arg(shown(folder),
                                           plainReason(qfile->errorString(), "no reason given")));
    }
    const QString temporary = qfile->fileName();
    std::unique_ptr<WritableFile> file = writableFile(std::move(qfile));
    if (wrap)
        file = wrap(std::move(file));
    const QString failed = writeAndCheck(*file, table, table.size());
    file.reset(); // closes it
    if (!failed.isEmpty()) {
        QFile::remove(temporary);
        return notSaved(path, failed);
    }

    // Give it its name only if the name is still free.
    QFile complete(temporary);
    if (!complete.rename(path)) {
        const QString reason =
            QFileInfo::exists(path) || QFileInfo(path).isSymLink()
                ? QStringLiteral("a file of that name appeared while the table was being saved")
                : plainReason(complete.errorString(), "the new file could not be given its name");
        QFile::remove(temporary);
        return notSaved(path, reason);
    }
    syncFolder(folder);
    return saved();
}

} // namespace

std::unique_ptr<WritableFile> writableFile(std::unique_ptr<QFile> file)
{
    Q_ASSERT(file && file->isOpen());
    return std::make_unique<QFileWritable>(std::move(file));
}

bool isProgramPath(const QString &path)
{
    return path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

SaveResult saveTable(const QString &path, const QByteArray &table, const FileWrapper &wrap)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    switch (const PathKind kind = pathKind(path)) {
    case PathKind::Missing:
        return createNew(path, table, wrap);
    case PathKind::Regular:
    case PathKind::Unknown: // opening it says why it cannot be written
        return writeInPlace(path, table, wrap);
    case PathKind::Folder:
    case PathKind::Device:
    case PathKind::Special:
    case PathKind::BrokenLink:
        return notSaved(path, notRegularReason(kind));
    }
    Q_UNREACHABLE();
}
