#pragma once

// What the fuzz targets share: a check that stops the run with the input's
// story when the code and its reference disagree, and the reference
// reading of a decimal text.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// libFuzzer keeps the input that made the process stop; a replay run fails.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s\n  ", #condition);                         \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fprintf(stderr, "\n");                                                            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The C library's reading of an ASCII decimal text. Fuzz targets never
// create a Qt application, so the C locale, with its point, is in force.
inline double referenceDecimal(const QByteArray &ascii)
{
#ifdef __MINGW32__
    // The Windows C library's strtod does not round every text correctly;
    // MinGW's own one does.
    return __mingw_strtod(ascii.constData(), nullptr);
#else
    return std::strtod(ascii.constData(), nullptr);
#endif
}

// The same double, or both zero (a zero's sign does not matter here).
inline bool sameValue(double a, double b)
{
    return a == b || (a != a && b != b);
}

// A file named `name` holding `bytes`, in a folder kept for the whole run.
inline QString scratchFile(const QString &name, const QByteArray &bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(bytes) == bytes.size(),
               "cannot write %s", qPrintable(path));
    return path;
}
