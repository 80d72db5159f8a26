// Runs a fuzz target over saved inputs: every file named, and every file in
// every folder named. Any disagreement stops the run; exit 0 means all
// inputs passed.
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    QStringList inputs;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                inputs << it.next();
        } else {
            inputs << path;
        }
    }
    inputs.sort();
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const QString &input : inputs) {
        QFile file(input);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(input));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               size_t(bytes.size()));
    }
    std::printf("%lld inputs replayed\n", qlonglong(inputs.size()));
    return 0;
}
