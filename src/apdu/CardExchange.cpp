#include "apdu/CardExchange.h"

#include <algorithm>

#include "common/LogFormat.h"
#include "common/ResponseLog.h"
#include "session/MessageBoxes.h"
#include "session/ReaderSession.h"

namespace {
constexpr std::uint32_t kIoRequestLength = 8;
}

bool PrepareApduCommand(const ApduTexts& texts, MessageBoxes& boxes, ResponseLog& log,
                        ApduBuffer& command, std::int32_t& n) {
    if (const auto fault = ParseApduFields(texts, command, n)) {
        boxes.ShowError(*fault);
        return false;
    }
    AppendSentData(log, command.data(), n);
    return true;
}

bool ReportApduReply(std::uint32_t code, const ApduBuffer& reply, std::uint32_t replyLength,
                     const ExchangeWording& wording, MessageBoxes& boxes, ResponseLog& log) {
    const bool success = code == 0;
    if (success) {
        AppendLogLine(log, wording.successLine);
        const auto shown = std::min<std::uint32_t>(replyLength, reply.size());
        AppendReceivedData(log, reply.data(), shown);
    } else {
        boxes.ShowError(std::string(wording.errorBox));
        AppendReturnCodeLine(log, wording.failureWords, code);
    }
    AppendSeparatorLine(log);
    return success;
}

bool SendCardApdu(const ApduTexts& texts, ReaderSession& session, ResponseLog& log) {
    ApduBuffer command{};
    std::int32_t n = 0;
    if (!PrepareApduCommand(texts, session.Boxes(), log, command, n)) {
        return false;
    }
    IoRequest& request = session.IoRequests[session.Slot()];
    request.protocol = session.SelectedProtocol();
    request.length = kIoRequestLength;
    ApduBuffer reply{};
    std::uint32_t replyLength = ApduBufferSize;
    session.CardBusy = true;
    const std::uint32_t code = session.Library().CardTransmit(
        session.SelectedCardHandle(), &request, command.data(), static_cast<std::uint32_t>(n),
        &request, reply.data(), &replyLength);
    const bool success =
        ReportApduReply(code, reply, replyLength, kCardExchangeWording, session.Boxes(), log);
    session.CardBusy = false;
    return success;
}
