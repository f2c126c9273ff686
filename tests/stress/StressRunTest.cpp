// The stress engine on the simulated reader: exact counts and failure causes under injected
// failures, latencies inside the injected range, stopping, pulled cards, released handles,
// and the exchange log.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <mutex>

#include "core/session/LockedCardLibrary.h"
#include "core/stress/ApduWorkload.h"
#include "core/stress/ScriptWorkload.h"
#include "core/stress/StressRun.h"
#include "report/ExchangeCsvLog.h"
#include "sim/SimCardLibrary.h"

namespace {

using namespace std::chrono_literals;

const std::vector<std::uint8_t> kGetChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};
const std::vector<std::uint8_t> kSelectMissing = {0x00, 0xA4, 0x04, 0x00, 0x02, 0xAA, 0xBB};

StressWorkloadFactory Apdu(std::vector<std::uint8_t> command) {
    return [command] { return std::make_unique<ApduWorkload>(command); };
}

StressWorkloadFactory Script(const char* text) {
    std::string error;
    StressWorkloadFactory factory = ScriptWorkloadFromText(text, error);
    EXPECT_TRUE(factory) << error;
    return factory;
}

StressWorkloadFactory ConnectCycle() {
    return [] { return std::make_unique<ConnectCycleWorkload>(); };
}

// Two simulated readers with T=1 cards in one library that all workers share through the
// lock, as the simulated program's windows do.
class StressRunTest : public ::testing::Test {
  protected:
    StressRunTest() : sim_({"Sim A", "Sim B"}) {
        sim_.InsertCard(0, SimCardKind::CpuT1);
        sim_.InsertCard(1, SimCardKind::CpuT1);
    }

    CardLibraryFactory Libraries() {
        return [this] { return std::make_unique<LockedCardLibrary>(sim_, sim_.SharedLock()); };
    }

    SimCardLibrary sim_;
};

TEST_F(StressRunTest, CountsAndCausesAreExact) {
    struct Case {
        const char* name;
        StressWorkloadFactory workload;
        StressSettings settings;
        std::uint32_t failEvery;
        std::uint64_t done, failed;
        RunEnd::Kind end;
        FailureCause cause;  // the only cause expected when `failed` > 0
        std::vector<std::uint64_t> firstIndices;
    };
    const FailureCause comm{FailureCause::Kind::Code, 0x80100013};
    const FailureCause notFound{FailureCause::Kind::StatusWord, 0x6A82};
    const std::vector<Case> cases = {
        {"clean", Apdu(kGetChallenge), {.count = 20}, 0, 20, 0, RunEnd::Kind::Completed, {}, {}},
        {"every fifth fails",
         Apdu(kGetChallenge),
         {.count = 20},
         5,
         20,
         4,
         RunEnd::Kind::Completed,
         comm,
         {4, 9, 14, 19}},
        {"first ten of a cause kept",
         Apdu(kGetChallenge),
         {.count = 30},
         2,
         30,
         15,
         RunEnd::Kind::Completed,
         comm,
         {1, 3, 5, 7, 9, 11, 13, 15, 17, 19}},
        {"stop at the first failure",
         Apdu(kGetChallenge),
         {.count = 20, .stopAtFirstFailure = true},
         3,
         3,
         1,
         RunEnd::Kind::FirstFailure,
         comm,
         {2}},
        {"unexpected status word",
         Apdu(kSelectMissing),
         {.count = 6},
         0,
         6,
         6,
         RunEnd::Kind::Completed,
         notFound,
         {0, 1, 2, 3, 4, 5}},
        {"a script with a reset, passing",
         Script("00 84 00 00 08 (90 00)\nreset\n00 84 00 00 08 [XX XX XX XX XX XX XX XX]"),
         {.count = 5},
         0,
         5,
         0,
         RunEnd::Kind::Completed,
         {},
         {}},
        {"a script whose expectation fails",
         Script("00 84 00 00 08 (90 00)\n00 84 00 00 08 (6A 82)"),
         {.count = 3},
         0,
         3,
         3,
         RunEnd::Kind::Completed,
         {FailureCause::Kind::StatusWord, 0x9000},
         {0, 1, 2}},
        {"connect cycles",
         ConnectCycle(),
         {.count = 12, .exclusive = true},
         4,
         12,
         0,
         RunEnd::Kind::Completed,
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetReaderTiming(1, {.failEvery = c.failEvery});
        StressRun run(Libraries(), c.workload, c.settings);
        run.Start({"Sim B"});
        run.Wait();
        const ReaderSnapshot snapshot = run.Snapshot(0);
        EXPECT_EQ(snapshot.stats.done, c.done);
        EXPECT_EQ(snapshot.stats.failed, c.failed);
        EXPECT_EQ(snapshot.stats.latency.Count(), c.done);
        ASSERT_TRUE(snapshot.end);
        EXPECT_EQ(snapshot.end->kind, c.end);
        ASSERT_EQ(snapshot.stats.causes.size(), c.failed ? 1u : 0u);
        if (c.failed) {
            const CauseTally& tally = snapshot.stats.causes.at(c.cause);
            EXPECT_EQ(tally.count, c.failed);
            std::vector<std::uint64_t> indices;
            for (const FailureSample& sample : tally.first) {
                indices.push_back(sample.index);
                EXPECT_GE(sample.unixMicros, snapshot.startUnixMicros);
            }
            EXPECT_EQ(indices, c.firstIndices);
        }
        EXPECT_TRUE(run.Finished());
    }
}

TEST_F(StressRunTest, ResetsReconnectEveryKCommandsAndEveryHandleIsReleased) {
    StressRun run(Libraries(), Apdu(kGetChallenge), {.count = 10, .resetEvery = 3});
    run.Start({"Sim A", "Sim B"});
    run.Wait();
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(run.Snapshot(r).stats.done, 10u);
        EXPECT_EQ(run.Snapshot(r).atr, sim_.CardIn(0)->Atr());
    }
    // Per reader: the first connect and three resets (after 3, 6 and 9 commands).
    EXPECT_EQ(sim_.CallCount("CardConnect"), 8);
    EXPECT_EQ(sim_.CallCount("CardDisconnect"), 8);
    EXPECT_EQ(sim_.CallCount("CardEstablishContext"), 2);
    EXPECT_EQ(sim_.CallCount("CardReleaseContext"), 2);
}

