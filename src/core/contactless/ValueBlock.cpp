#include "core/contactless/ValueBlock.h"

namespace {
std::uint32_t LittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
void PutLittleEndian(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
}  // namespace

std::optional<ValueBlock> DecodeValueBlock(const std::uint8_t* block16) {
    const std::uint32_t value = LittleEndian(block16);
    const std::uint8_t address = block16[12];
    const bool valid = LittleEndian(block16 + 4) == ~value && LittleEndian(block16 + 8) == value &&
                       block16[13] == static_cast<std::uint8_t>(~address) &&
                       block16[14] == address && block16[15] == static_cast<std::uint8_t>(~address);
    if (!valid) {
        return std::nullopt;
    }
    return ValueBlock{static_cast<std::int32_t>(value), address};
}

BlockBytes EncodeValueBlock(const ValueBlock& value) {
    BlockBytes block{};
    const auto v = static_cast<std::uint32_t>(value.value);
    PutLittleEndian(block.data(), v);
    PutLittleEndian(block.data() + 4, ~v);
    PutLittleEndian(block.data() + 8, v);
    const auto inverted = static_cast<std::uint8_t>(~value.address);
    block[12] = value.address;
    block[13] = inverted;
    block[14] = value.address;
    block[15] = inverted;
    return block;
}
