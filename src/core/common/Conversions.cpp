#include "core/common/Conversions.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string BytesToHexText(const std::uint8_t* bytes, std::int32_t n) {
    std::string text;
    if (n <= 0) {
        return text;
    }
    text.resize(static_cast<std::size_t>(n) * 3);
    char* out = text.data();
    for (std::int32_t i = 0; i < n; ++i) {
        *out++ = kHexDigits[bytes[i] >> 4];
        *out++ = kHexDigits[bytes[i] & 0x0F];
        *out++ = ' ';
    }
    return text;
}

bool HexPairToByte(const char* pair, std::uint8_t& out) {
    const int high = HexDigitValue(pair[0]);
    if (high < 0) {
        return false;
    }
    const int low = HexDigitValue(pair[1]);
    if (low < 0) {
        return false;
    }
    out = static_cast<std::uint8_t>(high * 16 + low);
    return true;
}

bool DecimalTextToInt(const char* text, std::uint32_t length, std::int32_t& out) {
    if (length == 0) {
        return false;
    }
    std::uint32_t value = 0;  // unsigned: wraps instead of overflowing like a signed sum would
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

std::string HexNumberText(std::uint32_t value, int width) {
    char digits[8];
    int count = 0;
    do {
        digits[count++] = kHexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    std::string text;
    if (width > count) {
        text.assign(static_cast<std::size_t>(width - count), '0');
    }
    while (count > 0) {
        text.push_back(digits[--count]);
    }
    return text;
}

std::vector<char> AllocZeroed(std::size_t size) {
    return std::vector<char>(size, '\0');
}
