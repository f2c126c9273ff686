#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "apdu/QStringPrinter.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/msr/MsrPage.h"
#include "pcsc/PcscMsrLibrary.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"
#include "support/TimerTick.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::StrictMock;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kHandle = 0x77;

MsrTrackRecord Swipe(std::uint32_t n1, std::uint32_t n2, std::uint32_t n3) {
    MsrTrackRecord record{};
    for (int i = 0; i < 256; ++i) {
        record.track1[i] = static_cast<std::uint8_t>(i);
        record.track2[i] = static_cast<std::uint8_t>(0x40 + i);
        record.track3[i] = static_cast<std::uint8_t>(0x80 + i);
    }
    record.track1Length = n1;
    record.track2Length = n2;
    record.track3Length = n3;
    return record;
}

// A page over two readers with the second one selected.
class MsrPageTest : public ::testing::Test {
  protected:
    MsrPageTest() : session_(cards_, cardLog_), page_(session_, msr_) {
        OpenSession(session_, cards_, {"Reader A 00 00", "Reader B 00 00"}, 1);
    }

    template <typename T>
    T* Find(const char* name) {
        T* child = page_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* name) { Find<QPushButton>(name)->click(); }
    Lines Log() { return Find<ResponseLogEdit>("MsrRespon")->Lines(); }
    // The track record of reader `index`, as the library receives it.
    MsrTrackRecord* Record(int index) { return &session_.Record(index)->Msr.Tracks; }
    bool Polling() { return Find<QTimer>("MsrTimer")->isActive(); }

    void ExpectOpen(std::uint32_t handle = kHandle) {
        EXPECT_CALL(msr_, MsrOpen(::testing::StrEq("Reader B 00 00"), _))
            .WillOnce(DoAll(SetArgPointee<1>(handle), Return(0)));
    }

    NiceMock<MockCardLibrary> cards_;
    RecordingMessageBoxes boxes_;
    MemoryResponseLog cardLog_;
    StrictMock<MockMsrLibrary> msr_;
    ReaderSession session_;
    MsrPage page_;
};

TEST_F(MsrPageTest, ControlsCarryTheirNamesAndCaptions) {
    EXPECT_EQ(page_.objectName(), "PellikSheet1");
    EXPECT_EQ(Find<QPushButton>("BitBtnReadMSR")->text(), "Start Reading &MSR");
    EXPECT_EQ(Find<QPushButton>("BitBtnDisableReadMSR")->text(), "Dis&able Reading MSR");
    EXPECT_EQ(Find<QPushButton>("BitBtnMSRClear")->text(), "&C&lear");
    auto* log = Find<ResponseLogEdit>("MsrRespon");
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    auto* timer = Find<QTimer>("MsrTimer");
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(Log().empty());
}

TEST_F(MsrPageTest, SwipeAtTheFirstReadIsShownAndClosed) {
    {
        InSequence order;
        ExpectOpen();
        EXPECT_CALL(msr_, MsrRead(kHandle, Record(1), 0))
            .WillOnce(DoAll(SetArgPointee<1>(Swipe(0x25, 0, 0x6B)), Return(0)));
        EXPECT_CALL(msr_, MsrClose(kHandle));
    }
    Click("BitBtnReadMSR");

    const Lines log = Log();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(log[0], "Open MSR Success");
    EXPECT_EQ(log[1], "Swipe Card Success: ");
    EXPECT_EQ(log[3], "  Track01 : (0x0025 bytes) : ");
    EXPECT_EQ(log[5], "    20 21 22 23 24 ");
    EXPECT_EQ(log[6], "  Track02 : (0x0000 bytes) : ");
    EXPECT_EQ(log[7], "  Track03 : (0x006B bytes) : ");
    EXPECT_EQ(log[11], "    E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA ");
    EXPECT_EQ(log[12], "            ");
    EXPECT_FALSE(Polling());
    EXPECT_EQ(session_.Record(1)->Msr.Handle, kHandle);
}

