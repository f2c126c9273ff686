#include "sim/SimSle4428Card.h"

#include <algorithm>
#include <bit>

#include "sim/SimCodes.h"

namespace {
constexpr std::size_t kPscSize = 2;
}

SimSle4428Card::SimSle4428Card(SimCardKind kind) : SimMemoryCard(kind) {
    memory_.fill(0xFF);
}

int SimSle4428Card::AttemptsLeft() const {
    return std::popcount(memory_[kCounterAddress]);
}

std::uint32_t SimSle4428Card::ReadMain(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(kSize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = address + i;
        const bool hiddenPsc = HasPsc() && !verified_ && at >= kPscAddress;
        out[i] = hiddenPsc ? 0x00 : memory_[at];
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4428Card::ReadWithProtectBit(std::uint32_t address,
                                                 std::span<std::uint8_t> data,
                                                 std::span<std::uint8_t> protectBits) const {
    if (protectBits.size() != data.size()) {
        return sim_codes::kInvalidParameter;
    }
    if (const std::uint32_t code = ReadMain(address, data)) {
        return code;
    }
    for (std::size_t i = 0; i < protectBits.size(); ++i) {
        protectBits[i] = protected_[address + i] ? 0x00 : 0x01;
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4428Card::CheckWrite(std::uint32_t address, ByteView data) const {
    if (!InRange(kSize, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    if (HasPsc() && !verified_) {
        return sim_codes::kSecurityViolation;
    }
    return sim_codes::kSuccess;
}

// A protected byte keeps its content; the chip writes the other bytes and reports nothing.
std::uint32_t SimSle4428Card::WriteMain(std::uint32_t address, ByteView data) {
    if (const std::uint32_t refusal = CheckWrite(address, data)) {
        return refusal;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!protected_[address + i]) {
            memory_[address + i] = data[i];
        }
    }
    return sim_codes::kSuccess;
}

// Bytes already protected stay as they are (and protected).
std::uint32_t SimSle4428Card::WriteWithProtectBit(std::uint32_t address, ByteView data) {
    if (const std::uint32_t refusal = WriteMain(address, data)) {
        return refusal;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        protected_.set(address + i);
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4428Card::WriteProtectBit(std::uint32_t address, ByteView data) {
    if (const std::uint32_t refusal = CheckWrite(address, data)) {
        return refusal;
    }
    if (!std::ranges::equal(data, std::span(memory_).subspan(address, data.size()))) {
        return sim_codes::kInvalidValue;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        protected_.set(address + i);
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4428Card::VerifyPsc(ByteView code) {
    if (!HasPsc()) {
        return sim_codes::kUnsupportedFeature;
    }
    if (code.size() != kPscSize) {
        return sim_codes::kInvalidParameter;
    }
    const ByteView stored = std::span(memory_).subspan(kPscAddress, kPscSize);
    return SimChipCode::Present(Counter(), stored, code, verified_);
}

std::uint32_t SimSle4428Card::PresentCode(std::uint8_t reference, ByteView code,
                                          int& attemptsLeft) {
    if (reference != kOnlyCode && HasPsc()) {
        return sim_codes::kInvalidValue;
    }
    const std::uint32_t result = VerifyPsc(code);
    attemptsLeft = AttemptsLeft();
    return result;
}
