#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text rules of the Data Dialog's fields, kept apart from the widgets.

// An optionally signed decimal integer: "+" or "-", then at least one digit, nothing else,
// within the signed 32-bit range.
bool SignedDecimalTextToInt(std::string_view text, std::int32_t& out);

// The message shown when a number field holds text that is not an integer.
std::string NotValidIntegerText(std::string_view text);

// Count of complete bytes in a hex text of `textLength` characters, as "0x" and at least
// two capital hex digits.
std::string DataCountText(std::size_t textLength);
