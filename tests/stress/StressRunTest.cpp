// The stress engine on the simulated reader: exact counts and failure causes under injected
// failures, latencies inside the injected range, stopping, pulled cards, released handles,
// and the exchange log.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <fstream>
#include <mutex>

#include "core/session/LockedCardLibrary.h"
#include "core/stress/ApduWorkload.h"
#include "core/stress/ScriptWorkload.h"
#include "core/stress/StressRun.h"
#include "report/ExchangeCsvLog.h"
#include "report/StressReport.h"
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
        bool longReply = false;  // the card answers 2048 bytes and 90 00 first
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
         {FailureCause::Kind::StatusWordDiffers, 0},
         {0, 1, 2}},
        {"a script whose data differs",
         Script("00 84 00 00 08 [XX XX XX XX] (90 00)"),
         {.count = 2},
         0,
         2,
         2,
         RunEnd::Kind::Completed,
         {FailureCause::Kind::DataDiffers, 0},
         {0, 1}},
        {"a reply longer than 1024 bytes",
         Apdu({0x00, 0xB0, 0x00, 0x00, 0x00, 0x08, 0x00}),
         {.count = 1},
         0,
         1,
         0,
         RunEnd::Kind::Completed,
         {},
         {},
         true},
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
        if (c.longReply) {
            std::vector<std::uint8_t> reply(2048, 0x5A);
            reply.insert(reply.end(), {0x90, 0x00});
            sim_.SetNextTransmitReply(reply);
        }
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
    // Per reader: one connect, three resets in place (after 3, 6 and 9 commands), and
    // neither reader's reset disturbs the other's card.
    EXPECT_EQ(sim_.CallCount("CardConnect"), 2);
    EXPECT_EQ(sim_.CallCount("CardReconnect"), 6);
    EXPECT_EQ(sim_.CallCount("CardDisconnect"), 2);
    EXPECT_EQ(run.Snapshot(0).stats.failed + run.Snapshot(1).stats.failed, 0u);
    EXPECT_EQ(sim_.CallCount("CardEstablishContext"), 2);
    EXPECT_EQ(sim_.CallCount("CardReleaseContext"), 2);
}

TEST_F(StressRunTest, AResetByAnotherProgramFailsOneUnitThenTheRunReconnects) {
    StressRun run(Libraries(), Apdu(kGetChallenge), {.count = 20});
    run.SetExchangeObserver([&](const ExchangeRecord& record) {
        if (record.index == 4) {
            // Another program on the same reader disconnects with a reset.
            std::lock_guard lock(sim_.SharedLock());
            std::uint32_t context = 0, card = 0, protocol = 0;
            sim_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context);
            sim_.CardConnect(context, "Sim A", kShareShared, kProtocolT1, &card, &protocol);
            sim_.CardDisconnect(card, kDispositionReset);
            sim_.CardReleaseContext(context);
        }
    });
    run.Start({"Sim A"});
    run.Wait();
    const ReaderSnapshot snapshot = run.Snapshot(0);
    EXPECT_EQ(snapshot.end->kind, RunEnd::Kind::Completed);
    EXPECT_EQ(snapshot.stats.done, 20u);
    EXPECT_EQ(snapshot.stats.failed, 1u);
    const FailureCause reset{FailureCause::Kind::Code, 0x80100068};
    ASSERT_TRUE(snapshot.stats.causes.contains(reset));
    EXPECT_EQ(snapshot.stats.causes.at(reset).first.at(0).index, 5u);
    EXPECT_EQ(sim_.CallCount("CardReconnect"), 1);
}

