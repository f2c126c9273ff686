#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/sam/SamLibrary.h"
#include "sim/SimFaultPlan.h"

class SimCardLibrary;

// The SAM slot of every simulated reader, holding a SAM that answers GET CHALLENGE
// (00 84 00 00 Le), GET VERSION (80 CA 00 00) and GET SERIAL NUMBER (80 CA 00 01). A SAM
// sits in every slot from the start and talks T=1 unless told otherwise.
class SimSamLibrary : public SamLibrary {
  public:
    explicit SimSamLibrary(SimCardLibrary& cards);

    std::uint32_t SamConnect(const char* reader, std::uint32_t mode, std::uint32_t protocolMask,
                             std::uint32_t* handle, std::uint32_t* protocols) override;
    std::uint32_t SamDisconnect(std::uint32_t handle, std::uint32_t disposition) override;
    std::uint32_t SamTransmit(std::uint32_t handle, const IoRequest* sendPci,
                              const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                              IoRequest* recvPci, std::uint8_t* recvBuffer,
                              std::uint32_t* recvLength) override;

    // Readers are indexes into the card library's reader list; other indexes are ignored.
    void InsertSam(int reader);
    // Open connections to the slot answer "card removed" from then on.
    void RemoveSam(int reader);
    bool HasSam(int reader) const;
    // Protocol flags the SAM reports on connect (bit 0 T=0, bit 1 T=1), delivered as set,
    // so 0 and 3 can be forced too.
    void SetSamProtocols(int reader, std::uint32_t flags);

    // The next call of `operation` ("SamConnect", "SamDisconnect", "SamTransmit") answers
    // `code` and does nothing else. Several calls queue several failures.
    void FailNext(const std::string& operation, std::uint32_t code);
    // The next exchange answers these bytes (as many as the receive buffer takes) instead of
    // the SAM's own reply.
    void SetNextTransmitReply(std::vector<std::uint8_t> reply);
    // The next call of `operation` ("SamTransmit") reports this receive length whatever
    // the buffer holds; no byte is written beyond the buffer.
    void DeliverNextLength(const std::string& operation, std::uint32_t length);
    int CallCount(const std::string& operation) const;
    int OpenConnectionCount() const { return static_cast<int>(connections_.size()); }

    // What GET SERIAL NUMBER answers for the SAM of `reader`.
    static std::vector<std::uint8_t> SerialNumber(int reader);

  private:
    struct Slot {
        bool present = true;
        std::uint32_t insertion = 0;  // counts insertions, so old connections can tell
        std::uint32_t protocols = 2;
    };
    struct Connection {
        int reader;
        std::uint32_t insertion;
        std::uint32_t protocols;
    };

    std::optional<int> ReaderIndex(const char* name) const;
    bool IsReader(int reader) const;
    std::vector<std::uint8_t> Process(int reader, const std::uint8_t* command,
                                      std::uint32_t length);

    SimCardLibrary& cards_;
    std::map<int, Slot> slots_;
    std::map<std::uint32_t, Connection> connections_;
    std::uint32_t lastHandle_ = 0;
    SimFaultPlan faults_;
    std::optional<std::vector<std::uint8_t>> nextReply_;
    std::optional<std::uint32_t> nextLength_;
    std::mt19937 random_;
};
