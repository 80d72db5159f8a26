#pragma once

#include "command_line.h"
#include "stream_files.h"
#include "table_loader.h"

// Loads FILE of a command-line mode as Load does, with the command line's
// own refusal and words: a start location given for the game executable
// (a name ending in F.EXE, whose table is found by its signature) is
// refused, and a file too short for a table there names --OPTION 0.
LoadResult loadForCommandLine(const QString &file, const QString &start, StartGiven given,
                              const char *option);

// Runs export, import, diff or recover, --help or --version, printing to standard
// output and error; gives the exit status. Needs a QCoreApplication.
int runTextMode(const Invocation &invocation);

// Prints a usage error and the usage; gives the exit status 2.
int reportUsageError(const QString &error);

// Writes all of `bytes` to standard output. False when not all went out:
// said in one line on standard error, except where the program reading a
// pipe stopped reading early (| head), which ends the output quietly.
bool writeStandardOutput(const QByteArray &bytes);
// The same, with how the write ended.
StreamWrite writeToStandardOutput(const QByteArray &bytes);

// Writes OUT of export or picture ("-": standard output) by the rules of
// writeOutputFile (output_file.h) for the command line. False when not
// written, said in one line on standard error.
bool writeOutput(const QString &path, const QByteArray &bytes);

// The formation names for a table from `tableFile`: of readorder.txt beside
// it, else in the working directory; none when neither is there. A problem
// with the file is said on standard error.
QStringList formationNamesFor(const QString &tableFile);

// One line on standard error, after the program's name, with no control
// character of a name or an argument left to act on the terminal.
void tell(const QString &message);
