#include "sim/SimI2cCard.h"

#include <algorithm>

#include "sim/SimCodes.h"

SimI2cCard::SimI2cCard(std::size_t size) : SimMemoryCard(SimCardKind::I2C), memory_(size, 0xFF) {}

std::uint32_t SimI2cCard::CheckTransfer(std::uint8_t command, std::uint32_t address,
                                        std::size_t count, std::uint8_t addressBytes) const {
    const bool selectsCard = (command & 0xFE) == 0xA0;
    const bool addressFits =
        (addressBytes == 1 && address <= 0xFF) || (addressBytes == 2 && address <= 0xFFFF);
    if (!selectsCard || !addressFits || !InRange(memory_.size(), address, count)) {
        return sim_codes::kInvalidParameter;
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimI2cCard::I2CRead(std::uint8_t command, std::uint32_t address,
                                  std::span<std::uint8_t> out, std::uint8_t,
                                  std::uint8_t addressBytes) const {
    if (const std::uint32_t refusal = CheckTransfer(command, address, out.size(), addressBytes)) {
        return refusal;
    }
    return ReadMemory(address, out);
}

std::uint32_t SimI2cCard::I2CWrite(std::uint8_t command, std::uint32_t address, ByteView data,
                                   std::uint8_t addressBytes) {
    if (const std::uint32_t refusal = CheckTransfer(command, address, data.size(), addressBytes)) {
        return refusal;
    }
    return WriteMemory(address, data);
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
