#include "pcsc/PcscMsrLibrary.h"

#include <pcsclite.h>

namespace {
constexpr auto kUnsupported = static_cast<std::uint32_t>(SCARD_E_READER_UNSUPPORTED);
constexpr auto kInvalidHandle = static_cast<std::uint32_t>(SCARD_E_INVALID_HANDLE);
}  // namespace

std::uint32_t PcscMsrLibrary::MsrOpen(const char*, std::uint32_t*) {
    return kUnsupported;
}

std::uint32_t PcscMsrLibrary::MsrRead(std::uint32_t, MsrTrackRecord*, std::uint32_t) {
    return kInvalidHandle;
}

std::uint32_t PcscMsrLibrary::MsrPoll(std::uint32_t, MsrTrackRecord*) {
    return kInvalidHandle;
}

std::uint32_t PcscMsrLibrary::MsrDisable(std::uint32_t) {
    return kInvalidHandle;
}

std::uint32_t PcscMsrLibrary::MsrClose(std::uint32_t) {
    return kInvalidHandle;
}
