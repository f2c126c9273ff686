#include "core/stress/ScriptWorkload.h"

#include <algorithm>
#include <vector>

#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "core/session/CardLibrary.h"

namespace {
// The card's reset on the run's own handle; a card that does not answer it leaves the
// handle open for the run to release.
std::uint32_t Reset(StressConnection& connection) {
    return connection.library.CardReconnect(connection.card, connection.shareMode,
                                            kProtocolT0 | kProtocolT1, kDispositionReset,
                                            &connection.protocol);
}

std::string StatusPatternsText(const std::vector<BytePattern>& words) {
    std::string text;
    for (const BytePattern& word : words) {
        text += (text.empty() ? "" : ", ") + PatternText(word);
    }
    return text;
}

// What of the reply the step did not expect: the status word when none of the expected
// ones came, else the data.
ReplyMismatch MismatchOf(const ScriptStep& step, const std::vector<std::uint8_t>& reply) {
    const auto dataEnd = reply.end() - 2;
    const std::vector<std::uint8_t> sw(dataEnd, reply.end());
    const bool swMet = step.expectedStatus.empty() ||
                       std::ranges::any_of(step.expectedStatus, [&](const BytePattern& word) {
                           return word.size() == 2 && (word[0] == kAnyByte || word[0] == sw[0]) &&
                                  (word[1] == kAnyByte || word[1] == sw[1]);
                       });
    if (!swMet) {
        return {ReplyMismatch::Kind::StatusWord, StatusPatternsText(step.expectedStatus), sw};
    }
    return {ReplyMismatch::Kind::Data, PatternText(step.expectedData),
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
            result.code = Reset(connection);
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
        const std::vector<std::uint8_t> reply(reply_.begin(), reply_.begin() + length);
        if (CompareReply(step, reply, differing) == Verdict::Fail) {
            result.mismatch = MismatchOf(step, reply);
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
