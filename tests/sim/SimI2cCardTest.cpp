#include <gtest/gtest.h>

#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimI2cCard.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;
}

TEST(SimI2cCard, WritesAndReadsBackWithOneAddressByte) {
    SimI2cCard card;
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA0, 0x10, V{1, 2, 3}, 1));
    V out(4);
    ASSERT_EQ(kSuccess, card.I2CRead(0xA0, 0x0F, out, 0x00, 1));
    EXPECT_EQ(V({0xFF, 1, 2, 3}), out);
    ASSERT_EQ(kSuccess, card.I2CRead(0xA1, 0x0F, out, 0x55, 1));  // read select, dummy ignored
    EXPECT_EQ(V({0xFF, 1, 2, 3}), out);
    V whole(256);
    EXPECT_EQ(kSuccess, card.I2CRead(0xA0, 0, whole, 0, 1));
    EXPECT_EQ(kSuccess, card.I2CWrite(0xA0, 0, whole, 1));  // many pages at once
}

TEST(SimI2cCard, RefusesOtherDevicesAddressCountsAndRanges) {
    SimI2cCard card;
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xB0, 0, out, 0, 1));
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA2, 0, out, 0, 1));
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0, out, 0, 0));
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0, out, 0, 3));
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0xFF, out, 0, 1));
    EXPECT_EQ(kInvalidParameter, card.I2CWrite(0xA0, 0x100, V{1}, 2));
    EXPECT_EQ(kSuccess, card.I2CRead(0xA0, 0xFE, out, 0, 2));
}

TEST(SimI2cCard, LargerCardNeedsTwoAddressBytesAboveTheFirstPage) {
    SimI2cCard card(8192);
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA0, 0x1FFE, V{7, 8}, 2));
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0x1FFE, out, 0, 1));
    ASSERT_EQ(kSuccess, card.I2CRead(0xA0, 0x1FFE, out, 0, 2));
    EXPECT_EQ(V({7, 8}), out);
    EXPECT_EQ(0x0E, card.Atr()[12]);  // extended I2C
    EXPECT_EQ(0x0D, SimI2cCard().Atr()[12]);
}
