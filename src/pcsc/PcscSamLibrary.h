#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/sam/SamLibrary.h"

// Name of the SAM slot of a PC/SC reader: the slot of the same device with the next slot
// number, that is the name whose trailing two-digit hex slot field is one higher
// ("X 00 00" has its SAM in "X 00 01"). Empty when the name has no slot field or the slot
// is the last one.
std::optional<std::string> SamSlotReaderName(std::string_view cardReader);

// The SAM slot over PC/SC. Keeps a context of its own, established on first use, and
// hands out 32-bit handles that stand for the native card handles in a table.
class PcscSamLibrary : public SamLibrary {
  public:
    PcscSamLibrary() = default;
    ~PcscSamLibrary() override;
    PcscSamLibrary(const PcscSamLibrary&) = delete;
    PcscSamLibrary& operator=(const PcscSamLibrary&) = delete;

    std::uint32_t SamConnect(const char* reader, std::uint32_t mode, std::uint32_t protocolMask,
                             std::uint32_t* handle, std::uint32_t* protocols) override;
    std::uint32_t SamDisconnect(std::uint32_t handle, std::uint32_t disposition) override;
    std::uint32_t SamTransmit(std::uint32_t handle, const IoRequest* sendPci,
                              const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                              IoRequest* recvPci, std::uint8_t* recvBuffer,
                              std::uint32_t* recvLength) override;

  private:
    // The service's handle, protocol and context types, spelt out so that this header needs
    // none of its headers; the source checks that they match.
    using NativeHandle = long;
    using NativeProtocol = unsigned long;
    using NativeResult = long;
    struct Connection {
        NativeHandle card;
        NativeProtocol protocol;  // native active protocol
    };

    // A valid context, established again when the service has dropped the old one.
    NativeResult EnsureContext();
    // Whether `name` is in the service's current reader list.
    bool IsListed(const std::string& name);
    std::uint32_t NextHandle();

    NativeHandle context_ = 0;
    bool hasContext_ = false;
    std::map<std::uint32_t, Connection> connections_;
    std::uint32_t lastHandle_ = 0;
};
