#include "core/script/ScriptRunner.h"

#include <algorithm>
#include <chrono>

#include "core/apdu/CardExchange.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"
#include "core/script/CardConnection.h"
#include "core/script/TagCheck.h"

namespace {

bool Matches(const BytePattern& pattern, const std::uint8_t* bytes, std::size_t n) {
    return pattern.size() == n && std::equal(pattern.begin(), pattern.end(), bytes,
                                             [](std::int16_t want, std::uint8_t got) {
                                                 return want == kAnyByte || want == got;
                                             });
}

std::int64_t MicrosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

StepResult RunCommand(CardConnection& connection, const ScriptStep& step) {
    StepResult result;
    result.line = step.line;
    result.command = step.command;
    MemoryResponseLog log;
    AppendSentData(log, step.command.data(), static_cast<std::int32_t>(step.command.size()));
    const auto start = std::chrono::steady_clock::now();
    CardReply reply = connection.Transmit(step.command);
    result.micros = MicrosSince(start);
    LogExchangeOutcome(reply.code, reply.bytes.data(),
                       static_cast<std::uint32_t>(reply.bytes.size()), kCardExchangeWording, log);
    result.logLines = log.Lines();
    result.code = reply.code;
    if (reply.code != 0) {
        result.verdict = Verdict::Fail;
        return result;
    }
    result.reply = std::move(reply.bytes);
    result.verdict = CompareReply(step, result.reply, result.differing, &result.checkFailures);
    return result;
}

StepResult RunReset(CardConnection& connection, const ScriptStep& step) {
    StepResult result;
    result.kind = step.kind;
    result.line = step.line;
    const auto start = std::chrono::steady_clock::now();
    result.code = connection.Reset();
    result.micros = MicrosSince(start);
    result.logLines.push_back(result.code == 0
                                  ? "Reset Success"
                                  : ReturnCodeText("Reset Fail, return code=0x", result.code));
    result.logLines.emplace_back(kSeparatorLine);
    return result;
}

}  // namespace

Verdict CompareReply(const ScriptStep& step, const std::vector<std::uint8_t>& reply,
                     std::vector<std::size_t>& differing, std::vector<std::string>* checkFailures) {
    differing.clear();
    if (!HasExpectation(step)) {
        return Verdict::NoExpectation;
    }
    const std::size_t n = reply.size();
    const std::size_t dataLength = n >= 2 ? n - 2 : n;
    bool pass = true;
    if (step.expectsData) {
        const BytePattern& want = step.expectedData;
        pass = want.size() == dataLength;
        for (std::size_t i = 0; i < dataLength; ++i) {
            if (i >= want.size() || (want[i] != kAnyByte && want[i] != reply[i])) {
                differing.push_back(i);
                pass = false;
            }
        }
    }
    if (!step.expectedStatus.empty()) {
        const std::uint8_t* sw = reply.data() + dataLength;
        const bool swMet =
            n >= 2 && std::ranges::any_of(step.expectedStatus,
                                          [&](const auto& word) { return Matches(word, sw, 2); });
        if (!swMet) {
            pass = false;
            // The bytes no alternative allows; both when each alone is allowed by some.
            const std::size_t before = differing.size();
            for (std::size_t j = 0; n >= 2 && j < 2; ++j) {
                if (std::ranges::none_of(step.expectedStatus, [&](const BytePattern& w) {
                        return w[j] == kAnyByte || w[j] == sw[j];
                    })) {
                    differing.push_back(dataLength + j);
                }
            }
            if (n >= 2 && differing.size() == before) {
                differing.push_back(dataLength);
                differing.push_back(dataLength + 1);
            }
        }
    }
    const std::vector<std::string> failed = FailedTagChecks(
        step.tagChecks,
        std::vector<std::uint8_t>(reply.begin(),
                                  reply.begin() + static_cast<std::ptrdiff_t>(dataLength)));
    if (checkFailures != nullptr) {
        *checkFailures = failed;
    }
    return pass && failed.empty() ? Verdict::Pass : Verdict::Fail;
}

ScriptRunSummary ScriptRunner::Run(const Script& script, const Observer& observer) {
    ScriptRunSummary summary;
    CardConnection connection(library_);
    if (const std::uint32_t code = connection.Establish()) {
        summary.error = ReturnCodeText("No PC/SC service, return code=0x", code);
        return summary;
    }
    if (const std::uint32_t code = connection.Connect(options_.reader, options_.protocols)) {
        summary.error =
            ReturnCodeText("Connect to \"" + options_.reader + "\" Fail, return code=0x", code);
        return summary;
    }
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
        if (stop_) {
            summary.stopped = true;
            break;
        }
        const ScriptStep& step = script.steps[i];
        StepResult result = step.kind == ScriptStep::Kind::Reset ? RunReset(connection, step)
                                                                 : RunCommand(connection, step);
        result.index = i;
        if (step.kind == ScriptStep::Kind::Command) {
            ++summary.commands;
            summary.micros += result.micros;
            summary.passes += result.verdict == Verdict::Pass ? 1 : 0;
            summary.failures += result.verdict == Verdict::Fail ? 1 : 0;
        }
        if (observer) {
            observer(result);
        }
        if (step.kind == ScriptStep::Kind::Reset && result.code != 0) {
            summary.error = result.logLines.front();
            break;
        }
        if (result.code != 0 && !options_.continueAfterFailure) {
            break;
        }
    }
    return summary;
}
