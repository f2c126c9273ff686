#pragma once

#include <cstdint>

#include "core/session/CardLibrary.h"

// The SAM slot of a reader: connect, disconnect and exchange, each answering a 32-bit
// code, 0 for success.
class SamLibrary {
  public:
    virtual ~SamLibrary() = default;
    // protocols receives the active protocol flags: bit 0 T=0, bit 1 T=1.
    virtual std::uint32_t SamConnect(const char* reader, std::uint32_t mode,
                                     std::uint32_t protocolMask, std::uint32_t* handle,
                                     std::uint32_t* protocols) = 0;
    virtual std::uint32_t SamDisconnect(std::uint32_t handle, std::uint32_t disposition) = 0;
    virtual std::uint32_t SamTransmit(std::uint32_t handle, const IoRequest* sendPci,
                                      const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                                      IoRequest* recvPci, std::uint8_t* recvBuffer,
                                      std::uint32_t* recvLength) = 0;
};
