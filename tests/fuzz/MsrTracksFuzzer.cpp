// The stripe page's display of whatever track record the stripe reader delivers: track
// lengths beyond the record's 256 bytes included.
// Input: the 780-byte track record as the library lays it out (shorter inputs are padded
// with zeros), then one byte choosing the path: the report alone, the first read of
// StartMsrReading, or a poll after a first read that found no swipe.
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"
#include "core/msr/MsrReading.h"
#include "core/msr/MsrTrackReport.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"

namespace {

// The lines of a swipe report, built from the record by the display rules.
std::vector<std::string> ExpectedReport(const MsrTrackRecord& record) {
    std::vector<std::string> lines = {"Swipe Card Success: ", " MSR Data : "};
    const std::uint8_t* tracks[] = {record.track1, record.track2, record.track3};
    const std::uint32_t lengths[] = {record.track1Length, record.track2Length, record.track3Length};
    for (int t = 0; t < 3; ++t) {
        lines.push_back("  Track0" + std::to_string(t + 1) + " : (0x" +
                        HexNumberText(lengths[t], 4) + " bytes) : ");
        const std::uint32_t held = std::min(lengths[t], kMsrTrackCapacity);
        for (std::uint32_t offset = 0; offset < held; offset += 32) {
            const auto count =
                static_cast<std::int32_t>(std::min<std::uint32_t>(32, held - offset));
            lines.push_back("    " + BytesToHexText(tracks[t] + offset, count));
        }
    }
    lines.emplace_back(kSeparatorLine);
    return lines;
}

std::vector<std::string> Joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    MsrTrackRecord record{};
    const auto bytes = input.Bytes(sizeof record);
    std::memcpy(&record, bytes.data(), bytes.size());
    const std::vector<std::string> report = ExpectedReport(record);

    MemoryResponseLog log;
    switch (input.U8() % 3) {
        case 0:
            AppendSwipeReport(log, record);
            FUZZ_CHECK(log.Lines() == report);
            break;
        case 1: {
            SimCardLibrary cards;
            SimMsrLibrary msr(cards);
            MsrReading reading(msr, log);
            MsrSlot slot;
            FUZZ_CHECK(msr.DeliverRawRecord(0, record));
            FUZZ_CHECK(!reading.StartMsrReading(slot, SimCardLibrary::DefaultReaderName));
            FUZZ_CHECK(log.Lines() == Joined({"Open MSR Success"}, report));
            FUZZ_CHECK(msr.OpenHandleCount() == 0);
            break;
        }
        default: {
            SimCardLibrary cards;
            SimMsrLibrary msr(cards);
            MsrReading reading(msr, log);
            MsrSlot slot;
            FUZZ_CHECK(reading.StartMsrReading(slot, SimCardLibrary::DefaultReaderName));
            FUZZ_CHECK(msr.DeliverRawRecord(0, record));
            FUZZ_CHECK(!reading.PollMsr(slot));
            FUZZ_CHECK(log.Lines() ==
                       Joined({"Open MSR Success", "Wait for Swiping MSR........."}, report));
            FUZZ_CHECK(msr.OpenHandleCount() == 0);
            break;
        }
    }
    return 0;
}
