#include "core/stress/ScriptWorkload.h"

#include <vector>

#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "core/session/CardLibrary.h"

namespace {
// What of the reply the step did not expect, from the bytes CompareReply marked: the status
// word when one of its bytes differs, else the data; a data mismatch found by a tag-path
// check alone is expected as the check says.
ReplyMismatch MismatchOf(const ScriptStep& step, const std::vector<std::uint8_t>& reply,
                         const std::vector<std::size_t>& differing,
                         const std::vector<std::string>& checkFailures) {
    const auto dataEnd = reply.end() - 2;  // the reply holds a status word
    const auto dataLength = static_cast<std::size_t>(dataEnd - reply.begin());
    if (!differing.empty() && differing.back() >= dataLength) {
        return {ReplyMismatch::Kind::StatusWord, StatusListText(step.expectedStatus),
                std::vector<std::uint8_t>(dataEnd, reply.end())};
    }
    return {ReplyMismatch::Kind::Data,
            differing.empty() && !checkFailures.empty() ? checkFailures.front()
                                                        : PatternText(step.expectedData),
            std::vector<std::uint8_t>(reply.begin(), dataEnd)};
}
}  // namespace

UnitResult ScriptWorkload::RunUnit(StressConnection& connection) {
    UnitResult result;
    for (const ScriptStep& step : script_.steps) {
        if (connection.Stopping()) {
            result.interrupted = true;
            return result;
        }
        if (step.kind == ScriptStep::Kind::Reset) {
            // The card's reset on the run's own handle; a card that does not answer it leaves
            // the handle open for the run to release.
            result.code = connection.Reconnect(kDispositionReset);
            if (result.code != 0) {
                result.resetFailed = true;
                return result;
            }
            continue;
        }
        IoRequest request{connection.protocol, sizeof(IoRequest)};
        auto length = static_cast<std::uint32_t>(reply_.size());
        ++result.exchanges;
        result.code = connection.library.CardTransmit(
            connection.card, &request, step.command.data(),
            static_cast<std::uint32_t>(step.command.size()), &request, reply_.data(), &length);
        if (result.code != 0) {
            return result;
        }
        if (length < 2 || length > reply_.size()) {
            result.noStatusWord = true;
            return result;
        }
        result.statusWord =
            static_cast<std::uint16_t>(reply_[length - 2] << 8 | reply_[length - 1]);
        std::vector<std::size_t> differing;
        std::vector<std::string> checkFailures;
        const std::vector<std::uint8_t> reply(reply_.begin(), reply_.begin() + length);
        if (CompareReply(step, reply, differing, &checkFailures) == Verdict::Fail) {
            result.mismatch = MismatchOf(step, reply, differing, checkFailures);
            return result;
        }
    }
    return result;
}

StressWorkloadFactory ScriptWorkloadFromText(std::string_view text, std::string& error) {
    ParsedScript parsed = ParseScript(text);
    if (parsed.error) {
        error = ScriptErrorText(*parsed.error);
        return {};
    }
    if (parsed.script.steps.empty()) {
        error = "the script sends no command";
        return {};
    }
    return [script = std::move(parsed.script)] { return std::make_unique<ScriptWorkload>(script); };
}
