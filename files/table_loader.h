#pragma once

#include "file_snapshot.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <functional>
#include <optional>

// Loading the formation table from a formation data file at a start
// location, or from the game executable, where the table starts at a
// five-byte signature found at or after byte 1,350,000.

// 0-based offset at which the executable is searched (file position 1,350,000).
constexpr qint64 SignatureScanStart = 1'349'999;
// The table's own first five bytes.
inline constexpr char TableSignatureBytes[] = {0x00, 0x25, 0x03, 0x00, char(0xAA)};
inline const QByteArray &tableSignature()
{
    static const QByteArray signature(TableSignatureBytes, sizeof TableSignatureBytes);
    return signature;
}

// Called with the 1-based file position the search has reached.
using SearchProgress = std::function<void(qint64 position)>;

// How the executable is searched. The defaults are the game's; tests and
// fuzzing use small files, small pieces and constant reports.
struct SearchSettings {
    qint64 scanStart = SignatureScanStart; // 0-based offset of the first position examined
    qint64 chunkSize = 1 << 20;            // bytes read at a time; memory use is about this
    int progressIntervalMs = 50;           // least time between two progress reports
};

struct SearchResult {
    qint64 offset = -1; // 0-based offset of the signature, or -1 when there is none
    QString readError;  // why the device could not be read to the end; empty when it could
};

// Searches `device` (open, positioned anywhere) for the first signature that
// starts at or after `settings.scanStart` and ends by `end` bytes, reading it
// piece by piece. `progress` hears scanStart + 1 first and then the position
// reached, at most once per progress interval. Reading fewer bytes than `end`
// promised (a file shortened meanwhile) ends the search with a read error.
SearchResult searchSignature(QIODevice &device, qint64 end, const SearchProgress &progress = {},
                             const SearchSettings &settings = {});

// The same over bytes in memory, from 0-based offset `from`.
qint64 findSignature(QByteArrayView data, qint64 from, const SearchProgress &progress = {},
                     int intervalMs = 50);

// Every load refuses a file that a save did not finish writing
// (save_recovery.h) until that is settled.
struct LoadResult {
    bool ok = false;
    QByteArray table;         // 1,488 bytes when ok
    qint32 startLocation = 0; // where the table was read from
    bool foundBySignature = false;
    QString error;       // for the user, naming the file, when not ok
    FileSnapshot source; // the file as this load saw it, when ok
    // Not read because a save of it did not finish (a journal is beside
    // it): `error` names the command that settles it.
    bool unfinishedSave = false;
    // Not read because the file is too short for a table at the start
    // location, but holds one from its first byte on.
    bool fitsFromFirstByte = false;
    // Read from a table text (TableTextReading): `source` is the file, with
    // no table bytes of its own.
    bool fromText = false;
};

// The start-location box's text as a start location: its leading number
// (no exponent), rounded half to even. Refused (with a message) when it is negative or does
// not fit a signed 32-bit integer.
struct StartLocation {
    bool ok = false;
    qint32 value = 0;
    QString error;
};
StartLocation startLocationFromText(const QString &text);

LoadResult loadFromDataFile(const QString &path, qint32 startLocation);
LoadResult loadFromExecutable(const QString &path, const SearchProgress &progress = {},
                              const SearchSettings &settings = {});

// Whether the user gave the start location of a load (typed it into the
// window's box, or named it on the command line) or left it as it was.
enum class StartGiven { No, Yes };

// Loads `path` as the user's Load does: the game executable (a name ending
// in F.EXE) by its signature; any other file at the start location typed as
// `startText`, unless none was given and the file begins as a program does
// ("MZ": a backup or a renamed copy of the game), which is then searched
// like the game executable.
LoadResult loadTable(const QString &path, const QString &startText,
                     StartGiven given = StartGiven::No, const SearchProgress &progress = {},
                     const SearchSettings &settings = {});

// How a load that may meet a table text (JSON or CSV, as text/ writes it)
// reads one; the text room gives the two functions, since this room knows
// no text forms.
struct TableTextReading {
    // Whether a file's first bytes (TableTextHeadBytes at most) begin as a
    // table text does.
    bool (*beginsAsText)(QByteArrayView head) = nullptr;
    // The whole table a text gives, or nothing with `error` set (without
    // the file's name). Given at most `maxBytes` + 1 bytes, so that it can
    // tell a text that is too long.
    std::optional<QByteArray> (*readWhole)(QByteArrayView text, QString *error) = nullptr;
    qsizetype maxBytes = 0;
};
inline constexpr qsizetype TableTextHeadBytes = 4096;

// Loads as loadTable does, except that a file which begins as a table text
// is read as one, unless a start location is given or its name is the game
// executable's: the table a mod's text gives, for the command line's modes
// and the window's comparison with another file. Never for a file the
// window is to save into: a table's bytes would go over the text.
LoadResult loadTableOrText(const QString &path, const QString &startText, StartGiven given,
                           const TableTextReading &text, const SearchProgress &progress = {},
                           const SearchSettings &settings = {});
