#include <gtest/gtest.h>

#include "core/memcard/DataEntryRules.h"

namespace {

TEST(DataEntryRules, SignedDecimalTakesAnOptionalSign) {
    std::int32_t value = 99;
    EXPECT_TRUE(SignedDecimalTextToInt("+5", value));
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(SignedDecimalTextToInt("-0", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(SignedDecimalTextToInt("-2147483648", value));
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_TRUE(SignedDecimalTextToInt("00300", value));
    EXPECT_EQ(value, 300);
    value = 7;
    for (const char* text : {"", "+", "-", "1x", " 1", "1 ", "+-1", "2147483648", "$1F"}) {
        EXPECT_FALSE(SignedDecimalTextToInt(text, value)) << text;
    }
    EXPECT_EQ(value, 7);
}

TEST(DataEntryRules, Messages) {
    EXPECT_EQ(NotValidIntegerText("-"), "'-' is not a valid integer value");
    EXPECT_EQ(DataCountText(0), "0x00");
    EXPECT_EQ(DataCountText(21), "0x0A");
    EXPECT_EQ(DataCountText(2048), "0x400");
}

}  // namespace
