#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/common/MemoryResponseLog.h"
#include "core/sam/SamSession.h"
#include "gui/apdu/ApduConsole.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::IsNull;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::StrEq;

const std::string kSeparator(12, ' ');

class SamSessionTest : public ::testing::Test {
  protected:
    SamSessionTest() {
        boxes.Watch([this] { return log.Lines().size(); });
    }

    ::testing::StrictMock<MockSamLibrary> library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog log;
    SamSession sam{library, log};
    SamSlot slot;  // the SAM part of a reader record
};

TEST_F(SamSessionTest, ConnectStoresHandleAndFlagsOfTheSlot) {
    EXPECT_CALL(library, SamConnect(StrEq("Reader B"), 1, 3, &slot.Handle, &slot.Protocols))
        .WillOnce(DoAll(SetArgPointee<3>(0xABCD), SetArgPointee<4>(2), Return(0)));
    EXPECT_EQ(sam.Connect("Reader B", slot), 0u);
    EXPECT_EQ(slot.Handle, 0xABCDu);
    EXPECT_EQ(slot.Protocols, 2u);
    EXPECT_THAT(log.Lines(), ElementsAre("Connect SAM0 Success"));

    // Connecting again releases the open handle first (leave card), without a line.
    ::testing::InSequence order;
    EXPECT_CALL(library, SamDisconnect(0xABCD, 0)).WillOnce(Return(0));
    EXPECT_CALL(library, SamConnect(_, _, _, _, _)).Times(2).WillRepeatedly(Return(1));
    EXPECT_EQ(sam.Connect("Reader B", slot), 1u);
    EXPECT_EQ(sam.Connect("Reader B", slot), 1u) << "nothing open is left to release";
    EXPECT_EQ(log.Lines().size(), 3u);
}

TEST_F(SamSessionTest, ConnectWithoutAReaderIsLeftToTheLibrary) {
    EXPECT_CALL(library, SamConnect(IsNull(), _, _, _, _)).WillOnce(Return(1));
    EXPECT_EQ(sam.Connect(nullptr, slot), 1u);
    EXPECT_THAT(log.Lines(), ElementsAre("Connect SAM0 Fail, return code=0x0000000000000001"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SamSessionTest, DisconnectWritesItsLineWithoutTheHexPrefix) {
    slot.Handle = 0x55;
    EXPECT_CALL(library, SamDisconnect(0x55, 3)).WillOnce(Return(0)).WillOnce(Return(0x8010000C));
    EXPECT_EQ(sam.Disconnect(slot), 0u);
    EXPECT_EQ(sam.Disconnect(slot), 0x8010000Cu);
    EXPECT_THAT(log.Lines(), ElementsAre("Disconnect SAM0 Success",
                                         "Disconnect SAM0 Fail, return code=000000008010000C"));
    // The handle stays for the next connect to overwrite.
    EXPECT_EQ(slot.Handle, 0x55u);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SamSessionTest, ExchangeUsesTheSlotsRecordAndLogsTheReply) {
    slot.Handle = 0x99;
    slot.Protocols = 1;
    const IoRequest* sendPci = nullptr;
    IoRequest seen{};
    EXPECT_CALL(library, SamTransmit(0x99, _, _, 5, &slot.IoRequest, _, _))
        .WillOnce([&](std::uint32_t, const IoRequest* send, const std::uint8_t* command,
                      std::uint32_t, IoRequest*, std::uint8_t* reply, std::uint32_t* length) {
            sendPci = send;
            seen = *send;
            EXPECT_EQ(*length, ApduBufferSize);
            EXPECT_EQ(command[1], 0x84);
            reply[0] = 0x6A;
            reply[1] = 0x82;
            *length = 2;
            return 0u;
        });
    SendSamApdu({"00", "84", "00", "00", "08", "", ""}, sam, slot, boxes);

    EXPECT_EQ(sendPci, &slot.IoRequest);
    EXPECT_EQ(seen.protocol, 1u);
    EXPECT_EQ(seen.length, 8u);
    EXPECT_THAT(log.Lines(), ElementsAre("Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                                         "Send Data To SAM Card Success",
                                         "Receive Data : (0x0002 bytes) : ", "6A 82 ", kSeparator));
}

TEST_F(SamSessionTest, FailingExchangeShowsTheBoxBeforeItsLine) {
    EXPECT_CALL(library, SamTransmit(_, _, _, _, _, _, _)).WillOnce(Return(0x1F));
    SendSamApdu({"00", "84", "00", "00", "08", "", ""}, sam, slot, boxes);

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Send Data Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(2u));
    EXPECT_THAT(
        log.Lines(),
        ElementsAre(_, _, "Send Data To SAM Card Fail, return code=000000000000001F", kSeparator));
}

TEST_F(SamSessionTest, FaultyFieldsSendNothing) {
    SendSamApdu({"00", "84", "", "00", "", "", ""}, sam, slot, boxes);
    SendSamApdu({"00", "84", "00", "00", "", std::string(2100, '0'), ""}, sam, slot, boxes);
    EXPECT_THAT(boxes.Errors(), ElementsAre("P1 Empty!", "DATA Too Long!"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(SamLayout, TestsTheT0BitFirst) {
    const SamProtocolLayout t0 = SamLayoutForProtocols(1);
    EXPECT_EQ(t0.protocolCaption, "Protocol: T0");
    EXPECT_EQ(t0.lcCaption, "P&3:");
    EXPECT_EQ(t0.lcMaxLength, 2u);
    EXPECT_EQ(t0.leVisible, false);
    EXPECT_EQ(SamLayoutForProtocols(3).protocolCaption, "Protocol: T0");

    const SamProtocolLayout t1 = SamLayoutForProtocols(2);
    EXPECT_EQ(t1.protocolCaption, "Protocol: T1");
    EXPECT_EQ(t1.lcCaption, "&Lc:");
    EXPECT_EQ(t1.lcMaxLength, 6u);
    EXPECT_EQ(t1.leVisible, true);

    const SamProtocolLayout unknown = SamLayoutForProtocols(0);
    EXPECT_EQ(unknown.protocolCaption, "Protocol: Unknown");
    EXPECT_FALSE(unknown.lcCaption || unknown.lcMaxLength || unknown.leVisible);
}

TEST(SamFieldRules, HeaderFieldsAreUnboundedButAdvanceAtTwo) {
    FieldRules rules = SamFieldRules();
    EXPECT_TRUE(rules.AllowsLength(FieldIns, 3));
    EXPECT_TRUE(rules.AllowsLength(FieldP2, 10));
    EXPECT_FALSE(rules.AllowsLength(FieldLe, kSamLeMaxLength + 1));
    rules.Changed(FieldIns, 1);
    EXPECT_EQ(rules.Changed(FieldIns, 2), FieldP1);
    EXPECT_EQ(rules.Changed(FieldIns, 3), std::nullopt);
    rules.Changed(FieldP2, 1);
    EXPECT_EQ(rules.Changed(FieldP2, 2), FieldLc);
    EXPECT_EQ(rules.KeyDown(FieldIns, kBackspaceKey), std::nullopt);  // holds text
    EXPECT_EQ(rules.KeyDown(FieldLe, kBackspaceKey), FieldData);
    EXPECT_EQ(rules.KeyDown(FieldCla, kBackspaceKey), std::nullopt);
}

}  // namespace
