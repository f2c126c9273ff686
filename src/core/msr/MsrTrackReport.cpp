#include "core/msr/MsrTrackReport.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/msr/MsrLibrary.h"

namespace {

constexpr std::uint32_t kTrackRowBytes = 32;
constexpr const char* kRowIndent = "    ";

void AppendTrack(ResponseLog& log, int number, const std::uint8_t* data, std::uint32_t length) {
    AppendLogLine(log, "  Track0" + std::to_string(number) + " : (0x" + HexNumberText(length, 4) +
                           " bytes) : ");
    const std::uint32_t shown = std::min(length, kMsrTrackCapacity);
    for (std::uint32_t offset = 0; offset < shown; offset += kTrackRowBytes) {
        const std::uint32_t count = std::min(kTrackRowBytes, shown - offset);
        AppendLogLine(log, kRowIndent + BytesToHexText(data + offset, static_cast<int>(count)));
    }
}

}  // namespace

void AppendSwipeReport(ResponseLog& log, const MsrTrackRecord& tracks) {
    AppendLogLine(log, "Swipe Card Success: ");
    AppendLogLine(log, " MSR Data : ");
    AppendTrack(log, 1, tracks.track1, tracks.track1Length);
    AppendTrack(log, 2, tracks.track2, tracks.track2Length);
    AppendTrack(log, 3, tracks.track3, tracks.track3Length);
    AppendSeparatorLine(log);
}
