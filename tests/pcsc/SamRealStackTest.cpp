// The SAM page on the platform's PC/SC service: the second virtual reader is the SAM slot
// of the first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "VirtualCard.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/sam/SamPage.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

using ::testing::ElementsAre;

namespace {

TEST(SamRealStack, ConnectsExchangesAndDisconnectsTheSamSlot) {
    if (!RealStackReady()) {
        GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
    }
    PcscCardLibrary card;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session(card, cardLog);
    ASSERT_TRUE(session.InitializeReaders());
    ASSERT_STREQ(session.ReaderName(0), kFirstReader);

    VirtualCard sam(kSecondReaderPort);
    ASSERT_TRUE(sam.Insert()) << sam.Output();
    ASSERT_TRUE(WaitForCardState(card, session.Context(), kSecondReader, true)) << sam.Output();

    PcscSamLibrary samLibrary;
    SamPage page(session, samLibrary, boxes);
    EXPECT_EQ(page.SAMConnectCard(), 0u);
    const char* fields[][2] = {{"SAMCLA", "00"}, {"SAMINS", "84"}, {"SAMP1", "00"}, {"SAMP2", "00"},
                               {"SAMLc", "08"},  {"SAMData", ""},  {"SAMLe", ""}};
    for (const auto& [name, text] : fields) {
        page.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
    }
    page.SendSamApdu();
    EXPECT_EQ(page.DisconnectSam(), 0u);

    const std::vector<std::string> lines = page.SAMRespon()->Lines();
    ASSERT_EQ(lines.size(), 10u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "Connect SAM0 Success");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Send Data (0x0005 bytes) : ");
    EXPECT_EQ(lines[3], "00 84 00 00 08 ");
    EXPECT_EQ(lines[4], "Send Data To SAM Card Success");
    EXPECT_EQ(lines[5], "Receive Data : (0x000A bytes) : ");
    EXPECT_EQ(lines[6].size(), 30u);
    EXPECT_EQ(lines[6].substr(24), "90 00 ");
    EXPECT_EQ(lines[7], "            ");
    EXPECT_EQ(lines[8], "Disconnect SAM0 Success");
    EXPECT_EQ(lines[9], "");
    EXPECT_THAT(boxes.Boxes(), ::testing::IsEmpty());

    sam.Remove();
    EXPECT_TRUE(WaitForCardState(card, session.Context(), kSecondReader, false));
    card.CardReleaseContext(session.Context());
}

}  // namespace

namespace {

// Connect SAM pressed more often than the service lets handles be open on one reader: each
// press releases the handle it overwrites, so every connect succeeds.
TEST(SamRealStack, ConnectRepeatedPastTheServicesHandleLimit) {
    if (!RealStackReady()) {
        GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
    }
    constexpr int kConnects = 210;  // the service refuses a reader's 201st open handle
    PcscCardLibrary card;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session(card, cardLog);
    ASSERT_TRUE(session.InitializeReaders());
    session.SelectReader(0);
    VirtualCard sam(kSecondReaderPort);
    ASSERT_TRUE(sam.Insert()) << sam.Output();
    ASSERT_TRUE(WaitForCardState(card, session.Context(), kSecondReader, true)) << sam.Output();

    PcscSamLibrary samLibrary;
    SamPage page(session, samLibrary, boxes);
    page.show();
    auto* connect = page.findChild<QPushButton*>(QStringLiteral("SAMConnectBtn"));
    for (int i = 0; i < kConnects; ++i) {
        QTest::mouseClick(connect, Qt::LeftButton);
    }
    EXPECT_EQ(page.DisconnectSam(), 0u);
    const std::vector<std::string> lines = page.SAMRespon()->Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Connect SAM0 Success"), kConnects);
    EXPECT_EQ(lines[lines.size() - 2], "Disconnect SAM0 Success");

    sam.Remove();
    EXPECT_TRUE(WaitForCardState(card, session.Context(), kSecondReader, false));
    card.CardReleaseContext(session.Context());
}

}  // namespace
