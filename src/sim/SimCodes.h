#pragma once

#include <PCSC/pcsclite.h>

#include <cstdint>

#include "session/CardLibrary.h"

// The PC/SC return codes the simulated reader answers, as the 32-bit values the card
// library hands out.
namespace sim_codes {
inline constexpr std::uint32_t Code(long value) {
    return static_cast<std::uint32_t>(value);
}

inline constexpr std::uint32_t kSuccess = Code(SCARD_S_SUCCESS);
inline constexpr std::uint32_t kInvalidHandle = Code(SCARD_E_INVALID_HANDLE);
inline constexpr std::uint32_t kInvalidParameter = Code(SCARD_E_INVALID_PARAMETER);
inline constexpr std::uint32_t kInvalidValue = Code(SCARD_E_INVALID_VALUE);
inline constexpr std::uint32_t kInsufficientBuffer = Code(SCARD_E_INSUFFICIENT_BUFFER);
inline constexpr std::uint32_t kUnknownReader = Code(SCARD_E_UNKNOWN_READER);
inline constexpr std::uint32_t kNoSmartcard = Code(SCARD_E_NO_SMARTCARD);
inline constexpr std::uint32_t kProtoMismatch = Code(SCARD_E_PROTO_MISMATCH);
using ::kUnsupportedFeature;
inline constexpr std::uint32_t kUnresponsiveCard = Code(SCARD_W_UNRESPONSIVE_CARD);
inline constexpr std::uint32_t kRemovedCard = Code(SCARD_W_REMOVED_CARD);
inline constexpr std::uint32_t kSecurityViolation = Code(SCARD_W_SECURITY_VIOLATION);
inline constexpr std::uint32_t kWrongChv = Code(SCARD_W_WRONG_CHV);
inline constexpr std::uint32_t kChvBlocked = Code(SCARD_W_CHV_BLOCKED);
}  // namespace sim_codes
