#include <gtest/gtest.h>

#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimSle4404Card.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;
const V kUserCode = {0xFF, 0xFF};
const V kMemoryCode = {0xFF, 0xFF, 0xFF, 0xFF};

V Read(const SimSle4404Card& card, std::uint32_t address, std::size_t count) {
    V out(count);
    EXPECT_EQ(kSuccess, card.ReadMemory(address, out));
    return out;
}

V ReadUser(const SimSle4404Card& card, std::uint32_t address, std::size_t count) {
    V out(count);
    EXPECT_EQ(kSuccess, card.ReadUserMemory(address, out));
    return out;
}
}  // namespace

TEST(SimSle4404Card, MemoryMapOfANewCard) {
    SimSle4404Card card;
    const V memory = Read(card, 0, 52);
    EXPECT_EQ(0x44, memory[0]);
    EXPECT_EQ(0x04, memory[1]);
    EXPECT_EQ(V({0x00, 0x00}), V(memory.begin() + 10, memory.begin() + 12));  // user code hidden
    EXPECT_EQ(0x0F, memory[12]);
    EXPECT_EQ(0xFF, memory[13]);
    EXPECT_EQ(V(4, 0x00), V(memory.begin() + 14, memory.begin() + 18));  // memory code hidden
    EXPECT_EQ(V(26, 0xFF), ReadUser(card, 0, 26));
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.ReadUserMemory(25, out));
    EXPECT_EQ(kInvalidParameter, card.ReadMemory(51, out));
}

TEST(SimSle4404Card, WritesNeedTheUserCodeAndOnlyClearBits) {
    SimSle4404Card card;
    EXPECT_EQ(kSecurityViolation, card.WriteUserMemory(0, V{0x0F}));
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(0, V{0x0F, 0xF0}));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(0, V{0x3C}));
    EXPECT_EQ(V({0x0C, 0xF0}), ReadUser(card, 0, 2));
    EXPECT_EQ(V({0x0C}), Read(card, SimSle4404Card::kUserMemoryAddress, 1));
    EXPECT_EQ(kSecurityViolation, card.WriteMemory(1, V{0x00}));  // manufacturer code
    EXPECT_EQ(kInvalidParameter, card.WriteUserMemory(20, V(7, 0)));
}

TEST(SimSle4404Card, EraseNeedsTheMemoryCode) {
    SimSle4404Card card;
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(0, V{0x00, 0x00, 0x00}));
    EXPECT_EQ(kSecurityViolation, card.EraseMemory(SimSle4404Card::kUserMemoryAddress, 2));
    ASSERT_EQ(kSuccess, card.VerifyMemoryCode(kMemoryCode));
    ASSERT_EQ(kSuccess, card.EraseMemory(SimSle4404Card::kUserMemoryAddress, 2));
    EXPECT_EQ(V({0xFF, 0xFF, 0x00}), ReadUser(card, 0, 3));
    EXPECT_EQ(kSecurityViolation, card.EraseMemory(0, 4));
    EXPECT_EQ(kInvalidParameter, card.EraseMemory(50, 3));
}

TEST(SimSle4404Card, UserCodeLocksAfterFourWrongCodes) {
    SimSle4404Card card;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(kWrongChv, card.VerifyUserCode(V{0x12, 0x34}));
    }
    EXPECT_EQ(V({0x00}), Read(card, SimSle4404Card::kUserCounterAddress, 1));
    EXPECT_EQ(kChvBlocked, card.VerifyUserCode(kUserCode));
    // Erasing the counter with the memory code gives the attempts back.
    ASSERT_EQ(kSuccess, card.VerifyMemoryCode(kMemoryCode));
    ASSERT_EQ(kSuccess, card.EraseMemory(SimSle4404Card::kUserCounterAddress, 1));
    EXPECT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
}

TEST(SimSle4404Card, CodesShowOnceVerifiedAndCanBeChanged) {
    SimSle4404Card card;
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    EXPECT_EQ(V({0xFF, 0xFF}), Read(card, SimSle4404Card::kUserCodeAddress, 2));
    ASSERT_EQ(kSuccess, card.WriteMemory(SimSle4404Card::kUserCodeAddress, V{0x12, 0x34}));
    card.PowerDown();
    EXPECT_EQ(kWrongChv, card.VerifyUserCode(kUserCode));
    EXPECT_EQ(kSuccess, card.VerifyUserCode(V{0x12, 0x34}));
    EXPECT_EQ(kWrongChv, card.VerifyMemoryCode(V{1, 2, 3, 4}));
    EXPECT_EQ(V({0x7F}), Read(card, SimSle4404Card::kMemoryCounterAddress, 1));
    EXPECT_EQ(kInvalidParameter, card.VerifyMemoryCode(V{1, 2, 3}));
}
