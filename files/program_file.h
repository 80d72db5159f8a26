#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// Which files are programs. A program is known by its name or by its first
// two bytes: every Windows program begins with the executable header "MZ",
// and a formation data file in practice never does. Each decision has its
// own rule, named for what it decides.

// Whether `head`, the first bytes of a file, begins as a program does.
bool beginsAsProgram(QByteArrayView head);

// Loading: a name whose last five characters, in upper case, are "F.EXE"
// (KGF.EXE, kgf.exe, self.exe) names the game executable, which is searched
// for the table's signature whatever it holds. Other names are searched only
// when the file begins as a program does and no start location is given.
bool isProgramNameForLoad(const QString &path);

// Saving: a name ending in ".exe" in any case, as Windows opens it (dots and
// blanks at the end dropped), names a program, whose table is written at its
// signature and never over its first bytes.
bool isProgramNameForSave(const QString &path);

// Saving, with the file's content: a name as above, or a regular file that
// begins as a program does, whatever its name (KGF.EXE.bak, kgf.exe.orig, a
// renamed copy of the game). Only a regular file is read, so a device or a
// pipe is never opened; a file that cannot be read is judged by its name.
bool isProgramForSave(const QString &path);

// The same for a decision about where to write: nothing, with `reason`,
// where a regular file that is there cannot be read to tell, which must
// not be taken for "no program".
std::optional<bool> readsAsProgram(const QString &path, QString *reason);

// Writing an output (a text, a picture): a program for the save, or a file
// marked executable that is one (on Windows by its name's ending; elsewhere
// a script or an ELF binary, since disks of Windows mounted there mark every
// file executable).
bool isProgramForOutput(const QString &path);

// Whom a start location is refused for: the game executable being read, or
// a program being written into; either has its table at its signature.
enum class ProgramUse { Load, Save };
// The sentence that says so, naming `path` and the start option `option`
// (without its dashes).
QString startNotForProgram(ProgramUse use, const QString &path, const char *option);
