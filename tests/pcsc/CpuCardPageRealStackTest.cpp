// The CPU card page against the platform's PC/SC service: a command typed field by field
// and sent to the virtual T=1 card.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "VirtualCard.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/CpuCardPage.h"
#include "pcsc/PcscCardLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {

TEST(CpuCardPageRealStack, TypedGetChallengeIsAnsweredWithTenBytes) {
    if (!RealStackReady()) {
        GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
    }
    PcscCardLibrary library;
    RecordingMessageBoxes boxes;
    ResponseLogModel cardLog;
    ReaderSession session(library, cardLog);
    ASSERT_TRUE(session.InitializeReaders());
    CpuCardPage page(session, boxes, cardLog);
    auto* log = page.findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"));
    page.show();

    VirtualCard card(kFirstReaderPort);
    ASSERT_TRUE(card.Insert()) << card.Output();
    ASSERT_TRUE(WaitForCardState(library, session.Context(), kFirstReader, true)) << card.Output();
    ASSERT_TRUE(session.TryConnectCard());
    cardLog.ClearLog();

    const char* typed[][2] = {
        {"CLA", "00"}, {"INS", "84"}, {"P1", "00"}, {"P2", "00"}, {"Lc", "08"}};
    for (const auto& [name, text] : typed) {
        QTest::keyClicks(page.findChild<QLineEdit*>(QString::fromLatin1(name)),
                         QString::fromLatin1(text));
    }
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("SCardSend")), Qt::LeftButton);

    const std::vector<std::string> lines = log->Lines();
    ASSERT_EQ(lines.size(), 6u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "Send Data (0x0005 bytes) : ");
    EXPECT_EQ(lines[1], "00 84 00 00 08 ");
    EXPECT_EQ(lines[2], "Send Data Success");
    EXPECT_EQ(lines[3], "Receive Data : (0x000A bytes) : ");
    EXPECT_EQ(lines[4].size(), 30u);
    EXPECT_EQ(lines[4].substr(24), "90 00 ");
    EXPECT_EQ(lines[5], "            ");
    EXPECT_TRUE(boxes.Boxes().empty());

    EXPECT_TRUE(session.DisconnectCard());
    card.Remove();
    EXPECT_TRUE(WaitForCardState(library, session.Context(), kFirstReader, false));
    library.CardReleaseContext(session.Context());
}

}  // namespace
