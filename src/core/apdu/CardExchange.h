#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/apdu/ApduFields.h"

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

// What a transmit answered: the library's code and the reply it delivered.
struct ApduReply {
    std::uint32_t code = 0;
    ApduBuffer bytes{};
    std::uint32_t length = 0;
};

// Parses the seven field texts and logs the command: its count line and its bytes on one
// line. A faulty field logs nothing and answers the text of the error box that names it.
std::optional<std::string> PrepareApduCommand(const ApduTexts& texts, ResponseLog& log,
                                              ApduBuffer& command, std::int32_t& n);

// Logs the outcome of a transmit: on 0 the success line, the reply's count line and hex
// rows; otherwise the return-code line, which the window precedes with the error box
// `wording.errorBox`. The separator line closes both. A reply length beyond the receive
// buffer is bounded to it.
void LogApduReply(const ApduReply& reply, const ExchangeWording& wording, ResponseLog& log);
// The same for a reply of `length` bytes in `bytes`, whatever the size of its buffer.
void LogExchangeOutcome(std::uint32_t code, const std::uint8_t* bytes, std::uint32_t length,
                        const ExchangeWording& wording, ResponseLog& log);

// One transmit of `command` to the card in the selected reader, with its protocol control
// record; logs nothing.
ApduReply TransmitCardApdu(ReaderSession& session, const ApduBuffer& command, std::int32_t n);
