#pragma once

#include <QByteArray>
#include <QString>

// Writing a whole output file (a picture, a text) by the program's rules: a
// regular file is replaced only once all of it is written, and read back
// before it counts as written; a folder, a dangling link or a read-only
// file is refused. Gives why not, in words for the user; empty when
// written.
//
// What else may be written: the window saves regular files only (a new name
// or an existing regular file). The command line also writes into devices
// and FIFOs, as a shell's "> OUT" does (a stream, never replaced), and into
// the file its standard output or error is redirected to through that
// stream, so that it stays the same file and keeps its append mode.
enum class OutputKinds { RegularFiles, StreamsToo };
QString writeOutputFile(const QString &path, const QByteArray &bytes, OutputKinds kinds);

// Whether `a` and `b` name one existing file, under any names (links too).
bool isSameFile(const QString &a, const QString &b);
