#include "table_loader.h"

#include "formation_table.h"
#include "number_text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstring>

namespace
{

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

LoadResult failure(const QString &error)
{
    LoadResult result;
    result.error = error;
    return result;
}

LoadResult tableAt(const QString &path, const QByteArray &bytes, qint64 fileSize, qint32 start)
{
    const qint64 needed = qint64(start) + FormationTable::ByteCount;
    if (fileSize < needed)
        return failure(QStringLiteral("%1 is too short: it holds %2 bytes, but a table at start "
                                      "location %3 needs %4 bytes.")
                           .arg(shown(path), QString::number(fileSize), QString::number(start),
                                QString::number(needed)));
    LoadResult result;
    result.ok = true;
    result.table = bytes;
    result.startLocation = start;
    return result;
}

} // namespace

bool isExecutablePath(const QString &path)
{
    return path.right(5).toUpper() == QStringLiteral("F.EXE");
}

qint64 findSignature(QByteArrayView data, qint64 from, const SearchProgress &progress,
                     int intervalMs)
{
    const QByteArray &signature = tableSignature();
    const qint64 last = qint64(signature.size()) - 1;
    const char lastByte = signature[last];
    if (progress)
        progress(from + 1);

    // Search for the signature's last byte, which is rare, then compare the
    // rest; in blocks, so that progress can be reported while it runs.
    constexpr qint64 BlockSize = 1 << 20;
    QElapsedTimer sinceReport;
    sinceReport.start();
    const char *base = data.data();
    qint64 at = from + last; // where the last byte of a match may stand
    while (at < data.size()) {
        const qint64 blockEnd = std::min<qint64>(data.size(), at + BlockSize);
        while (at < blockEnd) {
            const void *hit = std::memchr(base + at, lastByte, size_t(blockEnd - at));
            if (!hit)
                break;
            at = static_cast<const char *>(hit) - base;
            const qint64 start = at - last;
            if (std::memcmp(base + start, signature.constData(), size_t(last)) == 0)
                return start;
            ++at;
        }
        at = blockEnd;
        if (progress && sinceReport.elapsed() >= intervalMs) {
            progress(at - last + 1);
            sinceReport.restart();
        }
    }
    return -1;
}

StartLocation startLocationFromText(const QString &text)
{
    StartLocation result;
    const double rounded = roundHalfEven(leadingNumber(text));
    const auto value = toInt32(rounded);
    if (rounded < 0)
        result.error = QStringLiteral("The start location \"%1\" is negative.").arg(text);
    else if (!value)
        result.error = QStringLiteral("The start location \"%1\" is too large.").arg(text);
    if (!result.error.isEmpty()) {
        result.error += QStringLiteral(" It must be a byte offset from 0 to 2147483647.");
        return result;
    }
    result.ok = true;
    result.value = *value;
    return result;
}

LoadResult loadFromDataFile(const QString &path, qint32 startLocation)
{
    Q_ASSERT(startLocation >= 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(
            QStringLiteral("Could not open %1: %2.").arg(shown(path), file.errorString()));
    const qint64 size = file.size();
    QByteArray bytes;
    if (size >= qint64(startLocation) + FormationTable::ByteCount) {
        if (!file.seek(startLocation))
            return failure(
                QStringLiteral("Could not read %1: %2.").arg(shown(path), file.errorString()));
        bytes = file.read(FormationTable::ByteCount);
        if (bytes.size() != FormationTable::ByteCount)
            return failure(
                QStringLiteral("Could not read %1: %2.").arg(shown(path), file.errorString()));
    }
    return tableAt(path, bytes, size, startLocation);
}

LoadResult loadFromExecutable(const QString &path, const SearchProgress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failure(
            QStringLiteral("Could not open %1: %2.").arg(shown(path), file.errorString()));
    // One read of the whole file; the search and the table both use it.
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() != file.size())
        return failure(
            QStringLiteral("Could not read %1: %2.").arg(shown(path), file.errorString()));
    file.close();

    if (data.size() <= SignatureScanStart)
        return failure(QStringLiteral("%1 is not the game executable: it holds %2 bytes, and the "
                                      "formation table is searched for from byte 1,350,000 on.")
                           .arg(shown(path), QString::number(data.size())));
    const qint64 found = findSignature(data, SignatureScanStart, progress);
    if (found < 0)
        return failure(QStringLiteral("The formation table was not found in %1: no signature "
                                      "00 25 03 00 AA at or after byte 1,350,000.")
                           .arg(shown(path)));
    if (found > std::numeric_limits<qint32>::max())
        return failure(QStringLiteral("The formation table in %1 starts beyond the largest start "
                                      "location, 2147483647.")
                           .arg(shown(path)));
    const auto start = static_cast<qint32>(found);
    LoadResult result =
        tableAt(path, data.mid(found, FormationTable::ByteCount), data.size(), start);
    result.foundBySignature = result.ok;
    return result;
}

LoadResult loadTable(const QString &path, const QString &startText, const SearchProgress &progress)
{
    if (isExecutablePath(path))
        return loadFromExecutable(path, progress);
    const StartLocation start = startLocationFromText(startText);
    if (!start.ok)
        return failure(QStringLiteral("%1 was not loaded. %2").arg(shown(path), start.error));
    return loadFromDataFile(path, start.value);
}
