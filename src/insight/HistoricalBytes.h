#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The historical bytes of an ATR as ISO/IEC 7816-4 structures them: the category indicator,
// then COMPACT-TLV objects (tag in the high nibble, length in the low one) such as the card
// service data, the card capabilities and the status indicator. One line per part; none for
// no bytes.
std::vector<std::string> DescribeHistoricalBytes(const std::vector<std::uint8_t>& bytes);