TEST_F(StressRunTest, ACardThatDoesNotAnswerItsResetEndsTheRunAsItsFailure) {
    struct Case {
        const char* name;
        StressWorkloadFactory workload;
        StressSettings settings;
        std::uint64_t done;
    };
    const Case cases[] = {
        {"every K commands", Apdu(kGetChallenge), {.count = 10, .resetEvery = 3}, 4},
        {"a script's reset", Script("00 84 00 00 08\nreset\n00 84 00 00 08"), {.count = 5}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim_.FailNext("CardReconnect", 0x80100066);
        const int disconnects = sim_.CallCount("CardDisconnect");
        StressRun run(Libraries(), c.workload, c.settings);
        run.Start({"Sim A"});
        run.Wait();
        const ReaderSnapshot snapshot = run.Snapshot(0);
        EXPECT_EQ(snapshot.end->kind, RunEnd::Kind::ResetFailed);
        EXPECT_EQ(snapshot.end->code, 0x80100066u);
        EXPECT_EQ(snapshot.stats.done, c.done);
        EXPECT_EQ(snapshot.stats.failed, 1u);
        EXPECT_EQ(snapshot.stats.causes.at({FailureCause::Kind::Code, 0x80100066}).count, 1u);
        // The handle the card did not answer on is still released.
        EXPECT_EQ(sim_.CallCount("CardDisconnect"), disconnects + 1);
    }
}

TEST_F(StressRunTest, StopEndsAScriptPassWithinOneCommand) {
    std::string text;
    for (int i = 0; i < 500; ++i) {
        text += "00 84 00 00 08\n";
    }
    sim_.SetReaderTiming(0, {.latencyUs = 2000});
    StressRun run(Libraries(), Script(text.c_str()), {});
    run.Start({"Sim A"});
    for (;;) {
        std::lock_guard lock(sim_.SharedLock());
        if (sim_.CallCount("CardTransmit") >= 3) {
            break;
        }
    }
    run.Stop();
    run.Wait();
    // Half a second of commands would be a whole pass; the pass cut short is not counted.
    std::lock_guard lock(sim_.SharedLock());
    EXPECT_LT(sim_.CallCount("CardTransmit"), 50);
    EXPECT_EQ(run.Snapshot(0).stats.done, 0u);
    EXPECT_EQ(run.Snapshot(0).end->kind, RunEnd::Kind::Stopped);
}

// Two slow readers side by side: each answers in its own latency, neither waits for the
// other (sleeping under the shared lock made them take turns, at twice the time).
TEST_F(StressRunTest, LatenciesLieInTheInjectedRangeOnEachReader) {
    sim_.SetReaderTiming(0, {.latencyUs = 8000, .jitterUs = 4000});
    sim_.SetReaderTiming(1, {.latencyUs = 8000, .jitterUs = 4000});
    StressRun run(Libraries(), Apdu(kGetChallenge), {.count = 20});
    const auto started = std::chrono::steady_clock::now();
    run.Start({"Sim A", "Sim B"});
    run.Wait();
    // A connect and 20 commands of 8 to 12 ms: at most 252 ms.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 330ms);
    for (std::size_t r = 0; r < 2; ++r) {
        const LatencyHistogram& latency = run.Snapshot(r).stats.latency;
        EXPECT_GE(latency.Min(), 8000u);
        EXPECT_LE(latency.Percentile(50), 12'500u) << "reader " << r;
        EXPECT_GT(latency.Max(), latency.Min());
    }
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

TEST_F(StressRunTest, AnUnmetExpectationIsNamedInTheLogAndTheReport) {
    const std::string path = ::testing::TempDir() + "stress-expectations.csv";
    ExchangeCsvLog log;
    std::string error;
    ASSERT_TRUE(log.Open(path, {"Sim A"}, {}, error));
    StressRun run(Libraries(), Script("00 84 00 00 08 (90 00)\n00 84 00 00 08 (6A 82, 6A XX)"),
                  {.count = 2});
    run.SetExchangeObserver([&](const ExchangeRecord& record) { log.Write(record); });
    run.Start({"Sim A"});
    run.Wait();
    ASSERT_TRUE(log.Close(error)) << error;
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    int rows = 0;
    while (std::getline(file, line)) {
        ++rows;
        EXPECT_TRUE(line.ends_with(",status word differs")) << line;
    }
    EXPECT_EQ(rows, 2);

    const QJsonArray failures =
        ReaderReportJson(run.Snapshot(0))[QStringLiteral("failures")].toArray();
    ASSERT_EQ(failures.size(), 1);
    const QJsonObject cause = failures[0].toObject();
    EXPECT_EQ(cause[QStringLiteral("cause")].toString(), QStringLiteral("status word differs"));
    EXPECT_EQ(cause[QStringLiteral("count")].toInt(), 2);
    EXPECT_EQ(cause[QStringLiteral("expected")].toString(), QStringLiteral("6A 82, 6A XX"));
    EXPECT_EQ(cause[QStringLiteral("received")].toString(), QStringLiteral("90 00"));
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
