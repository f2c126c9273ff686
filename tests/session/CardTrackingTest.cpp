#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/common/MemoryResponseLog.h"
#include "core/session/CardTracking.h"
#include "core/session/ReaderSession.h"
#include "support/MockLibraries.h"
#include "support/SessionDriver.h"

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::NiceMock;
using ::testing::Return;

namespace {

using Window = TrackingTick::StatusWindow;

// A reader whose card can be put in and taken out, and whose connects can be refused.
class CardTrackingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenSession(session, library, {"R"}, 0);
        ON_CALL(library, CardGetStatusChange(_, _, _, _))
            .WillByDefault(
                Invoke([this](std::uint32_t, std::uint32_t, ReaderState* state, std::uint32_t) {
                    state->eventState = present ? 0x20u : 0x10u;
                    return 0u;
                }));
        ON_CALL(library, CardConnect(_, _, _, _, _, _))
            .WillByDefault(Invoke([this](std::uint32_t, const char*, std::uint32_t, std::uint32_t,
                                         std::uint32_t* card, std::uint32_t* protocol) {
                ++connectCalls;
                if (refuse) {
                    return 0x80100066u;
                }
                *card = 5;
                *protocol = 2;
                return 0u;
            }));
    }

    NiceMock<MockCardLibrary> library;
    MemoryResponseLog log;
    ReaderSession session{library, log};
    bool present = false;
    bool refuse = false;
    int connectCalls = 0;
};

TEST_F(CardTrackingTest, WaitsForACardThenConnectsIt) {
    TrackingTick tick = TrackCard(session);
    EXPECT_EQ(tick.statusWindow, Window::ShowInsertCard);
    EXPECT_FALSE(tick.connected);

    present = true;
    tick = TrackCard(session);
    EXPECT_EQ(tick.statusWindow, Window::Hide);
    EXPECT_TRUE(tick.connected);
    EXPECT_TRUE(session.CardConnected());
    EXPECT_THAT(log.Lines(), ElementsAre("Connect Success", ""));

    // Connected: the next ticks only look.
    tick = TrackCard(session);
    EXPECT_FALSE(tick.connected);
    EXPECT_EQ(connectCalls, 1);
}

TEST_F(CardTrackingTest, ARefusedCardIsTriedThreeTimesPerInsertion) {
    present = true;
    refuse = true;
    for (int i = 0; i < 6; ++i) {
        TrackCard(session);
    }
    EXPECT_EQ(connectCalls, 3);
    EXPECT_THAT(log.Lines(), ElementsAre("Connect Fail", "Connect Fail", "Connect Fail"));

    present = false;
    EXPECT_EQ(TrackCard(session).statusWindow, Window::ShowInsertCard);
    EXPECT_EQ(session.ConnectFailCount(), 0);
    present = true;
    for (int i = 0; i < 5; ++i) {
        TrackCard(session);
    }
    EXPECT_EQ(connectCalls, 6);
    EXPECT_EQ(log.Lines().size(), 6u);
}

TEST_F(CardTrackingTest, AfterADisconnectTheCardMustBeTakenOut) {
    present = true;
    TrackCard(session);
    ASSERT_TRUE(session.DisconnectCard());
    log.ClearLog();

    TrackingTick tick = TrackCard(session);
    EXPECT_EQ(tick.statusWindow, Window::ShowEjectCard);
    EXPECT_FALSE(tick.rearmed);
    EXPECT_EQ(connectCalls, 1);

    present = false;
    tick = TrackCard(session);
    EXPECT_EQ(tick.statusWindow, Window::Hide);
    EXPECT_TRUE(tick.rearmed);
    EXPECT_TRUE(session.TrackingArmed());
    EXPECT_EQ(TrackCard(session).statusWindow, Window::ShowInsertCard);

    present = true;
    EXPECT_TRUE(TrackCard(session).connected);
}

// The handle of a pulled card is released (leave card), silently; the next card connects.
TEST_F(CardTrackingTest, APulledCardIsReleasedAndTheNextOneConnects) {
    present = true;
    TrackCard(session);
    present = false;
    EXPECT_CALL(library, CardDisconnect(5, 0)).WillOnce(Return(0x80100069u));
    EXPECT_EQ(TrackCard(session).statusWindow, Window::ShowInsertCard);
    EXPECT_FALSE(session.CardConnected());
    TrackCard(session);
    present = true;
    EXPECT_TRUE(TrackCard(session).connected);
    EXPECT_THAT(log.Lines(), ElementsAre("Connect Success", "", "Connect Success", ""));
}

TEST_F(CardTrackingTest, AFailingStateQueryKeepsTheFlags) {
    present = true;
    TrackCard(session);
    EXPECT_CALL(library, CardGetStatusChange(_, _, _, _)).WillRepeatedly(Return(0x80100017u));
    const TrackingTick tick = TrackCard(session);
    EXPECT_EQ(tick.statusWindow, Window::Hide);
    EXPECT_TRUE(session.CardConnected());
    EXPECT_EQ(connectCalls, 1);
}

}  // namespace
