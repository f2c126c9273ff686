#pragma once

#include <mutex>

#include "core/session/CardLibrary.h"
#include "core/session/SharedCallLock.h"

// A card library shared between threads: every call holds the given lock, so that a library
// that is not thread-safe (the simulated reader) serves several workers and the windows one
// call at a time.
class LockedCardLibrary : public CardLibrary {
  public:
    LockedCardLibrary(CardLibrary& library, SharedCallLock& mutex)
        : library_(library), mutex_(mutex) {}

    std::uint32_t CardEstablishContext(std::uint32_t scope, const void* reserved1,
                                       const void* reserved2, std::uint32_t* context) override {
        std::lock_guard lock(mutex_);
        return library_.CardEstablishContext(scope, reserved1, reserved2, context);
    }
    std::uint32_t CardReleaseContext(std::uint32_t context) override {
        std::lock_guard lock(mutex_);
        return library_.CardReleaseContext(context);
    }
    std::uint32_t CardListReaders(std::uint32_t context, const char* groups, char* readers,
                                  std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardListReaders(context, groups, readers, length);
    }
    std::uint32_t CardGetStatusChange(std::uint32_t context, std::uint32_t timeout,
                                      ReaderState* states, std::uint32_t count) override {
        std::lock_guard lock(mutex_);
        return library_.CardGetStatusChange(context, timeout, states, count);
    }
    std::uint32_t CardConnect(std::uint32_t context, const char* reader, std::uint32_t shareMode,
                              std::uint32_t preferredProtocols, std::uint32_t* card,
                              std::uint32_t* activeProtocol) override {
        std::lock_guard lock(mutex_);
        return library_.CardConnect(context, reader, shareMode, preferredProtocols, card,
                                    activeProtocol);
    }
    std::uint32_t CardDisconnect(std::uint32_t card, std::uint32_t disposition) override {
        std::lock_guard lock(mutex_);
        return library_.CardDisconnect(card, disposition);
    }
    std::uint32_t CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                std::uint32_t preferredProtocols, std::uint32_t initialization,
                                std::uint32_t* activeProtocol) override {
        std::lock_guard lock(mutex_);
        return library_.CardReconnect(card, shareMode, preferredProtocols, initialization,
                                      activeProtocol);
    }
    std::uint32_t CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                               const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                               IoRequest* recvPci, std::uint8_t* recvBuffer,
                               std::uint32_t* recvLength) override {
        std::lock_guard lock(mutex_);
        return library_.CardTransmit(card, sendPci, sendBuffer, sendLength, recvPci, recvBuffer,
                                     recvLength);
    }
    std::uint32_t CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                 std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardReaderType(card, buffer, length);
    }
    std::uint32_t CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                      std::uint32_t address, std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442ReadMain(card, buffer, address, length);
    }
    std::uint32_t CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data,
                                       std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442WriteMain(card, data, address, length);
    }
    std::uint32_t CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t* buffer4) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442ReadProtect(card, buffer4);
    }
    std::uint32_t CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t* data,
                                          std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442WriteProtect(card, data, address, length);
    }
    std::uint32_t CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t* buffer4) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442ReadSecurity(card, buffer4);
    }
    std::uint32_t CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t* data,
                                           std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442WriteSecurity(card, data, address, length);
    }
    std::uint32_t CardSLE4442Verify(std::uint32_t card, std::uint8_t code1, std::uint8_t code2,
                                    std::uint8_t code3) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4442Verify(card, code1, code2, code3);
    }
    std::uint32_t CardSLE4428WriteWithProtectBit(std::uint32_t card, const std::uint8_t* data,
                                                 std::uint32_t address,
                                                 std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428WriteWithProtectBit(card, data, address, length);
    }
    std::uint32_t CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data,
                                       std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428WriteMain(card, data, address, length);
    }
    std::uint32_t CardSLE4428WriteProtectBit(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428WriteProtectBit(card, data, address, length);
    }
    std::uint32_t CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                std::uint8_t* protectBits, std::uint32_t address,
                                                std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428ReadWithProtectBit(card, data, protectBits, address, length);
    }
    std::uint32_t CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                      std::uint32_t address, std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428ReadMain(card, buffer, address, length);
    }
    std::uint32_t CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t code1,
                                       std::uint8_t code2) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4428VerifyPSC(card, code1, code2);
    }
    std::uint32_t CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                        std::uint32_t address, std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404ReadMemory(card, buffer, address, length);
    }
    std::uint32_t CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer,
                                            std::uint32_t address, std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404ReadUserMemory(card, buffer, address, length);
    }
    std::uint32_t CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t code1,
                                            std::uint8_t code2) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404VerifyUserCode(card, code1, code2);
    }
    std::uint32_t CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t code1,
                                              std::uint8_t code2, std::uint8_t code3,
                                              std::uint8_t code4) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404VerifyMemoryCode(card, code1, code2, code3, code4);
    }
    std::uint32_t CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t address,
                                         std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404EraseMemory(card, address, length);
    }
    std::uint32_t CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404WriteMemory(card, data, address, length);
    }
    std::uint32_t CardSLE4404WriteUserMemory(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4404WriteUserMemory(card, data, address, length);
    }
    std::uint32_t CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                        std::uint32_t address, std::uint32_t* length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436ReadMemory(card, buffer, address, length);
    }
    std::uint32_t CardSLE4436ReadCounterStages(std::uint32_t card, std::uint8_t* buffer) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436ReadCounterStages(card, buffer);
    }
    std::uint32_t CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t address, std::uint32_t length) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436WriteMemory(card, data, address, length);
    }
    std::uint32_t CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t stage,
                                               std::uint8_t value) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436WriteCounterStage(card, stage, value);
    }
    std::uint32_t CardSLE4436Reload(std::uint32_t card, std::uint8_t address) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436Reload(card, address);
    }
    std::uint32_t CardSLE4436VerifyTransportCode(std::uint32_t card, std::uint8_t code1,
                                                 std::uint8_t code2, std::uint8_t code3) override {
        std::lock_guard lock(mutex_);
        return library_.CardSLE4436VerifyTransportCode(card, code1, code2, code3);
    }
    std::uint32_t CardI2CReadMemory(std::uint32_t card, std::uint8_t command, std::uint32_t address,
                                    std::uint8_t* buffer, std::uint32_t* length, std::uint8_t dummy,
                                    std::uint8_t addressBytes) override {
        std::lock_guard lock(mutex_);
        return library_.CardI2CReadMemory(card, command, address, buffer, length, dummy,
                                          addressBytes);
    }
    std::uint32_t CardI2CWriteMemory(std::uint32_t card, std::uint8_t command,
                                     std::uint32_t address, const std::uint8_t* data,
                                     std::uint32_t length, std::uint8_t addressBytes) override {
        std::lock_guard lock(mutex_);
        return library_.CardI2CWriteMemory(card, command, address, data, length, addressBytes);
    }

  private:
    CardLibrary& library_;
    SharedCallLock& mutex_;
};
