// The hex and decimal conversions over arbitrary bytes, each checked against the rule it
// implements: every byte sequence as hex pairs, as decimal text and as bytes to write in
// hex; the fuzzer's first bytes also as a value and width for HexNumberText.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/common/Conversions.h"
#include "core/memcard/DataEntryRules.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void CheckHexPairs(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        std::uint8_t out = 0x5A;
        const bool converted = HexPairToByte(text.data() + i, out);
        const int high = DigitValue(text[i]);
        const int low = DigitValue(text[i + 1]);
        FUZZ_CHECK(converted == (high >= 0 && low >= 0));
        FUZZ_CHECK(out == (converted ? high * 16 + low : 0x5A));
    }
}

void CheckDecimal(std::string_view text) {
    std::int32_t out = -7;
    const bool converted =
        DecimalTextToInt(text.data(), static_cast<std::uint32_t>(text.size()), out);
    bool digits = !text.empty();
    std::uint32_t value = 0;  // the sum wraps: callers bound their fields to five characters
    for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    FUZZ_CHECK(converted == digits);
    FUZZ_CHECK(out == (converted ? static_cast<std::int32_t>(value) : -7));
}

// The Data Dialog's live check reads its number fields as optionally signed integers.
void CheckSignedDecimal(std::string_view text) {
    std::int32_t out = -7;
    const bool converted = SignedDecimalTextToInt(text, out);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    std::int32_t expected = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    // from_chars also takes the minus sign, but never a second sign after a plus.
    const bool valid = !digits.empty() && error == std::errc() &&
                       end == digits.data() + digits.size() &&
                       !(text.size() > digits.size() && digits.front() == '-');
    FUZZ_CHECK(converted == valid);
    FUZZ_CHECK(out == (converted ? expected : -7));
    FUZZ_CHECK(NotValidIntegerText(text) ==
               "'" + std::string(text) + "' is not a valid integer value");
}

void CheckBytesToHex(std::span<const std::uint8_t> bytes) {
    const std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    FUZZ_CHECK(text.size() == 3 * bytes.size());
    std::vector<std::uint8_t> decoded;
    FUZZ_CHECK(DecodeHexText(text, decoded));
    FUZZ_CHECK(std::equal(decoded.begin(), decoded.end(), bytes.begin(), bytes.end()));
    FUZZ_CHECK(BytesToHexText(bytes.data(), -static_cast<std::int32_t>(bytes.size())).empty());
}

void CheckHexNumber(std::uint32_t value, int width) {
    const std::string text = HexNumberText(value, width);
    std::size_t digits = 1;
    for (std::uint32_t rest = value >> 4; rest != 0; rest >>= 4) {
        ++digits;
    }
    FUZZ_CHECK(text.size() == std::max<std::size_t>(digits, width > 0 ? width : 0));
    std::uint64_t parsed = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        FUZZ_CHECK(digit >= 0);
        parsed = parsed * 16 + static_cast<std::uint64_t>(digit);
    }
    FUZZ_CHECK(parsed == value);
    FUZZ_CHECK(DataCountText(value) == "0x" + HexNumberText(value / 2, 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckHexPairs(text);
    CheckDecimal(text);
    CheckSignedDecimal(text);
    CheckBytesToHex({data, size});

    FuzzInput input(data, size);
    const std::uint32_t value = input.U32();
    const auto width = static_cast<std::int8_t>(input.U8());
    CheckHexNumber(value, width);
    const std::size_t zeroed = input.U16() % 4096;
    const std::vector<char> block = AllocZeroed(zeroed);
    FUZZ_CHECK(block.size() == zeroed);
    FUZZ_CHECK(std::all_of(block.begin(), block.end(), [](char c) { return c == 0; }));
    return 0;
}