TEST_F(MsrPageTest, PollsUntilTheSwipeThenStopsAndClosesOnce) {
    {
        InSequence order;
        ExpectOpen();
        EXPECT_CALL(msr_, MsrRead(kHandle, _, 0)).WillOnce(Return(MsrNoSwipe));
        EXPECT_CALL(msr_, MsrPoll(kHandle, Record(1))).Times(3).WillRepeatedly(Return(MsrNoSwipe));
        EXPECT_CALL(msr_, MsrPoll(kHandle, _))
            .WillOnce(DoAll(SetArgPointee<1>(Swipe(32, 0, 0)), Return(0)));
        EXPECT_CALL(msr_, MsrClose(kHandle)).Times(1);
    }
    Click("BitBtnReadMSR");
    EXPECT_EQ(Log(), (Lines{"Open MSR Success", "Wait for Swiping MSR........."}));
    EXPECT_TRUE(Polling());

    for (int tick = 0; tick < 3; ++tick) {
        TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));
    }
    EXPECT_EQ(Log().size(), 2u);
    EXPECT_TRUE(Polling());

    TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));
    const Lines log = Log();
    ASSERT_EQ(log.size(), 2u + 2u + 2u + 2u + 1u);
    EXPECT_EQ(log[4], "  Track01 : (0x0020 bytes) : ");
    EXPECT_EQ(log[5].size(), 100u);
    EXPECT_EQ(log[6], "  Track02 : (0x0000 bytes) : ");
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageTest, TimerTicksPollTheDevice) {
    ExpectOpen();
    EXPECT_CALL(msr_, MsrRead(_, _, _)).WillOnce(Return(MsrNoSwipe));
    EXPECT_CALL(msr_, MsrPoll(kHandle, _))
        .WillOnce(Return(MsrNoSwipe))
        .WillOnce(DoAll(SetArgPointee<1>(Swipe(1, 1, 1)), Return(0)));
    EXPECT_CALL(msr_, MsrClose(kHandle));
    Click("BitBtnReadMSR");

    QTRY_VERIFY_WITH_TIMEOUT(!Polling(), 3000);
    EXPECT_EQ(Log().back(), "            ");
}

TEST_F(MsrPageTest, OpenFailureIsLoggedAndNothingIsClosed) {
    EXPECT_CALL(msr_, MsrOpen(_, _)).WillOnce(Return(1));
    Click("BitBtnReadMSR");
    EXPECT_EQ(Log(), (Lines{"Open MSR Fail : 0000000000000001"}));
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageTest, ReadFailureClosesTheHandle) {
    {
        InSequence order;
        ExpectOpen();
        EXPECT_CALL(msr_, MsrRead(kHandle, _, 0)).WillOnce(Return(0x80100069u));
        EXPECT_CALL(msr_, MsrClose(kHandle));
    }
    Click("BitBtnReadMSR");
    EXPECT_EQ(Log(), (Lines{"Open MSR Success", "Read MSR Fail : 0000000080100069"}));
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageTest, PollFailureStopsPollingAndClosesTheHandle) {
    {
        InSequence order;
        ExpectOpen();
        EXPECT_CALL(msr_, MsrRead(kHandle, _, 0)).WillOnce(Return(MsrNoSwipe));
        EXPECT_CALL(msr_, MsrPoll(kHandle, _)).WillOnce(Return(0x1Fu));
        EXPECT_CALL(msr_, MsrClose(kHandle));
    }
    Click("BitBtnReadMSR");
    TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));
    EXPECT_EQ(Log().back(), "Swipe Card Fail : 000000000000001F");
    EXPECT_EQ(Log().size(), 3u);
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageTest, DisableWhileIdleStillDisablesAndClosesTheStoredHandle) {
    ExpectOpen(0x55);
    EXPECT_CALL(msr_, MsrRead(_, _, _)).WillOnce(Return(0x2u));
    EXPECT_CALL(msr_, MsrClose(0x55)).Times(2);
    EXPECT_CALL(msr_, MsrDisable(0x55));
    Click("BitBtnReadMSR");

    Click("BitBtnDisableReadMSR");
    EXPECT_EQ(Log().back(), "MSR Reading Disabled");
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageTest, DisableWhileWaitingStopsPolling) {
    {
        InSequence order;
        ExpectOpen();
        EXPECT_CALL(msr_, MsrRead(_, _, _)).WillOnce(Return(MsrNoSwipe));
        EXPECT_CALL(msr_, MsrDisable(kHandle));
        EXPECT_CALL(msr_, MsrClose(kHandle));
    }
    Click("BitBtnReadMSR");
    Click("BitBtnDisableReadMSR");
    EXPECT_EQ(Log(),
              (Lines{"Open MSR Success", "Wait for Swiping MSR.........", "MSR Reading Disabled"}));
    EXPECT_FALSE(Polling());
}

