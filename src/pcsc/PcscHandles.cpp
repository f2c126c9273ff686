#include "pcsc/PcscHandles.h"

#include "core/session/PcscCodes.h"

// The program's own copies of the service's codes must be the service's values.
static_assert(pcsc_codes::kSuccess == static_cast<std::uint32_t>(SCARD_S_SUCCESS));
static_assert(pcsc_codes::kInvalidHandle == static_cast<std::uint32_t>(SCARD_E_INVALID_HANDLE));
static_assert(pcsc_codes::kInvalidParameter ==
              static_cast<std::uint32_t>(SCARD_E_INVALID_PARAMETER));
static_assert(pcsc_codes::kInsufficientBuffer ==
              static_cast<std::uint32_t>(SCARD_E_INSUFFICIENT_BUFFER));
static_assert(pcsc_codes::kTimeout == static_cast<std::uint32_t>(SCARD_E_TIMEOUT));
static_assert(pcsc_codes::kUnknownReader == static_cast<std::uint32_t>(SCARD_E_UNKNOWN_READER));
static_assert(pcsc_codes::kNoSmartcard == static_cast<std::uint32_t>(SCARD_E_NO_SMARTCARD));
static_assert(pcsc_codes::kProtoMismatch == static_cast<std::uint32_t>(SCARD_E_PROTO_MISMATCH));
static_assert(pcsc_codes::kInvalidValue == static_cast<std::uint32_t>(SCARD_E_INVALID_VALUE));
static_assert(pcsc_codes::kReaderUnavailable ==
              static_cast<std::uint32_t>(SCARD_E_READER_UNAVAILABLE));
static_assert(pcsc_codes::kNoService == static_cast<std::uint32_t>(SCARD_E_NO_SERVICE));
static_assert(pcsc_codes::kNoReadersAvailable ==
              static_cast<std::uint32_t>(SCARD_E_NO_READERS_AVAILABLE));
static_assert(pcsc_codes::kReaderUnsupported ==
              static_cast<std::uint32_t>(SCARD_E_READER_UNSUPPORTED));
static_assert(pcsc_codes::kCommError == static_cast<std::uint32_t>(SCARD_F_COMM_ERROR));
static_assert(pcsc_codes::kUnresponsiveCard ==
              static_cast<std::uint32_t>(SCARD_W_UNRESPONSIVE_CARD));
static_assert(pcsc_codes::kRemovedCard == static_cast<std::uint32_t>(SCARD_W_REMOVED_CARD));
static_assert(pcsc_codes::kSecurityViolation ==
              static_cast<std::uint32_t>(SCARD_W_SECURITY_VIOLATION));
static_assert(pcsc_codes::kWrongChv == static_cast<std::uint32_t>(SCARD_W_WRONG_CHV));
static_assert(pcsc_codes::kChvBlocked == static_cast<std::uint32_t>(SCARD_W_CHV_BLOCKED));

#include <utility>

std::uint32_t PcscHandles::NextId() {
    // 0 is never a handle; numbers still in use are skipped after a wrap.
    do {
        ++lastId_;
    } while (lastId_ == 0 || contexts_.contains(lastId_) || cards_.contains(lastId_));
    return lastId_;
}

std::uint32_t PcscHandles::AddContext(const Context& context) {
    const std::uint32_t id = NextId();
    contexts_.emplace(id, context);
    return id;
}

std::uint32_t PcscHandles::AddCard(const Card& card) {
    const std::uint32_t id = NextId();
    cards_.emplace(id, card);
    return id;
}

PcscHandles::Context* PcscHandles::FindContext(std::uint32_t id) {
    const auto it = contexts_.find(id);
    return it == contexts_.end() ? nullptr : &it->second;
}

PcscHandles::Card* PcscHandles::FindCard(std::uint32_t id) {
    const auto it = cards_.find(id);
    return it == cards_.end() ? nullptr : &it->second;
}

void PcscHandles::RemoveContext(std::uint32_t id) {
    contexts_.erase(id);
    std::erase_if(cards_, [id](const auto& entry) { return entry.second.context == id; });
}

void PcscHandles::RemoveCard(std::uint32_t id) {
    cards_.erase(id);
}

SCARDCONTEXT PcscHandles::RenewContext(std::uint32_t id, SCARDCONTEXT native) {
    Context& context = contexts_.at(id);
    for (auto it = cards_.begin(); it != cards_.end();) {
        if (it->second.context == id) {
            context.lostCards.insert(it->second.reader);
            it = cards_.erase(it);
        } else {
            ++it;
        }
    }
    return std::exchange(context.native, native);
}
