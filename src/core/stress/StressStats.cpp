#include "core/stress/StressStats.h"

#include "core/session/PcscCodes.h"

FailureCause FailureCause::Of(const UnitResult& result) {
    if (result.code != 0) {
        return {Kind::Code, result.code};
    }
    if (result.noStatusWord) {
        return {Kind::NoStatusWord, 0};
    }
    if (result.mismatch) {
        return {result.mismatch->kind == ReplyMismatch::Kind::Data ? Kind::DataDiffers
                                                                   : Kind::StatusWordDiffers,
                0};
    }
    return {Kind::StatusWord, result.statusWord.value_or(0)};
}

void ReaderStats::Record(const UnitResult& result, std::uint64_t micros,
                         std::int64_t startUnixMicros) {
    latency.Record(micros);
    exchanges += result.exchanges;
    if (!result.Failed()) {
        ++done;
        return;
    }
    CauseTally& tally = causes[FailureCause::Of(result)];
    ++tally.count;
    if (tally.first.size() < CauseTally::kKeptSamples) {
        tally.first.push_back({done, startUnixMicros});
    }
    if (!tally.firstMismatch && result.mismatch) {
        tally.firstMismatch = result.mismatch;
    }
    ++done;
    ++failed;
}

std::optional<RunEnd::Kind> EndingKindOf(std::uint32_t code) {
    using namespace pcsc_codes;
    switch (code) {
        case kRemovedCard:
        case kNoSmartcard:
            return RunEnd::Kind::CardRemoved;
        case kReaderUnavailable:
        case kUnknownReader:
        case kNoService:
        case kNoReadersAvailable:
        case kInvalidHandle:
            return RunEnd::Kind::ReaderGone;
        default:
            return std::nullopt;
    }
}

std::string RunEndText(const RunEnd& end, const std::string& codeName) {
    switch (end.kind) {
        case RunEnd::Kind::Completed:
            return "completed";
        case RunEnd::Kind::Stopped:
            return "stopped";
        case RunEnd::Kind::FirstFailure:
            return "stopped at the first failure";
        case RunEnd::Kind::CardRemoved:
            return "card removed (" + codeName + ")";
        case RunEnd::Kind::ReaderGone:
            return "reader unavailable (" + codeName + ")";
        case RunEnd::Kind::ConnectFailed:
            return "no connection (" + codeName + ")";
        case RunEnd::Kind::ResetFailed:
            return "no answer after a reset (" + codeName + ")";
    }
    return {};
}

const char* MismatchText(ReplyMismatch::Kind kind) {
    return kind == ReplyMismatch::Kind::Data ? "data differs" : "status word differs";
}

std::int64_t UnixMicrosNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
