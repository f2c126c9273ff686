#pragma once

#include <array>
#include <cstdint>

#include "msr/MsrLibrary.h"
#include "session/ReaderSession.h"

class ResponseLog;

// The stripe-reader steps of the MSR page, without widgets: open, first read, polling,
// disabling, each writing its lines into the page's log. The caller runs the poll timer
// as the results say. Every step works on the slot it is given.
class MsrReading {
  public:
    MsrReading(MsrLibrary& library, ResponseLog& log);

    // Opens the stripe reader of `reader` and tries one read. True when no card has been
    // swiped yet: the handle stays open and polling should run.
    bool StartMsrReading(int slot, const char* reader);
    // One poll of the open handle. True while still waiting for a swipe.
    bool PollMsr(int slot);
    // Disables reading and closes the handle, whatever state the page is in.
    void StopMsrReading(int slot);
    // Writes the slot's track record.
    void ShowMsrData(int slot);

    std::array<std::uint32_t, MaxReaders> MsrHandles{};
    std::array<MsrTrackRecord, MaxReaders> MsrTracks{};

  private:
    MsrLibrary& library_;
    ResponseLog& log_;
};
