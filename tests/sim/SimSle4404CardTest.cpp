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

// Manufacturer area 0..1, issuer area 2..9, user code 10..11, its counter in the low nibble
// of 12, user memory 12..37, memory code 38..41, its counter 42..49, scratch pad 50..51.
TEST(SimSle4404Card, MemoryMapOfANewCard) {
    SimSle4404Card card;
    V expected = {0x44, 0x04};
    expected.resize(10, 0xFF);  // issuer area
    expected.resize(12, 0x00);  // user code, hidden
    expected.resize(38, 0xFF);  // user-code counter and user memory
    expected.resize(42, 0x00);  // memory code, hidden
    expected.resize(52, 0xFF);  // memory-code counter, scratch pad
    EXPECT_EQ(expected, Read(card, 0, 52));
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    ASSERT_EQ(kSuccess, card.VerifyMemoryCode(kMemoryCode));
    EXPECT_EQ(V(4, 0xFF), Read(card, 38, 4));
    // User memory is bytes 12..37, addressed from 0.
    ASSERT_EQ(kSuccess, card.WriteMemory(37, V{0x37}));
    EXPECT_EQ(V({0xFF, 0x37}), ReadUser(card, 24, 2));
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.ReadUserMemory(25, out));
    EXPECT_EQ(kInvalidParameter, card.ReadMemory(51, out));
}

TEST(SimSle4404Card, WritesNeedTheUserCodeAndOnlyClearBits) {
    SimSle4404Card card;
    EXPECT_EQ(kSecurityViolation, card.WriteUserMemory(1, V{0x0F}));
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(1, V{0x0F, 0xF0}));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(1, V{0x3C}));
    EXPECT_EQ(V({0x0C, 0xF0}), ReadUser(card, 1, 2));
    EXPECT_EQ(V({0x0C}), Read(card, 13, 1));
    // The manufacturer area stays as it is; the bytes after it are written.
    EXPECT_EQ(kSuccess, card.WriteMemory(1, V{0x00, 0x00}));
    EXPECT_EQ(V({0x44, 0x04, 0x00}), Read(card, 0, 3));
    EXPECT_EQ(kInvalidParameter, card.WriteUserMemory(20, V(7, 0)));
}

TEST(SimSle4404Card, EraseNeedsTheMemoryCode) {
    SimSle4404Card card;
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    ASSERT_EQ(kSuccess, card.WriteUserMemory(1, V{0x00, 0x00, 0x00}));
    EXPECT_EQ(kSecurityViolation, card.EraseMemory(13, 2));
    ASSERT_EQ(kSuccess, card.VerifyMemoryCode(kMemoryCode));
    ASSERT_EQ(kSuccess, card.EraseMemory(13, 2));
    EXPECT_EQ(V({0xFF, 0xFF, 0x00}), ReadUser(card, 1, 3));
    ASSERT_EQ(kSuccess, card.WriteMemory(2, V{0x00}));
    ASSERT_EQ(kSuccess, card.EraseMemory(0, 3));
    EXPECT_EQ(V({0x44, 0x04, 0xFF}), Read(card, 0, 3));
    EXPECT_EQ(kInvalidParameter, card.EraseMemory(50, 3));
}

// Each wrong code writes one attempt bit of its counter to 0; the user-code counter shares
// its byte with the first user-memory bits, which stay as they are.
TEST(SimSle4404Card, CountersRunDownToLockOut) {
    SimSle4404Card card;
    const V expectedCounter[] = {{0xF7}, {0xF3}, {0xF1}, {0xF0}};
    for (const V& counter : expectedCounter) {
        EXPECT_EQ(kWrongChv, card.VerifyUserCode(V{0x12, 0x34}));
        EXPECT_EQ(counter, Read(card, 12, 1));
    }
    EXPECT_EQ(kChvBlocked, card.VerifyUserCode(kUserCode));
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(kWrongChv, card.VerifyMemoryCode(V{1, 2, 3, 4}));
    }
    EXPECT_EQ(V(8, 0x00), Read(card, 42, 8));
    EXPECT_EQ(kChvBlocked, card.VerifyMemoryCode(kMemoryCode));
}

TEST(SimSle4404Card, ErasingTheCounterGivesTheAttemptsBack) {
    SimSle4404Card card;
    for (int i = 0; i < 4; ++i) {
        card.VerifyUserCode(V{0x12, 0x34});
    }
    ASSERT_EQ(kSuccess, card.VerifyMemoryCode(kMemoryCode));
    ASSERT_EQ(kSuccess, card.EraseMemory(12, 1));
    EXPECT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
}

TEST(SimSle4404Card, CodesShowOnceVerifiedAndCanBeChanged) {
    SimSle4404Card card;
    ASSERT_EQ(kSuccess, card.VerifyUserCode(kUserCode));
    EXPECT_EQ(V({0xFF, 0xFF}), Read(card, 10, 2));
    ASSERT_EQ(kSuccess, card.WriteMemory(10, V{0x12, 0x34}));
    card.PowerDown();
    EXPECT_EQ(kWrongChv, card.VerifyUserCode(kUserCode));
    EXPECT_EQ(kSuccess, card.VerifyUserCode(V{0x12, 0x34}));
    EXPECT_EQ(kWrongChv, card.VerifyMemoryCode(V{1, 2, 3, 4}));
    EXPECT_EQ(V({0x7F, 0xFF}), Read(card, 42, 2));
    EXPECT_EQ(kInvalidParameter, card.VerifyMemoryCode(V{1, 2, 3}));
}
