// Writes the bundled sample formation table: 31 invented formations with
// plausible values (1 to 8 aircraft, every type and modifier somewhere,
// offsets of a few hundred feet, some negative).
#include "formation_line.h"
#include "formation_table.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: make-sample-table OUTPUT\n";
        return 2;
    }

    QByteArray table;
    quint32 seed = 0x4B4746u; // fixed, so the sample is the same on every run
    auto next = [&seed](int modulo) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % quint32(modulo));
    };
    for (int f = 0; f < FormationTable::FormationCount; ++f) {
        for (int l = 1; l <= FormationTable::LinesPerFormation; ++l) {
            const int lineNumber = 3 * f + (l - 1);
            FormationLine line;
            line.byte0 = quint8(l);
            line.typeCode = quint8((lineNumber % 8) | ((lineNumber / 8) % 16) << 4);
            line.count = quint8(1 + next(8));
            line.byte3 = 0;
            // Feet times 21, as the game stores them.
            line.xOffset = (next(801) - 400) * 21;
            line.yOffset = (next(601) - 300) * 21;
            line.zOffset = (next(201) - 100) * 21 + next(21);
            table.append(line.toBytes());
        }
    }

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(table) != FormationTable::ByteCount ||
        !out.flush()) {
        QTextStream(stderr) << "cannot write " << out.fileName() << ": " << out.errorString()
                            << "\n";
        return 1;
    }
    return 0;
}
