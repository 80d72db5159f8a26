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

// Writes all of `bytes` into the device or FIFO at `path` as a shell's
// "> path" does: the name is opened as it is (NUL and CON on Windows too),
// nothing is created, truncated or replaced, and a name that has meanwhile
// become a regular file is refused. The open waits only where it must: for
// the reader of a FIFO (as cat does), never for a device to be ready. A
// socket cannot be opened by name and is refused. False with the reason
// when not all of the bytes went in.
bool writeIntoDevice(const QString &path, QByteArrayView bytes, QString *reason);

// How a write to a standard stream ended.
enum class StreamWrite {
    Written,
    ReaderGone, // the program reading the pipe stopped reading (closed its end)
    Failed,
};

// Writes all of `bytes` to the standard stream `stream` (stdout or stderr)
// and flushes it. The reason is set only when Failed. Needs SIGPIPE
// ignored on POSIX systems, or a reader that has gone ends the program.
StreamWrite writeToStream(FILE *stream, QByteArrayView bytes, QString *reason);

// Why a write found no reader at the other end, in words for the user.
QString readerGoneReason();

// Whether `path` names a Unix-domain socket, which no program can open by
// its name (as a shell's "<" and ">" cannot); never on Windows.
bool isSocket(const QString &path);
// Why a socket is not `done` ("read", "written"), in words for the user.
QString socketReason(const char *done);
