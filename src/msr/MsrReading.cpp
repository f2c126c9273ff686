#include "msr/MsrReading.h"

#include "common/LogFormat.h"
#include "common/ResponseLog.h"
#include "msr/MsrTrackReport.h"

MsrReading::MsrReading(MsrLibrary& library, ResponseLog& log) : library_(library), log_(log) {}

bool MsrReading::StartMsrReading(int slot, const char* reader) {
    std::uint32_t& handle = MsrHandles[slot];
    std::uint32_t result = library_.MsrOpen(reader, &handle);
    if (result != 0) {
        AppendReturnCodeLine(log_, "Open MSR Fail : ", result);
        return false;
    }
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
    library_.MsrClose(handle);
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
    library_.MsrClose(handle);
    return false;
}

void MsrReading::StopMsrReading(int slot) {
    const std::uint32_t handle = MsrHandles[slot];
    library_.MsrDisable(handle);
    AppendLogLine(log_, "MSR Reading Disabled");
    library_.MsrClose(handle);
}

void MsrReading::ShowMsrData(int slot) {
    AppendSwipeReport(log_, MsrTracks[slot]);
}
