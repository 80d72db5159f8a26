// Both ways of loading a table from a real file, against a reference that
// reads the whole file and looks at every position.
//
// Input: 1 byte of piece size for the search, 2 bytes of start location
// (also the search's first position), then the file's bytes.
#include "formation_table.h"
#include "fuzz_check.h"
#include "table_loader.h"

#include <QBuffer>
#include <QDir>
#include <cstdint>

namespace
{

qint64 naiveSearch(const QByteArray &bytes, qint64 from)
{
    for (qint64 at = from; at + tableSignature().size() <= bytes.size(); ++at)
        if (bytes.mid(at, tableSignature().size()) == tableSignature())
            return at;
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    SearchSettings settings;
    settings.chunkSize = 1 + data[0] % 64;
    settings.scanStart = data[1] | (data[2] << 8);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    const QString path = scratchFile(QStringLiteral("kgf.exe"), bytes);

    // A data file read at the start location.
    const qint32 start = qint32(settings.scanStart);
    const LoadResult dataFile = loadFromDataFile(path, start);
    const bool fits = bytes.size() >= start + FormationTable::ByteCount;
    FUZZ_CHECK(dataFile.ok == fits, "data file of %lld bytes at %d: %s", qlonglong(bytes.size()),
               start, qPrintable(dataFile.error));
    if (fits)
        FUZZ_CHECK(dataFile.table == bytes.mid(start, FormationTable::ByteCount) &&
                       dataFile.startLocation == start,
                   "data file table differs");

    // The executable, searched piece by piece, from the file and from memory.
    const qint64 found = naiveSearch(bytes, settings.scanStart);
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const SearchResult inMemory = searchSignature(buffer, bytes.size(), {}, settings);
    FUZZ_CHECK(inMemory.offset == found && inMemory.readError.isEmpty(),
               "search in pieces of %lld from %lld found %lld, reference %lld", settings.chunkSize,
               settings.scanStart, inMemory.offset, found);

    const LoadResult executable = loadFromExecutable(path, {}, settings);
    const bool loads = bytes.size() > settings.scanStart && found >= 0 &&
                       found + FormationTable::ByteCount <= bytes.size();
    FUZZ_CHECK(executable.ok == loads, "executable: ok %d, reference %d: %s", int(executable.ok),
               int(loads), qPrintable(executable.error));
    if (loads)
        FUZZ_CHECK(executable.table == bytes.mid(found, FormationTable::ByteCount) &&
                       executable.startLocation == found && executable.foundBySignature,
                   "executable table differs");
    else
        FUZZ_CHECK(executable.table.isEmpty() && !executable.error.isEmpty() &&
                       executable.error.contains(QDir::toNativeSeparators(path)),
                   "a refused load says why and names the file: %s", qPrintable(executable.error));
    return 0;
}
