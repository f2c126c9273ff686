#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "core/msr/MsrLibrary.h"
#include "sim/SimFaultPlan.h"

class SimCardLibrary;

// A stripe reader beside every simulated reader. Swipes wait in the reader until a read
// or poll delivers them, each one once; until then reads answer MsrNoSwipe. A disabled
// handle delivers nothing until it is closed.
class SimMsrLibrary : public MsrLibrary {
  public:
    explicit SimMsrLibrary(SimCardLibrary& cards);

    std::uint32_t MsrOpen(const char* reader, std::uint32_t* handle) override;
    std::uint32_t MsrRead(std::uint32_t handle, MsrTrackRecord* tracks,
                          std::uint32_t flags) override;
    std::uint32_t MsrPoll(std::uint32_t handle, MsrTrackRecord* tracks) override;
    std::uint32_t MsrDisable(std::uint32_t handle) override;
    std::uint32_t MsrClose(std::uint32_t handle) override;

    // A card swiped through the stripe reader of `reader` (an index into the card
    // library's reader list); tracks longer than 256 characters are cut. False when there
    // is no such reader.
    bool Swipe(int reader, const std::string& track1, const std::string& track2,
               const std::string& track3);
    // Queues a record exactly as given, lengths beyond the record included.
    bool DeliverRawRecord(int reader, const MsrTrackRecord& record);
    int PendingSwipes(int reader) const;

    // The next call of `operation` ("MsrOpen", "MsrRead", "MsrPoll", "MsrDisable",
    // "MsrClose") answers `code` and does nothing else. Several calls queue several failures.
    void FailNext(const std::string& operation, std::uint32_t code);
    // Calls made so far of the operation, failed ones included.
    int CallCount(const std::string& operation) const;
    bool IsOpen(std::uint32_t handle) const { return handles_.contains(handle); }
    int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
    // Successful closes so far.
    int CloseCount() const { return closes_; }

  private:
    struct OpenReader {
        int reader;
        bool disabled = false;
    };

    bool IsReader(int reader) const;
    std::uint32_t Deliver(std::uint32_t handle, MsrTrackRecord* tracks);

    SimCardLibrary& cards_;
    std::map<int, std::deque<MsrTrackRecord>> swipes_;
    std::map<std::uint32_t, OpenReader> handles_;
    std::uint32_t lastHandle_ = 0x00D50000;
    int closes_ = 0;
    SimFaultPlan faults_;
};
