// The start of the program's window, as a whole process: from starting the
// program to its first window shown and painted, then an orderly exit. The
// probe library window_shown_probe is preloaded to end the program there.
// Runs on the display named by DISPLAY, else on Qt's offscreen platform.
// KGF_BENCH_OTHER=PATH also times another build of the program, such as an
// earlier one, in the same run. Prints the mean times.
#include "process_run.h"
#include "summary_reporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

std::string programFor(int which)
{
    const char *other = std::getenv("KGF_BENCH_OTHER");
    return which == 0 ? PROGRAM : other != nullptr ? other : "";
}

bool onDisplay()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

} // namespace

// Argument 0: this build's program; 1: the one KGF_BENCH_OTHER names.
static void WindowStart(benchmark::State &state)
{
    const std::string program = programFor(int(state.range(0)));
    if (program.empty()) {
        state.SkipWithError("KGF_BENCH_OTHER is not set");
        return;
    }
    std::vector<std::string> environment{"LD_PRELOAD=" WINDOW_SHOWN_PROBE};
    if (!onDisplay())
        environment.push_back("QT_QPA_PLATFORM=offscreen");
    for (auto _ : state)
        if (!runProcess({program}, environment))
            state.SkipWithError("the window did not start and end");
}

BENCHMARK(WindowStart)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nSummary: start to the first window shown, on %s\n",
                onDisplay() ? "the display DISPLAY names" : "the offscreen platform");
    const char *names[] = {"this build", "KGF_BENCH_OTHER"};
    for (int which : {0, 1}) {
        const auto found = reporter.seconds.find("WindowStart/" + std::to_string(which));
        if (found != reporter.seconds.end())
            std::printf("%-16s %8.2f ms\n", names[which], found->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
