#pragma once

#include <cstdint>

#include "core/msr/MsrLibrary.h"
#include "core/session/ReaderRecord.h"

class ResponseLog;

// The stripe-reader steps of the MSR page, without widgets: open, first read, polling,
// disabling, each writing its lines into the page's log. The caller runs the poll timer
// as the results say. Every step works on the stripe part of the reader record it is given.
class MsrReading {
  public:
    MsrReading(MsrLibrary& library, ResponseLog& log);

    // Opens the stripe reader of `reader` and tries one read. True when no card has been
    // swiped yet: the handle stays open and the slot waits for a swipe. A handle of the
    // slot still open from an earlier start is closed first.
    bool StartMsrReading(MsrSlot& slot, const char* reader);
    // One poll of the open handle. True while still waiting for a swipe.
    bool PollMsr(MsrSlot& slot);
    // Disables reading and closes the handle, whatever state the slot is in.
    void StopMsrReading(MsrSlot& slot);
    // Writes the slot's track record.
    void ShowMsrData(const MsrSlot& slot);

  private:
    // MsrClose on the slot's handle; its result is not read.
    void Close(MsrSlot& slot);

    MsrLibrary& library_;
    ResponseLog& log_;
};
