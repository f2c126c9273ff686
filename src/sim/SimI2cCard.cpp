#include "sim/SimI2cCard.h"

#include <algorithm>

#include "sim/SimCodes.h"

namespace {
constexpr std::uint8_t kDeviceType = 0xA0;  // 1010 in the high nibble
constexpr std::size_t kBlockSize = 256;
}  // namespace

SimI2cCard::SimI2cCard(const SimI2cChip& chip)
    : SimMemoryCard(SimCardKind::I2C), chip_(chip), memory_(chip.size, 0xFF) {}

std::uint32_t SimI2cCard::StartAddress(std::uint8_t command, std::uint32_t address,
                                       std::uint8_t addressBytes, std::size_t& start) const {
    const std::uint32_t addressLimit = 1u << (8 * chip_.addressBytes);
    if (addressBytes != chip_.addressBytes || address >= addressLimit) {
        return sim_codes::kInvalidParameter;
    }
    // Device-select bits b3 b2 b1: block bits from b1 up, chip-select pins above them.
    const std::uint8_t select = (command >> 1) & 0x07;
    const std::size_t blocks =
        chip_.addressBytes == 1 ? std::max<std::size_t>(1, chip_.size / kBlockSize) : 1;
    const std::uint8_t block = select & static_cast<std::uint8_t>(blocks - 1);
    if ((command & 0xF0) != kDeviceType || select != block) {
        return sim_codes::kInvalidParameter;  // no chip answers that device select
    }
    start = (block * kBlockSize + address) % chip_.size;
    return sim_codes::kSuccess;
}

std::uint32_t SimI2cCard::I2CRead(std::uint8_t command, std::uint32_t address,
                                  std::span<std::uint8_t> out, std::uint8_t,
                                  std::uint8_t addressBytes) const {
    std::size_t start = 0;
    if (const std::uint32_t refusal = StartAddress(command, address, addressBytes, start)) {
        return refusal;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = memory_[(start + i) % memory_.size()];
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimI2cCard::I2CWrite(std::uint8_t command, std::uint32_t address, ByteView data,
                                   std::uint8_t addressBytes) {
    std::size_t start = 0;
    if (const std::uint32_t refusal = StartAddress(command, address, addressBytes, start)) {
        return refusal;
    }
    const std::size_t page = start - start % chip_.pageSize;
    for (std::size_t i = 0; i < data.size(); ++i) {
        memory_[page + (start + i) % chip_.pageSize] = data[i];
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimI2cCard::ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(memory_.size(), address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    std::copy_n(memory_.begin() + address, out.size(), out.begin());
    return sim_codes::kSuccess;
}

std::uint32_t SimI2cCard::WriteMemory(std::uint32_t address, ByteView data) {
    if (!InRange(memory_.size(), address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    std::ranges::copy(data, memory_.begin() + address);
    return sim_codes::kSuccess;
}
