#include <gtest/gtest.h>

#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimSle4428Card.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;
const V kDefaultPsc = {0xFF, 0xFF};
const V kWrongPsc = {0x00, 0x01};

V ReadMain(const SimSle4428Card& card, std::uint32_t address, std::size_t count) {
    V out(count);
    EXPECT_EQ(kSuccess, card.ReadMain(address, out));
    return out;
}
}  // namespace

TEST(SimSle4428Card, WritesNeedTheVerifiedPsc) {
    SimSle4428Card card(SimCardKind::SLE4428);
    EXPECT_EQ(kSecurityViolation, card.WriteMain(0, V{0x01}));
    EXPECT_EQ(kSecurityViolation, card.WriteWithProtectBit(0, V{0x01}));
    EXPECT_EQ(kSecurityViolation, card.WriteProtectBit(0, V{0xFF}));
    ASSERT_EQ(kSuccess, card.VerifyPsc(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.WriteMain(0x3FA, V{1, 2, 3}));
    EXPECT_EQ(V({1, 2, 3}), ReadMain(card, 0x3FA, 3));
    EXPECT_EQ(kInvalidParameter, card.WriteMain(0x3FF, V{1, 2}));
    V whole(1024);
    EXPECT_EQ(kSuccess, card.ReadMain(0, whole));
}

TEST(SimSle4428Card, PscIsHiddenUntilVerifiedAndCanBeChanged) {
    SimSle4428Card card(SimCardKind::SLE4428);
    EXPECT_EQ(V({0xFF, 0x00, 0x00}), ReadMain(card, 0x3FD, 3));
    ASSERT_EQ(kSuccess, card.VerifyPsc(kDefaultPsc));
    EXPECT_EQ(V({0xFF, 0xFF, 0xFF}), ReadMain(card, 0x3FD, 3));
    ASSERT_EQ(kSuccess, card.WriteMain(SimSle4428Card::kPscAddress, V{0x12, 0x34}));
    card.PowerDown();
    EXPECT_EQ(kWrongChv, card.VerifyPsc(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.VerifyPsc(V{0x12, 0x34}));
}

TEST(SimSle4428Card, EightWrongCodesBlockTheCard) {
    SimSle4428Card card(SimCardKind::SLE4428);
    for (int left = 7; left >= 0; --left) {
        EXPECT_EQ(kWrongChv, card.VerifyPsc(kWrongPsc));
        EXPECT_EQ(left, card.AttemptsLeft());
    }
    EXPECT_EQ(V({0x00}), ReadMain(card, SimSle4428Card::kCounterAddress, 1));
    EXPECT_EQ(kChvBlocked, card.VerifyPsc(kDefaultPsc));
    EXPECT_EQ(kSecurityViolation, card.WriteMain(0, V{0x01}));
}

// A protect bit reads 0 once its byte is protected; writes leave protected bytes as they are
// and write the others.
TEST(SimSle4428Card, ProtectBitsAreWriteOnceAndReadZeroWhenSet) {
    SimSle4428Card card(SimCardKind::SLE4428);
    ASSERT_EQ(kSuccess, card.VerifyPsc(kDefaultPsc));
    ASSERT_EQ(kSuccess, card.WriteWithProtectBit(0x10, V{0xAA, 0xBB}));
    V data(4);
    V bits(4);
    ASSERT_EQ(kSuccess, card.ReadWithProtectBit(0x0F, data, bits));
    EXPECT_EQ(V({0xFF, 0xAA, 0xBB, 0xFF}), data);
    EXPECT_EQ(V({0x01, 0x00, 0x00, 0x01}), bits);
    EXPECT_EQ(kSuccess, card.WriteMain(0x0F, V{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(V({0x01, 0xAA, 0xBB, 0x04}), ReadMain(card, 0x0F, 4));
    EXPECT_EQ(kSuccess, card.WriteWithProtectBit(0x11, V{0x00, 0x05}));
    ASSERT_EQ(kSuccess, card.ReadWithProtectBit(0x0F, data, bits));
    EXPECT_EQ(V({0x01, 0xAA, 0xBB, 0x05}), data);
    EXPECT_EQ(V({0x01, 0x00, 0x00, 0x00}), bits);
}

TEST(SimSle4428Card, ProtectBitWithDataComparison) {
    SimSle4428Card card(SimCardKind::SLE4428);
    ASSERT_EQ(kSuccess, card.VerifyPsc(kDefaultPsc));
    ASSERT_EQ(kSuccess, card.WriteMain(0x200, V{0x01, 0x02}));
    EXPECT_EQ(kInvalidValue, card.WriteProtectBit(0x200, V{0x01, 0x03}));
    EXPECT_FALSE(card.IsProtected(0x200));
    EXPECT_EQ(kSuccess, card.WriteProtectBit(0x200, V{0x01, 0x02}));
    EXPECT_TRUE(card.IsProtected(0x200));
    EXPECT_TRUE(card.IsProtected(0x201));
    EXPECT_FALSE(card.IsProtected(0x202));
}

TEST(SimSle4418Card, HasNoPsc) {
    SimSle4428Card card(SimCardKind::SLE4418);
    EXPECT_EQ(kUnsupportedFeature, card.VerifyPsc(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.WriteMain(0x3FE, V{0x12, 0x34}));
    EXPECT_EQ(V({0x12, 0x34}), ReadMain(card, 0x3FE, 2));
}
