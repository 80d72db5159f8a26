// The whole export process, as a user runs it, against `cat FILE > /dev/null`
// of the same file, on a generated 64 MiB game executable (the table
// signature 4 KiB before the end) and on the bundled sample data file.
// Files are in the page cache. Prints the mean times and their ratio in one
// run.
#include "bench_files.h"
#include "summary_reporter.h"

#include <QProcess>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace
{

QString fileFor(int which)
{
    return which == 0 ? benchExecutable(64 * MiB) : QStringLiteral(SAMPLE_TABLE);
}

// Runs a shell line with the program as $0 and the file as $1.
bool shell(const char *line, const QString &file)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QLatin1String(line),
                                                    QStringLiteral(PROGRAM), file}) == 0;
}

} // namespace

static void ExportProcess(benchmark::State &state)
{
    const QString file = fileFor(int(state.range(0)));
    for (auto _ : state)
        if (!shell("\"$0\" export \"$1\" > /dev/null", file))
            state.SkipWithError("export failed");
}

static void CatProcess(benchmark::State &state)
{
    const QString file = fileFor(int(state.range(0)));
    for (auto _ : state)
        if (!shell("cat \"$1\" > /dev/null", file))
            state.SkipWithError("cat failed");
}

// Argument 0: the 64 MiB executable; 1: the sample data file.
BENCHMARK(ExportProcess)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(CatProcess)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nSummary (mean real time per process)\n");
    std::printf("%-26s %12s %12s %8s\n", "file", "export", "cat", "ratio");
    const char *names[] = {"64 MiB game executable", "sample frmation.dat"};
    for (int which : {0, 1}) {
        const std::string arg = "/" + std::to_string(which);
        const auto ours = reporter.seconds.find("ExportProcess" + arg);
        const auto cat = reporter.seconds.find("CatProcess" + arg);
        if (ours == reporter.seconds.end() || cat == reporter.seconds.end())
            continue;
        std::printf("%-26s %9.2f ms %9.2f ms %7.2fx\n", names[which], ours->second * 1e3,
                    cat->second * 1e3, ours->second / cat->second);
    }
    benchmark::Shutdown();
    return 0;
}
