#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <string>

#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/memcard/MemOperationRunner.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::StrictMock;

namespace {

constexpr std::uint32_t kCard = 0x5A17;
const std::string kSeparator(12, ' ');

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A read that delivers `delivered` bytes counting up from `first` and reports that count.
auto Deliver(std::uint32_t delivered, std::uint8_t first = 0) {
    return [delivered, first](std::uint32_t, std::uint8_t* buffer, std::uint32_t,
                              std::uint32_t* length) {
        const auto bytes = Counting(delivered, first);
        std::copy(bytes.begin(), bytes.end(), buffer);
        *length = delivered;
        return 0u;
    };
}

template <typename LibraryMock>
class MemOperationFixture : public ::testing::Test {
  protected:
    MemOperationFixture() {
        OpenSession(session, library, {"Reader A", "Reader B", "Reader C"}, 2, kCard, 16);
        for (std::size_t i = 0; i < kMemPageCount; ++i) {
            logs.pages[i] = &pageLogs[i];
        }
    }

    const std::vector<std::string>& Lines(MemPage page) {
        return pageLogs[static_cast<std::size_t>(page)].Lines();
    }
    void Run() { RunMemOperation(params, session, boxes, logs); }

    LibraryMock library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session{library, cardLog};
    std::array<MemoryResponseLog, kMemPageCount> pageLogs;
    MemCardLogs logs;
    MemOperationParams params;
};

using MemOperationRecord = MemOperationFixture<NiceMock<MockCardLibrary>>;
using MemOperationNoCall = MemOperationFixture<StrictMock<MockCardLibrary>>;

TEST(MemOperationTable, HoldsTheTwentyEightCodesInOrder) {
    std::vector<std::uint32_t> codes;
    std::set<std::string> buttons;
    for (const MemOperationEntry& entry : MemOperations()) {
        codes.push_back(entry.code);
        buttons.insert(entry.button);
        EXPECT_EQ(FindMemOperation(entry.code), &entry);
    }
    std::vector<std::uint32_t> expected(26);
    std::iota(expected.begin(), expected.end(), 1u);
    expected.push_back(28);
    expected.push_back(29);
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(buttons.size(), 28u);
    EXPECT_EQ(FindMemOperation(0), nullptr);
    EXPECT_EQ(FindMemOperation(27), nullptr);
    EXPECT_EQ(FindMemOperation(30), nullptr);
}

TEST(MemOperationTable, DialogShapesFitTheKinds) {
    for (const MemOperationEntry& entry : MemOperations()) {
        SCOPED_TRACE(entry.button);
        const bool dataRow = entry.mode == MemDlgMode::mdWrite ||
                             entry.mode == MemDlgMode::mdVerify ||
                             entry.mode == MemDlgMode::mdI2CWrite;
        EXPECT_EQ(entry.dataLabel != nullptr, dataRow);
        EXPECT_EQ(entry.address.min, 0);
        if (entry.kind == MemOpKind::okVerify) {
            // The dialog asks for exactly as many bytes as the code has.
            EXPECT_EQ(entry.length.min, static_cast<std::int32_t>(VerifyCodeBytes(entry)));
            EXPECT_EQ(entry.length.max, entry.length.min);
            EXPECT_EQ(entry.width, 2);
        } else {
            EXPECT_EQ(VerifyCodeBytes(entry), 0u);
            EXPECT_EQ(entry.width, entry.page == MemPage::SLE4436 ? 2 : 3);
        }
    }
}

TEST_F(MemOperationRecord, WorkedExampleReadMain) {
    params.MemOpCode = 1;
    params.MemAddress = 16;
    params.MemReadLen = 20;
    EXPECT_CALL(library, CardSLE4442ReadMain(kCard, _, 16u, _)).WillOnce(Invoke(Deliver(20)));
    Run();
    EXPECT_THAT(Lines(MemPage::SLE4442),
                ElementsAre("SLE4432/4442 Read Main Memory :", "     Starting Address : 0x010",
                            "     Receive Length = 0x014", "SLE4432/4442 Read Main Memory Success",
                            "Receive Data : 014 bytes : ",
                            "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ", "10 11 12 13 ",
                            kSeparator));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MemOperationRecord, ReadRowsEndWithTheRemainderRow) {
    params.MemOpCode = 1;
    params.MemReadLen = 32;
    EXPECT_CALL(library, CardSLE4442ReadMain(_, _, _, _)).WillOnce(Invoke(Deliver(32)));
    Run();
    const auto& lines = Lines(MemPage::SLE4442);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[4], "Receive Data : 020 bytes : ");
    EXPECT_EQ(lines[5].size(), 48u);
    EXPECT_EQ(lines[6], "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], kSeparator);
}

TEST_F(MemOperationRecord, ReadShowsTheDeliveredCount) {
    params.MemOpCode = 14;
    params.MemReadLen = 20;
    EXPECT_CALL(library, CardSLE4404ReadMemory(_, _, _, _))
        .WillOnce(Invoke(Deliver(3, 0xA0)))
        .WillOnce(Invoke(Deliver(0)));
    Run();
    Run();
    EXPECT_THAT(Lines(MemPage::SLE4404),
                ElementsAre("SLE4404 Read Memory :", "     Starting Address : 0x000",
                            "     Receive Length = 0x014", "SLE4404 Read Memory Success",
                            "Receive Data : 003 bytes : ", "A0 A1 A2 ", kSeparator,
                            "SLE4404 Read Memory :", "     Starting Address : 0x000",
                            "     Receive Length = 0x014", "SLE4404 Read Memory Success",
                            "Receive Data : 000 bytes : ", "", kSeparator));
}

TEST_F(MemOperationRecord, DeliveredLengthAboveTheRequestIsHeldToTheRequest) {
    params.MemOpCode = 8;
    params.MemReadLen = 20;
    EXPECT_CALL(library, CardSLE4428ReadMain(_, _, _, _))
        .WillOnce(
            Invoke([](std::uint32_t, std::uint8_t* buffer, std::uint32_t, std::uint32_t* length) {
                std::fill_n(buffer, *length + 1, std::uint8_t{0xEE});
                *length = 500;
                return 0u;
            }));
    Run();
    const auto& lines = Lines(MemPage::SLE4428);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4], "Receive Data : 014 bytes : ");
    EXPECT_EQ(lines[6], "EE EE EE EE ");
}

