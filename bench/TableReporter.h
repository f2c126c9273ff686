#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BenchTable.h"

// How a benchmark becomes a table row: its value is its user counter "v" (the median over
// the repetitions when there are several), held against the row's target when it has one.
struct RowLayout {
    RowLayout(std::string section, std::string measurement, std::string unit, int decimals)
        : section(std::move(section)),
          measurement(std::move(measurement)),
          unit(std::move(unit)),
          decimals(decimals) {}

    // The target's text and the test of the value against it.
    RowLayout& Target(std::string text, std::function<bool(double)> test) {
        target = std::move(text);
        check = std::move(test);
        return *this;
    }
    // Checks the ratio to the value of another row instead of the value itself.
    RowLayout& RelativeTo(std::string name) {
        relativeTo = std::move(name);
        return *this;
    }

    std::string section;
    std::string measurement;
    std::string unit;
    int decimals;
    std::string target;
    std::function<bool(double)> check;
    std::string relativeTo;
};

// Google Benchmark's results as table rows; the console output of the library is left out.
class TableReporter : public benchmark::BenchmarkReporter {
  public:
    // Registers `function` under `name` and the row it produces; `iterations` fixes the
    // iterations of each repetition (0: the library chooses).
    void Add(const std::string& name, std::function<void(benchmark::State&)> function,
             RowLayout layout, int repetitions, benchmark::IterationCount iterations = 0);

    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override;

  private:
    std::map<std::string, RowLayout> layouts_;
    std::map<std::string, double> values_;
};
