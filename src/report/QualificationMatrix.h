#pragma once

#include <QString>
#include <utility>
#include <vector>

// The folded qualification matrix as the window and the HTML page show it: per protocol, the
// ranges of equal outcome; rows split where any protocol's outcome changes.

// Lengths `first` to `last` of one case under one protocol, all with the same outcome.
struct MatrixRange {
    QString caseName;    // "case 2"
    QString lengthName;  // "Le", "Lc"; empty for a case without a length
    int first = 0;
    int last = 0;
    bool passed = true;
    QString outcome;  // "pass", "fail, 254 bytes received"
    // The range's first failing cell: expected and received bytes, first difference, status
    // word and time, one fact a line; empty for a passing range.
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