TEST_F(MemOperationRecord, FailureShowsTheBoxBeforeTheReturnCodeLine) {
    boxes.Watch([this] { return Lines(MemPage::SLE4442).size(); });
    params.MemOpCode = 1;
    params.MemAddress = 16;
    params.MemReadLen = 20;
    EXPECT_CALL(library, CardSLE4442ReadMain(_, _, _, _))
        .WillOnce(DoAll(Invoke(Deliver(20)), Return(6u)));
    Run();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "SLE4432/4442 Read Main Memory Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(3u));
    EXPECT_THAT(Lines(MemPage::SLE4442),
                ElementsAre("SLE4432/4442 Read Main Memory :", "     Starting Address : 0x010",
                            "     Receive Length = 0x014",
                            "SLE4432/4442 Read Main Memory Fail, return code=0x0000000000000006",
                            kSeparator));
}

TEST_F(MemOperationRecord, CardBusyCoversTheCallAndTheFailureBox) {
    std::vector<bool> busy;
    boxes.WhileOpen([&] { busy.push_back(session.CardBusy()); });
    params.MemOpCode = 18;
    params.MemAddress = 3;
    params.MemReadLen = 9;
    EXPECT_CALL(library, CardSLE4404EraseMemory(kCard, 3u, 9u))
        .WillOnce(Invoke([&](std::uint32_t, std::uint32_t, std::uint32_t) {
            busy.push_back(session.CardBusy());
            return 0u;
        }))
        .WillOnce(Invoke([&](std::uint32_t, std::uint32_t, std::uint32_t) {
            busy.push_back(session.CardBusy());
            return 0x10u;
        }));
    Run();
    EXPECT_FALSE(session.CardBusy());
    Run();
    EXPECT_FALSE(session.CardBusy());
    EXPECT_THAT(busy, ElementsAre(true, true, true));
    EXPECT_THAT(
        Lines(MemPage::SLE4404),
        ElementsAre("SLE4404 Erase Memory :", "     Starting Address : 0x003",
                    "     Receive Length = 0x009", "SLE4404 Erase Memory Success", kSeparator,
                    "SLE4404 Erase Memory :", "     Starting Address : 0x003",
                    "     Receive Length = 0x009",
                    "SLE4404 Erase Memory Fail, return code=0x0000000000000010", kSeparator));
}

