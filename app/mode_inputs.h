#pragma once

#include "command_line.h"
#include "table_loader.h"

#include <QString>
#include <QStringList>

// What the modes read besides their own files: tables as Load reads them,
// with the command line's words, and the formations' names.

// Loads FILE of a command-line mode as Load does, and a whole-table text
// (JSON or CSV) as the table it gives unless a start location is given,
// with the command line's own refusal and words: a start location given for the game executable
// (a name ending in F.EXE, whose table is found by its signature) is
// refused, and a file too short for a table there names --OPTION 0.
LoadResult loadForCommandLine(const QString &file, const QString &start, StartGiven given,
                              const char *option);

// Whether --`option` (a start location) was given at all, even as 0.
StartGiven startGiven(const Invocation &invocation, const char *option);

// Whether formationNamesFor says so when there is no names file anywhere.
enum class MissingNames { Unsaid, Said };

// The formation names for a table from `tableFile`: of readorder.txt beside
// it, else in the working directory; none when neither is there, which
// `missing` Said tells on standard error with both places. A problem with
// the file is said there too.
QStringList formationNamesFor(const QString &tableFile,
                              MissingNames missing = MissingNames::Unsaid);

// Whether the regular file at `path` begins as a table text does.
bool holdsTableText(const QString &path);
