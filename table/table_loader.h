#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

// Loading the formation table from a formation data file at a start
// location, or from the game executable, where the table starts at a
// five-byte signature found at or after byte 1,350,000.

// 0-based offset at which the executable is searched (file position 1,350,000).
constexpr qint64 SignatureScanStart = 1'349'999;
// The table's own first five bytes.
inline const QByteArray &tableSignature()
{
    static const QByteArray signature("\x00\x25\x03\x00\xAA", 5);
    return signature;
}

// A path names the game executable when its last five characters, in upper
// case, are "F.EXE" (KGF.EXE, kgf.exe, self.exe).
bool isExecutablePath(const QString &path);

// Called with the 1-based file position the search has reached.
using SearchProgress = std::function<void(qint64 position)>;

// 0-based offset of the first signature that starts at or after `from`, or
// -1. `progress` hears `from` + 1 first and then the position reached, at
// most once per `interval` milliseconds.
qint64 findSignature(QByteArrayView data, qint64 from, const SearchProgress &progress = {},
                     int intervalMs = 50);

struct LoadResult {
    bool ok = false;
    QByteArray table;         // 1,488 bytes when ok
    qint32 startLocation = 0; // where the table was read from
    bool foundBySignature = false;
    QString error; // for the user, naming the file, when not ok
};

// The start-location box's text as a start location: its leading number,
// rounded half to even. Refused (with a message) when it is negative or does
// not fit a signed 32-bit integer.
struct StartLocation {
    bool ok = false;
    qint32 value = 0;
    QString error;
};
StartLocation startLocationFromText(const QString &text);

LoadResult loadFromDataFile(const QString &path, qint32 startLocation);
LoadResult loadFromExecutable(const QString &path, const SearchProgress &progress = {});

// Loads `path` as the user's Load does: the game executable by its
// signature, any other file at the start location typed as `startText`.
LoadResult loadTable(const QString &path, const QString &startText,
                     const SearchProgress &progress = {});
