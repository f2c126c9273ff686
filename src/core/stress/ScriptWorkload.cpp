#include "core/stress/ScriptWorkload.h"

#include <vector>

#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "core/session/CardLibrary.h"

namespace {
// Disconnect with reset and connect again; the connection then holds the new card handle.
std::uint32_t Reset(StressConnection& connection) {
    const std::uint32_t gone =
        connection.library.CardDisconnect(connection.card, kDispositionReset);
    connection.card = 0;
    if (gone != 0) {
        return gone;
    }
    return connection.library.CardConnect(connection.context, connection.reader.c_str(),
                                          connection.shareMode, kProtocolT0 | kProtocolT1,
                                          &connection.card, &connection.protocol);
}
}  // namespace

UnitResult ScriptWorkload::RunUnit(StressConnection& connection) {
    UnitResult result;
    for (const ScriptStep& step : script_.steps) {
        if (step.kind == ScriptStep::Kind::Reset) {
            result.code = Reset(connection);
            if (result.code != 0) {
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
            result.unexpectedStatus = true;
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
