#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/session/CardLibrary.h"
#include "core/session/SharedCallLock.h"
#include "sim/SimCard.h"
#include "sim/SimFaultPlan.h"
#include "sim/SimReaderTiming.h"

// The card library of the built-in simulated reader: readers holding simulated cards,
// answering every operation with the PC/SC codes a real stack gives. Contexts and card
// handles are non-zero; taking a card out makes its handles answer the removed-card code.
// Tests and the simulator window drive it through the methods above the overrides: insert
// and remove cards, refuse connects, make an operation fail once, or deliver outputs
// outside the call's contract.
class SimCardLibrary : public CardLibrary {
  public:
    static constexpr const char* DefaultReaderName = "ZP Simulated Reader 0";

    explicit SimCardLibrary(std::vector<std::string> readerNames = {DefaultReaderName});
    ~SimCardLibrary() override;

    // Every reader the library has had, attached or not; an index keeps naming its reader.
    const std::vector<std::string>& Readers() const { return readerNames_; }

    // Plugs a reader in: one of that name unplugged before comes back at its old index,
    // holding the card it held (connections made before do not come back); any other
    // name is added at the end. Unplugging makes the reader unknown to every operation and
    // its open handles answer "reader unavailable". Either counts as a change of the reader
    // list, reported through the "\\?PnP?\Notification" reader of the status query.
    void AttachReader(const std::string& name);
    void DetachReader(int reader);
    bool IsAttached(int reader) const;

    // Puts a new card of that kind into the reader, replacing any card there.
    void InsertCard(int reader, SimCardKind kind);
    void InsertCard(int reader, std::unique_ptr<SimCard> card);
    void RemoveCard(int reader);
    bool HasCard(int reader) const;
    // The card in that reader, or null.
    SimCard* CardIn(int reader);
    // Insertions and removals of cards in that reader so far, as the service counts them.
    std::uint32_t CardEvents(int reader) const;

    // The next `count` connects to a card answer `code` (the card does not respond).
    void RefuseNextConnects(int count, std::uint32_t code = 0x80100066 /*unresponsive card*/);
    // The next call of the operation (named as the method, e.g. "CardTransmit") answers
    // `code` and does nothing else. Several calls queue several failures.
    void FailNext(const std::string& operation, std::uint32_t code);
    // Calls made so far of the operation, failed ones included.
    int CallCount(const std::string& operation) const;

    // CardListReaders delivers these bytes as they are: the length query reports
    // `reportedLength`, the filling call copies at most the length it is given.
    void SetRawReaderList(std::string multiString, std::uint32_t reportedLength);
    // The next call of the operation that reaches its card reports this out length
    // (CardTransmit's receive length, a read's in/out length, CardReaderType's length)
    // whatever was asked; it still never writes past the buffer length the caller gave.
    void DeliverNextLength(const std::string& operation, std::uint32_t length);
    // The next CardTransmit answers exactly these bytes (as many as the receive buffer
    // takes) instead of asking the card.
    void SetNextTransmitReply(std::vector<std::uint8_t> reply);
    // CardReaderType's text, delivered up to the length asked, never zero-terminated.
    void SetReaderTypeText(std::string text);
    // The reader's latency on connects and transmits, and its transmit failures
    // (SCARD_F_COMM_ERROR every N-th transmit).
    void SetReaderTiming(int reader, const SimTimingSettings& settings);
    SimTimingSettings ReaderTiming(int reader) const;

    // The library is not thread-safe: threads that share it hold this lock around every call.
    // A connect's or a transmit's latency is waited with the lock given up, as a card answers
    // on its own reader while the service serves the others.
    SharedCallLock& SharedLock() { return sharedLock_; }

