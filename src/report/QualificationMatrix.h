#pragma once

#include <QString>
#include <utility>
#include <vector>

#include "core/qualify/QualifyCell.h"

// The folded qualification matrix as the window and the HTML page show it: per protocol, the
// ranges of equal outcome; rows split where any protocol's outcome changes.

// Lengths `first` to `last` of one case under one protocol, all with the same outcome.
struct MatrixRange {
    QString caseName;    // "case 2"
    QString lengthName;  // "Le", "Lc"; empty for a case without a length
    int first = 0;
    int last = 0;
    CellOutcome result = CellOutcome::Pass;
    QString outcome;  // "pass", "fail, 254 bytes received"
    // The range's first failing cell: expected and received bytes, first difference, status
    // word and time, one fact a line; empty for a range that did not fail.
    QString detail;
};

// One protocol's column: "T=0" or "T=1" and its ranges in battery order.
struct MatrixColumn {
    QString protocol;
    std::vector<MatrixRange> ranges;
};

// One row: a case's lengths `first` to `last`, and in each column the range holding them
// (null where that protocol ran no such cell).
struct MatrixRow {
    QString caseName;
    QString lengthName;
    int first = 0;
    int last = 0;
    std::vector<const MatrixRange*> cells;
};

// The rows of `columns`, cases in the order they first appear; the rows point into `columns`.
std::vector<MatrixRow> MatrixRows(const std::vector<MatrixColumn>& columns);

// "Le 1–254", "Lc 7", or "" for a case without a length.
QString RowLengthsText(const MatrixRow& row);

// Time against length of one case under one protocol: (length, microseconds) in length order.
struct TimingCurve {
    QString caseName;
    QString protocol;
    std::vector<std::pair<double, double>> points;
};

// The battery's cells as the matrix shows them: a column per protocol in the order the cells
// name them, each case's cells folded into ranges of equal outcome.
std::vector<MatrixColumn> MatrixColumnsOf(const std::vector<QualifyCell>& cells);
// Time against length per case and protocol, of the cells that ran.
std::vector<TimingCurve> TimingCurvesOf(const std::vector<QualifyCell>& cells);
// A failing cell, one fact a line: expected and received bytes (around the first difference
// when long), the first difference, the status word, the PC/SC code, the time, the reason.
QString FailedCellText(const QualifyCell& cell);
