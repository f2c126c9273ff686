#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Byte and number conversions shared by every page. Text is 8-bit; hexadecimal is
// always written in capitals.

// n bytes as 3*n characters: two hex digits and a blank per byte. n <= 0 gives "".
std::string BytesToHexText(const std::uint8_t* bytes, std::int32_t n);

// Two hex digits (capitals only) to one byte. False when either character is not
// 0-9 or A-F; `out` is then left untouched.
bool HexPairToByte(const char* pair, std::uint8_t& out);

// Decimal digits only, no sign; the empty text fails. No overflow check: callers
// bound their fields to at most five characters.
bool DecimalTextToInt(const char* text, std::uint32_t length, std::int32_t& out);

// The value's hex digits taken as unsigned, left-padded with zeros to `width`, never cut.
std::string HexNumberText(std::uint32_t value, int width);

// A zero-filled block of `size` bytes.
std::vector<char> AllocZeroed(std::size_t size);
