#pragma once

#include <array>
#include <cstdint>
#include <optional>

// A MIFARE Classic value block: value, inverted value, value (4 bytes each, least significant
// byte first), then address, inverted address, address, inverted address.

struct ValueBlock {
    std::int32_t value = 0;
    std::uint8_t address = 0;
};

using BlockBytes = std::array<std::uint8_t, 16>;

// The value and address, when the sixteen bytes are a well-formed value block.
std::optional<ValueBlock> DecodeValueBlock(const std::uint8_t* block16);
BlockBytes EncodeValueBlock(const ValueBlock& value);
