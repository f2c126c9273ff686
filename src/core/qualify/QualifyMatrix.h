#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/qualify/QualifyCell.h"

// The matrix: the cells of one case under one protocol, folded into ranges of equal outcome.

struct FoldedRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    CellOutcome outcome = CellOutcome::Pass;
    std::string detail;      // shared by every cell of the range: "254 bytes received"
    std::size_t sample = 0;  // index in the cells of the range's first cell
    std::size_t count = 0;   // cells in the range
};

struct FoldedRow {
    QualifyCase kind = QualifyCase::Case1;
    std::uint32_t protocol = 0;
    std::vector<FoldedRange> ranges;
};

// One row per case and protocol, in the order of the cells' first appearance; within a row
// the cells in ascending length, consecutive cells of equal outcome and detail in one range.
std::vector<FoldedRow> FoldCells(const std::vector<QualifyCell>& cells);

// "1–254: pass; 255–256: fail, 254 bytes received"
std::string RangesText(const FoldedRow& row);
// "case 2, Le 1–254: pass; 255–256: fail, 254 bytes received"
std::string RowText(const FoldedRow& row);
// "Le 255–256", "case 1": a range's own name, as a test case is named.
std::string RangeName(const FoldedRow& row, const FoldedRange& range);

// Time against length for one case under one protocol: the cells that ran, in ascending
// length.
struct TimingPoint {
    std::uint32_t length = 0;
    std::uint64_t micros = 0;
};
struct TimingSeries {
    QualifyCase kind = QualifyCase::Case1;
    std::uint32_t protocol = 0;
    std::vector<TimingPoint> points;
    double bytesPerSecond = 0;  // 0 when the points do not give one
};

// One series per case that carries data and protocol, cells that did not run left out.
std::vector<TimingSeries> TimingCurves(const std::vector<QualifyCell>& cells);
// The bytes a second the curve shows: the inverse of its least-squares slope, or, for a
// curve without a rising slope, the bytes over the time of all its points.
double Throughput(const std::vector<TimingPoint>& points);
