#pragma once

#include <cstdint>
#include <string>

// The meanings ISO/IEC 7816-4 gives the interindustry status words SW1 SW2 of a response
// APDU, with the counts that 61xx, 6Cxx and 63Cx carry worked out.

// The meaning alone, e.g. "File or application not found" for 6A 82.
std::string StatusWordMeaning(std::uint8_t sw1, std::uint8_t sw2);

// Both bytes in hex and the meaning, e.g. "6A 82 File or application not found".
std::string StatusWordText(std::uint8_t sw1, std::uint8_t sw2);
