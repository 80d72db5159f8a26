// Load speed on generated game executables of 4 MiB and 64 MiB with the
// table signature near the end. Prints, in one run:
//   - our whole load (one read of the file, search in memory, table bytes),
//   - a plain read of the same file into memory, the floor for any load,
//   - the old byte-at-a-time search (five one-byte reads at explicit
//     positions for every examined position) over a short span, scaled to
//     the whole search. Its per-position repaint is left out, which only
//     flatters it.
#include "table_loader.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace
{

constexpr qint64 MiB = 1 << 20;
constexpr qint64 ByteAtATimeSpan = 100'000; // positions examined per iteration

qint64 signatureOffset(qint64 size)
{
    return size - 4096;
}

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Pseudo-random bytes with the signature 4 KiB before the end.
QString executable(qint64 size)
{
    const QString path = workDir().filePath(QStringLiteral("kgf%1.exe").arg(size / MiB));
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
    // and OurLoad checks it found the planted one.
    bytes.replace(signatureOffset(size), 5, tableSignature());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

static void OurLoad(benchmark::State &state)
{
    const QString path = executable(state.range(0) * MiB);
    for (auto _ : state) {
        const LoadResult result = loadFromExecutable(path);
        if (!result.ok || result.startLocation != signatureOffset(state.range(0) * MiB))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(result.table.data());
    }
}

static void PlainRead(benchmark::State &state)
{
    const QString path = executable(state.range(0) * MiB);
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            state.SkipWithError("open failed");
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.data());
    }
}

// The search as first written: at each position, five one-byte reads.
static void ByteAtATime(benchmark::State &state)
{
    const QString path = executable(state.range(0) * MiB);
    const QByteArray &signature = tableSignature();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("open failed");
        qint64 matches = 0;
        for (qint64 p = SignatureScanStart; p < SignatureScanStart + ByteAtATimeSpan; ++p) {
            bool match = true;
            for (int k = 0; k < 5; ++k) {
                char byte = 0;
                file.seek(p + k);
                file.getChar(&byte);
                match = match && byte == signature[k];
            }
            matches += match;
        }
        benchmark::DoNotOptimize(matches);
    }
}

BENCHMARK(OurLoad)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(PlainRead)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(ByteAtATime)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each run's mean real time, for the summary after the table.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name + "/" + run.run_name.args] =
                    run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nSummary (mean real time per load)\n");
    std::printf("%-8s %12s %12s %8s %22s %12s\n", "size", "our load", "plain read", "ratio",
                "byte-at-a-time (scaled)", "speed-up");
    for (int mib : {4, 64}) {
        const std::string arg = "/" + std::to_string(mib);
        const auto ours = reporter.seconds.find("OurLoad" + arg);
        const auto plain = reporter.seconds.find("PlainRead" + arg);
        const auto slow = reporter.seconds.find("ByteAtATime" + arg);
        if (ours == reporter.seconds.end() || plain == reporter.seconds.end() ||
            slow == reporter.seconds.end())
            continue;
        // The old search examines every position from the scan start to the signature.
        const double positions = double(signatureOffset(mib * MiB) - SignatureScanStart + 1);
        const double scaled = slow->second * positions / double(ByteAtATimeSpan);
        std::printf("%4d MiB %10.2f ms %10.2f ms %7.2fx %20.1f s %11.0fx\n", mib,
                    ours->second * 1e3, plain->second * 1e3, ours->second / plain->second, scaled,
                    scaled / ours->second);
    }
    benchmark::Shutdown();
    return 0;
}
