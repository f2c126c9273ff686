#pragma once

#include <cstdint>
#include <string_view>

#include "apdu/ApduFields.h"

class MessageBoxes;
class ReaderSession;
class ResponseLog;

// The lines in which an APDU console reports the outcome of a transmit.
struct ExchangeWording {
    std::string_view successLine;   // after a transmit that returned 0
    std::string_view errorBox;      // shown first when the transmit failed
    std::string_view failureWords;  // followed by the return code in 16 hex digits
};

inline constexpr ExchangeWording kCardExchangeWording{
    "Send Data Success", "Send Data To Card Fail!", "Send Data Fail, return code=0x"};

// Parses the seven field texts and logs the command: its count line and its bytes on one
// line. A faulty field is shown in an error box and nothing is logged; the result is then
// false.
bool PrepareApduCommand(const ApduTexts& texts, MessageBoxes& boxes, ResponseLog& log,
                        ApduBuffer& command, std::int32_t& n);

// Logs the outcome of a transmit that answered `code`: on 0 the success line, the reply's
// count line and hex rows; otherwise the error box and then the return-code line. The
// separator line closes both. A reply length beyond the receive buffer is bounded to it.
// True when the transmit succeeded.
bool ReportApduReply(std::uint32_t code, const ApduBuffer& reply, std::uint32_t replyLength,
                     const ExchangeWording& wording, MessageBoxes& boxes, ResponseLog& log);

// One exchange with the card in the selected reader, logged into `log`; CardBusy is set
// from just before the transmit until the outcome has been logged. False when a field was
// faulty or the transmit failed.
bool SendCardApdu(const ApduTexts& texts, ReaderSession& session, ResponseLog& log);
