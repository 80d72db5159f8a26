// The whole export process, as a user runs it, against two floors: a plain
// QtCore program that reads the same file and writes a JSON document (built
// with this benchmark, bench/qtcore_export.cpp), and `cat FILE > /dev/null`.
// Files: a generated 64 MiB game executable (the table signature 4 KiB
// before the end) and the bundled sample data file, in the page cache. Each
// process is started directly, its output thrown away, and the processes
// take turns, so that a change of load on the machine meets all of them
// alike. KGF_BENCH_OTHER=PATH also times the export of another build of the
// program. Prints the median and mean times and the ratios of the medians.
#include "bench_files.h"
#include "process_run.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <string>

namespace
{

const char *const Files[] = {"64 MiB game executable", "sample frmation.dat"};
const char *const Commands[] = {"export", "other", "QtCore", "cat"};

std::string fileFor(int which)
{
    return which == 0 ? benchExecutable(64 * MiB).toStdString() : std::string(SAMPLE_TABLE);
}

// The processes of one file, by the name of Commands; empty: not timed.
std::vector<std::string> commandFor(int file, int command)
{
    const std::string path = fileFor(file);
    const char *other = std::getenv("KGF_BENCH_OTHER");
    switch (command) {
    case 0:
        return {PROGRAM, "export", path};
    case 1:
        return other != nullptr ? std::vector<std::string>{other, "export", path}
                                : std::vector<std::string>{};
    case 2: // it reads the first 1,488 bytes only: a floor for the data file alone
        return file == 1 ? std::vector<std::string>{QTCORE_EXPORT, path}
                         : std::vector<std::string>{};
    default:
        return {"/bin/cat", path};
    }
}

std::map<std::pair<int, int>, std::vector<double>> samples; // (file, command) -> seconds

} // namespace

// Argument: 0 the 64 MiB executable, 1 the sample data file.
static void ExportProcesses(benchmark::State &state)
{
    const int file = int(state.range(0));
    for (auto _ : state)
        for (int command = 0; command < 4; ++command) {
            const std::vector<std::string> arguments = commandFor(file, command);
            if (arguments.empty())
                continue;
            const double seconds = timedProcess(arguments);
            if (seconds < 0) {
                state.SkipWithError("a process failed");
                return;
            }
            samples[{file, command}].push_back(seconds);
        }
}
BENCHMARK(ExportProcesses)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(8.0)
    ->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    std::printf("\nSummary: median (mean) real time per process, ms\n");
    std::printf("%-24s", "file");
    for (const char *command : Commands)
        std::printf(" %16s", command);
    std::printf(" %8s %8s\n", "/QtCore", "/cat");
    for (int file : {0, 1}) {
        std::map<int, double> medians;
        std::printf("%-24s", Files[file]);
        for (int command = 0; command < 4; ++command) {
            const std::vector<double> &times = samples[{file, command}];
            if (times.empty()) {
                std::printf(" %16s", "-");
                continue;
            }
            medians[command] = median(times);
            const double mean = std::accumulate(times.begin(), times.end(), 0.0) / times.size();
            std::printf(" %7.2f (%6.2f)", medians[command] * 1e3, mean * 1e3);
        }
        for (int floor : {2, 3}) {
            if (medians.count(0) && medians.count(floor))
                std::printf(" %7.2fx", medians[0] / medians[floor]);
            else
                std::printf(" %8s", "-");
        }
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
