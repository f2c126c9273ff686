#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/apdu/ApduFields.h"
#include "core/apdu/CardExchange.h"
#include "core/apdu/FieldRules.h"
#include "core/session/CardLibrary.h"
#include "core/session/ReaderSession.h"

class ResponseLog;
class SamLibrary;

inline constexpr ExchangeWording kSamExchangeWording{
    "Send Data To SAM Card Success", "Send Data Fail!", "Send Data To SAM Card Fail, return code="};

// The longest SAMLe text: as many characters as Le takes on the CPU card page.
inline constexpr std::size_t kSamLeMaxLength = 6;

// The typing rules of the SAM page's fields SAMCLA, SAMINS, SAMP1, SAMP2, SAMLc, SAMData,
// SAMLe.
FieldRules SamFieldRules();

// How the SAM fields are laid out for the protocol flags of a connect.
struct SamProtocolLayout {
    std::string_view protocolCaption;
    std::optional<std::string_view> lcCaption;  // none: unchanged, as are the two below
    std::optional<std::size_t> lcMaxLength;
    std::optional<bool> leVisible;
};
// Bit 0 (T=0) is tested first, then bit 1 (T=1).
SamProtocolLayout SamLayoutForProtocols(std::uint32_t flags);

// The SAM slot of a reader: the connect, exchange and disconnect with their log lines. Every
// operation works on the SAM part of the reader record it is given.
class SamSession {
  public:
    SamSession(SamLibrary& library, ResponseLog& log);

    // SamConnect for the reader (a null name is passed on; the library refuses it), then
    // "Connect SAM0 Success" or the failure line. A handle of the slot still open from an
    // earlier connect is released first, silently. The caller closes the block with an
    // empty line. Answers the library's code.
    std::uint32_t Connect(const char* readerName, SamSlot& slot);
    // SamDisconnect, then "Disconnect SAM0 Success" or the failure line. The handle stays.
    std::uint32_t Disconnect(SamSlot& slot);
    // One transmit of `command` to the SAM with the slot's protocol control record; logs
    // nothing. The exchange is logged like the card's, in kSamExchangeWording.
    ApduReply Transmit(const ApduBuffer& command, std::int32_t n, SamSlot& slot);

    ResponseLog& Log() { return log_; }

  private:
    SamLibrary& library_;
    ResponseLog& log_;
};
