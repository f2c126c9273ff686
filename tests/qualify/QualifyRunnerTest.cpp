#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "core/common/ResponseLog.h"
#include "core/qualify/QualifyMatrix.h"
#include "core/qualify/QualifyRunner.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimTestCard.h"

namespace {

constexpr std::uint32_t kT0 = 1;
constexpr std::uint32_t kT1 = 2;

using CellKey = std::tuple<QualifyCase, std::uint32_t>;  // case and length

std::string MatrixText(const QualifyResult& result) {
    std::string text;
    for (const FoldedRow& row : FoldCells(result.cells)) {
        text += RowText(row) + "\n";
    }
    return text;
}

QualifyPlan QuickPlan(std::uint32_t protocol) {
    QualifyPlan plan;
    plan.protocols = {protocol};
    plan.waitingTimes = {1, 2};
    return plan;
}

class QualifyOnTestCard : public testing::Test {
  protected:
    void Insert(std::uint32_t protocol, SimTestCardFaults faults = {}) {
        SimTestCardSettings settings;
        settings.timeUnit = std::chrono::microseconds(50);
        settings.faults = faults;
        library_.InsertCard(
            0, std::make_unique<SimTestCard>(
                   protocol == kT0 ? SimCardKind::TestT0 : SimCardKind::TestT1, settings));
    }

    QualifyResult Run(const QualifyPlan& plan) {
        QualifyRunner runner(library_, plan);
        return runner.Run(SimCardLibrary::DefaultReaderName);
    }

    static std::set<CellKey> Failing(const QualifyResult& result) {
        std::set<CellKey> failing;
        for (const QualifyCell& cell : result.cells) {
            if (cell.outcome == CellOutcome::Fail) {
                failing.emplace(cell.kind, cell.length);
            }
        }
        return failing;
    }

