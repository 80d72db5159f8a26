#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// A program is known by its name or by its first two bytes: every Windows
// program begins with the executable header "MZ", and a formation data file
// in practice never does.

// Whether `head`, the first bytes of a file, begins as a program does.
bool beginsAsProgram(QByteArrayView head);

// Whether `path` is a program: its name ends in ".exe" (isProgramPath), or
// it is a regular file that begins as a program does, whatever its name
// (KGF.EXE.bak, kgf.exe.orig, a renamed copy of the game). Only a regular
// file is read, so a device or a pipe is never opened; a file that cannot
// be read is judged by its name alone.
bool isProgramFile(const QString &path);

// The same for a decision about where to write: nothing, with `reason`,
// where a regular file that is there cannot be read to tell, which must
// not be taken for "no program".
std::optional<bool> readsAsProgram(const QString &path, QString *reason);
