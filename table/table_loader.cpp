#include "table_loader.h"

#include "formation_table.h"
#include "number_text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstring>
#include <limits>

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

// The first signature starting in [from, end - 5] of base, or -1. Looks for
// the signature's last byte, which is rare, and then compares the rest.
qint64 scanRange(const char *base, qint64 from, qint64 end)
{
    const QByteArray &signature = tableSignature();
    const qint64 last = qint64(signature.size()) - 1;
    qint64 at = from + last; // where the last byte of a match may stand
    while (at < end) {
        const void *hit = std::memchr(base + at, signature[last], size_t(end - at));
        if (!hit)
            return -1;
        at = static_cast<const char *>(hit) - base;
        if (std::memcmp(base + at - last, signature.constData(), size_t(last)) == 0)
            return at - last;
        ++at;
    }
    return -1;
}

// A search over bytes that arrive in pieces: each feed() searches what has
// arrived since the last one. Progress is reported as 1-based file
// positions; `origin` is the file offset of the first byte fed.
class SignatureScan
{
public:
    SignatureScan(qint64 from, qint64 origin, const SearchProgress &progress, int intervalMs)
        : m_next(from), m_origin(origin), m_progress(progress), m_intervalMs(intervalMs)
    {
        if (m_progress)
            m_progress(m_origin + m_next + 1);
        m_sinceReport.start();
    }

    // Searches base[0, available); the signature's offset there, or -1.
    qint64 feed(const char *base, qint64 available)
    {
        constexpr qint64 BlockSize = 1 << 20;
        const qint64 overlap = tableSignature().size() - 1;
        while (m_next + overlap < available) {
            const qint64 end = std::min(available, m_next + BlockSize + overlap);
            const qint64 found = scanRange(base, m_next, end);
            if (found >= 0)
                return found;
            m_next = end - overlap;
            if (m_progress && m_sinceReport.elapsed() >= m_intervalMs) {
                m_progress(m_origin + m_next + 1);
                m_sinceReport.restart();
            }
        }
        return -1;
    }

private:
    qint64 m_next; // the first start position not yet examined
    qint64 m_origin;
    const SearchProgress &m_progress;
    int m_intervalMs;
    QElapsedTimer m_sinceReport;
};

} // namespace

bool isExecutablePath(const QString &path)
{
    return path.right(5).toUpper() == QStringLiteral("F.EXE");
}

qint64 findSignature(QByteArrayView data, qint64 from, const SearchProgress &progress,
                     int intervalMs)
{
    SignatureScan scan(from, 0, progress, intervalMs);
    return scan.feed(data.data(), data.size());
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
    const qint64 size = file.size();
    if (size <= SignatureScanStart)
        return failure(QStringLiteral("%1 is not the game executable: it holds %2 bytes, and the "
                                      "formation table is searched for from byte 1,350,000 on.")
                           .arg(shown(path), QString::number(size)));

    // Only the part from the scan start is needed. Mapping it lets the
    // search read the system's cached copy of the file directly; where the
    // system cannot map a file, it is read in one go instead.
    const qint64 length = size - SignatureScanStart;
    const auto readError = [&] {
        return failure(
            QStringLiteral("Could not read %1: %2.").arg(shown(path), file.errorString()));
    };
    QByteArray data;
    if (const uchar *mapped = file.map(SignatureScanStart, length)) {
        data = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), length);
    } else {
        if (!file.seek(SignatureScanStart))
            return readError();
        data = file.read(length);
        if (data.size() != length)
            return readError();
    }
    SignatureScan scan(0, SignatureScanStart, progress, 50);
    const qint64 found = scan.feed(data.constData(), length);
    if (found < 0)
        return failure(QStringLiteral("The formation table was not found in %1: no signature "
                                      "00 25 03 00 AA at or after byte 1,350,000.")
                           .arg(shown(path)));
    const qint64 offset = SignatureScanStart + found;
    if (offset > std::numeric_limits<qint32>::max())
        return failure(QStringLiteral("The formation table in %1 starts beyond the largest start "
                                      "location, 2147483647.")
                           .arg(shown(path)));
    // A deep copy: the mapping goes when the file closes.
    const QByteArray table(data.constData() + found,
                           std::min<qint64>(FormationTable::ByteCount, length - found));
    LoadResult result = tableAt(path, table, size, static_cast<qint32>(offset));
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
