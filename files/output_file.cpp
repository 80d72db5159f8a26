#include "output_file.h"

#include "message_text.h"
#include "native_file.h"
#include "program_file.h"
#include "stream_files.h"

#include <QSaveFile>

namespace
{

QString writeStream(const QString &path, const QByteArray &bytes)
{
    QString reason;
    return writeIntoDevice(path, bytes, &reason) ? QString() : reason;
}

// The standard stream (stdout or stderr) that is open on the regular file
// `path`, if one is.
FILE *redirectedStream(const QString &path)
{
    const FileIdentity target = regularFileIdentity(path);
    if (target.valid)
        for (FILE *stream : {stdout, stderr})
            if (target == streamIdentity(stream))
                return stream;
    return nullptr;
}

QString writeThrough(FILE *stream, const QByteArray &bytes)
{
    QString reason;
    switch (writeToStream(stream, bytes, &reason)) {
    case StreamWrite::Written:
        return {};
    case StreamWrite::ReaderGone:
        return readerGoneReason();
    case StreamWrite::Failed:
        break;
    }
    return reason;
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

bool isSameFile(const QString &a, const QString &b)
{
    const FileIdentity one = regularFileIdentity(a);
    return one.valid && one == regularFileIdentity(b);
}

QString unfitOutput(const QString &output, const QStringList &sources,
                    const OutputRefusalWords &words)
{
    if (isProgramForOutput(output))
        return words.program.arg(shownPath(output));
    for (const QString &source : sources)
        if (isSameFile(output, source))
            return words.source.arg(shownPath(output));
    return {};
}

QString writeOutputFile(const QString &path, const QByteArray &bytes, OutputKinds kinds)
{
    const bool streams = kinds == OutputKinds::StreamsToo;
    // Decided before anything is opened: opening a FIFO waits for its reader.
    switch (const PathKind kind = pathKind(path)) {
    case PathKind::Folder:
    case PathKind::BrokenLink:
        return notRegularReason(kind);
    case PathKind::Device:
    case PathKind::Special:
        return streams ? writeStream(path, bytes) : notRegularReason(kind);
    case PathKind::Regular:
        if (FILE *stream = streams ? redirectedStream(path) : nullptr)
            return writeThrough(stream, bytes);
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
