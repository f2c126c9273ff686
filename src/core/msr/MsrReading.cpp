#include "core/msr/MsrReading.h"

#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/msr/MsrTrackReport.h"

MsrReading::MsrReading(MsrLibrary& library, ResponseLog& log) : library_(library), log_(log) {}

bool MsrReading::StartMsrReading(MsrSlot& slot, const char* reader) {
    if (slot.Waiting) {
        // Started again while waiting: the handle about to be overwritten is closed first.
        Close(slot);
    }
    std::uint32_t result = library_.MsrOpen(reader, &slot.Handle);
    if (result != 0) {
        AppendReturnCodeLine(log_, "Open MSR Fail : ", result);
        return false;
    }
    slot.Waiting = true;
    AppendLogLine(log_, "Open MSR Success");
    result = library_.MsrRead(slot.Handle, &slot.Tracks, 0);
    if (result == MsrNoSwipe) {
        AppendLogLine(log_, "Wait for Swiping MSR.........");
        return true;
    }
    if (result == 0) {
        ShowMsrData(slot);
    } else {
        AppendReturnCodeLine(log_, "Read MSR Fail : ", result);
    }
    Close(slot);
    return false;
}

bool MsrReading::PollMsr(MsrSlot& slot) {
    const std::uint32_t result = library_.MsrPoll(slot.Handle, &slot.Tracks);
    if (result == MsrNoSwipe) {
        return true;
    }
    if (result == 0) {
        ShowMsrData(slot);
    } else {
        AppendReturnCodeLine(log_, "Swipe Card Fail : ", result);
    }
    Close(slot);
    return false;
}

void MsrReading::StopMsrReading(MsrSlot& slot) {
    library_.MsrDisable(slot.Handle);
    AppendLogLine(log_, "MSR Reading Disabled");
    Close(slot);
}

void MsrReading::Close(MsrSlot& slot) {
    library_.MsrClose(slot.Handle);
    slot.Waiting = false;
}

void MsrReading::ShowMsrData(const MsrSlot& slot) {
    AppendSwipeReport(log_, slot.Tracks);
}
