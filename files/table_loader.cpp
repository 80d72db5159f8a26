#include "table_loader.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "number_text.h"
#include "program_file.h"
#include "save_journal.h"
#include "save_recovery.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <limits>
#include <optional>

namespace
{

LoadResult failure(const QString &error)
{
    LoadResult result;
    result.error = error;
    return result;
}

// A file whose save did not finish may hold part of two tables: it is read
// only once that is settled (save_recovery.h).
std::optional<LoadResult> unfinishedSave(const QString &path)
{
    const JournalState journal = journalState(path);
    if (journal != JournalState::Unfinished && journal != JournalState::SaveRunning)
        return std::nullopt;
    LoadResult refused = failure(unfinishedSaveRefusal(path));
    refused.unfinishedSave = true;
    return refused;
}

LoadResult openFailure(const QString &path, const QString &reason)
{
    return failure(QStringLiteral("Could not open %1: %2.").arg(shownPath(path), reason));
}

LoadResult readFailure(const QString &path, const QString &reason)
{
    return failure(
        QStringLiteral("Could not read %1: %2.")
            .arg(shownPath(path), plainReason(reason, "the system reported a read error")));
}

QString shrankReason(qint64 sizeAtStart)
{
    return QStringLiteral("the file became shorter while it was being read (it held %1 bytes "
                          "when loading began)")
        .arg(grouped(sizeAtStart));
}

LoadResult tooShort(const QString &path, qint64 fileSize, qint64 start)
{
    const qint64 needed = start + FormationTable::ByteCount;
    return failure(QStringLiteral("%1 is too short: it holds %2 bytes, but a table at start "
                                  "location %3 needs %4 bytes.")
                       .arg(shownPath(path), grouped(fileSize), grouped(start), grouped(needed)));
}

// Opens `path` for reading and records what it is from the open handle.
// Empty when it worked; otherwise why not.
QString openAndLook(QFile &file, FileSnapshot *source)
{
    const QString path = file.fileName(); // opening hands the file a descriptor, not a name
    if (const OpenResult opened = openRegularFile(file, QIODevice::ReadOnly); !opened.ok)
        return opened.reason;
    FileStatus status;
    QString reason;
    if (!fileStatus(file, &status, &reason))
        return reason;
    source->valid = true;
    source->path = QFileInfo(path).absoluteFilePath();
    source->identity = status.identity;
    source->size = status.size;
    source->modifiedNs = status.modifiedNs;
    return {};
}

// Reads the 1,488 table bytes at `start` into `source`; false with `error`
// set when they cannot all be read.
bool readTable(QFile &file, qint64 start, FileSnapshot *source, QString *error)
{
    QByteArray table(FormationTable::ByteCount, '\0');
    if (!file.seek(start)) {
        *error = file.errorString();
        return false;
    }
    const qint64 got = readUpTo(file, table.data(), table.size());
    if (got != table.size()) {
        *error = got < 0 ? file.errorString() : shrankReason(source->size);
        return false;
    }
    source->tableOffset = start;
    source->tableBytes = table;
    return true;
}

// The signature as constants, so that the comparisons below compile to a
// few instructions.
constexpr const char *SignatureBytes = TableSignatureBytes;
constexpr qint64 SignatureLast = sizeof TableSignatureBytes - 1;

// The first signature starting in [from, end - 5] of base, or -1. Looks for
// the signature's last byte, which is rare, and then compares the rest.
qint64 scanRange(const char *base, qint64 from, qint64 end)
{
    qint64 at = from + SignatureLast; // where the last byte of a match may stand
    while (at < end) {
        const void *hit = std::memchr(base + at, SignatureBytes[SignatureLast], size_t(end - at));
        if (!hit)
            return -1;
        at = static_cast<const char *>(hit) - base;
        if (std::memcmp(base + at - SignatureLast, SignatureBytes, SignatureLast) == 0)
            return at - SignatureLast;
        ++at;
    }
    return -1;
}

} // namespace

