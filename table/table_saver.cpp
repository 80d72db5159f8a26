#include "table_saver.h"

#include "formation_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

SaveResult failure(const QString &path, const QString &reason)
{
    SaveResult result;
    result.error = QStringLiteral("The table was not saved to %1: %2.")
                       .arg(QDir::toNativeSeparators(path), reason);
    return result;
}

// What stays of an existing target after the table: every byte past 1,488.
bool readTail(const QString &path, QByteArray *tail, QString *error)
{
    QFile existing(path);
    if (!existing.exists())
        return true;
    if (!existing.open(QIODevice::ReadOnly)) {
        *error = existing.errorString();
        return false;
    }
    const qint64 size = existing.size();
    if (size > FormationTable::ByteCount) {
        existing.seek(FormationTable::ByteCount);
        *tail = existing.readAll();
        if (tail->size() != size - FormationTable::ByteCount) {
            *error = existing.errorString();
            return false;
        }
    }
    return true;
}

} // namespace

bool isProgramPath(const QString &path)
{
    return path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

SaveResult saveTable(const QString &path, const QByteArray &table,
                     const SaveFileFactory &makeSaveFile)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    const QFileInfo target(path);
    if (target.isDir())
        return failure(path, QStringLiteral("it is a folder"));
    // A file marked read-only stays untouched, even for a user (such as an
    // administrator) whom the system would let write it.
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner))
        return failure(path, QStringLiteral("the file is read-only"));

    QByteArray tail;
    QString error;
    if (!readTail(path, &tail, &error))
        return failure(path, QStringLiteral("the existing file could not be read (%1)").arg(error));
    const QByteArray content = table + tail;

    std::unique_ptr<QSaveFile> file =
        makeSaveFile ? makeSaveFile(path) : std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        return failure(path, file->errorString());
    // Data may sit in a buffer until commit, where a write error would go
    // unreported; push it out and check before the old file is replaced.
    if (file->write(content) != content.size() || !file->flush() ||
        file->error() != QFileDevice::NoError) {
        const QString reason = file->errorString();
        file->cancelWriting(); // the temporary file goes, the target stays as it was
        return failure(path, reason);
    }
    if (!file->commit())
        return failure(path, file->errorString());

    // Confirm what is on disk now is what was written.
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly))
        return failure(path, QStringLiteral("the saved file could not be read back (%1)")
                                 .arg(written.errorString()));
    const QByteArray check = written.readAll();
    if (check.size() != content.size())
        return failure(path, QStringLiteral("the saved file has %1 bytes instead of %2")
                                 .arg(check.size())
                                 .arg(content.size()));
    if (check != content)
        return failure(path, QStringLiteral("the saved file does not hold what was written"));
    return SaveResult{true, {}};
}
