#include "core/apdu/CardExchange.h"

#include <algorithm>

#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/session/ReaderSession.h"

std::optional<std::string> PrepareApduCommand(const ApduTexts& texts, ResponseLog& log,
                                              ApduBuffer& command, std::int32_t& n) {
    if (auto fault = ParseApduFields(texts, command, n)) {
        return fault;
    }
    AppendSentData(log, command.data(), n);
    return std::nullopt;
}

void LogApduReply(const ApduReply& reply, const ExchangeWording& wording, ResponseLog& log) {
    const auto shown = std::min<std::uint32_t>(reply.length, reply.bytes.size());
    LogExchangeOutcome(reply.code, reply.bytes.data(), shown, wording, log);
}

void LogExchangeOutcome(std::uint32_t code, const std::uint8_t* bytes, std::uint32_t length,
                        const ExchangeWording& wording, ResponseLog& log) {
    if (code == 0) {
        AppendLogLine(log, wording.successLine);
        AppendReceivedData(log, bytes, length);
    } else {
        AppendReturnCodeLine(log, wording.failureWords, code);
    }
    AppendSeparatorLine(log);
}

ApduReply TransmitCardApdu(ReaderSession& session, const ApduBuffer& command, std::int32_t n) {
    IoRequest& request = session.PrepareIoRequest();
    ApduReply reply;
    reply.length = ApduBufferSize;
    reply.code = session.Library().CardTransmit(session.SelectedCardHandle(), &request,
                                                command.data(), static_cast<std::uint32_t>(n),
                                                &request, reply.bytes.data(), &reply.length);
    return reply;
}
