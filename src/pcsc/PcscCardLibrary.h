#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "core/session/CardLibrary.h"

class PcscHandles;
class PcscStorageCard;

// The card library over the platform's PC/SC service. Reader operations call their PC/SC
// twins and answer the service's codes. Contexts and card handles are numbers standing
// for the native handles; a number not open here, a context of 0 or a missing reader name
// is refused with a PC/SC code without calling the service. A context whose native handle
// the service answers as lost (stopped, restarted) gets a fresh one behind the same number
// at its next use; the cards connected under the old one are gone, and the next state
// query of their reader reports the card once as unavailable (present bit clear), so that a
// caller connects it anew. A failed exchange delivers no bytes. Memory cards are driven with
// the reader's storage-card commands; operations those commands cannot express answer
// kUnsupportedFeature, and a card status word other than 90 00 is answered as
// its 16-bit value. No reader attached is listed as an empty list. The reader-change
// notification ("\\?PnP?\Notification") carries a count of reader-list changes in the upper
// word of its event state, kept here when the service keeps none.
class PcscCardLibrary : public CardLibrary {
  public:
    PcscCardLibrary();
    // Disconnects the cards and releases the contexts still open.
    ~PcscCardLibrary() override;
    PcscCardLibrary(const PcscCardLibrary&) = delete;
    PcscCardLibrary& operator=(const PcscCardLibrary&) = delete;

    std::uint32_t CardEstablishContext(std::uint32_t scope, const void* reserved1,
                                       const void* reserved2, std::uint32_t* context) override;
    std::uint32_t CardReleaseContext(std::uint32_t context) override;
    std::uint32_t CardListReaders(std::uint32_t context, const char* groups, char* readers,
                                  std::uint32_t* length) override;
    std::uint32_t CardGetStatusChange(std::uint32_t context, std::uint32_t timeout,
                                      ReaderState* states, std::uint32_t count) override;
    // Reports 16 (memory card) for a storage card, else the negotiated protocol.
    std::uint32_t CardConnect(std::uint32_t context, const char* reader, std::uint32_t shareMode,
                              std::uint32_t preferredProtocols, std::uint32_t* card,
                              std::uint32_t* activeProtocol) override;
    std::uint32_t CardDisconnect(std::uint32_t card, std::uint32_t disposition) override;
    std::uint32_t CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                std::uint32_t preferredProtocols, std::uint32_t initialization,
                                std::uint32_t* activeProtocol) override;
    std::uint32_t CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                               const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                               IoRequest* recvPci, std::uint8_t* recvBuffer,
                               std::uint32_t* recvLength) override;
    // The reader's model designation, else its vendor name, cut to *length bytes.
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

    // Card handles open here, for checks that none is left behind.
    std::size_t OpenCardCount() const;

  private:
    // Keeps the count of reader-list changes for the reader-change notification records
    // that the service answered without one; true when a caller is told of a change.
    bool CountReaderChanges(std::uint32_t context, ReaderState* states, std::uint32_t count);
    std::uint32_t StorageRead(std::uint32_t card, std::uint8_t* buffer, std::uint32_t address,
                              std::uint32_t* length);
    std::uint32_t StorageWrite(std::uint32_t card, const std::uint8_t* data, std::uint32_t address,
                               std::uint32_t length);
    std::uint32_t StorageVerify(std::uint32_t card, std::span<const std::uint8_t> code,
                                std::uint8_t reference = 0x00);
    // kUnsupportedFeature for an open card, else SCARD_E_INVALID_HANDLE.
    std::uint32_t Unsupported(std::uint32_t card);
    // Null when `card` is not open; the exchange goes over the card's own protocol.
    std::unique_ptr<PcscStorageCard> StorageCard(std::uint32_t card);

    std::unique_ptr<PcscHandles> handles_;
};
