#pragma once

#include "native_file.h"

#include <QByteArray>
#include <QString>

// What a load saw of its file, or a save left in it, so that a later save
// can tell whether another program changed the file meanwhile.
struct FileSnapshot {
    bool valid = false;
    QString path; // absolute, as it was named
    FileIdentity identity;
    qint64 size = 0;
    qint64 modifiedNs = 0; // as fileStatus gives it; only compared for equality
    // False where the system could not tell the time after the editor's own
    // write: then only the other facts tell another program's change.
    bool timeKnown = true;
    qint64 tableOffset = 0; // where the table's bytes were read
    QByteArray tableBytes;  // what was read there (fewer than 1,488 when the file ends first)
};

// Whether `snapshot` is of the file `path` names, now `identity`: the same
// file under any name, or whatever file has taken the snapshot's name since.
bool describes(const FileSnapshot &snapshot, const QString &path, const FileIdentity &identity);

// The two files a table is tied to, each watched for other programs'
// changes: the one it was loaded from and the one it was last saved to.
struct WatchedFiles {
    FileSnapshot loaded; // as the load saw it, or as a later save to it left it
    FileSnapshot saved;  // another file the table was last saved to, as that save left it
};

// After a save that wrote the table: the file it went to, as it is now,
// takes the place of the loaded file's snapshot when it is that file, else
// becomes the saved one.
void watchSaved(WatchedFiles &watched, const FileSnapshot &left);

// After a save that failed: what it left in a watched file replaces that
// file's snapshot, so that the editor's own write is not later taken for
// another program's change. A file not watched stays so.
void refreshWatched(WatchedFiles &watched, const FileSnapshot &left);
