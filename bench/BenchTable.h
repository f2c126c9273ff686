#pragma once

#include <optional>
#include <string>

// One row of the performance table: what was measured, the value in its unit, and the
// target it is held against, if any. Every benchmark program prints its rows in the same
// Markdown form, so that bench/run.sh can put them together into one table.
struct TableRow {
    std::string section;
    std::string measurement;
    double value = 0;
    std::string unit;
    int decimals = 1;
    std::string target;       // empty when the row has no target
    std::optional<bool> met;  // unset when the row has no target
};

// "| section | measurement | value unit | target | met |", flushed at once.
void PrintRow(const TableRow& row);

// The value with `decimals` digits after the point and thousands separated by commas.
std::string FormatNumber(double value, int decimals);