// The last slot, so that the record is the last one in the table; the reader claims
// lengths the record cannot hold.
TEST_F(MsrPageTest, TrackLengthsBeyondTheRecordShowOnlyItsBytes) {
    std::vector<std::string> readers(39, "Reader");
    for (std::size_t i = 0; i < readers.size(); ++i) {
        readers[i] += " " + std::to_string(i);
    }
    readers.push_back("Reader Z 00 00");
    OpenSession(session_, cards_, readers, 39);
    EXPECT_CALL(msr_, MsrOpen(_, _)).WillOnce(DoAll(SetArgPointee<1>(kHandle), Return(0)));
    EXPECT_CALL(msr_, MsrRead(kHandle, Record(39), 0))
        .WillOnce(DoAll(SetArgPointee<1>(Swipe(300, 0x10000, 0xFFFFFFFF)), Return(0)));
    EXPECT_CALL(msr_, MsrClose(kHandle));
    Click("BitBtnReadMSR");

    const Lines log = Log();
    ASSERT_EQ(log.size(), 1u + 2u + 3u * 9u + 1u);
    EXPECT_EQ(log[3], "  Track01 : (0x012C bytes) : ");
    EXPECT_EQ(log[11],
              "    E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF F0 F1 F2 F3 F4 F5 F6 "
              "F7 F8 F9 FA FB FC FD FE FF ");
    EXPECT_EQ(log[12], "  Track02 : (0x10000 bytes) : ");
    EXPECT_EQ(log[21], "  Track03 : (0xFFFFFFFF bytes) : ");
    EXPECT_EQ(log.back(), "            ");
}

TEST_F(MsrPageTest, ClearButtonAndEscEmptyTheLog) {
    EXPECT_CALL(msr_, MsrOpen(_, _)).Times(2).WillRepeatedly(Return(1));
    Click("BitBtnReadMSR");
    Click("BitBtnMSRClear");
    EXPECT_TRUE(Log().empty());

    Click("BitBtnReadMSR");
    page_.show();
    page_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page_));
    Find<QPushButton>("BitBtnReadMSR")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(Log().empty());
}

TEST_F(MsrPageTest, TabLeavesTheLogForClear) {
    page_.show();
    page_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page_));
    Find<QPushButton>("BitBtnReadMSR")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, QStringList({"BitBtnReadMSR", "BitBtnDisableReadMSR", "MsrRespon",
                                    "BitBtnMSRClear"}));
    EXPECT_TRUE(Log().empty());
}

TEST(PcscMsrPage, PcscOffersNoStripeReader) {
    NiceMock<MockCardLibrary> cards;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session(cards, cardLog);
    OpenSession(session, cards, {"Reader A 00 00"}, 0);
    PcscMsrLibrary msr;
    MsrPage page(session, msr);

    page.findChild<QPushButton*>(QStringLiteral("BitBtnReadMSR"))->click();
    EXPECT_EQ(page.findChild<ResponseLogEdit*>(QStringLiteral("MsrRespon"))->Lines(),
              (Lines{"Open MSR Fail : 000000008010001A"}));
    EXPECT_FALSE(page.findChild<QTimer*>(QStringLiteral("MsrTimer"))->isActive());
}

}  // namespace
