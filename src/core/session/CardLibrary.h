#pragma once

#include <cstdint>

#include "core/session/PcscCodes.h"

// The card library: the reader operations in the shape of the PC/SC calls (8-bit text
// variant) and the memory-card operations. Every operation answers a 32-bit code, 0 for
// success. Contexts and card handles are 32-bit values; a backend maps them to its own.

// Reader-state record of the PC/SC status query.
struct ReaderState {
    const char* reader = nullptr;
    void* userData = nullptr;
    std::uint32_t currentState = 0;
    std::uint32_t eventState = 0;
    std::uint32_t atrLength = 0;
    std::uint8_t atr[36] = {};
};

// Event-state bit: a card is in the reader.
inline constexpr std::uint32_t kStatePresent = 0x20;

// Protocol control record of an exchange: active protocol and the record length (8).
struct IoRequest {
    std::uint32_t protocol = 0;
    std::uint32_t length = 0;
};

// Context scopes of CardEstablishContext.
inline constexpr std::uint32_t kScopeUser = 0;
inline constexpr std::uint32_t kScopeSystem = 2;
// Share modes of CardConnect.
inline constexpr std::uint32_t kShareExclusive = 1;
inline constexpr std::uint32_t kShareShared = 2;
// Dispositions of CardDisconnect.
inline constexpr std::uint32_t kDispositionLeave = 0;
inline constexpr std::uint32_t kDispositionReset = 1;

// Active protocol values reported by CardConnect.
inline constexpr std::uint32_t kProtocolT0 = 1;
inline constexpr std::uint32_t kProtocolT1 = 2;
inline constexpr std::uint32_t kProtocolMemoryCard = 16;
inline constexpr std::uint32_t kMaxExtendedReply = 65536 + 2;  // extended Le's data and SW1 SW2

// Answer of an operation that the card or the backend cannot carry out.
using pcsc_codes::kUnsupportedFeature;

class CardLibrary {
  public:
    virtual ~CardLibrary() = default;

    // Reader operations.
    virtual std::uint32_t CardEstablishContext(std::uint32_t scope, const void* reserved1,
                                               const void* reserved2, std::uint32_t* context) = 0;
    virtual std::uint32_t CardReleaseContext(std::uint32_t context) = 0;
    // First call with a null buffer answers the length needed; the second fills the
    // buffer with zero-terminated names and one more zero.
    virtual std::uint32_t CardListReaders(std::uint32_t context, const char* groups, char* readers,
                                          std::uint32_t* length) = 0;
    virtual std::uint32_t CardGetStatusChange(std::uint32_t context, std::uint32_t timeout,
                                              ReaderState* states, std::uint32_t count) = 0;
    virtual std::uint32_t CardConnect(std::uint32_t context, const char* reader,
                                      std::uint32_t shareMode, std::uint32_t preferredProtocols,
                                      std::uint32_t* card, std::uint32_t* activeProtocol) = 0;
    virtual std::uint32_t CardDisconnect(std::uint32_t card, std::uint32_t disposition) = 0;
    // Renews a connection in place; `initialization` is a disposition (leave, reset,
    // unpower). It also clears the reset mark that another handle's reset left on it.
    virtual std::uint32_t CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                        std::uint32_t preferredProtocols,
                                        std::uint32_t initialization,
                                        std::uint32_t* activeProtocol) = 0;
    virtual std::uint32_t CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                                       const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                                       IoRequest* recvPci, std::uint8_t* recvBuffer,
                                       std::uint32_t* recvLength) = 0;
    // Delivers at most *length characters of the reader's type text, not zero-terminated.
    virtual std::uint32_t CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                         std::uint32_t* length) = 0;

    // SLE4432/4442.
    virtual std::uint32_t CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                              std::uint32_t address, std::uint32_t* length) = 0;
    virtual std::uint32_t CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data,
                                               std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t* buffer4) = 0;
    virtual std::uint32_t CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t* data,
                                                  std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t* buffer4) = 0;
    virtual std::uint32_t CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t* data,
                                                   std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4442Verify(std::uint32_t card, std::uint8_t code1,
                                            std::uint8_t code2, std::uint8_t code3) = 0;

    // SLE4418/4428.
    virtual std::uint32_t CardSLE4428WriteWithProtectBit(std::uint32_t card,
                                                         const std::uint8_t* data,
                                                         std::uint32_t address,
                                                         std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data,
                                               std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4428WriteProtectBit(std::uint32_t card, const std::uint8_t* data,
                                                     std::uint32_t address,
                                                     std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                        std::uint8_t* protectBits,
                                                        std::uint32_t address,
                                                        std::uint32_t* length) = 0;
    virtual std::uint32_t CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                              std::uint32_t address, std::uint32_t* length) = 0;
    virtual std::uint32_t CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t code1,
                                               std::uint8_t code2) = 0;

    // SLE4404.
    virtual std::uint32_t CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                std::uint32_t address, std::uint32_t* length) = 0;
    virtual std::uint32_t CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer,
                                                    std::uint32_t address,
                                                    std::uint32_t* length) = 0;
    virtual std::uint32_t CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t code1,
                                                    std::uint8_t code2) = 0;
    virtual std::uint32_t CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t code1,
                                                      std::uint8_t code2, std::uint8_t code3,
                                                      std::uint8_t code4) = 0;
    virtual std::uint32_t CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t address,
                                                 std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                 std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4404WriteUserMemory(std::uint32_t card, const std::uint8_t* data,
                                                     std::uint32_t address,
                                                     std::uint32_t length) = 0;

    // SLE4406/4436/5536.
    virtual std::uint32_t CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                std::uint32_t address, std::uint32_t* length) = 0;
    // Fills five counter stage bytes.
    virtual std::uint32_t CardSLE4436ReadCounterStages(std::uint32_t card,
                                                       std::uint8_t* buffer) = 0;
    virtual std::uint32_t CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                 std::uint32_t address, std::uint32_t length) = 0;
    virtual std::uint32_t CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t stage,
                                                       std::uint8_t value) = 0;
    virtual std::uint32_t CardSLE4436Reload(std::uint32_t card, std::uint8_t address) = 0;
    virtual std::uint32_t CardSLE4436VerifyTransportCode(std::uint32_t card, std::uint8_t code1,
                                                         std::uint8_t code2,
                                                         std::uint8_t code3) = 0;

    // I2C memory cards.
    virtual std::uint32_t CardI2CReadMemory(std::uint32_t card, std::uint8_t command,
                                            std::uint32_t address, std::uint8_t* buffer,
                                            std::uint32_t* length, std::uint8_t dummy,
                                            std::uint8_t addressBytes) = 0;
    virtual std::uint32_t CardI2CWriteMemory(std::uint32_t card, std::uint8_t command,
                                             std::uint32_t address, const std::uint8_t* data,
                                             std::uint32_t length, std::uint8_t addressBytes) = 0;
};