    // Reader operations.
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
    // Refusable through FailNext("CardReconnect", code): a card that does not answer again.
    std::uint32_t CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                std::uint32_t preferredProtocols, std::uint32_t initialization,
                                std::uint32_t* activeProtocol) override;
    std::uint32_t CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                               const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                               IoRequest* recvPci, std::uint8_t* recvBuffer,
                               std::uint32_t* recvLength) override;
    std::uint32_t CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                 std::uint32_t* length) override;

    // SLE4432/4442.
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

    // SLE4418/4428.
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

    // SLE4404.
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

    // SLE4406/4436/5536.
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

    // I2C memory cards.
    std::uint32_t CardI2CReadMemory(std::uint32_t card, std::uint8_t command, std::uint32_t address,
                                    std::uint8_t* buffer, std::uint32_t* length, std::uint8_t dummy,
                                    std::uint8_t addressBytes) override;
    std::uint32_t CardI2CWriteMemory(std::uint32_t card, std::uint8_t command,
                                     std::uint32_t address, const std::uint8_t* data,
                                     std::uint32_t length, std::uint8_t addressBytes) override;

  private:
    struct Slot {
        std::unique_ptr<SimCard> card;
        std::uint32_t insertion = 0;  // which insertion the card in the slot is
        std::uint32_t events = 0;     // insertions and removals in this slot
        bool attached = true;
        SimReaderTiming timing;
        // The protocol chosen at the first connect after power-up; 0 until then.
        std::uint32_t negotiated = 0;
    };
    struct Connection {
        std::size_t reader = 0;
        std::uint32_t context = 0;
        std::uint32_t insertion = 0;
        std::uint32_t shareMode = 0;
        // Another handle reset the card: calls answer "reset card" until this one reconnects.
        bool reset = false;
    };
    struct RawList {
        std::string bytes;
        std::uint32_t reportedLength = 0;
    };

    std::uint32_t CheckContext(std::uint32_t context) const;
    std::optional<std::size_t> FindReader(const char* name) const;
    // The card behind a handle, or the code refusing the handle; a handle left reset by
    // another one is refused unless `resetAllowed`.
    std::uint32_t FindCard(std::uint32_t handle, SimCard*& card, bool resetAllowed = false) const;
    // The reader's next latency, waited with the shared lock given up.
    void WaitLatency(std::size_t reader);
    // A card's work on a command, waited with the shared lock given up; a card taken out or
    // put in meanwhile ends the wait at once.
    void WaitWork(std::chrono::microseconds work);
    // A card taken out or put in, or a reader unplugged: wakes a waiting card's work.
    void NoteSlotChange();
    // Another handle than `except` holds the reader's card in `shareMode`, or any mode (0).
    bool HeldByOther(std::size_t reader, std::uint32_t shareMode, std::uint32_t except = 0) const;
    // The card speaks this protocol until its power goes.
    void UseProtocol(Slot& slot, std::uint32_t protocol);
    // A reset through one handle, seen by every other handle on that card.
    void MarkOthersReset(std::uint32_t handle);
    void ApplyDeliveredLength(const char* operation, std::uint32_t& length);

    // One call of a family's operation: failure injection, handle, family check.
    template <class Family, class Operation>
    std::uint32_t OnCard(const char* operation, std::uint32_t card, Operation run);
    // What a read reaches: from `address`, the `end` bytes of the memory or area it reads
    // (0: the chip rolls over at its end itself).
    struct ReadRange {
        std::uint32_t address;
        std::size_t end;
    };
    template <class Family, class Read>
    std::uint32_t ReadOnCard(const char* operation, std::uint32_t card, std::uint8_t* buffer,
                             std::uint32_t* length, ReadRange range, Read read);
    template <class Family, class Write>
    std::uint32_t WriteOnCard(const char* operation, std::uint32_t card, const std::uint8_t* data,
                              std::uint32_t length, Write write);

    std::vector<std::string> readerNames_;
    std::vector<Slot> slots_;
    std::uint32_t insertions_ = 0;
    std::uint32_t readerEvents_ = 1;  // changes of the reader list, as the service counts them
    std::set<std::uint32_t> contexts_;
    std::map<std::uint32_t, Connection> connections_;
    std::uint32_t nextContext_ = 0x0C0A0001;
    std::uint32_t nextHandle_ = 0x00CA0001;

    int refusedConnects_ = 0;
    std::uint32_t refuseCode_ = 0;
    SimFaultPlan faults_;
    std::map<std::string, std::uint32_t> deliveredLengths_;
    std::optional<RawList> rawList_;
    std::optional<std::vector<std::uint8_t>> nextReply_;
    std::string readerTypeText_ = "ZP-SIM Reader";
    SharedCallLock sharedLock_;
    std::mutex slotChangeMutex_;
    std::condition_variable slotChanged_;
    std::uint64_t slotChanges_ = 0;  // guarded by slotChangeMutex_
};
