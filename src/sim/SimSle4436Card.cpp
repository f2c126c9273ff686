#include "sim/SimSle4436Card.h"

#include <algorithm>
#include <bit>

#include "sim/SimCodes.h"

namespace {
constexpr std::size_t kReloadBits = 32;

bool SetsBits(std::uint8_t current, std::uint8_t value) {
    return (value & ~current) != 0;
}
}  // namespace

SimSle4436Card::SimSle4436Card(SimCardKind kind) : SimMemoryCard(kind) {
    memory_.fill(0xFF);
    // Chip family, then a serial number.
    const std::uint8_t family = kind == SimCardKind::SLE4406   ? 0x06
                                : kind == SimCardKind::SLE5536 ? 0x55
                                                               : 0x36;
    const std::uint8_t identification[kIdentificationSize] = {family, 0x5A, 0x50, 0x00,
                                                              0x00,   0x00, 0x00, 0x01};
    std::ranges::copy(identification, memory_.begin());
}

int SimSle4436Card::AttemptsLeft() const {
    return std::popcount(errorCounter_);
}

std::uint32_t SimSle4436Card::ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(kSize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    std::copy_n(memory_.begin() + address, out.size(), out.begin());
    return sim_codes::kSuccess;
}

// Only the user area takes memory writes; the counter changes through its own operations.
std::uint32_t SimSle4436Card::WriteMemory(std::uint32_t address, ByteView data) {
    if (!InRange(kSize, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    if (address < kUserAreaAddress && !data.empty()) {
        return sim_codes::kSecurityViolation;
    }
    if (HasTransportCode()) {
        if (!verified_) {
            return sim_codes::kSecurityViolation;
        }
        std::ranges::copy(data, memory_.begin() + address);
        return sim_codes::kSuccess;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (SetsBits(memory_[address + i], data[i])) {
            return sim_codes::kSecurityViolation;
        }
    }
    std::ranges::copy(data, memory_.begin() + address);
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4436Card::ReadCounterStages(std::span<std::uint8_t, kStages> out) const {
    std::copy_n(memory_.begin() + kCounterAddress, kStages, out.begin());
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4436Card::WriteCounterStage(std::uint8_t stage, std::uint8_t value) {
    if (stage >= kStages) {
        return sim_codes::kInvalidParameter;
    }
    if (!verified_ && SetsBits(Stage(stage), value)) {
        return sim_codes::kSecurityViolation;
    }
    Stage(stage) = value;
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4436Card::Reload(std::uint8_t bitAddress) {
    if (bitAddress >= kReloadBits) {
        return sim_codes::kInvalidParameter;
    }
    const std::size_t stage = bitAddress / 8;
    const auto bit = static_cast<std::uint8_t>(1u << (bitAddress % 8));
    if ((Stage(stage) & bit) == 0) {
        return sim_codes::kSecurityViolation;  // that unit is already used up
    }
    Stage(stage) &= static_cast<std::uint8_t>(~bit);
    Stage(stage + 1) = 0xFF;
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4436Card::VerifyTransportCode(ByteView code) {
    if (!HasTransportCode()) {
        return sim_codes::kUnsupportedFeature;
    }
    if (code.size() != transportCode_.size()) {
        return sim_codes::kInvalidParameter;
    }
    return SimChipCode::Present(Counter(), transportCode_, code, verified_);
}

std::uint32_t SimSle4436Card::PresentCode(std::uint8_t reference, ByteView code,
                                          int& attemptsLeft) {
    if (reference != kOnlyCode && HasTransportCode()) {
        return sim_codes::kInvalidValue;
    }
    const std::uint32_t result = VerifyTransportCode(code);
    attemptsLeft = AttemptsLeft();
    return result;
}
