#include <gtest/gtest.h>

#include "core/qualify/QualifyMatrix.h"
#include "core/qualify/QualifyPlan.h"

namespace {

QualifyCell Cell(QualifyCase kind, std::uint32_t length, CellOutcome outcome,
                 std::string detail = {}, std::uint32_t protocol = 2) {
    QualifyCell cell;
    cell.kind = kind;
    cell.protocol = protocol;
    cell.length = length;
    cell.outcome = outcome;
    cell.detail = std::move(detail);
    return cell;
}

struct FoldRow {
    const char* name;
    std::vector<QualifyCell> cells;
    std::vector<std::string> rows;
};

class Folding : public testing::TestWithParam<FoldRow> {};

TEST_P(Folding, FoldsEqualNeighboursIntoRanges) {
    std::vector<std::string> texts;
    for (const FoldedRow& row : FoldCells(GetParam().cells)) {
        texts.push_back(RowText(row));
    }
    EXPECT_EQ(texts, GetParam().rows);
}

const auto kPass = CellOutcome::Pass;
const auto kFail = CellOutcome::Fail;

INSTANTIATE_TEST_SUITE_P(
    Cells, Folding,
    testing::Values(
        FoldRow{"PassThenCutReplies",
                {Cell(QualifyCase::Case2, 1, kPass), Cell(QualifyCase::Case2, 2, kPass),
                 Cell(QualifyCase::Case2, 254, kPass),
                 Cell(QualifyCase::Case2, 255, kFail, "254 bytes received"),
                 Cell(QualifyCase::Case2, 256, kFail, "254 bytes received")},
                {"case 2, Le 1\u2013254: pass; 255\u2013256: fail, 254 bytes received"}},
        // Cells arrive out of order; a different detail starts a new range, and a single
        // length is shown alone.
        FoldRow{"OrderAndDetail",
                {Cell(QualifyCase::Case3, 3, kFail, "SW 67 00 instead of 90 00"),
                 Cell(QualifyCase::Case3, 1, kPass),
                 Cell(QualifyCase::Case3, 2, kFail, "SW 6A 01 instead of 90 00"),
                 Cell(QualifyCase::Case3, 4, kFail, "SW 67 00 instead of 90 00")},
                {"case 3, Lc 1: pass; 2: fail, SW 6A 01 instead of 90 00; 3\u20134: fail, SW 67 "
                 "00 instead of 90 00"}},
        // One row per case and protocol, in the order of first appearance; cases without
        // length show no span.
        FoldRow{"RowsPerCaseAndProtocol",
                {Cell(QualifyCase::Case1, 0, kPass, {}, 1), Cell(QualifyCase::Case1, 0, kPass),
                 Cell(QualifyCase::TimeRequest, 5, kFail, "late", 1),
                 Cell(QualifyCase::TimeRequest, 1, kPass, {}, 1),
                 Cell(QualifyCase::ExclusiveShared, 0, CellOutcome::Skipped, "not run")},
                {"case 1: pass", "case 1: pass", "time request, P2 1: pass; 5: fail, late",
                 "exclusive connect while shared: skipped, not run"}}),
    [](const testing::TestParamInfo<FoldRow>& info) { return info.param.name; });

TEST(Folding, RangeNamesAndSamples) {
    const std::vector<QualifyCell> cells = {Cell(QualifyCase::Case2Extended, 4096, kFail, "x"),
                                            Cell(QualifyCase::Case2Extended, 255, kPass),
                                            Cell(QualifyCase::Case2Extended, 65535, kFail, "x")};
    const std::vector<FoldedRow> rows = FoldCells(cells);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].ranges.size(), 2u);
    EXPECT_EQ(RangeName(rows[0], rows[0].ranges[1]), "Le 4096\u201365535");
    EXPECT_EQ(rows[0].ranges[1].sample, 0u);
    EXPECT_EQ(rows[0].ranges[1].count, 2u);
}

struct ThroughputRow {
    std::vector<TimingPoint> points;
    double bytesPerSecond;
};

TEST(Timing, ThroughputFromTheCurvesSlope) {
    const ThroughputRow rows[] = {
        // 1000 us fixed plus 10 us a byte: 100000 bytes a second, whatever the fixed part.
        {{{100, 2000}, {200, 3000}, {400, 5000}}, 100000.0},
        // A flat curve has no slope: the bytes over the time.
        {{{100, 1000}, {300, 1000}}, 200000.0},
        {{{5, 0}}, 0.0},
        {{}, 0.0},
    };
    for (const ThroughputRow& row : rows) {
        EXPECT_NEAR(Throughput(row.points), row.bytesPerSecond, 1e-6 * row.bytesPerSecond + 1e-9);
    }
}

TEST(Timing, CurvesOnlyForDataCasesAndCellsThatRan) {
    std::vector<QualifyCell> cells = {Cell(QualifyCase::Case2, 3, kPass),
                                      Cell(QualifyCase::Case2, 1, kFail, "x"),
                                      Cell(QualifyCase::Case2, 2, CellOutcome::Skipped),
                                      Cell(QualifyCase::TimeRequest, 1, kPass)};
    cells[0].micros = 30;
    cells[1].micros = 10;
    const std::vector<TimingSeries> curves = TimingCurves(cells);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].points.size(), 2u);
    EXPECT_EQ(curves[0].points[0].length, 1u);
    EXPECT_EQ(curves[0].points[1].micros, 30u);
}

struct LengthRow {
    bool full;
    std::vector<std::uint32_t> limits;
    QualifyCase kind;
    std::size_t count;
    std::uint32_t first;
    std::uint32_t last;
};

TEST(Plan, LengthsOfQuickAndFullRuns) {
    const LengthRow rows[] = {
        {false, {}, QualifyCase::Case2, 12, 1, 256},  // 1, 2, 247-256
        {false, {}, QualifyCase::Case3, 11, 1, 255},  // 1, 2, 247-255
        {true, {}, QualifyCase::Case2, 256, 1, 256},
        {true, {}, QualifyCase::Case4, 255, 1, 255},
        {false, {}, QualifyCase::Case2Extended, 7, 255, 65535},
        {false, {100, 65535}, QualifyCase::Case2Extended, 11, 99, 65535},  // 99-101, 65534
        {false, {100}, QualifyCase::Case3, 14, 1, 255},                    // 99-101 added
        {true, {}, QualifyCase::Case3Extended, 656 + 7, 1, 65535},         // 1, 101, ... 65501
    };
    for (const LengthRow& row : rows) {
        QualifyPlan plan;
        plan.full = row.full;
        plan.readerLimits = row.limits;
        const std::vector<std::uint32_t> lengths = CaseLengths(plan, row.kind);
        ASSERT_FALSE(lengths.empty());
        EXPECT_EQ(lengths.size(), row.count) << CaseName(row.kind);
        EXPECT_EQ(lengths.front(), row.first) << CaseName(row.kind);
        EXPECT_EQ(lengths.back(), row.last) << CaseName(row.kind);
        EXPECT_TRUE(std::is_sorted(lengths.begin(), lengths.end()));
    }
}

}  // namespace
