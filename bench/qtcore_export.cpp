// The floor for the program's export: a plain QtCore program that reads the
// table from the file named first and writes it to standard output as a
// JSON document, one object per line.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile in(QCoreApplication::arguments().value(1));
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray table = in.read(1488);
    QJsonArray lines;
    for (qsizetype at = 0; at + 16 <= table.size(); at += 16) {
        const auto *line = reinterpret_cast<const uchar *>(table.constData() + at);
        lines.append(QJsonObject{{"type", line[1]},
                                 {"count", line[2]},
                                 {"x", qFromLittleEndian<qint32>(line + 4)},
                                 {"y", qFromLittleEndian<qint32>(line + 8)},
                                 {"z", qFromLittleEndian<qint32>(line + 12)}});
    }
    QFile out;
    return out.open(stdout, QIODevice::WriteOnly) &&
                   out.write(QJsonDocument(QJsonObject{{"lines", lines}}).toJson()) > 0
               ? 0
               : 1;
}
