// The start of the program's window, as a whole process: from starting the
// program to its first window shown and painted, then an orderly exit. The
// probe library window_shown_probe is preloaded to end the program there.
// Runs on the display named by DISPLAY, else on Qt's offscreen platform.
// KGF_BENCH_OTHER=PATH also times another build of the program, such as an
// earlier one, taking turns with this one. Prints the median and mean times.
#include "process_run.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>

namespace
{

bool onDisplay()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

std::vector<double> samples[2]; // this build, KGF_BENCH_OTHER

} // namespace

static void WindowStart(benchmark::State &state)
{
    const char *other = std::getenv("KGF_BENCH_OTHER");
    const std::vector<std::string> programs = other != nullptr
                                                  ? std::vector<std::string>{PROGRAM, other}
                                                  : std::vector<std::string>{PROGRAM};
    std::vector<std::string> environment{"LD_PRELOAD=" WINDOW_SHOWN_PROBE};
    if (!onDisplay())
        environment.push_back("QT_QPA_PLATFORM=offscreen");
    for (auto _ : state)
        for (std::size_t which = 0; which < programs.size(); ++which) {
            const double seconds = timedProcess({programs[which]}, environment);
            if (seconds < 0) {
                state.SkipWithError("the window did not start and end");
                return;
            }
            samples[which].push_back(seconds);
        }
}
BENCHMARK(WindowStart)->Unit(benchmark::kMillisecond)->MinTime(8.0)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    std::printf("\nSummary: start to the first window shown, on %s, median (mean)\n",
                onDisplay() ? "the display DISPLAY names" : "the offscreen platform");
    const char *names[] = {"this build", "KGF_BENCH_OTHER"};
    for (int which : {0, 1}) {
        const std::vector<double> &times = samples[which];
        if (!times.empty())
            std::printf("%-16s %8.2f ms (%6.2f ms)\n", names[which], median(times) * 1e3,
                        std::accumulate(times.begin(), times.end(), 0.0) / times.size() * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
