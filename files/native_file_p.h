#pragma once

// What native_file.cpp shares with the platform's half of the layer,
// native_file_unix.cpp or native_file_win.cpp; no other file includes it.

#include "native_file.h"

namespace nativefile
{

// Before a system call: the fault a test has it fail with, to be set where
// the system sets its error (None: make the call). A short read or write
// cuts `length` instead, and a garbled one sets `garble`; both then give
// None.
SystemFault simulatedFault(const char *call, const QString &path, qint64 *length, bool *garble);

// Hands an open descriptor to `file`; on failure it is closed. QFile
// forgets the file's name once it has a descriptor: it is kept as the
// object's name, for the seam's calls.
OpenResult adopt(QFile &file, int descriptor, QIODevice::OpenMode mode);

// Closes a descriptor no QFile has taken; each platform's own.
void closeDescriptor(int descriptor);

// The path an open file was opened by.
QString nameOf(const QFile &file);

} // namespace nativefile
