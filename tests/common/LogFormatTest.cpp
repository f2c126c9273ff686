#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::uint8_t> Counting(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST(LogFormat, SeparatorIsTwelveBlanks) {
    MemoryResponseLog log;
    AppendSeparatorLine(log);
    EXPECT_THAT(log.Lines(), ElementsAre(std::string(12, ' ')));
}

TEST(LogFormat, ReturnCodeLineHasSixteenDigits) {
    MemoryResponseLog log;
    AppendReturnCodeLine(log, "Send Data Fail, return code=0x", 0x1F);
    AppendReturnCodeLine(log, "Disconnect SAM0 Fail, return code=", 1);
    EXPECT_THAT(log.Lines(), ElementsAre("Send Data Fail, return code=0x000000000000001F",
                                         "Disconnect SAM0 Fail, return code=0000000000000001"));
}

TEST(LogFormat, SentDataIsOneLineHoweverLong) {
    MemoryResponseLog log;
    const auto bytes = Counting(25);
    AppendSentData(log, bytes.data(), 25);
    ASSERT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0], "Send Data (0x0019 bytes) : ");
    EXPECT_EQ(log.Lines()[1].size(), 75u);
}

TEST(LogFormat, HexRowsAlwaysEndWithTheRemainderRow) {
    const auto bytes = Counting(40);
    const std::string row0 = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";

    MemoryResponseLog sixteen;
    AppendHexRows(sixteen, bytes.data(), 16);
    EXPECT_THAT(sixteen.Lines(), ElementsAre(row0, ""));

    MemoryResponseLog seventeen;
    AppendHexRows(seventeen, bytes.data(), 17);
    EXPECT_THAT(seventeen.Lines(), ElementsAre(row0, "10 "));

    MemoryResponseLog none;
    AppendHexRows(none, bytes.data(), 0);
    EXPECT_THAT(none.Lines(), ElementsAre(""));

    MemoryResponseLog thirtyTwo;
    AppendHexRows(thirtyTwo, bytes.data(), 32);
    ASSERT_EQ(thirtyTwo.Lines().size(), 3u);
    EXPECT_EQ(thirtyTwo.Lines()[2], "");
}

TEST(LogFormat, WorkedExchangeWritesSixLines) {
    MemoryResponseLog log;
    const std::uint8_t command[] = {0x00, 0x84, 0x00, 0x00, 0x08};
    const auto reply = Counting(10);
    AppendSentData(log, command, 5);
    AppendLogLine(log, "Send Data Success");
    AppendReceivedData(log, reply.data(), 10);
    AppendSeparatorLine(log);
    EXPECT_THAT(log.Lines(), ElementsAre("Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                                         "Send Data Success", "Receive Data : (0x000A bytes) : ",
                                         "00 01 02 03 04 05 06 07 08 09 ", "            "));
    EXPECT_EQ(log.Lines()[1].size(), 15u);
    EXPECT_EQ(log.Lines()[4].size(), 30u);
}

}  // namespace