TEST_F(MemOperationRecord, ProtectBitsComeInDataAndPBitPairs) {
    params.MemOpCode = 9;
    params.MemAddress = 0x100;
    const auto fill = [](std::uint32_t delivered) {
        return [delivered](std::uint32_t, std::uint8_t* data, std::uint8_t* bits, std::uint32_t,
                           std::uint32_t* length) {
            for (std::uint32_t i = 0; i < delivered; ++i) {
                data[i] = static_cast<std::uint8_t>(i);
                bits[i] = static_cast<std::uint8_t>(0x80 + i);
            }
            *length = delivered;
            return 0u;
        };
    };
    EXPECT_CALL(library, CardSLE4428ReadWithProtectBit(kCard, _, _, 0x100u, _))
        .WillOnce(Invoke(fill(16)))
        .WillOnce(Invoke(fill(20)));
    params.MemReadLen = 16;
    Run();
    const std::vector<std::string> sixteen = Lines(MemPage::SLE4428);
    pageLogs[1].ClearLog();
    params.MemReadLen = 20;
    Run();
    const std::string data16 = "Data:00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";
    const std::string bits16 = "PBit:80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F ";
    EXPECT_THAT(sixteen, ElementsAre("SLE4418/4428 Read Memory With Protect Bit:",
                                     "     Starting Address : 0x100", "     Receive Length = 0x010",
                                     "SLE4418/4428 Read Main Memory Success",
                                     "Receive Data : 0x010 bytes : ", data16, bits16, kSeparator));
    EXPECT_THAT(
        Lines(MemPage::SLE4428),
        ElementsAre("SLE4418/4428 Read Memory With Protect Bit:", "     Starting Address : 0x100",
                    "     Receive Length = 0x014", "SLE4418/4428 Read Main Memory Success",
                    "Receive Data : 0x014 bytes : ", data16, bits16, "Data:10 11 12 13 ",
                    "PBit:90 91 92 93 ", kSeparator));
}

TEST_F(MemOperationRecord, DigitWidthsFollowThePage) {
    params.MemOpCode = 21;
    params.MemAddress = 5;
    params.MemReadLen = 48;
    EXPECT_CALL(library, CardSLE4436ReadMemory(_, _, 5u, _)).WillOnce(Invoke(Deliver(48)));
    Run();
    EXPECT_EQ(Lines(MemPage::SLE4436)[1], "     Starting Address : 0x05");
    EXPECT_EQ(Lines(MemPage::SLE4436)[2], "     Receive Length = 0x30");
    EXPECT_EQ(Lines(MemPage::SLE4436)[4], "Receive Data : 30 bytes : ");

    params.MemOpCode = 10;
    params.MemAddress = 1023;
    params.MemData = Counting(1024);
    params.MemDataLen = 1024;
    EXPECT_CALL(library, CardSLE4428WriteMain(kCard, params.MemData.data(), 1023u, 1024u))
        .WillOnce(Return(0u));
    Run();
    const auto& lines = Lines(MemPage::SLE4428);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "     Starting Address : 0x3FF");
    const std::string sendPrefix = "     Send Data (0x400 bytes) : 00 01 02 ";
    EXPECT_EQ(lines[2].substr(0, sendPrefix.size()), sendPrefix);
    EXPECT_EQ(lines[2].size(), 31u + 3 * 1024u);
    EXPECT_EQ(lines[3], "SLE4418/4428 Write Main Memory Success");

    // An address wider than the page's digits keeps all of them.
    params.MemOpCode = 25;
    params.MemAddress = 0x1234;
    params.MemReadLen = 1;
    EXPECT_CALL(library, CardSLE4436Reload(kCard, std::uint8_t{0x34})).WillOnce(Return(0u));
    Run();
    EXPECT_THAT(
        std::vector<std::string>(Lines(MemPage::SLE4436).end() - 5, Lines(MemPage::SLE4436).end()),
        ElementsAre("SLE4406/4436/5536 Reload :", "     Starting Address : 0x1234",
                    "     Receive Length = 0x01", "SLE4406/4436/5536 Reload Success", kSeparator));
}

TEST_F(MemOperationRecord, FixedReadAlwaysShowsFourBytes) {
    params.MemOpCode = 2;
    params.MemAddress = 7;
    params.MemReadLen = 200;
    EXPECT_CALL(library, CardSLE4442ReadProtect(kCard, _))
        .WillOnce(Invoke([](std::uint32_t, std::uint8_t* buffer) {
            std::copy_n(Counting(4, 0xF0).begin(), 4, buffer);
            return 0u;
        }));
    Run();
    EXPECT_THAT(
        Lines(MemPage::SLE4442),
        ElementsAre("SLE4432/4442 Read Protect Memory : ", "     Starting Address : 0x007",
                    "     Receive Length = 0x004", "SLE4432/4442 Read Protect Memory Success",
                    "Receive Data : 004 bytes : ", "F0 F1 F2 F3 ", kSeparator));
}

