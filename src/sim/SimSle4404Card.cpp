#include "sim/SimSle4404Card.h"

#include <algorithm>

#include "sim/SimChipCode.h"
#include "sim/SimCodes.h"

namespace {
constexpr std::size_t kManufacturerCodeSize = 2;
constexpr std::size_t kUserCodeSize = 2;
constexpr std::size_t kMemoryCodeSize = 4;
constexpr std::uint8_t kManufacturerCode[] = {0x44, 0x04};

bool Within(std::size_t at, std::size_t start, std::size_t size) {
    return at >= start && at < start + size;
}
}  // namespace

SimSle4404Card::SimSle4404Card() : SimMemoryCard(SimCardKind::SLE4404) {
    memory_.fill(0xFF);
    std::ranges::copy(kManufacturerCode, memory_.begin());
    memory_[kUserCounterAddress] = kFullUserCounter;
}

// Refuses ranges outside the memory and ranges that touch the manufacturer code.
std::uint32_t SimSle4404Card::CheckRange(std::uint32_t address, std::size_t count) const {
    if (!InRange(kSize, address, count)) {
        return sim_codes::kInvalidParameter;
    }
    if (address < kManufacturerCodeSize && count > 0) {
        return sim_codes::kSecurityViolation;
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(kSize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = address + i;
        const bool hidden = (!userVerified_ && Within(at, kUserCodeAddress, kUserCodeSize)) ||
                            (!memoryVerified_ && Within(at, kMemoryCodeAddress, kMemoryCodeSize));
        out[i] = hidden ? 0x00 : memory_[at];
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::WriteMemory(std::uint32_t address, ByteView data) {
    if (const std::uint32_t refusal = CheckRange(address, data.size())) {
        return refusal;
    }
    if (!userVerified_) {
        return sim_codes::kSecurityViolation;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        memory_[address + i] &= data[i];
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::ReadUserMemory(std::uint32_t address,
                                             std::span<std::uint8_t> out) const {
    if (!InRange(kUserMemorySize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    return ReadMemory(kUserMemoryAddress + address, out);
}

std::uint32_t SimSle4404Card::WriteUserMemory(std::uint32_t address, ByteView data) {
    if (!InRange(kUserMemorySize, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    return WriteMemory(kUserMemoryAddress + address, data);
}

std::uint32_t SimSle4404Card::EraseMemory(std::uint32_t address, std::uint32_t length) {
    if (const std::uint32_t refusal = CheckRange(address, length)) {
        return refusal;
    }
    if (!memoryVerified_) {
        return sim_codes::kSecurityViolation;
    }
    std::fill_n(memory_.begin() + address, length, 0xFF);
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::VerifyUserCode(ByteView code) {
    if (code.size() != kUserCodeSize) {
        return sim_codes::kInvalidParameter;
    }
    const ByteView stored = std::span(memory_).subspan(kUserCodeAddress, kUserCodeSize);
    return SimChipCode::Present(memory_[kUserCounterAddress], kFullUserCounter, stored, code,
                                userVerified_);
}

std::uint32_t SimSle4404Card::VerifyMemoryCode(ByteView code) {
    if (code.size() != kMemoryCodeSize) {
        return sim_codes::kInvalidParameter;
    }
    const ByteView stored = std::span(memory_).subspan(kMemoryCodeAddress, kMemoryCodeSize);
    return SimChipCode::Present(memory_[kMemoryCounterAddress], kFullMemoryCounter, stored, code,
                                memoryVerified_);
}

std::uint32_t SimSle4404Card::PresentCode(ByteView code, int& attemptsLeft) {
    if (code.size() == kMemoryCodeSize) {
        const std::uint32_t result = VerifyMemoryCode(code);
        attemptsLeft =
            SimChipCode::AttemptsLeft(memory_[kMemoryCounterAddress], kFullMemoryCounter);
        return result;
    }
    const std::uint32_t result = VerifyUserCode(code);
    attemptsLeft = SimChipCode::AttemptsLeft(memory_[kUserCounterAddress], kFullUserCounter);
    return result;
}
