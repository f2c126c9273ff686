#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimSle4436Card.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;
using Stages = std::array<std::uint8_t, 5>;
const V kTransportCode = {0xFF, 0xFF, 0xFF};

Stages ReadStages(const SimSle4436Card& card) {
    Stages out{};
    EXPECT_EQ(kSuccess, card.ReadCounterStages(out));
    return out;
}
}  // namespace

TEST(SimSle4436Card, NewCardHasAFullCounterInItsMemory) {
    SimSle4436Card card(SimCardKind::SLE4436);
    EXPECT_EQ((Stages{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), ReadStages(card));
    V memory(48);
    ASSERT_EQ(kSuccess, card.ReadMemory(0, memory));
    EXPECT_EQ(0x36, memory[0]);
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.ReadMemory(47, out));
}

TEST(SimSle4436Card, CounterOnlyCountsDown) {
    SimSle4436Card card(SimCardKind::SLE4436);
    ASSERT_EQ(kSuccess, card.WriteCounterStage(4, 0x7F));
    ASSERT_EQ(kSuccess, card.WriteCounterStage(4, 0x3F));
    EXPECT_EQ(kSecurityViolation, card.WriteCounterStage(4, 0x7F));
    EXPECT_EQ(kInvalidParameter, card.WriteCounterStage(5, 0x00));
    EXPECT_EQ((Stages{0xFF, 0xFF, 0xFF, 0xFF, 0x3F}), ReadStages(card));
    V memory(5);
    ASSERT_EQ(kSuccess, card.ReadMemory(SimSle4436Card::kCounterAddress, memory));
    EXPECT_EQ(V({0xFF, 0xFF, 0xFF, 0xFF, 0x3F}), memory);
}

TEST(SimSle4436Card, ReloadTakesAUnitAboveAndRefillsTheStageBelow) {
    SimSle4436Card card(SimCardKind::SLE4436);
    ASSERT_EQ(kSuccess, card.WriteCounterStage(4, 0x00));
    ASSERT_EQ(kSuccess, card.Reload(24));  // stage 3, bit 0
    EXPECT_EQ((Stages{0xFF, 0xFF, 0xFF, 0xFE, 0xFF}), ReadStages(card));
    EXPECT_EQ(kSecurityViolation, card.Reload(24));  // that unit is gone
    ASSERT_EQ(kSuccess, card.Reload(7));             // stage 0, bit 7
    EXPECT_EQ((Stages{0x7F, 0xFF, 0xFF, 0xFE, 0xFF}), ReadStages(card));
    EXPECT_EQ(kInvalidParameter, card.Reload(32));
}

TEST(SimSle4436Card, TransportCodeOpensPersonalisation) {
    SimSle4436Card card(SimCardKind::SLE5536);
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(20, V{0x01}));
    EXPECT_EQ(kWrongChv, card.VerifyTransportCode(V{1, 2, 3}));
    EXPECT_EQ(2, card.AttemptsLeft());
    ASSERT_EQ(kSuccess, card.VerifyTransportCode(kTransportCode));
    EXPECT_EQ(3, card.AttemptsLeft());
    EXPECT_EQ(kSuccess, card.WriteMemory(20, V{0x01, 0x02}));
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(12, V{0x00}));  // the counter
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(0, V{0x00}));   // identification
    ASSERT_EQ(kSuccess, card.WriteCounterStage(2, 0x00));
    EXPECT_EQ(kSuccess, card.WriteCounterStage(2, 0x0F));  // loading the counter
    card.PowerDown();
    EXPECT_EQ(kSecurityViolation, card.WriteCounterStage(2, 0xFF));
}

TEST(SimSle4436Card, ThreeWrongTransportCodesBlockTheCard) {
    SimSle4436Card card(SimCardKind::SLE4436);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(kWrongChv, card.VerifyTransportCode(V{0, 0, 0}));
    }
    EXPECT_EQ(kChvBlocked, card.VerifyTransportCode(kTransportCode));
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(20, V{0x01}));
}

TEST(SimSle4406Card, HasNoTransportCodeAndOnlyClearsBits) {
    SimSle4436Card card(SimCardKind::SLE4406);
    EXPECT_EQ(kUnsupportedFeature, card.VerifyTransportCode(kTransportCode));
    EXPECT_EQ(kSuccess, card.WriteMemory(20, V{0xF0}));
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(20, V{0xF8}));
    EXPECT_EQ(kSuccess, card.WriteMemory(20, V{0x80}));
    V out(1);
    ASSERT_EQ(kSuccess, card.ReadMemory(20, out));
    EXPECT_EQ(0x80, out[0]);
}
