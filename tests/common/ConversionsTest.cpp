#include <gtest/gtest.h>

#include "core/common/Conversions.h"

namespace {

TEST(BytesToHexText, WritesTwoCapitalDigitsAndABlankPerByte) {
    const std::uint8_t bytes[] = {0x00, 0x1F, 0xA0};
    EXPECT_EQ(BytesToHexText(bytes, 3), "00 1F A0 ");
    const std::uint8_t lf = 0x0A;
    EXPECT_EQ(BytesToHexText(&lf, 1), "0A ");
    EXPECT_EQ(BytesToHexText(bytes, 0), "");
    EXPECT_EQ(BytesToHexText(nullptr, -5), "");
}

TEST(BytesToHexText, CoversEveryByteValue) {
    std::uint8_t all[256];
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    const std::string text = BytesToHexText(all, 256);
    ASSERT_EQ(text.size(), 768u);
    EXPECT_EQ(text.substr(0, 6), "00 01 ");
    EXPECT_EQ(text.substr(0x7F * 3, 3), "7F ");
    EXPECT_EQ(text.substr(0xFF * 3), "FF ");
}

TEST(HexPairToByte, AcceptsOnlyCapitalHexDigits) {
    std::uint8_t byte = 0x55;
    EXPECT_TRUE(HexPairToByte("A5", byte));
    EXPECT_EQ(byte, 0xA5);
    EXPECT_TRUE(HexPairToByte("09", byte));
    EXPECT_EQ(byte, 0x09);
    EXPECT_TRUE(HexPairToByte("FF", byte));
    EXPECT_EQ(byte, 0xFF);

    byte = 0x55;
    EXPECT_FALSE(HexPairToByte("7f", byte));  // small letter
    EXPECT_FALSE(HexPairToByte("G0", byte));
    EXPECT_FALSE(HexPairToByte("0G", byte));
    EXPECT_FALSE(HexPairToByte(" A", byte));
    EXPECT_FALSE(HexPairToByte("5", byte));  // the terminator is not a digit
    EXPECT_FALSE(HexPairToByte("", byte));   // the first character is not read past
    EXPECT_EQ(byte, 0x55) << "a failed conversion leaves the byte alone";
}

TEST(DecimalTextToInt, AcceptsDigitsOnly) {
    std::int32_t value = -1;
    EXPECT_FALSE(DecimalTextToInt("", 0, value));
    EXPECT_FALSE(DecimalTextToInt("12x", 3, value));
    EXPECT_FALSE(DecimalTextToInt("-5", 2, value));
    EXPECT_FALSE(DecimalTextToInt(" 1", 2, value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(DecimalTextToInt("007", 3, value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(DecimalTextToInt("65535", 5, value));
    EXPECT_EQ(value, 65535);
    EXPECT_TRUE(DecimalTextToInt("1234", 2, value)) << "only the given length is read";
    EXPECT_EQ(value, 12);
}

TEST(HexNumberText, PadsToTheWidthAndNeverCuts) {
    EXPECT_EQ(HexNumberText(0x1F, 16), "000000000000001F");
    EXPECT_EQ(HexNumberText(1, 16), "0000000000000001");
    EXPECT_EQ(HexNumberText(5, 4), "0005");
    EXPECT_EQ(HexNumberText(0, 2), "00");
    EXPECT_EQ(HexNumberText(1024, 2), "400");
    EXPECT_EQ(HexNumberText(0x3FF, 3), "3FF");
    EXPECT_EQ(HexNumberText(0xFFFFFFFF, 16), "00000000FFFFFFFF");
    EXPECT_EQ(HexNumberText(0x8010006A, 0), "8010006A");
    EXPECT_EQ(HexNumberText(0xABCDEF, 1), "ABCDEF");
}

TEST(AllocZeroed, GivesAZeroFilledBlock) {
    const std::vector<char> block = AllocZeroed(100);
    ASSERT_EQ(block.size(), 100u);
    for (char c : block) {
        EXPECT_EQ(c, '\0');
    }
}

}  // namespace
