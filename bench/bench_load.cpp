// Load speed on generated game executables of 4 MiB and 64 MiB with the
// table signature 4 KiB before the end (files in the page cache). Prints,
// in one run:
//   - our whole load: the search read in 1 MiB pieces, then the table bytes;
//   - the floor for any load that reads: the same range read at once into
//     one buffer kept between runs, then scanned with memchr;
//   - `cat FILE > /dev/null` as a whole process, for scale.
#include "bench_files.h"
#include "summary_reporter.h"
#include "table_loader.h"

#include <QFile>
#include <QProcess>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

static void OurLoad(benchmark::State &state)
{
    const qint64 size = state.range(0) * MiB;
    const QString path = benchExecutable(size);
    for (auto _ : state) {
        const LoadResult result = loadFromExecutable(path);
        if (!result.ok || result.startLocation != signatureOffset(size))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(result.table.data());
    }
}

static void ReadOnceAndScan(benchmark::State &state)
{
    const qint64 size = state.range(0) * MiB;
    const QString path = benchExecutable(size);
    QByteArray buffer(size - SignatureScanStart, '\0'); // kept between runs
    const QByteArray &signature = tableSignature();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ||
            !file.seek(SignatureScanStart) ||
            file.read(buffer.data(), buffer.size()) != buffer.size())
            state.SkipWithError("read failed");
        const char *base = buffer.constData();
        qint64 found = -1;
        for (qint64 at = 4; at < buffer.size(); ++at) {
            const void *hit = std::memchr(base + at, signature[4], size_t(buffer.size() - at));
            if (!hit)
                break;
            at = static_cast<const char *>(hit) - base;
            if (std::memcmp(base + at - 4, signature.constData(), 4) == 0) {
                found = SignatureScanStart + at - 4;
                break;
            }
        }
        if (found != signatureOffset(size))
            state.SkipWithError("scan failed");
        const QByteArray table(base + found - SignatureScanStart, 1488);
        benchmark::DoNotOptimize(table.data());
    }
}

static void CatProcess(benchmark::State &state)
{
    const QString path = benchExecutable(state.range(0) * MiB);
    for (auto _ : state) {
        if (QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("cat \"$0\" > /dev/null"), path}) != 0)
            state.SkipWithError("cat failed");
    }
}

BENCHMARK(OurLoad)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(ReadOnceAndScan)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(CatProcess)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nSummary (mean real time per load)\n");
    std::printf("%-8s %12s %16s %8s %14s\n", "size", "our load", "read once+scan", "ratio",
                "cat process");
    for (int mib : {4, 64}) {
        const std::string arg = "/" + std::to_string(mib);
        const auto ours = reporter.seconds.find("OurLoad" + arg);
        const auto floor = reporter.seconds.find("ReadOnceAndScan" + arg);
        const auto cat = reporter.seconds.find("CatProcess" + arg);
        if (ours == reporter.seconds.end() || floor == reporter.seconds.end() ||
            cat == reporter.seconds.end())
            continue;
        std::printf("%4d MiB %10.2f ms %14.2f ms %7.2fx %11.2f ms\n", mib, ours->second * 1e3,
                    floor->second * 1e3, ours->second / floor->second, cat->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
