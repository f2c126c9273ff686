#pragma once

#include <array>
#include <cstdint>

#include "core/msr/MsrLibrary.h"
#include "core/session/ReaderSession.h"

class ResponseLog;

// The stripe-reader steps of the MSR page, without widgets: open, first read, polling,
// disabling, each writing its lines into the page's log. The caller runs the poll timer
// as the results say. Every step works on the slot it is given.
class MsrReading {
  public:
    MsrReading(MsrLibrary& library, ResponseLog& log);

    // Opens the stripe reader of `reader` and tries one read. True when no card has been
    // swiped yet: the handle stays open and polling should run. A handle of the slot still
    // open from an earlier start is closed first.
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
    // MsrClose on the slot's handle; its result is not read.
    void Close(int slot);

    MsrLibrary& library_;
    ResponseLog& log_;
    std::array<bool, MaxReaders> open_{};  // the slot's handle is open, waiting for a swipe
};
