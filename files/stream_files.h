#pragma once

#include "native_file.h"

#include <QByteArrayView>
#include <QString>
#include <cstdio>

// Names that are written into, never replaced: devices, pipes and sockets,
// and the files the program's own standard streams are open on.

// Which regular file `path` names, links followed; not valid when it names
// none or cannot be opened.
FileIdentity regularFileIdentity(const QString &path);

// Which file the standard stream `stream` (stdin, stdout or stderr) is open
// on; not valid when the system cannot tell (a console on Windows).
FileIdentity streamIdentity(FILE *stream);

// Writes all of `bytes` into the device, FIFO or socket at `path` as a
// shell's "> path" does: the name is opened as it is (NUL and CON on
// Windows too), nothing is created, truncated or replaced, and a name that
// has meanwhile become a regular file is refused. A FIFO waits for its
// reader. False with the reason when not all of the bytes went in.
bool writeIntoDevice(const QString &path, QByteArrayView bytes, QString *reason);
