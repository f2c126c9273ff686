#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <vector>

#include "sim/SimCodes.h"
#include "sim/SimI2cCard.h"

using namespace sim_codes;

namespace {
using V = std::vector<std::uint8_t>;

const SimI2cChip& Chip(const char* name) {
    for (const SimI2cChip& chip : kSimI2cChips) {
        if (std::string_view(chip.name) == name) {
            return chip;
        }
    }
    return kSimI2cDefaultChip;
}

V Read(const SimI2cCard& card, std::uint8_t select, std::uint32_t address, std::size_t count) {
    V out(count);
    EXPECT_EQ(kSuccess, card.I2CRead(select, address, out, 0x00, card.Chip().addressBytes));
    return out;
}
}  // namespace

TEST(SimI2cCard, WritesAndReadsBackWithOneAddressByte) {
    SimI2cCard card;
    EXPECT_EQ(256u, card.MemorySize());
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA0, 0x10, V{1, 2, 3}, 1));
    EXPECT_EQ(V({0xFF, 1, 2, 3}), Read(card, 0xA0, 0x0F, 4));
    V out(4);
    ASSERT_EQ(kSuccess, card.I2CRead(0xA1, 0x0F, out, 0x55, 1));  // read select, dummy ignored
    EXPECT_EQ(V({0xFF, 1, 2, 3}), out);
}

// Up to 16 kbit the low device-select bits pick the 256-byte block; the bits above them are
// chip-select pins tied low.
TEST(SimI2cCard, DeviceSelectPicksTheBlock) {
    struct Case {
        const char* chip;
        std::uint8_t select;
        std::uint32_t address;
        std::uint32_t expected;  // memory address reached, or a refusal code
    };
    const Case cases[] = {
        {"24C02", 0xA2, 0x00, kInvalidParameter}, {"24C04", 0xA2, 0x10, 0x110},
        {"24C04", 0xA4, 0x10, kInvalidParameter}, {"24C08", 0xA6, 0xFF, 0x3FF},
        {"24C08", 0xA8, 0x00, kInvalidParameter}, {"24C16", 0xAE, 0x01, 0x701},
        {"24C16", 0xB0, 0x00, kInvalidParameter}, {"24C32", 0xA2, 0x00, kInvalidParameter},
        {"24C32", 0xA0, 0x0FFF, 0xFFF},
    };
    for (const Case& c : cases) {
        SimI2cCard card(Chip(c.chip));
        const std::uint8_t bytes = card.Chip().addressBytes;
        const std::uint32_t code = card.I2CWrite(c.select, c.address, V{0x5A}, bytes);
        if (c.expected == kInvalidParameter) {
            EXPECT_EQ(kInvalidParameter, code) << c.chip << " " << int{c.select};
            continue;
        }
        ASSERT_EQ(kSuccess, code) << c.chip;
        V whole(card.MemorySize());
        ASSERT_EQ(kSuccess, card.ReadMemory(0, whole));
        EXPECT_EQ(0x5A, whole[c.expected]) << c.chip;
        EXPECT_EQ(card.MemorySize() - 1,
                  static_cast<std::size_t>(std::count(whole.begin(), whole.end(), 0xFF)));
    }
}

TEST(SimI2cCard, PageWriteRollsOverWithinThePage) {
    SimI2cCard card(Chip("24C16"));  // 16-byte pages
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA2, 0x0E, V{1, 2, 3, 4}, 1));
    EXPECT_EQ(V({3, 4, 0xFF}), Read(card, 0xA2, 0x00, 3));
    EXPECT_EQ(V({1, 2, 0xFF}), Read(card, 0xA2, 0x0E, 3));  // 0x110 is the next page
    // More than a page: the later bytes overwrite the earlier ones.
    SimI2cCard small(Chip("24C02"));  // 8-byte pages
    V data(10);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    ASSERT_EQ(kSuccess, small.I2CWrite(0xA0, 0x08, data, 1));
    EXPECT_EQ(V({8, 9, 2, 3, 4, 5, 6, 7, 0xFF}), Read(small, 0xA0, 0x08, 9));
}

TEST(SimI2cCard, ReadRollsOverAtTheEndOfMemory) {
    SimI2cCard card(Chip("24C04"));
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA0, 0x00, V{0x11}, 1));
    ASSERT_EQ(kSuccess, card.I2CWrite(0xA2, 0xFF, V{0x22}, 1));
    EXPECT_EQ(V({0x22, 0x11, 0xFF}), Read(card, 0xA2, 0xFF, 3));
    // The 24C01 ignores the word address's top bit: 0x80 is byte 0.
    SimI2cCard tiny(Chip("24C01"));
    ASSERT_EQ(kSuccess, tiny.I2CWrite(0xA0, 0x80, V{0x33}, 1));
    EXPECT_EQ(V({0x33}), Read(tiny, 0xA0, 0x00, 1));
    EXPECT_EQ(0x0D, tiny.Atr()[12]);  // I2C
}

TEST(SimI2cCard, AddressBytesMustFitTheChip) {
    SimI2cCard card;
    V out(2);
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0, out, 0, 2));
    EXPECT_EQ(kInvalidParameter, card.I2CRead(0xA0, 0x100, out, 0, 1));
    SimI2cCard large(Chip("24C64"));
    EXPECT_EQ(kInvalidParameter, large.I2CRead(0xA0, 0, out, 0, 1));
    ASSERT_EQ(kSuccess, large.I2CWrite(0xA0, 0x1FFE, V{7, 8}, 2));
    EXPECT_EQ(V({7, 8}), Read(large, 0xA0, 0x1FFE, 2));
    EXPECT_EQ(0x0E, large.Atr()[12]);  // extended I2C
}