TEST_F(StressRunTest, LatenciesLieInTheInjectedRange) {
    sim_.SetReaderTiming(0, {.latencyUs = 4000, .jitterUs = 4000});
    StressRun run(Libraries(), Apdu(kGetChallenge), {.count = 40});
    run.Start({"Sim A"});
    run.Wait();
    const LatencyHistogram& latency = run.Snapshot(0).stats.latency;
    EXPECT_GE(latency.Min(), 4000u);
    EXPECT_GE(latency.Percentile(50), 4000u);
    EXPECT_LE(latency.Percentile(50), 8000u);
    EXPECT_GT(latency.Max(), latency.Min());
}

TEST_F(StressRunTest, StopEndsEveryReaderWithinOneCommand) {
    sim_.SetReaderTiming(0, {.latencyUs = 2000});
    StressRun run(Libraries(), Apdu(kGetChallenge), {.pauseMs = 1});
    std::chrono::steady_clock::time_point stopped;
    run.SetExchangeObserver([&](const ExchangeRecord& record) {
        if (record.reader == 0 && record.index == 2) {
            stopped = std::chrono::steady_clock::now();
            run.Stop();
        }
    });
    run.Start({"Sim A", "Sim B"});
    run.Wait();
    const auto ended = std::chrono::steady_clock::now();
    EXPECT_EQ(run.Snapshot(0).stats.done, 3u);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(run.Snapshot(r).end->kind, RunEnd::Kind::Stopped);
    }
    // Reader B may be inside one command (2 ms, and the lock reader A held).
    EXPECT_LT(ended - stopped, 500ms);
}

TEST_F(StressRunTest, StopCutsAPauseShort) {
    StressRun run(Libraries(), ConnectCycle(), {.pauseMs = 600'000});
    run.SetExchangeObserver([&](const ExchangeRecord&) { run.Stop(); });
    const auto started = std::chrono::steady_clock::now();
    run.Start({"Sim A"});
    run.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(run.Snapshot(0).stats.done, 1u);
}

TEST_F(StressRunTest, APulledCardEndsThatReaderOnlyAndTheLogStreamsEveryUnit) {
    const std::string path = ::testing::TempDir() + "stress-exchanges.csv";
    ExchangeCsvLog log;
    std::string error;
    ASSERT_TRUE(log.Open(
        path, {"Sim A", "Sim B"},
        [](std::uint32_t code) {
            return code == 0x80100069 ? std::string("SCARD_W_REMOVED_CARD") : std::string("?");
        },
        error));
    StressRun run(Libraries(), Apdu(kGetChallenge), {.count = 50});
    run.SetExchangeObserver([&](const ExchangeRecord& record) {
        log.Write(record);
        if (record.reader == 0 && record.index == 4) {
            std::lock_guard lock(sim_.SharedLock());
            sim_.RemoveCard(0);
        }
    });
    run.Start({"Sim A", "Sim B"});
    run.Wait();
    ASSERT_TRUE(log.Close(error)) << error;

    const ReaderSnapshot pulled = run.Snapshot(0);
    EXPECT_EQ(pulled.end->kind, RunEnd::Kind::CardRemoved);
    EXPECT_EQ(pulled.end->code, 0x80100069u);
    EXPECT_EQ(pulled.stats.done, 6u);
    EXPECT_EQ(pulled.stats.failed, 1u);
    const ReaderSnapshot other = run.Snapshot(1);
    EXPECT_EQ(other.end->kind, RunEnd::Kind::Completed);
    EXPECT_EQ(other.stats.done, 50u);
    EXPECT_EQ(sim_.CallCount("CardReleaseContext"), 2);

    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "reader,index,start,microseconds,result");
    int rows = 0, removed = 0, ok = 0;
    while (std::getline(file, line)) {
        ++rows;
        removed += line.starts_with("Sim A,5,") && line.ends_with(",SCARD_W_REMOVED_CARD");
        ok += line.ends_with(",90 00");
    }
    EXPECT_EQ(rows, 56);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(ok, 55);
}

TEST(ParseHexApdu, FollowsTheCommandRules) {
    struct Case {
        const char* text;
        std::vector<std::uint8_t> bytes;  // empty: refused
    };
    const Case cases[] = {
        {"00840000", {0x00, 0x84, 0x00, 0x00}},
        {"00 84 00 00 08", {0x00, 0x84, 0x00, 0x00, 0x08}},
        {"a0b0c0d0", {0xA0, 0xB0, 0xC0, 0xD0}},
        {"008400", {}},
        {"0084000", {}},
        {"0 0840000", {}},
        {"0084000G", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto parsed = ParseHexApdu(c.text, error);
        EXPECT_EQ(parsed.value_or(std::vector<std::uint8_t>{}), c.bytes) << c.text;
        EXPECT_EQ(error.empty(), parsed.has_value()) << c.text;
    }
    std::string error;
    EXPECT_TRUE(ParseHexApdu(std::string(2 * ApduBufferSize, 'A'), error));
    EXPECT_FALSE(ParseHexApdu(std::string(2 * ApduBufferSize + 2, 'A'), error));
}

}  // namespace
