#include "sim/SimSle4404Card.h"

#include <algorithm>

#include "sim/SimCodes.h"

namespace {
constexpr std::uint8_t kManufacturerCode[] = {0x44, 0x04};

ByteView AreaOf(std::span<const std::uint8_t> memory, sle4404::Area area) {
    return memory.subspan(area.start, area.size);
}
}  // namespace

SimSle4404Card::SimSle4404Card() : SimMemoryCard(SimCardKind::SLE4404) {
    memory_.fill(0xFF);
    std::ranges::copy(kManufacturerCode, memory_.begin() + sle4404::kManufacturerArea.start);
}

// Refuses ranges outside the memory.
std::uint32_t SimSle4404Card::CheckRange(std::uint32_t address, std::size_t count) const {
    return InRange(sle4404::kMemorySize, address, count) ? sim_codes::kSuccess
                                                         : sim_codes::kInvalidParameter;
}

std::uint32_t SimSle4404Card::ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(sle4404::kMemorySize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto at = static_cast<std::uint32_t>(address + i);
        const bool hidden = (!userVerified_ && sle4404::kUserCode.Holds(at)) ||
                            (!memoryVerified_ && sle4404::kMemoryCode.Holds(at));
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
        const auto at = static_cast<std::uint32_t>(address + i);
        if (!sle4404::kManufacturerArea.Holds(at)) {
            memory_[at] &= data[i];
        }
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::ReadUserMemory(std::uint32_t address,
                                             std::span<std::uint8_t> out) const {
    if (!InRange(sle4404::kUserMemory.size, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    return ReadMemory(sle4404::kUserMemory.start + address, out);
}

std::uint32_t SimSle4404Card::WriteUserMemory(std::uint32_t address, ByteView data) {
    if (!InRange(sle4404::kUserMemory.size, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    return WriteMemory(sle4404::kUserMemory.start + address, data);
}

std::uint32_t SimSle4404Card::EraseMemory(std::uint32_t address, std::uint32_t length) {
    if (const std::uint32_t refusal = CheckRange(address, length)) {
        return refusal;
    }
    if (!memoryVerified_) {
        return sim_codes::kSecurityViolation;
    }
    for (std::uint32_t at = address; at < address + length; ++at) {
        if (!sle4404::kManufacturerArea.Holds(at)) {
            memory_[at] = 0xFF;
        }
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4404Card::VerifyUserCode(ByteView code) {
    if (code.size() != sle4404::kUserCode.size) {
        return sim_codes::kInvalidParameter;
    }
    return SimChipCode::Present(UserCounter(), AreaOf(memory_, sle4404::kUserCode), code,
                                userVerified_);
}

std::uint32_t SimSle4404Card::VerifyMemoryCode(ByteView code) {
    if (code.size() != sle4404::kMemoryCode.size) {
        return sim_codes::kInvalidParameter;
    }
    return SimChipCode::Present(MemoryCounter(), AreaOf(memory_, sle4404::kMemoryCode), code,
                                memoryVerified_);
}

std::uint32_t SimSle4404Card::PresentCode(std::uint8_t reference, ByteView code,
                                          int& attemptsLeft) {
    switch (reference) {
        case sle4404::kUserCodeReference: {
            const std::uint32_t result = VerifyUserCode(code);
            attemptsLeft = UserCounter().Left();
            return result;
        }
        case sle4404::kMemoryCodeReference: {
            const std::uint32_t result = VerifyMemoryCode(code);
            attemptsLeft = MemoryCounter().Left();
            return result;
        }
        default:
            return sim_codes::kInvalidValue;
    }
}
