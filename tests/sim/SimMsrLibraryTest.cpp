#include <gtest/gtest.h>

#include <string>

#include "core/session/PcscCodes.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"

namespace {

std::string Track(const std::uint8_t* data, std::uint32_t length) {
    return std::string(data, data + std::min(length, kMsrTrackCapacity));
}

class SimMsrLibraryTest : public ::testing::Test {
  protected:
    SimMsrLibraryTest() : cards_({"Reader A", "Reader B"}), msr_(cards_) {}

    std::uint32_t Open(const char* reader = "Reader B") {
        std::uint32_t handle = 0;
        EXPECT_EQ(msr_.MsrOpen(reader, &handle), 0u);
        EXPECT_NE(handle, 0u);
        return handle;
    }

    SimCardLibrary cards_;
    SimMsrLibrary msr_;
    MsrTrackRecord record_{};
};

TEST_F(SimMsrLibraryTest, OpensTheStripeReaderOfAKnownReader) {
    const std::uint32_t first = Open("Reader A");
    const std::uint32_t second = Open("Reader B");
    EXPECT_NE(first, second);
    EXPECT_TRUE(msr_.IsOpen(first));
    EXPECT_EQ(msr_.OpenHandleCount(), 2);

    std::uint32_t handle = 0;
    EXPECT_EQ(msr_.MsrOpen("Reader C", &handle), pcsc_codes::kUnknownReader);
    EXPECT_EQ(msr_.MsrOpen(nullptr, &handle), pcsc_codes::kUnknownReader);
    EXPECT_EQ(handle, 0u);
}

TEST_F(SimMsrLibraryTest, SwipeIsDeliveredOnceToItsReaderOnly) {
    const std::uint32_t a = Open("Reader A");
    const std::uint32_t b = Open("Reader B");
    EXPECT_EQ(msr_.MsrRead(b, &record_, 0), MsrNoSwipe);
    ASSERT_TRUE(msr_.Swipe(1, "%B4111^DOE/JOHN^29?", ";4111=2912?", ""));

    EXPECT_EQ(msr_.MsrPoll(a, &record_), MsrNoSwipe);
    EXPECT_EQ(msr_.MsrPoll(b, &record_), 0u);
    EXPECT_EQ(Track(record_.track1, record_.track1Length), "%B4111^DOE/JOHN^29?");
    EXPECT_EQ(Track(record_.track2, record_.track2Length), ";4111=2912?");
    EXPECT_EQ(record_.track3Length, 0u);
    EXPECT_EQ(msr_.MsrPoll(b, &record_), MsrNoSwipe);
    EXPECT_EQ(msr_.MsrRead(b, &record_, 0), MsrNoSwipe);
}

TEST_F(SimMsrLibraryTest, SwipesQueueInOrder) {
    msr_.Swipe(0, "first", "", "");
    msr_.Swipe(0, "second", "", "");
    EXPECT_EQ(msr_.PendingSwipes(0), 2);
    const std::uint32_t handle = Open("Reader A");
    EXPECT_EQ(msr_.MsrRead(handle, &record_, 0), 0u);
    EXPECT_EQ(Track(record_.track1, record_.track1Length), "first");
    EXPECT_EQ(msr_.MsrRead(handle, &record_, 0), 0u);
    EXPECT_EQ(Track(record_.track1, record_.track1Length), "second");
    EXPECT_EQ(msr_.PendingSwipes(0), 0);
}

TEST_F(SimMsrLibraryTest, LongTracksAreCutAndRawRecordsKeptAsGiven) {
    EXPECT_FALSE(msr_.Swipe(2, "x", "", ""));
    msr_.Swipe(1, std::string(300, '1'), std::string(256, '2'), "");
    MsrTrackRecord raw{};
    raw.track1Length = 300;
    msr_.DeliverRawRecord(1, raw);

    const std::uint32_t handle = Open();
    ASSERT_EQ(msr_.MsrRead(handle, &record_, 0), 0u);
    EXPECT_EQ(record_.track1Length, 256u);
    EXPECT_EQ(record_.track2Length, 256u);
    ASSERT_EQ(msr_.MsrRead(handle, &record_, 0), 0u);
    EXPECT_EQ(record_.track1Length, 300u);
}

TEST_F(SimMsrLibraryTest, DisabledHandleDeliversNothingUntilReopened) {
    const std::uint32_t handle = Open();
    msr_.Swipe(1, "card", "", "");
    EXPECT_EQ(msr_.MsrDisable(handle), 0u);
    EXPECT_EQ(msr_.MsrPoll(handle, &record_), MsrNoSwipe);
    EXPECT_EQ(msr_.MsrClose(handle), 0u);
    EXPECT_EQ(msr_.MsrPoll(Open(), &record_), 0u);
}

TEST_F(SimMsrLibraryTest, ClosedHandleIsInvalid) {
    const std::uint32_t handle = Open();
    EXPECT_EQ(msr_.MsrClose(handle), 0u);
    EXPECT_FALSE(msr_.IsOpen(handle));
    EXPECT_EQ(msr_.CloseCount(), 1);
    EXPECT_EQ(msr_.MsrClose(handle), pcsc_codes::kInvalidHandle);
    EXPECT_EQ(msr_.MsrRead(handle, &record_, 0), pcsc_codes::kInvalidHandle);
    EXPECT_EQ(msr_.MsrPoll(handle, &record_), pcsc_codes::kInvalidHandle);
    EXPECT_EQ(msr_.MsrDisable(handle), pcsc_codes::kInvalidHandle);
    EXPECT_EQ(msr_.CloseCount(), 1);
}

TEST_F(SimMsrLibraryTest, FailNextLeavesWaitingSwipesAlone) {
    const std::uint32_t handle = Open();
    msr_.Swipe(1, "card", "", "");
    msr_.FailNext("MsrRead", 0x80100016);
    msr_.FailNext("MsrOpen", 1);
    EXPECT_EQ(msr_.MsrRead(handle, &record_, 0), 0x80100016u);
    EXPECT_EQ(msr_.PendingSwipes(1), 1);
    EXPECT_EQ(msr_.MsrRead(handle, &record_, 0), 0u);

    std::uint32_t other = 0;
    EXPECT_EQ(msr_.MsrOpen("Reader B", &other), 1u);
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(msr_.CallCount("MsrOpen"), 2);
    EXPECT_EQ(msr_.CallCount("MsrRead"), 2);
}

}  // namespace
