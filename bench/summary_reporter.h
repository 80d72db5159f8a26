#pragma once

// Google Benchmark's console report, keeping each run's mean real time in
// seconds for a summary after the table, by "Function/argument".

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred)
                seconds[run.run_name.function_name + "/" + run.run_name.args] =
                    run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};
