#include "core/memcard/DataEntryRules.h"

#include "core/common/Conversions.h"

bool SignedDecimalTextToInt(std::string_view text, std::int32_t& out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > std::int64_t{INT32_MAX} + 1) {
            return false;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX) {
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

std::string NotValidIntegerText(std::string_view text) {
    std::string message = "'";
    message += text;
    message += "' is not a valid integer value";
    return message;
}

std::string DataCountText(std::size_t textLength) {
    return "0x" + HexNumberText(static_cast<std::uint32_t>(textLength / 2), 2);
}
