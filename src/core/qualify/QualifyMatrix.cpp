#include "core/qualify/QualifyMatrix.h"

#include <algorithm>
#include <map>

namespace {
constexpr const char* kDash = "\u2013";

std::string Span(const FoldedRange& range) {
    std::string text = std::to_string(range.first);
    if (range.last != range.first) {
        text += kDash + std::to_string(range.last);
    }
    return text;
}

bool HasLength(QualifyCase kind) {
    return *LengthName(kind) != '\0';
}

bool CarriesData(QualifyCase kind) {
    return kind == QualifyCase::Case2 || kind == QualifyCase::Case3 || kind == QualifyCase::Case4 ||
           kind == QualifyCase::Case2Extended || kind == QualifyCase::Case3Extended;
}

// The cells of each case and protocol, in the order of their first appearance.
std::vector<std::pair<FoldedRow, std::vector<std::size_t>>> GroupCells(
    const std::vector<QualifyCell>& cells) {
    std::vector<std::pair<FoldedRow, std::vector<std::size_t>>> groups;
    std::map<std::pair<int, std::uint32_t>, std::size_t> index;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto key = std::make_pair(static_cast<int>(cells[i].kind), cells[i].protocol);
        auto found = index.find(key);
        if (found == index.end()) {
            found = index.emplace(key, groups.size()).first;
            FoldedRow row;
            row.kind = cells[i].kind;
            row.protocol = cells[i].protocol;
            groups.emplace_back(row, std::vector<std::size_t>{});
        }
        groups[found->second].second.push_back(i);
    }
    return groups;
}
}  // namespace

std::vector<FoldedRow> FoldCells(const std::vector<QualifyCell>& cells) {
    std::vector<FoldedRow> rows;
    for (auto& [row, members] : GroupCells(cells)) {
        std::stable_sort(members.begin(), members.end(), [&cells](std::size_t a, std::size_t b) {
            return cells[a].length < cells[b].length;
        });
        for (const std::size_t i : members) {
            const QualifyCell& cell = cells[i];
            if (!row.ranges.empty() && row.ranges.back().outcome == cell.outcome &&
                row.ranges.back().detail == cell.detail) {
                row.ranges.back().last = cell.length;
                ++row.ranges.back().count;
                continue;
            }
            row.ranges.push_back({cell.length, cell.length, cell.outcome, cell.detail, i, 1});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string RangesText(const FoldedRow& row) {
    std::string text;
    for (const FoldedRange& range : row.ranges) {
        if (!text.empty()) {
            text += "; ";
        }
        if (HasLength(row.kind)) {
            text += Span(range) + ": ";
        }
        text += OutcomeName(range.outcome);
        if (!range.detail.empty()) {
            text += ", " + range.detail;
        }
    }
    return text;
}

std::string RowText(const FoldedRow& row) {
    std::string text = CaseName(row.kind);
    text += HasLength(row.kind) ? std::string(", ") + LengthName(row.kind) + " " : ": ";
    return text + RangesText(row);
}

std::string RangeName(const FoldedRow& row, const FoldedRange& range) {
    if (!HasLength(row.kind)) {
        return CaseName(row.kind);
    }
    return std::string(LengthName(row.kind)) + " " + Span(range);
}

double Throughput(const std::vector<TimingPoint>& points) {
    if (points.empty()) {
        return 0;
    }
    double sumLength = 0;
    double sumMicros = 0;
    for (const TimingPoint& point : points) {
        sumLength += point.length;
        sumMicros += static_cast<double>(point.micros);
    }
    const double n = static_cast<double>(points.size());
    const double meanLength = sumLength / n;
    const double meanMicros = sumMicros / n;
    double covariance = 0;
    double variance = 0;
    for (const TimingPoint& point : points) {
        covariance +=
            (point.length - meanLength) * (static_cast<double>(point.micros) - meanMicros);
        variance += (point.length - meanLength) * (point.length - meanLength);
    }
    if (variance > 0 && covariance > 0) {
        return 1e6 * variance / covariance;  // bytes per microsecond slope, inverted
    }
    return sumMicros > 0 ? 1e6 * sumLength / sumMicros : 0;
}

std::vector<TimingSeries> TimingCurves(const std::vector<QualifyCell>& cells) {
    std::vector<TimingSeries> curves;
    for (const auto& [row, members] : GroupCells(cells)) {
        if (!CarriesData(row.kind)) {
            continue;
        }
        TimingSeries series;
        series.kind = row.kind;
        series.protocol = row.protocol;
        for (const std::size_t i : members) {
            if (cells[i].outcome != CellOutcome::Skipped) {
                series.points.push_back({cells[i].length, cells[i].micros});
            }
        }
        std::stable_sort(
            series.points.begin(), series.points.end(),
            [](const TimingPoint& a, const TimingPoint& b) { return a.length < b.length; });
        series.bytesPerSecond = Throughput(series.points);
        curves.push_back(std::move(series));
    }
    return curves;
}
