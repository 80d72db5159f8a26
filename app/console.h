#pragma once

#include "stream_files.h"

#include <QByteArray>
#include <QString>

// What every mode prints with: results on standard output, messages on
// standard error, one line each, after the program's name.

// The exit status of a mode that failed, said in one line on standard
// error; of a command line that is wrong, said with the usage.
inline constexpr int FailedStatus = 1;
inline constexpr int UsageStatus = 2;

// Makes standard input, output and error usable for the text modes: on
// Windows the program is built for the window subsystem, so started from a
// console it has no standard streams until it attaches to that console
// (streams that are already redirected, to a file, a pipe or another
// program, are kept). Text goes through in binary, as written, on every
// system. Nothing to do on POSIX systems.
void connectStandardStreams();

// One line on standard error, after the program's name, with no control
// character of a name or an argument left to act on the terminal.
void tell(const QString &message);

// Says `message` and gives FailedStatus.
int fail(const QString &message);
// The same, with `path` as messages show it (shownPath) for %1.
int fail(const QString &message, const QString &path);

// Prints a usage error and the usage; gives UsageStatus.
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

// The standard stream, output or error, that is open on the file `target`:
// what the program prints would go into a file it writes. Null when neither.
const char *streamOnTarget(const QString &target);
// Says `message` on standard error, or where that is `target`, on standard
// output; where both are, nothing can be said without writing into it.
void tellAvoiding(const QString &target, const QString &message);
