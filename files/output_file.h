#pragma once

#include <QByteArray>
#include <QString>

// Writing a whole output file (a picture, a text) by the program's rules: a
// regular file is replaced only once all of it is written, and read back
// before it counts as written; a device or pipe is a stream and is written
// to, never replaced; a folder, a dangling link, a read-only file or a
// program is refused. Gives why not, in words for the user; empty when
// written.
QString writeOutputFile(const QString &path, const QByteArray &bytes);

// Whether the output `path` would land on a program: by its name or its
// first bytes, or a file marked executable.
bool isProgramOutput(const QString &path);

// Whether `a` and `b` name one existing file, under any names (links too).
bool isSameFile(const QString &a, const QString &b);
