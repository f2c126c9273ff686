#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>

#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/msr/MsrPage.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TimerTick.h"

namespace {

using Lines = std::vector<std::string>;

// The page over the simulated stripe reader of the second of two simulated readers.
class MsrPageSimTest : public ::testing::Test {
  protected:
    MsrPageSimTest()
        : cards_({"Reader A", "Reader B"}),
          msr_(cards_),
          session_(cards_, cardLog_),
          page_(session_, msr_) {
        session_.RefreshReaders();
        session_.SelectReader(1);
    }

    void Click(const char* name) {
        page_.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    Lines Log() { return page_.findChild<ResponseLogEdit*>(QStringLiteral("MsrRespon"))->Lines(); }
    bool Polling() { return page_.findChild<QTimer*>(QStringLiteral("MsrTimer"))->isActive(); }

    SimCardLibrary cards_;
    SimMsrLibrary msr_;
    RecordingMessageBoxes boxes_;
    MemoryResponseLog cardLog_;
    ReaderSession session_;
    MsrPage page_;
};

TEST_F(MsrPageSimTest, SwipeWhileWaitingIsShownAndTheReaderClosed) {
    Click("BitBtnReadMSR");
    TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));
    msr_.Swipe(1, "%B4111111111111111^DOE/JOHN^2912101?", ";4111111111111111=2912101?", "");
    TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));

    const Lines log = Log();
    ASSERT_EQ(log.size(), 2u + 2u + 3u + 2u + 1u + 1u);
    EXPECT_EQ(log[1], "Wait for Swiping MSR.........");
    EXPECT_EQ(log[4], "  Track01 : (0x0024 bytes) : ");
    EXPECT_EQ(log[5].substr(0, 16), "    25 42 34 31 ");
    EXPECT_EQ(log[9], "  Track03 : (0x0000 bytes) : ");
    EXPECT_FALSE(Polling());
    EXPECT_EQ(msr_.CloseCount(), 1);
    EXPECT_EQ(msr_.OpenHandleCount(), 0);
}

TEST_F(MsrPageSimTest, DisableClosesTheWaitingReader) {
    Click("BitBtnReadMSR");
    Click("BitBtnReadMSR");  // started again while waiting: the first handle is closed
    EXPECT_EQ(msr_.OpenHandleCount(), 1);
    Click("BitBtnDisableReadMSR");
    EXPECT_EQ(msr_.CallCount("MsrDisable"), 1);
    EXPECT_EQ(msr_.OpenHandleCount(), 0);
    EXPECT_FALSE(Polling());
    EXPECT_EQ(Log().back(), "MSR Reading Disabled");
}

TEST_F(MsrPageSimTest, FailedPollEndsReading) {
    Click("BitBtnReadMSR");
    msr_.FailNext("MsrPoll", 0x80100016);
    TickTimer(page_.findChild<QTimer*>(QStringLiteral("MsrTimer")));
    EXPECT_EQ(Log().back(), "Swipe Card Fail : 0000000080100016");
    EXPECT_EQ(msr_.OpenHandleCount(), 0);
    EXPECT_FALSE(Polling());
}

TEST_F(MsrPageSimTest, OversizedTrackIsBoundedToTheRecord) {
    MsrTrackRecord record{};
    record.track1Length = 300;
    record.track2Length = 2;
    msr_.DeliverRawRecord(1, record);
    Click("BitBtnReadMSR");

    const Lines log = Log();
    ASSERT_EQ(log.size(), 1u + 2u + 9u + 2u + 1u + 1u);
    EXPECT_EQ(log[3], "  Track01 : (0x012C bytes) : ");
    EXPECT_EQ(log[12], "  Track02 : (0x0002 bytes) : ");
    EXPECT_EQ(log[13], "    00 00 ");
}

TEST_F(MsrPageSimTest, UnknownReaderFailsToOpen) {
    session_.SelectReader(2);  // no such reader: none is selected
    Click("BitBtnReadMSR");
    EXPECT_EQ(Log(), (Lines{"Open MSR Fail : 0000000080100009"}));
}

}  // namespace
