#include "TableReporter.h"

#include <cstdio>

void TableReporter::Add(const std::string& name, std::function<void(benchmark::State&)> function,
                        RowLayout layout, int repetitions, benchmark::IterationCount iterations) {
    layouts_.insert_or_assign(name, std::move(layout));
    auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), std::move(function));
    benchmark->Repetitions(repetitions)->ReportAggregatesOnly(repetitions > 1)->UseRealTime();
    if (iterations > 0) {
        benchmark->Iterations(iterations);
    }
}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.error_occurred) {
            std::fprintf(stderr, "%s failed: %s\n", run.benchmark_name().c_str(),
                         run.error_message.c_str());
            continue;
        }
        const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (!single && !median) {
            continue;
        }
        const auto layout = layouts_.find(run.run_name.function_name);
        const auto counter = layout == layouts_.end() ? run.counters.end() : run.counters.find("v");
        if (counter == run.counters.end()) {
            continue;
        }
        const RowLayout& s = layout->second;
        const double value = counter->second.value;
        values_[layout->first] = value;
        TableRow row;
        row.section = s.section;
        row.measurement = s.measurement;
        row.value = value;
        row.unit = s.unit;
        row.decimals = s.decimals;
        row.target = s.target;
        if (s.check) {
            double checked = value;
            if (!s.relativeTo.empty()) {
                const auto base = values_.find(s.relativeTo);
                checked = base == values_.end() || base->second == 0 ? 0 : value / base->second;
                row.target += " (now " + FormatNumber(checked, 2) + "x)";
            }
            row.met = s.check(checked);
        }
        PrintRow(row);
    }
}
