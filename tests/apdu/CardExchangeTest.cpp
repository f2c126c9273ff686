#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/apdu/ApduConsole.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::Return;

const ApduTexts kSelectFile{"00", "A4", "04", "00", "02", "3F00", ""};
const std::string kSeparator(12, ' ');

class CardExchangeTest : public ::testing::Test {
  protected:
    CardExchangeTest() {
        boxes.Watch([this] { return log.Lines().size(); });
        OpenSession(session, library, {"Reader A", "Reader B", "Reader C"}, 2, 0x77, kProtocolT1);
    }

    // The card answers `reply` and the call `code`; the command sent is kept.
    void ExpectTransmit(std::vector<std::uint8_t> reply, std::uint32_t code = 0) {
        EXPECT_CALL(library, CardTransmit(0x77, _, _, _, _, _, _))
            .WillOnce(Invoke([this, reply, code](std::uint32_t, const IoRequest* sendPci,
                                                 const std::uint8_t* command, std::uint32_t n,
                                                 IoRequest* recvPci, std::uint8_t* buffer,
                                                 std::uint32_t* length) {
                sent.assign(command, command + n);
                sendRequest = sendPci;
                recvRequest = recvPci;
                protocolSeen = sendPci->protocol;
                lengthSeen = sendPci->length;
                offered = *length;
                busyDuringTransmit = session.CardBusy();
                std::copy(reply.begin(), reply.end(), buffer);
                *length = static_cast<std::uint32_t>(reply.size());
                return code;
            }));
    }

    ::testing::StrictMock<MockCardLibrary> library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog log;
    ReaderSession session{library, log};

    std::vector<std::uint8_t> sent;
    const IoRequest* sendRequest = nullptr;
    const IoRequest* recvRequest = nullptr;
    std::uint32_t protocolSeen = 0, lengthSeen = 0, offered = 0;
    bool busyDuringTransmit = false;
};

std::vector<std::uint8_t> Counting(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST_F(CardExchangeTest, LogsTheWorkedExample) {
    ExpectTransmit({0x90, 0x00});
    EXPECT_TRUE(SendCardApdu(kSelectFile, session, boxes, log));

    EXPECT_THAT(log.Lines(), ElementsAre("Send Data (0x0007 bytes) : ", "00 A4 04 00 02 3F 00 ",
                                         "Send Data Success",
                                         "Receive Data : (0x0002 bytes) : ", "90 00 ", kSeparator));
    EXPECT_EQ(sent, (std::vector<std::uint8_t>{0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00}));
    // One protocol control record of the selected reader, as send and receive control.
    EXPECT_EQ(sendRequest, &session.Record(2)->Card.IoRequest);
    EXPECT_EQ(recvRequest, &session.Record(2)->Card.IoRequest);
    EXPECT_EQ(protocolSeen, kProtocolT1);
    EXPECT_EQ(lengthSeen, 8u);
    EXPECT_EQ(offered, ApduBufferSize);
    EXPECT_TRUE(busyDuringTransmit);
    EXPECT_FALSE(session.CardBusy());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CardExchangeTest, LaysOutRepliesInRowsOfSixteen) {
    const std::string row16 = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";
    ExpectTransmit({});
    SendCardApdu(kSelectFile, session, boxes, log);
    ExpectTransmit(Counting(16));
    SendCardApdu(kSelectFile, session, boxes, log);
    ExpectTransmit(Counting(17));
    SendCardApdu(kSelectFile, session, boxes, log);

    EXPECT_THAT(log.Lines(),
                ElementsAre(_, _, "Send Data Success", "Receive Data : (0x0000 bytes) : ", "",
                            kSeparator,  //
                            _, _, "Send Data Success", "Receive Data : (0x0010 bytes) : ", row16,
                            "", kSeparator,  //
                            _, _, "Send Data Success", "Receive Data : (0x0011 bytes) : ", row16,
                            "10 ", kSeparator));
}

TEST_F(CardExchangeTest, LogsALongReplyWithItsRemainderRow) {
    ExpectTransmit(Counting(258));
    SendCardApdu(kSelectFile, session, boxes, log);

    const auto& lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u + 1 + 1 + 16 + 1 + 1);
    EXPECT_EQ(lines[3], "Receive Data : (0x0102 bytes) : ");
    EXPECT_EQ(lines[4].size(), 48u);
    EXPECT_EQ(lines[19], "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ");
    EXPECT_EQ(lines[20], "00 01 ");
    EXPECT_EQ(lines[21], kSeparator);
}

TEST_F(CardExchangeTest, SendsAWholeCommandOnOneLine) {
    ExpectTransmit({0x90, 0x00});
    SendCardApdu({"00", "D6", "00", "00", "14", std::string(40, 'E'), ""}, session, boxes, log);
    ASSERT_GE(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0], "Send Data (0x0019 bytes) : ");
    EXPECT_EQ(log.Lines()[1].size(), 75u);
}

TEST_F(CardExchangeTest, ShowsTheBoxBeforeTheReturnCodeLine) {
    ExpectTransmit({}, 0x1F);
    EXPECT_FALSE(SendCardApdu(kSelectFile, session, boxes, log));

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Send Data To Card Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(2u));
    EXPECT_THAT(log.Lines(),
                ElementsAre("Send Data (0x0007 bytes) : ", "00 A4 04 00 02 3F 00 ",
                            "Send Data Fail, return code=0x000000000000001F", kSeparator));
    EXPECT_FALSE(session.CardBusy());
}

TEST_F(CardExchangeTest, KeepsCardBusyWhileTheFailureBoxIsOpen) {
    bool busyWhileOpen = false;
    boxes.WhileOpen([&] { busyWhileOpen = session.CardBusy(); });
    ExpectTransmit({}, 1);
    SendCardApdu(kSelectFile, session, boxes, log);
    EXPECT_TRUE(busyWhileOpen);
    EXPECT_FALSE(session.CardBusy());
}

TEST_F(CardExchangeTest, AFaultyFieldSendsAndLogsNothing) {
    EXPECT_FALSE(SendCardApdu({"00", "", "00", "00", "", "", ""}, session, boxes, log));
    EXPECT_THAT(boxes.Errors(), ElementsAre("INS Empty!"));
    EXPECT_TRUE(log.Lines().empty());

    EXPECT_FALSE(SendCardApdu({"00", "D6", "00", "00", "", std::string(2042, 'A'), ""}, session,
                              boxes, log));
    EXPECT_THAT(boxes.Errors(), ElementsAre("INS Empty!", "DATA Too Long!"));
    EXPECT_TRUE(log.Lines().empty());
}

// A library that claims more reply bytes than the buffer holds is shown only what the
// buffer holds.
TEST_F(CardExchangeTest, BoundsAnOversizeReplyLengthToTheBuffer) {
    EXPECT_CALL(library, CardTransmit(_, _, _, _, _, _, _))
        .WillOnce(
            DoAll(Invoke([](std::uint32_t, const IoRequest*, const std::uint8_t*, std::uint32_t,
                            IoRequest*, std::uint8_t* buffer, std::uint32_t* length) {
                      std::fill(buffer, buffer + *length, 0x5A);
                      *length = 5000;
                  }),
                  Return(0)));
    SendCardApdu(kSelectFile, session, boxes, log);

    const auto& lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u + 1 + 1 + 64 + 1 + 1);
    EXPECT_EQ(lines[3], "Receive Data : (0x0400 bytes) : ");
    EXPECT_EQ(lines[67], lines[4]);
    EXPECT_EQ(lines[68], "");
}

}  // namespace
