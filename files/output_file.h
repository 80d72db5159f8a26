#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// What a refusal of an output says, with %1 where the output's path goes.
struct OutputRefusalWords {
    QString program; // the output is a program
    QString source;  // the output is one of the files the output is made from
};

// Why `output` must not be written, whatever the user says: it is a program
// (isProgramForOutput), or one of `sources` under any name, which it would
// take the place of. In `words`, with the path as messages show it; empty
// when neither holds.
QString unfitOutput(const QString &output, const QStringList &sources,
                    const OutputRefusalWords &words);
