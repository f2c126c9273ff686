#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/stats/LatencyHistogram.h"
#include "core/stress/StressWorkload.h"

// Why units failed: a PC/SC code, a status word other than normal processing, a reply
// too short to hold one, or a reply whose data or status word a script did not expect.
struct FailureCause {
    enum class Kind { Code, StatusWord, NoStatusWord, DataDiffers, StatusWordDiffers };
    Kind kind = Kind::Code;
    std::uint32_t value = 0;

    static FailureCause Of(const UnitResult& result);
    friend auto operator<=>(const FailureCause&, const FailureCause&) = default;
};

// One failure: the unit's index (from 0) and when it started (µs since the Unix epoch).
struct FailureSample {
    std::uint64_t index = 0;
    std::int64_t unixMicros = 0;
};

// The failures of one cause: how many, the first few of them, and for a script's unmet
// expectation, what was expected and received the first time.
struct CauseTally {
    static constexpr std::size_t kKeptSamples = 10;
    std::uint64_t count = 0;
    std::vector<FailureSample> first;
    std::optional<ReplyMismatch> firstMismatch;
};

// The figures of one reader's run; their size does not depend on the run's length.
struct ReaderStats {
    std::uint64_t done = 0;  // units finished, failed ones included
    std::uint64_t failed = 0;
    std::uint64_t exchanges = 0;
    LatencyHistogram latency;
    std::map<FailureCause, CauseTally> causes;

    void Record(const UnitResult& result, std::uint64_t micros, std::int64_t startUnixMicros);
};

// How a reader's run ended.
struct RunEnd {
    enum class Kind {
        Completed,      // count or duration reached
        Stopped,        // asked to stop
        FirstFailure,   // stopped at the first failure
        CardRemoved,    // the card was pulled (code)
        ReaderGone,     // the reader was unplugged or the service went away (code)
        ConnectFailed,  // no context or no connection to the card (code)
        ResetFailed     // the card did not answer after a reset (code)
    };
    Kind kind = Kind::Completed;
    std::uint32_t code = 0;
};

// Whether a failing code ends the reader's run, and why.
std::optional<RunEnd::Kind> EndingKindOf(std::uint32_t code);
// The reason in words; codes are named by the caller, which knows their names.
std::string RunEndText(const RunEnd& end, const std::string& codeName);

// A copy of one reader's state, taken while the run goes.
struct ReaderSnapshot {
    std::string reader;
    std::vector<std::uint8_t> atr;
    ReaderStats stats;
    bool started = false;
    std::optional<RunEnd> end;  // set once the reader's run is over
    std::int64_t startUnixMicros = 0;
    std::int64_t endUnixMicros = 0;
    double elapsedSeconds = 0;  // of running units, up to the figures' time or to the end

    double UnitsPerSecond() const {
        return elapsedSeconds > 0 ? static_cast<double>(stats.done) / elapsedSeconds : 0.0;
    }
};

// Microseconds since the Unix epoch, now.
std::int64_t UnixMicrosNow();