TEST_F(MemOperationRecord, CounterReadShowsFiveStagesFromASixByteBuffer) {
    params.MemOpCode = 22;
    params.MemReadLen = 0;  // whatever the length, the library may fill six bytes
    EXPECT_CALL(library, CardSLE4436ReadCounterStages(kCard, _))
        .WillOnce(Invoke([](std::uint32_t, std::uint8_t* buffer) {
            std::copy_n(Counting(6, 1).begin(), 6, buffer);
            return 0u;
        }));
    Run();
    EXPECT_THAT(
        Lines(MemPage::SLE4436),
        ElementsAre("SLE4406/4436/5536 Read Counter Stages :", "     Starting Address : 0x00",
                    "     Receive Length = 0x00", "SLE4406/4436/5536 Read Counter Stages Success",
                    "Receive Data : 00 bytes : ", "01 02 03 04 05 ", kSeparator));
}

TEST_F(MemOperationRecord, CounterWritePassesTheLowAddressByteAndTheFirstDataByte) {
    params.MemOpCode = 24;
    params.MemAddress = 0x104;
    params.MemData = {0x7F};
    params.MemDataLen = 1;
    EXPECT_CALL(library,
                CardSLE4436WriteCounterStage(kCard, std::uint8_t{0x04}, std::uint8_t{0x7F}))
        .WillOnce(Return(0u));
    Run();
    EXPECT_THAT(Lines(MemPage::SLE4436),
                ElementsAre("SLE4406/4436/5536 Write Counter Stage :",
                            "     Starting Address : 0x104", "     Send Data (0x01 bytes) : 7F ",
                            "SLE4406/4436/5536 Write Counter Stage Success", kSeparator));
}

TEST_F(MemOperationRecord, WritePassesTheDataAsTyped) {
    params.MemOpCode = 5;
    params.MemAddress = 31;
    params.MemData = {0x0A, 0x1B, 0x2C};
    params.MemDataLen = 3;
    EXPECT_CALL(library, CardSLE4442WriteProtect(kCard, params.MemData.data(), 31u, 3u))
        .WillOnce(Return(0u));
    Run();
    EXPECT_THAT(Lines(MemPage::SLE4442),
                ElementsAre("SLE4432/4442 Write Protect Memory :", "     Starting Address : 0x01F",
                            "     Send Data (0x003 bytes) : 0A 1B 2C ",
                            "SLE4432/4442 Write Protect Memory Success", kSeparator));
}

TEST_F(MemOperationRecord, VerifyPassesTheCodeBytesInTypedOrder) {
    params.MemAddress = 99;  // not used by a verification
    params.MemOpCode = 7;
    params.MemData = {0xFF, 0x12, 0x34};
    params.MemDataLen = 3;
    EXPECT_CALL(library, CardSLE4442Verify(kCard, std::uint8_t{0xFF}, std::uint8_t{0x12},
                                           std::uint8_t{0x34}))
        .WillOnce(Return(0u));
    Run();
    EXPECT_THAT(
        Lines(MemPage::SLE4442),
        ElementsAre("SLE4442 Verification :", "     Verification Codes (0x03 bytes) : FF 12 34 ",
                    "SLE4442 Verify Success", kSeparator));

    params.MemOpCode = 13;
    params.MemData = {0xA1, 0xB2};
    params.MemDataLen = 2;
    EXPECT_CALL(library, CardSLE4428VerifyPSC(kCard, std::uint8_t{0xA1}, std::uint8_t{0xB2}))
        .WillOnce(Return(0u));
    Run();

    params.MemOpCode = 20;
    params.MemData = {1, 2, 3, 4};
    params.MemDataLen = 4;
    EXPECT_CALL(library, CardSLE4404VerifyMemoryCode(kCard, std::uint8_t{1}, std::uint8_t{2},
                                                     std::uint8_t{3}, std::uint8_t{4}))
        .WillOnce(Return(0u));
    Run();
    EXPECT_THAT(Lines(MemPage::SLE4404),
                ElementsAre("SLE4404 Memory Code Verification :",
                            "     Verification Codes (0x04 bytes) : 01 02 03 04 ",
                            "SLE4404 Memory Code Verify Success", kSeparator));
}

