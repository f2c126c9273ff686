#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/MemoryResponseLog.h"
#include "core/msr/MsrLibrary.h"
#include "core/msr/MsrTrackReport.h"

namespace {

using Lines = std::vector<std::string>;

// Track bytes numbered from `first` upwards, so every row shows where it starts.
void FillTrack(std::uint8_t* track, std::uint8_t first) {
    for (int i = 0; i < 256; ++i) {
        track[i] = static_cast<std::uint8_t>(first + i);
    }
}

MsrTrackRecord NumberedRecord(std::uint32_t n1, std::uint32_t n2, std::uint32_t n3) {
    MsrTrackRecord record{};
    FillTrack(record.track1, 0x00);
    FillTrack(record.track2, 0x40);
    FillTrack(record.track3, 0x80);
    record.track1Length = n1;
    record.track2Length = n2;
    record.track3Length = n3;
    return record;
}

std::string HexRun(int first, int count) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < count; ++i) {
        const int b = (first + i) & 0xFF;
        text += digits[b >> 4];
        text += digits[b & 0x0F];
        text += ' ';
    }
    return text;
}

Lines Report(const MsrTrackRecord& record) {
    MemoryResponseLog log;
    AppendSwipeReport(log, record);
    return log.Lines();
}

}  // namespace

TEST(MsrTrackReport, ThreeTracksInRowsOf32WithoutEmptyRemainderRows) {
    const Lines expected{
        "Swipe Card Success: ",
        " MSR Data : ",
        "  Track01 : (0x0025 bytes) : ",
        "    " + HexRun(0x00, 32),
        "    20 21 22 23 24 ",
        "  Track02 : (0x0000 bytes) : ",
        "  Track03 : (0x006B bytes) : ",
        "    " + HexRun(0x80, 32),
        "    " + HexRun(0xA0, 32),
        "    " + HexRun(0xC0, 32),
        "    E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA ",
        "            ",
    };
    EXPECT_EQ(Report(NumberedRecord(0x25, 0, 0x6B)), expected);
}

TEST(MsrTrackReport, FullRowsOnlyWhenLengthIsAMultipleOf32) {
    const Lines lines = Report(NumberedRecord(32, 64, 1));
    const Lines expected{
        "Swipe Card Success: ",
        " MSR Data : ",
        "  Track01 : (0x0020 bytes) : ",
        "    " + HexRun(0x00, 32),
        "  Track02 : (0x0040 bytes) : ",
        "    " + HexRun(0x40, 32),
        "    " + HexRun(0x60, 32),
        "  Track03 : (0x0001 bytes) : ",
        "    80 ",
        "            ",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines[3].size(), 100u);
}

TEST(MsrTrackReport, FullTrackOf256BytesIsEightRows) {
    const Lines lines = Report(NumberedRecord(256, 0, 0));
    ASSERT_EQ(lines.size(), 2u + 1u + 8u + 2u + 1u);
    EXPECT_EQ(lines[2], "  Track01 : (0x0100 bytes) : ");
    EXPECT_EQ(lines[10], "    " + HexRun(0xE0, 32));
}

// The record holds 256 bytes per track; a longer length from the reader shows as reported
// in the header, with only the record's bytes below it.
TEST(MsrTrackReport, LengthBeyondTheRecordShowsOnlyTheRecordsBytes) {
    const Lines lines = Report(NumberedRecord(300, 0xFFFFFFFF, 257));
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(lines[2], "  Track01 : (0x012C bytes) : ");
    EXPECT_EQ(lines[10], "    " + HexRun(0xE0, 32));
    EXPECT_EQ(lines[11], "  Track02 : (0xFFFFFFFF bytes) : ");
    EXPECT_EQ(lines[20], "  Track03 : (0x0101 bytes) : ");
    EXPECT_EQ(lines[28], "    " + HexRun(0x60, 32));
    EXPECT_EQ(lines.back(), "            ");
}
