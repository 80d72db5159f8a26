#pragma once

// Generated game executables for the benchmarks: pseudo-random bytes with
// the table signature 4 KiB before the end, made once per run in a
// temporary folder.

#include "table_loader.h"

#include <QFile>
#include <QTemporaryDir>

inline constexpr qint64 MiB = 1 << 20;

inline qint64 signatureOffset(qint64 size)
{
    return size - 4096;
}

inline QTemporaryDir &benchDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline QString benchExecutable(qint64 size)
{
    const QString path = benchDir().filePath(QStringLiteral("kgf%1.exe").arg(size / MiB));
    if (QFile::exists(path))
        return path;
    QByteArray bytes(size, '\0');
    quint32 seed = 12345;
    for (qint64 i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 24);
    }
    // Random bytes hold the signature's last byte once in 256 positions, as
    // machine code does often; a whole false signature is a 1 in 2^40 chance,
    // and each benchmark checks it found the planted one.
    bytes.replace(signatureOffset(size), 5, tableSignature());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}