TEST_F(MemOperationRecord, I2CReadWritesItsThreeParameterBytes) {
    params.MemOpCode = 28;
    params.I2CCommand = 0xA0;
    params.I2CDummy = 0x00;
    params.I2CAddrBytes = 0x01;
    params.MemAddress = 0x10;
    params.MemReadLen = 2;
    EXPECT_CALL(library, CardI2CReadMemory(kCard, std::uint8_t{0xA0}, 0x10u, _, _,
                                           std::uint8_t{0x00}, std::uint8_t{0x01}))
        .WillOnce(Invoke([](std::uint32_t, std::uint8_t, std::uint32_t, std::uint8_t* buffer,
                            std::uint32_t* length, std::uint8_t, std::uint8_t) {
            EXPECT_EQ(*length, 2u);
            buffer[0] = 0xCA;
            buffer[1] = 0xFE;
            return 0u;
        }));
    Run();
    EXPECT_THAT(Lines(MemPage::I2C),
                ElementsAre("I2C Read Memory :", "     Command : A0", "     Dummy : 00",
                            "     Number of Address Bytes : 01", "     Starting Address : 0x010",
                            "     Receive Length = 0x002", "I2C Read Memory Success",
                            "Receive Data : 002 bytes : ", "CA FE ", kSeparator));
}

TEST_F(MemOperationRecord, I2CWriteHasNoDummyLine) {
    params.MemOpCode = 29;
    params.I2CCommand = 0xA0;
    params.I2CDummy = 0x55;
    params.I2CAddrBytes = 0x02;
    params.MemAddress = 0xFF;
    params.MemData = {0x01, 0x02};
    params.MemDataLen = 2;
    EXPECT_CALL(library, CardI2CWriteMemory(kCard, std::uint8_t{0xA0}, 0xFFu, params.MemData.data(),
                                            2u, std::uint8_t{0x02}))
        .WillOnce(Return(0u));
    Run();
    EXPECT_THAT(
        Lines(MemPage::I2C),
        ElementsAre("I2C Write Memory :", "     Command : A0", "     Number of Address Bytes : 02",
                    "     Starting Address : 0x0FF", "     Send Data (0x002 bytes) : 01 02 ",
                    "I2C Write Memory Success", kSeparator));
}

TEST_F(MemOperationNoCall, CodesWithoutAnOperationDoNothing) {
    for (const std::uint32_t code : {0u, 27u, 30u, 0xFFFFFFFFu}) {
        params.MemOpCode = code;
        Run();
    }
    for (const MemoryResponseLog& log : pageLogs) {
        EXPECT_TRUE(log.Lines().empty());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MemOperationNoCall, MissingDataBytesAreRefusedBeforeTheCall) {
    params.MemOpCode = 7;  // a three-byte code with two bytes
    params.MemData = {0x11, 0x22};
    params.MemDataLen = 2;
    Run();
    params.MemOpCode = 4;  // a length claiming more bytes than the data holds
    params.MemData = {0x11};
    params.MemDataLen = 4;
    Run();
    params.MemOpCode = 24;  // a counter value needs its byte
    params.MemData.clear();
    params.MemDataLen = 0;
    Run();
    EXPECT_THAT(boxes.Errors(),
                ElementsAre("DATA Bytes are not enough!", "DATA Bytes are not enough!",
                            "DATA Bytes are not enough!"));
    EXPECT_TRUE(Lines(MemPage::SLE4442).empty());
    EXPECT_TRUE(Lines(MemPage::SLE4436).empty());
    EXPECT_FALSE(session.CardBusy());
}

// Every operation reaches its own library call and writes its record into its own page's log.
TEST_F(MemOperationRecord, EveryOperationReportsFailureOnItsOwnPage) {
    ::testing::DefaultValue<std::uint32_t>::Set(0x10);
    for (const MemOperationEntry& entry : MemOperations()) {
        SCOPED_TRACE(entry.button);
        for (MemoryResponseLog& log : pageLogs) {
            log.ClearLog();
        }
        boxes.Clear();
        params.MemOpCode = entry.code;
        params.MemReadLen = 4;
        params.MemData = {1, 2, 3, 4};
        params.MemDataLen = entry.kind == MemOpKind::okVerify
                                ? static_cast<std::uint32_t>(VerifyCodeBytes(entry))
                                : 4u;
        Run();
        const std::string words = entry.failureWords;
        EXPECT_THAT(boxes.Errors(), ElementsAre(words + " Fail!"));
        for (std::size_t page = 0; page < kMemPageCount; ++page) {
            const auto& lines = pageLogs[page].Lines();
            if (page != static_cast<std::size_t>(entry.page)) {
                EXPECT_TRUE(lines.empty());
                continue;
            }
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines.front(), entry.titleLine);
            EXPECT_EQ(lines[lines.size() - 2], words + " Fail, return code=0x0000000000000010");
            EXPECT_EQ(lines.back(), kSeparator);
        }
    }
    ::testing::DefaultValue<std::uint32_t>::Clear();
}

}  // namespace