    SimCardLibrary library_;
};

TEST_F(QualifyOnTestCard, EveryCellPassesOnASoundReaderUnderEitherProtocol) {
    // A card offering both protocols runs both columns, each connected under its own.
    const std::pair<SimCardKind, std::vector<std::uint32_t>> runs[] = {
        {SimCardKind::TestT0, {kT0}},
        {SimCardKind::TestT1, {kT1}},
        {SimCardKind::TestBoth, {kT0, kT1}}};
    for (const auto& [kind, protocols] : runs) {
        SimTestCardSettings settings;
        settings.timeUnit = std::chrono::microseconds(50);
        library_.InsertCard(0, std::make_unique<SimTestCard>(kind, settings));
        QualifyPlan plan = QuickPlan(protocols.front());
        plan.protocols = protocols;
        const QualifyResult result = Run(plan);
        EXPECT_EQ(result.end, QualifyEnd::Completed);
        EXPECT_EQ(result.protocols, protocols);
        EXPECT_TRUE(result.readerTestApplet && result.extendedApplet);
        EXPECT_TRUE(Failing(result).empty()) << MatrixText(result);
        EXPECT_TRUE(result.AllPassed());
        for (const QualifyCell& cell : result.cells) {
            // Only the extended lengths stay out, and only over T=0.
            const bool extended =
                cell.kind == QualifyCase::Case2Extended || cell.kind == QualifyCase::Case3Extended;
            EXPECT_EQ(cell.outcome == CellOutcome::Skipped, extended && cell.protocol == kT0)
                << CaseName(cell.kind) << " " << cell.length << " " << cell.detail;
        }
    }
}

// A length range of one case that a fault must break; every planned length inside fails.
struct Broken {
    QualifyCase kind;
    std::uint32_t first;
    std::uint32_t last;
};

struct FaultRow {
    const char* name;
    std::uint32_t protocol;
    SimTestCardFaults faults;
    std::vector<Broken> broken;
};

class FaultSwitches : public QualifyOnTestCard, public testing::WithParamInterface<FaultRow> {};

TEST_P(FaultSwitches, NameExactlyTheCellsTheyBreak) {
    const FaultRow& row = GetParam();
    Insert(row.protocol, row.faults);
    const QualifyPlan plan = QuickPlan(row.protocol);
    const QualifyResult result = Run(plan);
    ASSERT_EQ(result.end, QualifyEnd::Completed);
    std::set<CellKey> expected;
    for (const Broken& broken : row.broken) {
        const std::vector<std::uint32_t> lengths = CaseLengths(plan, broken.kind);
        if (lengths.empty()) {
            expected.emplace(broken.kind, 0);
        }
        for (const std::uint32_t length : lengths) {
            if (length >= broken.first && length <= broken.last) {
                expected.emplace(broken.kind, length);
            }
        }
    }
    EXPECT_EQ(Failing(result), expected) << MatrixText(result);
    for (const QualifyCell& cell : result.cells) {
        if (cell.outcome == CellOutcome::Fail) {
            EXPECT_FALSE(cell.detail.empty());
            EXPECT_TRUE(cell.code != 0 || !cell.received.empty()) << CaseName(cell.kind);
        }
    }
}

SimTestCardFaults Cut(std::uint32_t n) {
    SimTestCardFaults faults;
    faults.cutRepliesAbove = n;
    return faults;
}
SimTestCardFaults Drop(std::uint32_t n) {
    SimTestCardFaults faults;
    faults.dropLastByteAbove = n;
    return faults;
}
SimTestCardFaults RewriteLe() {
    SimTestCardFaults faults;
    faults.rewriteLe = true;
    return faults;
}
SimTestCardFaults RefuseExtended() {
    SimTestCardFaults faults;
    faults.refuseExtended = true;
    return faults;
}
SimTestCardFaults Late() {
    SimTestCardFaults faults;
    faults.lateTimeRequest = true;
    return faults;
}

constexpr std::uint32_t kTop = 65535;

INSTANTIATE_TEST_SUITE_P(
    Quick, FaultSwitches,
    testing::Values(
        // Replies of 255 and 256 bytes (case 4 sends Lc + 1), every extended reply, and the
        // 256 bytes the extended applet reports it received.
        FaultRow{"CutAbove254T1",
                 kT1,
                 Cut(254),
                 {{QualifyCase::Case2, 255, 256},
                  {QualifyCase::Case4, 254, 255},
                  {QualifyCase::Case2Extended, 1, kTop},
                  {QualifyCase::Case3Extended, 1, kTop}}},
        FaultRow{"CutAbove254T0",
                 kT0,
                 Cut(254),
                 {{QualifyCase::Case2, 255, 256}, {QualifyCase::Case4, 254, 255}}},
        // Commands of more than 254 bytes: header and Lc take 5, an extended header 7.
        FaultRow{"DropAbove254T1",
                 kT1,
                 Drop(254),
                 {{QualifyCase::Case3, 250, 255},
                  {QualifyCase::Case4, 250, 255},
                  {QualifyCase::Case3Extended, 1, kTop}}},
        FaultRow{"DropAbove254T0",
                 kT0,
                 Drop(254),
                 {{QualifyCase::Case3, 250, 255}, {QualifyCase::Case4, 250, 255}}},
        // Le 00 asks 256 bytes: every case 2 but 256 is refused, and the short-buffer case's
        // reply shrinks to a status word.
        FaultRow{"RewriteLeT1",
                 kT1,
                 RewriteLe(),
                 {{QualifyCase::Case2, 1, 255},
                  {QualifyCase::Case2Extended, 1, kTop},
                  {QualifyCase::ShortBuffer, 0, 0}}},
        FaultRow{"RefuseExtendedT1",
                 kT1,
                 RefuseExtended(),
                 {{QualifyCase::Case2Extended, 1, kTop}, {QualifyCase::Case3Extended, 1, kTop}}},
        FaultRow{"LateTimeRequestT1",
                 kT1,
                 Late(),
                 {{QualifyCase::TimeRequest, 1, 255}, {QualifyCase::WaitingTime, 1, kTop}}}),
    [](const testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

// Stops the run from within the n-th exchange, as another thread would while it waits.
class StopAtExchange : public ResponseLog {
  public:
    StopAtExchange(QualifyRunner& runner, int n) : runner_(runner), n_(n) {}
    void AppendLine(std::string_view line) override {
        if (line.starts_with("Send Data (") && ++sent_ == n_) {
            runner_.Stop();
        }
    }
    void ClearLog() override {}
    int Sent() const { return sent_; }

  private:
    QualifyRunner& runner_;
    int n_;
    int sent_ = 0;
};

// A card that stops answering after one exchange is reset before the next cell needs its
// applet, so the failure stays in the cell it happened in.
TEST_F(QualifyOnTestCard, AReaderThatLostTheCardIsResetBeforeTheNextCell) {
    Insert(kT1);
    QualifyRunner runner(library_, QuickPlan(kT1));
    QualifyObserver observer;
    observer.cell = [this](const QualifyCell& cell) {
        if (cell.kind == QualifyCase::Case4 && cell.length == 255) {
            // Both AIDs of the extended applet go unanswered.
            library_.FailNext("CardTransmit", 0x80100016);
            library_.FailNext("CardTransmit", 0x80100016);
        }
    };
    runner.SetObserver(observer);
    const QualifyResult result = runner.Run(SimCardLibrary::DefaultReaderName);
    EXPECT_TRUE(Failing(result).empty()) << MatrixText(result);
    EXPECT_EQ(library_.CallCount("CardReconnect"), 3);  // this reset and the two reconnect cells
}

TEST_F(QualifyOnTestCard, StopEndsTheRunAfterTheExchangeInProgress) {
    Insert(kT1);
    QualifyRunner runner(library_, QuickPlan(kT1));
    StopAtExchange log(runner, 20);
    QualifyObserver observer;
    observer.log = &log;
    std::size_t decided = 0;
    observer.cell = [&decided](const QualifyCell&) { ++decided; };
    runner.SetObserver(observer);
    const QualifyResult result = runner.Run(SimCardLibrary::DefaultReaderName);
    EXPECT_EQ(result.end, QualifyEnd::Stopped);
    EXPECT_EQ(log.Sent(), 20);
    EXPECT_EQ(result.exchanges, 20u);
    std::size_t ran = 0;
    for (const QualifyCell& cell : result.cells) {
        ran += cell.outcome != CellOutcome::Skipped ? 1 : 0;
    }
    EXPECT_EQ(ran, decided);
    EXPECT_LT(ran, result.cells.size());
    EXPECT_FALSE(result.AllPassed() && ran == result.cells.size());
}

TEST_F(QualifyOnTestCard, EndsWithoutCardOrApplet) {
    QualifyResult result = Run(QuickPlan(kT1));
    EXPECT_EQ(result.end, QualifyEnd::NoCard);
    library_.InsertCard(0, SimCardKind::CpuT1);
    result = Run(QuickPlan(kT1));
    EXPECT_EQ(result.end, QualifyEnd::NoTestApplet);
    EXPECT_FALSE(result.AllPassed());
}

}  // namespace
