#pragma once

#include <mutex>

#include "core/session/CardLibrary.h"

// A card library shared between threads: every operation of `library` runs under `mutex`.
// Several instances over the same library and mutex give the main window and a worker
// thread the same simulated cards, one call at a time.
class LockedCardLibrary : public CardLibrary {
  public:
    LockedCardLibrary(CardLibrary& library, std::mutex& mutex) : library_(library), mutex_(mutex) {}

    std::uint32_t CardEstablishContext(std::uint32_t scope, const void* reserved1,
                                       const void* reserved2, std::uint32_t* context) override;
    std::uint32_t CardReleaseContext(std::uint32_t context) override;
    std::uint32_t CardListReaders(std::uint32_t context, const char* groups, char* readers,
                                  std::uint32_t* length) override;
    std::uint32_t CardGetStatusChange(std::uint32_t context, std::uint32_t timeout,
                                      ReaderState* states, std::uint32_t count) override;
    std::uint32_t CardConnect(std::uint32_t context, const char* reader, std::uint32_t shareMode,
                              std::uint32_t preferredProtocols, std::uint32_t* card,
                              std::uint32_t* activeProtocol) override;
    std::uint32_t CardDisconnect(std::uint32_t card, std::uint32_t disposition) override;
    std::uint32_t CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                               const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                               IoRequest* recvPci, std::uint8_t* recvBuffer,
                               std::uint32_t* recvLength) override;
    std::uint32_t CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                 std::uint32_t* length) override;
    std::uint32_t CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                      std::uint32_t address, std::uint32_t* length) override;
    std::uint32_t CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data,
                                       std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t* buffer4) override;
    std::uint32_t CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t* data,
                                          std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t* buffer4) override;
    std::uint32_t CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t* data,
                                           std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4442Verify(std::uint32_t card, std::uint8_t code1, std::uint8_t code2,
                                    std::uint8_t code3) override;
    std::uint32_t CardSLE4428WriteWithProtectBit(std::uint32_t card, const std::uint8_t* data,
                                                 std::uint32_t address,
                                                 std::uint32_t length) override;
    std::uint32_t CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data,
                                       std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4428WriteProtectBit(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                std::uint8_t* protectBits, std::uint32_t address,
                                                std::uint32_t* length) override;
    std::uint32_t CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                      std::uint32_t address, std::uint32_t* length) override;
    std::uint32_t CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t code1,
                                       std::uint8_t code2) override;
    std::uint32_t CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                        std::uint32_t address, std::uint32_t* length) override;
    std::uint32_t CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer,
                                            std::uint32_t address, std::uint32_t* length) override;
    std::uint32_t CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t code1,
                                            std::uint8_t code2) override;
    std::uint32_t CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t code1,
                                              std::uint8_t code2, std::uint8_t code3,
                                              std::uint8_t code4) override;
    std::uint32_t CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t address,
                                         std::uint32_t length) override;
    std::uint32_t CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4404WriteUserMemory(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                        std::uint32_t address, std::uint32_t* length) override;
    std::uint32_t CardSLE4436ReadCounterStages(std::uint32_t card, std::uint8_t* buffer) override;
    std::uint32_t CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t address, std::uint32_t length) override;
    std::uint32_t CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t stage,
                                               std::uint8_t value) override;
    std::uint32_t CardSLE4436Reload(std::uint32_t card, std::uint8_t address) override;
    std::uint32_t CardSLE4436VerifyTransportCode(std::uint32_t card, std::uint8_t code1,
                                                 std::uint8_t code2, std::uint8_t code3) override;
    std::uint32_t CardI2CReadMemory(std::uint32_t card, std::uint8_t command, std::uint32_t address,
                                    std::uint8_t* buffer, std::uint32_t* length, std::uint8_t dummy,
                                    std::uint8_t addressBytes) override;
    std::uint32_t CardI2CWriteMemory(std::uint32_t card, std::uint8_t command,
                                     std::uint32_t address, const std::uint8_t* data,
                                     std::uint32_t length, std::uint8_t addressBytes) override;

  private:
    CardLibrary& library_;
    std::mutex& mutex_;
};
