// A console reporter that also keeps the time per conversion ("per_conv" counter) of every run,
// so a benchmark program can print ratios of its runs side by side after they finish.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tvlr_bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const auto it = run.counters.find("per_conv");
            if (it != run.counters.end()) seconds[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> seconds;
};

}  // namespace tvlr_bench
