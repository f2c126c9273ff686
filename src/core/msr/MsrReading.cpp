#include "core/msr/MsrReading.h"

#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/msr/MsrTrackReport.h"

MsrReading::MsrReading(MsrLibrary& library, ResponseLog& log) : library_(library), log_(log) {}

bool MsrReading::StartMsrReading(int slot, const char* reader) {
    std::uint32_t& handle = MsrHandles[slot];
    if (open_[slot]) {
        // Started again while waiting: the handle about to be overwritten is closed first.
        Close(slot);
    }
    std::uint32_t result = library_.MsrOpen(reader, &handle);
    if (result != 0) {
        AppendReturnCodeLine(log_, "Open MSR Fail : ", result);
        return false;
    }
    open_[slot] = true;
    AppendLogLine(log_, "Open MSR Success");
    result = library_.MsrRead(handle, &MsrTracks[slot], 0);
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

bool MsrReading::PollMsr(int slot) {
    const std::uint32_t handle = MsrHandles[slot];
    const std::uint32_t result = library_.MsrPoll(handle, &MsrTracks[slot]);
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

void MsrReading::StopMsrReading(int slot) {
    const std::uint32_t handle = MsrHandles[slot];
    library_.MsrDisable(handle);
    AppendLogLine(log_, "MSR Reading Disabled");
    Close(slot);
}

void MsrReading::Close(int slot) {
    library_.MsrClose(MsrHandles[slot]);
    open_[slot] = false;
}

void MsrReading::ShowMsrData(int slot) {
    AppendSwipeReport(log_, MsrTracks[slot]);
}
