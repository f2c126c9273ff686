#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/apdu/ApduFields.h"

namespace {

struct Parsed {
    std::optional<std::string> fault;
    std::vector<std::uint8_t> bytes;
};

Parsed Parse(const ApduTexts& texts) {
    ApduBuffer buffer{};
    std::int32_t n = -1;
    Parsed parsed{ParseApduFields(texts, buffer, n), {}};
    if (!parsed.fault) {
        parsed.bytes.assign(buffer.begin(), buffer.begin() + n);
    }
    return parsed;
}

using Bytes = std::vector<std::uint8_t>;

TEST(ParseApduFields, BuildsTheCommandExactlyAsTyped) {
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "02", "3F00", ""}).bytes,
              (Bytes{0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00}));
    EXPECT_EQ(Parse({"80", "CA", "9F", "7F", "", "", ""}).bytes, (Bytes{0x80, 0xCA, 0x9F, 0x7F}));
    // Extended lengths are typed, not built: 4 + 3 + 2 + 2 bytes.
    EXPECT_EQ(Parse({"00", "B0", "00", "00", "000002", "3F00", "0000"}).bytes,
              (Bytes{0x00, 0xB0, 0x00, 0x00, 0x00, 0x00, 0x02, 0x3F, 0x00, 0x00, 0x00}));
    // Nothing is compared across the fields.
    EXPECT_EQ(Parse({"00", "D6", "00", "00", "05", "AB", "00"}).bytes,
              (Bytes{0x00, 0xD6, 0x00, 0x00, 0x05, 0xAB, 0x00}));
}

TEST(ParseApduFields, ReadsOnlyWholePairs) {
    // Header fields give their first two characters only.
    EXPECT_EQ(Parse({"0012", "A4B", "04", "00", "", "", ""}).bytes,
              (Bytes{0x00, 0xA4, 0x04, 0x00}));
    // An odd last character is ignored, a lone Lc character appends nothing.
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "1", "3F0", "7"}).bytes,
              (Bytes{0x00, 0xA4, 0x04, 0x00, 0x3F}));
}

TEST(ParseApduFields, ReportsEmptinessBeforeContent) {
    EXPECT_EQ(Parse({"", "", "", "", "", "", ""}).fault, "CLA Empty!");
    EXPECT_EQ(Parse({"0X", "", "00", "00", "", "", ""}).fault, "INS Empty!");
    EXPECT_EQ(Parse({"GG", "A4", "", "00", "", "", ""}).fault, "P1 Empty!");
    EXPECT_EQ(Parse({"00", "A4", "00", "", "", "", ""}).fault, "P2 Empty!");
}

TEST(ParseApduFields, NamesTheFirstFaultyField) {
    EXPECT_EQ(Parse({"5", "A4", "04", "00", "", "", ""}).fault, "CLA Input Error");
    EXPECT_EQ(Parse({"00", "a4", "04", "00", "", "", ""}).fault, "INS Input Error");
    EXPECT_EQ(Parse({"00", "A4", "0G", "00", "", "", ""}).fault, "P1 Input Error");
    EXPECT_EQ(Parse({"00", "A4", "04", " 0", "", "", ""}).fault, "P2 Input Error");
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "0x", "", ""}).fault, "Lc Input Error");
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "02", "3G00", ""}).fault, "DATA Input Error");
    // Blanks are not allowed between the pairs.
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "02", "00 A4", ""}).fault, "DATA Input Error");
    EXPECT_EQ(Parse({"00", "A4", "04", "00", "", "", "0f"}).fault, "Le Input Error");
    // Header faults come before the length fields whatever they hold.
    EXPECT_EQ(Parse({"00", "ZZ", "04", "00", "XX", "", ""}).fault, "INS Input Error");
}

TEST(ParseApduFields, RefusesACommandBeyondTheBuffer) {
    const std::string fullData((ApduBufferSize - 4) * 2, 'A');
    const Parsed full = Parse({"00", "D6", "00", "00", "", fullData, ""});
    ASSERT_FALSE(full.fault);
    EXPECT_EQ(full.bytes.size(), ApduBufferSize);
    EXPECT_EQ(full.bytes.back(), 0xAA);

    EXPECT_EQ(Parse({"00", "D6", "00", "00", "", fullData + "AA", ""}).fault, "DATA Too Long!");
    EXPECT_EQ(Parse({"00", "D6", "00", "00", "", fullData, "00"}).fault, "Le Too Long!");
    EXPECT_EQ(Parse({"00", "D6", "00", "00", "FF", fullData, ""}).fault, "DATA Too Long!");
    EXPECT_EQ(Parse({"00", "D6", "00", "00", fullData + "AA", "", ""}).fault, "Lc Too Long!");
    // An odd character beyond the last whole pair does not count.
    EXPECT_FALSE(Parse({"00", "D6", "00", "00", "", fullData + "A", ""}).fault);
}

}  // namespace