SearchResult searchSignature(QIODevice &device, qint64 end, const SearchProgress &progress,
                             const SearchSettings &settings)
{
    Q_ASSERT(settings.chunkSize > 0 && settings.scanStart >= 0);
    SearchResult result;
    if (progress)
        progress(settings.scanStart + 1);
    if (end - settings.scanStart <= SignatureLast)
        return result;
    if (!device.seek(settings.scanStart)) {
        result.readError = device.errorString();
        return result;
    }

    // One buffer for the whole search: a piece, plus the last four bytes of
    // the piece before it, so that a signature across two pieces is found.
    const qint64 overlap = SignatureLast;
    QByteArray buffer(settings.chunkSize + overlap, Qt::Uninitialized);
    qint64 bufferStart = settings.scanStart; // file offset of buffer[0]
    qint64 held = 0;                         // bytes of the buffer in use
    QElapsedTimer sinceReport;
    sinceReport.start();
    while (bufferStart + held < end) {
        const qint64 wanted = std::min(settings.chunkSize, end - (bufferStart + held));
        const qint64 got = readUpTo(device, buffer.data() + held, wanted);
        if (got != wanted) {
            result.readError = got < 0 ? device.errorString() : shrankReason(end);
            return result;
        }
        held += got;
        const qint64 found = scanRange(buffer.constData(), 0, held);
        if (found >= 0) {
            result.offset = bufferStart + found;
            return result;
        }
        const qint64 kept = std::min(overlap, held);
        std::memmove(buffer.data(), buffer.constData() + held - kept, size_t(kept));
        bufferStart += held - kept;
        held = kept;
        if (progress && sinceReport.elapsed() >= settings.progressIntervalMs) {
            progress(bufferStart + 1);
            sinceReport.restart();
        }
    }
    return result;
}

qint64 findSignature(QByteArrayView data, qint64 from, const SearchProgress &progress,
                     int intervalMs)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    SearchSettings settings;
    settings.scanStart = from;
    settings.progressIntervalMs = intervalMs;
    return searchSignature(buffer, data.size(), progress, settings).offset;
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
        result.error += QStringLiteral(" It must be a byte offset from 0 to %1.")
                            .arg(grouped(std::numeric_limits<qint32>::max()));
        return result;
    }
    result.ok = true;
    result.value = *value;
    return result;
}

namespace
{

// What a failed search of a file that is a program by its content only
// adds, since a data file may begin with those bytes too.
const QString ReadAsDataHint =
    QStringLiteral(" It begins as a program does (\"MZ\"), so the table was searched for by its "
                   "signature; to read it as a formation data file, give a start location.");

LoadResult readDataFile(QFile &file, const QString &path, qint32 startLocation, LoadResult result)
{
    Q_ASSERT(startLocation >= 0);
    const qint64 size = result.source.size;
    if (size < qint64(startLocation) + FormationTable::ByteCount) {
        LoadResult refused = tooShort(path, size, startLocation);
        // What a user meets who loaded the game executable first: the start
        // location box still holds its offset. Each caller says how to give 0.
        refused.fitsFromFirstByte = startLocation > 0 && size >= FormationTable::ByteCount;
        return refused;
    }
    QString error;
    if (!readTable(file, startLocation, &result.source, &error))
        return readFailure(path, error);
    result.ok = true;
    result.table = result.source.tableBytes;
    result.startLocation = startLocation;
    return result;
}

// `byContent`: the file is searched because it begins as a program does,
// not because of its name.
LoadResult searchExecutable(QFile &file, const QString &path, LoadResult result,
                            const SearchProgress &progress, const SearchSettings &settings,
                            bool byContent)
{
    const qint64 size = result.source.size;
    const QString hint = byContent ? ReadAsDataHint : QString();
    if (size <= settings.scanStart)
        return failure(
            QStringLiteral("%1 is not the game executable: it holds %2 bytes, and the "
                           "formation table is searched for from byte %3 on.%4")
                .arg(shownPath(path), grouped(size), grouped(settings.scanStart + 1), hint));

    const SearchResult search = searchSignature(file, size, progress, settings);
    if (!search.readError.isEmpty())
        return readFailure(path, search.readError);
    if (search.offset < 0)
        return failure(QStringLiteral("The formation table was not found in %1: no signature "
                                      "00 25 03 00 AA at or after byte %2. The file does not "
                                      "look like the game's executable.%3")
                           .arg(shownPath(path), grouped(settings.scanStart + 1), hint));
    if (search.offset > std::numeric_limits<qint32>::max())
        return failure(QStringLiteral("The formation table in %1 is at start location %2, "
                                      "beyond the largest start location, %3.")
                           .arg(shownPath(path), grouped(search.offset),
                                grouped(std::numeric_limits<qint32>::max())));
    if (search.offset + FormationTable::ByteCount > size)
        return tooShort(path, size, search.offset);
    QString error;
    if (!readTable(file, search.offset, &result.source, &error))
        return readFailure(path, error);
    result.ok = true;
    result.table = result.source.tableBytes;
    result.startLocation = static_cast<qint32>(search.offset);
    result.foundBySignature = true;
    return result;
}

} // namespace

