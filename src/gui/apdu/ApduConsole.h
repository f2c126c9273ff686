#pragma once

#include <cstdint>
#include <functional>

#include "core/apdu/CardExchange.h"

class MessageBoxes;
class ReaderSession;
class ResponseLog;
class SamSession;
struct SamSlot;

// One exchange as an APDU console runs it: a faulty field shows its error box and ends it;
// otherwise the command is logged and transmitted, a failed transmit shows the wording's
// error box, and then the outcome's lines follow. True when the transmit succeeded.
// `answered`, when given, sees the reply of every transmit once its lines are logged.
using ApduTransmit = std::function<ApduReply(const ApduBuffer& command, std::int32_t n)>;
using ApduAnswered = std::function<void(const ApduReply& reply)>;
bool RunApduExchange(const ApduTexts& texts, const ExchangeWording& wording,
                     const ApduTransmit& transmit, MessageBoxes& boxes, ResponseLog& log,
                     const ApduAnswered& answered = {});

// The CPU card page's exchange with the card in the selected reader; CardBusy is set from
// just before the transmit until the outcome has been logged.
bool SendCardApdu(const ApduTexts& texts, ReaderSession& session, MessageBoxes& boxes,
                  ResponseLog& log, const ApduAnswered& answered = {});

// The SAM page's exchange with the SAM of `slot`, logged into the SAM's log.
// CardBusy is neither tested nor set.
bool SendSamApdu(const ApduTexts& texts, SamSession& sam, SamSlot& slot, MessageBoxes& boxes,
                 const ApduAnswered& answered = {});
