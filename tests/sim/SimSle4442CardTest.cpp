#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimSle4442Card.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;
const V kDefaultPsc = {0xFF, 0xFF, 0xFF};
const V kWrongPsc = {0x12, 0x34, 0x56};

V ReadMain(const SimSle4442Card& card, std::uint32_t address, std::size_t count) {
    V out(count);
    EXPECT_EQ(kSuccess, card.ReadMain(address, out));
    return out;
}

std::array<std::uint8_t, 4> Security(const SimSle4442Card& card) {
    std::array<std::uint8_t, 4> out{};
    EXPECT_EQ(kSuccess, card.ReadSecurity(out));
    return out;
}
}  // namespace

TEST(SimSle4442Card, NewCardHasHeaderAndProtectedHeaderBytes) {
    SimSle4442Card card(SimCardKind::SLE4442);
    EXPECT_EQ(V({0xA2, 0x13, 0x10, 0x91, 0xFF}), ReadMain(card, 0, 5));
    std::array<std::uint8_t, 4> protect{};
    ASSERT_EQ(kSuccess, card.ReadProtect(protect));
    EXPECT_EQ((std::array<std::uint8_t, 4>{0xF0, 0xFF, 0xFF, 0xFF}), protect);
    EXPECT_EQ((std::array<std::uint8_t, 4>{0x07, 0x00, 0x00, 0x00}), Security(card));
}

TEST(SimSle4442Card, ReadsOutsideTheMemoryAreRefused) {
    SimSle4442Card card(SimCardKind::SLE4442);
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.ReadMain(255, out));
    EXPECT_EQ(kInvalidParameter, card.ReadMain(256, std::span(out).first(0)));
    EXPECT_EQ(kSuccess, card.ReadMain(254, out));
}

TEST(SimSle4442Card, WritesNeedTheVerifiedPsc) {
    SimSle4442Card card(SimCardKind::SLE4442);
    const V data = {0x01, 0x02};
    EXPECT_EQ(kSecurityViolation, card.WriteMain(0x40, data));
    EXPECT_EQ(kSecurityViolation, card.WriteSecurity(1, data));
    EXPECT_EQ(V({0xFF, 0xFF}), ReadMain(card, 0x40, 2));
    ASSERT_EQ(kSuccess, card.Verify(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.WriteMain(0x40, data));
    EXPECT_EQ(data, ReadMain(card, 0x40, 2));
    EXPECT_EQ(kInvalidParameter, card.WriteMain(0xFF, data));
    card.PowerDown();
    EXPECT_EQ(kSecurityViolation, card.WriteMain(0x40, data));
}

TEST(SimSle4442Card, WrongCodesUseUpAttemptsAndTheLastBlocksTheCard) {
    SimSle4442Card card(SimCardKind::SLE4442);
    EXPECT_EQ(kWrongChv, card.Verify(kWrongPsc));
    EXPECT_EQ(0x03, Security(card)[0]);
    EXPECT_EQ(kWrongChv, card.Verify(kWrongPsc));
    EXPECT_EQ(1, card.AttemptsLeft());
    // The right code restores all attempts.
    ASSERT_EQ(kSuccess, card.Verify(kDefaultPsc));
    EXPECT_EQ(0x07, Security(card)[0]);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(kWrongChv, card.Verify(kWrongPsc));
    }
    EXPECT_EQ(0x00, Security(card)[0]);
    EXPECT_EQ(kChvBlocked, card.Verify(kDefaultPsc));
    EXPECT_EQ(kSecurityViolation, card.WriteMain(0x40, V{0x00}));
}

TEST(SimSle4442Card, SecurityMemoryShowsAndChangesThePscOnlyWhenVerified) {
    SimSle4442Card card(SimCardKind::SLE4442);
    ASSERT_EQ(kSuccess, card.Verify(kDefaultPsc));
    EXPECT_EQ((std::array<std::uint8_t, 4>{0x07, 0xFF, 0xFF, 0xFF}), Security(card));
    ASSERT_EQ(kSuccess, card.WriteSecurity(1, kWrongPsc));
    EXPECT_EQ(kInvalidParameter, card.WriteSecurity(2, kWrongPsc));
    card.PowerDown();
    EXPECT_EQ((std::array<std::uint8_t, 4>{0x07, 0x00, 0x00, 0x00}), Security(card));
    EXPECT_EQ(kWrongChv, card.Verify(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.Verify(kWrongPsc));
}

TEST(SimSle4442Card, ProtectionIsBurntOnlyWithMatchingData) {
    SimSle4442Card card(SimCardKind::SLE4442);
    ASSERT_EQ(kSuccess, card.Verify(kDefaultPsc));
    ASSERT_EQ(kSuccess, card.WriteMain(8, V{0x55, 0x66}));
    EXPECT_EQ(kInvalidValue, card.WriteProtect(8, V{0x55, 0x67}));
    EXPECT_FALSE(card.IsProtected(8));
    ASSERT_EQ(kSuccess, card.WriteProtect(8, V{0x55, 0x66}));
    std::array<std::uint8_t, 4> protect{};
    ASSERT_EQ(kSuccess, card.ReadProtect(protect));
    EXPECT_EQ(0xFC, protect[1]);
    // A write over a protected byte succeeds, writes the free bytes and leaves it alone.
    EXPECT_EQ(kSuccess, card.WriteMain(7, V{0x00, 0x00, 0x00}));
    EXPECT_EQ(V({0x00, 0x55, 0x66}), ReadMain(card, 7, 3));
    EXPECT_EQ(kInvalidParameter, card.WriteProtect(31, V{0xFF, 0xFF}));
}

TEST(SimSle4432Card, HasNoSecurityMemoryAndWritesFreely) {
    SimSle4442Card card(SimCardKind::SLE4432);
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(kUnsupportedFeature, card.ReadSecurity(buffer));
    EXPECT_EQ(kUnsupportedFeature, card.WriteSecurity(0, V{0x07}));
    EXPECT_EQ(kUnsupportedFeature, card.Verify(kDefaultPsc));
    EXPECT_EQ(kSuccess, card.WriteMain(0x80, V{0x42}));
    EXPECT_EQ(kSuccess, card.WriteMain(0, V{0x00}));
    EXPECT_EQ(V({0xA2}), ReadMain(card, 0, 1));  // the header is still protected
    EXPECT_EQ(kSuccess, card.WriteProtect(0x1F, V{0xFF}));
    EXPECT_TRUE(card.IsProtected(0x1F));
}
