#include "gui/apdu/ApduConsole.h"

#include <optional>

#include "core/sam/SamSession.h"
#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"

bool RunApduExchange(const ApduTexts& texts, const ExchangeWording& wording,
                     const ApduTransmit& transmit, MessageBoxes& boxes, ResponseLog& log,
                     const ApduAnswered& answered) {
    ApduBuffer command{};
    std::int32_t n = 0;
    if (const auto fault = PrepareApduCommand(texts, log, command, n)) {
        boxes.ShowError(*fault);
        return false;
    }
    const ApduReply reply = transmit(command, n);
    if (reply.code != 0) {
        boxes.ShowError(std::string(wording.errorBox));
    }
    LogApduReply(reply, wording, log);
    if (answered) {
        answered(reply);
    }
    return reply.code == 0;
}

bool SendCardApdu(const ApduTexts& texts, ReaderSession& session, MessageBoxes& boxes,
                  ResponseLog& log, const ApduAnswered& answered) {
    std::optional<CardBusyGuard> busy;
    const auto transmit = [&](const ApduBuffer& command, std::int32_t n) {
        busy.emplace(session);
        return TransmitCardApdu(session, command, n);
    };
    return RunApduExchange(texts, kCardExchangeWording, transmit, boxes, log, answered);
}

bool SendSamApdu(const ApduTexts& texts, SamSession& sam, SamSlot& slot, MessageBoxes& boxes,
                 const ApduAnswered& answered) {
    const auto transmit = [&](const ApduBuffer& command, std::int32_t n) {
        return sam.Transmit(command, n, slot);
    };
    return RunApduExchange(texts, kSamExchangeWording, transmit, boxes, sam.Log(), answered);
}