LoadResult loadFromDataFile(const QString &path, qint32 startLocation)
{
    if (std::optional<LoadResult> refused = unfinishedSave(path))
        return *refused;
    QFile file(path);
    LoadResult result;
    if (const QString cannot = openAndLook(file, &result.source); !cannot.isEmpty())
        return openFailure(path, cannot);
    return readDataFile(file, path, startLocation, result);
}

LoadResult loadFromExecutable(const QString &path, const SearchProgress &progress,
                              const SearchSettings &settings)
{
    if (std::optional<LoadResult> refused = unfinishedSave(path))
        return *refused;
    QFile file(path);
    LoadResult result;
    if (const QString cannot = openAndLook(file, &result.source); !cannot.isEmpty())
        return openFailure(path, cannot);
    return searchExecutable(file, path, result, progress, settings, false);
}

namespace
{

// The table a text file gives, read from its first byte again.
LoadResult readTextFile(QFile &file, const QString &path, const TableTextReading &text,
                        LoadResult result)
{
    QByteArray bytes(text.maxBytes + 1, '\0');
    if (!file.seek(0))
        return readFailure(path, file.errorString());
    const qint64 got = readUpTo(file, bytes.data(), bytes.size());
    if (got < 0)
        return readFailure(path, file.errorString());
    bytes.resize(got);
    QString error;
    const std::optional<QByteArray> table = text.readWhole(bytes, &error);
    if (!table)
        return failure(QStringLiteral("%1 begins as a formation table text, but is not a whole "
                                      "table this program can read: %2 To read its bytes as a "
                                      "formation data file instead, give a start location.")
                           .arg(shownPath(path), error));
    Q_ASSERT(table->size() == FormationTable::ByteCount);
    result.ok = true;
    result.table = *table;
    result.fromText = true;
    return result;
}

LoadResult load(const QString &path, const QString &startText, StartGiven given,
                const SearchProgress &progress, const SearchSettings &settings,
                const TableTextReading *text)
{
    if (isProgramNameForLoad(path))
        return loadFromExecutable(path, progress, settings);
    if (std::optional<LoadResult> refused = unfinishedSave(path))
        return *refused;
    const StartLocation start = startLocationFromText(startText);
    if (!start.ok && given == StartGiven::Yes)
        return failure(QStringLiteral("%1 was not loaded. %2").arg(shownPath(path), start.error));

    // One open for looking at the first bytes and reading the table, so
    // that both are of the same file.
    QFile file(path);
    LoadResult result;
    if (const QString cannot = openAndLook(file, &result.source); !cannot.isEmpty())
        return openFailure(path, cannot);
    if (given == StartGiven::No) {
        // Two bytes tell a program; a text needs its first row.
        char head[TableTextHeadBytes] = {};
        const qint64 got = readUpTo(file, head, text ? qint64(sizeof head) : 2);
        if (got < 0)
            return readFailure(path, file.errorString());
        const QByteArrayView seen(head, got);
        if (beginsAsProgram(seen))
            return searchExecutable(file, path, result, progress, settings, true);
        if (text && text->beginsAsText(seen))
            return readTextFile(file, path, *text, result);
    }
    if (!start.ok)
        return failure(QStringLiteral("%1 was not loaded. %2").arg(shownPath(path), start.error));
    return readDataFile(file, path, start.value, result);
}

} // namespace

LoadResult loadTable(const QString &path, const QString &startText, StartGiven given,
                     const SearchProgress &progress, const SearchSettings &settings)
{
    return load(path, startText, given, progress, settings, nullptr);
}

LoadResult loadTableOrText(const QString &path, const QString &startText, StartGiven given,
                           const TableTextReading &text, const SearchProgress &progress,
                           const SearchSettings &settings)
{
    Q_ASSERT(text.beginsAsText && text.readWhole && text.maxBytes > 0);
    return load(path, startText, given, progress, settings, &text);
}
