#include "output_file.h"

#include "native_file.h"
#include "program_file.h"
#include "stream_files.h"

#include <QFileInfo>
#include <QSaveFile>

namespace
{

QString writeStream(const QString &path, const QByteArray &bytes)
{
    QString reason;
    return writeIntoDevice(path, bytes, &reason) ? QString() : reason;
}

QString readBack(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    const OpenResult opened = openRegularFile(file, QIODevice::ReadOnly);
    if (!opened.ok)
        return QStringLiteral("it could not be read back (%1)").arg(opened.reason);
    QByteArray back(bytes.size() + 1, '\0');
    const qint64 got = readUpTo(file, back.data(), back.size());
    if (got != bytes.size() || back.left(bytes.size()) != bytes)
        return QStringLiteral("what was read back differs from what was written");
    return {};
}

} // namespace

bool isProgramOutput(const QString &path)
{
    if (isProgramFile(path))
        return true;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

bool isSameFile(const QString &a, const QString &b)
{
    const FileIdentity one = regularFileIdentity(a);
    return one.valid && one == regularFileIdentity(b);
}

QString writeOutputFile(const QString &path, const QByteArray &bytes)
{
    switch (const PathKind kind = pathKind(path)) {
    case PathKind::Folder:
    case PathKind::BrokenLink:
        return notRegularReason(kind);
    case PathKind::Device:
    case PathKind::Special:
        return writeStream(path, bytes);
    case PathKind::Regular:
        if (isMarkedReadOnly(path))
            return QStringLiteral("it is marked read-only");
        break;
    case PathKind::Missing:
    case PathKind::Unknown:
        break;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return plainReason(file.errorString(), "the system refused the bytes");
    return readBack(path, bytes);
}
