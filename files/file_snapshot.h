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
    qint64 modifiedNs = 0;  // as fileStatus gives it; only compared for equality
    qint64 tableOffset = 0; // where the table's bytes were read
    QByteArray tableBytes;  // what was read there (fewer than 1,488 when the file ends first)
};
