// The whole export process, as a user runs it, against two floors in one
// run: a plain QtCore program that reads the same file and writes a JSON
// document (built with this benchmark, bench/qtcore_export.cpp), and `cat
// FILE > /dev/null`. Files: a generated 64 MiB game executable (the table
// signature 4 KiB before the end) and the bundled sample data file, in the
// page cache. Each process is started directly, its output thrown away.
// KGF_BENCH_OTHER=PATH also times the export of another build of the
// program, such as an earlier one. Prints the mean times and their ratios.
#include "bench_files.h"
#include "process_run.h"
#include "summary_reporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace
{

std::string fileFor(int which)
{
    return which == 0 ? benchExecutable(64 * MiB).toStdString() : std::string(SAMPLE_TABLE);
}

std::string otherProgram()
{
    const char *other = std::getenv("KGF_BENCH_OTHER");
    return other != nullptr ? other : "";
}

void timeProcess(benchmark::State &state, const std::vector<std::string> &arguments)
{
    for (auto _ : state)
        if (!runProcess(arguments))
            state.SkipWithError("the process failed");
}

} // namespace

static void ProgramExport(benchmark::State &state)
{
    timeProcess(state, {PROGRAM, "export", fileFor(int(state.range(0)))});
}

static void OtherExport(benchmark::State &state)
{
    if (otherProgram().empty())
        state.SkipWithError("KGF_BENCH_OTHER is not set");
    else
        timeProcess(state, {otherProgram(), "export", fileFor(int(state.range(0)))});
}

// It reads the first 1,488 bytes only, so it is a floor for the data file alone.
static void QtCoreExport(benchmark::State &state)
{
    timeProcess(state, {QTCORE_EXPORT, fileFor(int(state.range(0)))});
}

static void Cat(benchmark::State &state)
{
    timeProcess(state, {"/bin/cat", fileFor(int(state.range(0)))});
}

// Argument 0: the 64 MiB executable; 1: the sample data file.
BENCHMARK(ProgramExport)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(OtherExport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(QtCoreExport)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(Cat)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto ms = [&reporter](const std::string &name) {
        const auto found = reporter.seconds.find(name);
        return found == reporter.seconds.end() ? -1.0 : found->second * 1e3;
    };
    auto cell = [](double value) {
        if (value < 0)
            std::printf(" %11s", "-");
        else
            std::printf(" %8.2f ms", value);
    };
    auto ratio = [](double a, double b) {
        if (a < 0 || b < 0)
            std::printf(" %8s", "-");
        else
            std::printf(" %7.2fx", a / b);
    };
    std::printf("\nSummary (mean real time per process)\n");
    std::printf("%-24s %11s %11s %11s %11s %8s %8s\n", "file", "export", "other", "QtCore", "cat",
                "/QtCore", "/cat");
    const char *names[] = {"64 MiB game executable", "sample frmation.dat"};
    for (int which : {0, 1}) {
        const std::string arg = "/" + std::to_string(which);
        const double ours = ms("ProgramExport" + arg);
        const double floor = ms("QtCoreExport" + arg);
        const double cat = ms("Cat" + arg);
        std::printf("%-24s", names[which]);
        for (double value : {ours, ms("OtherExport" + arg), floor, cat})
            cell(value);
        ratio(ours, floor);
        ratio(ours, cat);
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
