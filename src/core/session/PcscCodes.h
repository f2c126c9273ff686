#pragma once

#include <cstdint>

// The PC/SC return codes that the program and its simulated reader hand out, with their
// standard values, so that code outside the PC/SC backend needs none of the service's
// headers.
namespace pcsc_codes {
inline constexpr std::uint32_t kSuccess = 0x00000000;
inline constexpr std::uint32_t kInvalidHandle = 0x80100003;
inline constexpr std::uint32_t kInvalidParameter = 0x80100004;
inline constexpr std::uint32_t kInsufficientBuffer = 0x80100008;
inline constexpr std::uint32_t kTimeout = 0x8010000A;
inline constexpr std::uint32_t kSharingViolation = 0x8010000B;
inline constexpr std::uint32_t kUnknownReader = 0x80100009;
inline constexpr std::uint32_t kNoSmartcard = 0x8010000C;
inline constexpr std::uint32_t kProtoMismatch = 0x8010000F;
inline constexpr std::uint32_t kInvalidValue = 0x80100011;
inline constexpr std::uint32_t kReaderUnavailable = 0x80100017;
// SCARD_E_UNSUPPORTED_FEATURE with its standard value (pcsc-lite's macro shares its value
// with SCARD_E_UNEXPECTED, which would hide what the answer means).
inline constexpr std::uint32_t kUnsupportedFeature = 0x80100022;
inline constexpr std::uint32_t kNoService = 0x8010001D;
inline constexpr std::uint32_t kNoReadersAvailable = 0x8010002E;
inline constexpr std::uint32_t kReaderUnsupported = 0x8010001A;
inline constexpr std::uint32_t kCommError = 0x80100013;
inline constexpr std::uint32_t kUnresponsiveCard = 0x80100066;
inline constexpr std::uint32_t kResetCard = 0x80100068;
inline constexpr std::uint32_t kRemovedCard = 0x80100069;
inline constexpr std::uint32_t kSecurityViolation = 0x8010006A;
inline constexpr std::uint32_t kWrongChv = 0x8010006B;
inline constexpr std::uint32_t kChvBlocked = 0x8010006C;
}  // namespace pcsc_codes
