#include "sim/SimSle4442Card.h"

#include <algorithm>
#include <bit>

#include "sim/SimCodes.h"

namespace {
constexpr std::uint8_t kChipHeader[] = {0xA2, 0x13, 0x10, 0x91};
constexpr std::size_t kSecuritySize = 4;
}  // namespace

SimSle4442Card::SimSle4442Card(SimCardKind kind) : SimMemoryCard(kind) {
    main_.fill(0xFF);
    std::ranges::copy(kChipHeader, main_.begin());
    protection_ = 0xFFFFFFF0;
}

bool SimSle4442Card::IsProtected(std::size_t address) const {
    return address < kProtectableBytes && (protection_ >> address & 1) == 0;
}

int SimSle4442Card::AttemptsLeft() const {
    return std::popcount(errorCounter_);
}

std::uint32_t SimSle4442Card::WriteAccess() const {
    return HasPsc() && !verified_ ? sim_codes::kSecurityViolation : sim_codes::kSuccess;
}

std::uint32_t SimSle4442Card::ReadMain(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!InRange(kMainSize, address, out.size())) {
        return sim_codes::kInvalidParameter;
    }
    std::copy_n(main_.begin() + address, out.size(), out.begin());
    return sim_codes::kSuccess;
}

// A protected byte keeps its content; the chip writes the other bytes and reports nothing.
std::uint32_t SimSle4442Card::WriteMain(std::uint32_t address, ByteView data) {
    if (!InRange(kMainSize, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    if (const std::uint32_t refusal = WriteAccess()) {
        return refusal;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!IsProtected(address + i)) {
            main_[address + i] = data[i];
        }
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4442Card::ReadProtect(std::span<std::uint8_t, 4> out) const {
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(protection_ >> (8 * i));
    }
    return sim_codes::kSuccess;
}

// Burns the protection bits of bytes whose content equals the data given; nothing is
// burnt when any byte differs.
std::uint32_t SimSle4442Card::WriteProtect(std::uint32_t address, ByteView data) {
    if (!InRange(kProtectableBytes, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    if (const std::uint32_t refusal = WriteAccess()) {
        return refusal;
    }
    if (!std::ranges::equal(data, std::span(main_).subspan(address, data.size()))) {
        return sim_codes::kInvalidValue;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        protection_ &= ~(1u << (address + i));
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4442Card::ReadSecurity(std::span<std::uint8_t, 4> out) const {
    if (!HasPsc()) {
        return sim_codes::kUnsupportedFeature;
    }
    out[0] = errorCounter_;
    for (std::size_t i = 0; i < psc_.size(); ++i) {
        out[i + 1] = verified_ ? psc_[i] : 0x00;
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4442Card::WriteSecurity(std::uint32_t address, ByteView data) {
    if (!HasPsc()) {
        return sim_codes::kUnsupportedFeature;
    }
    if (!InRange(kSecuritySize, address, data.size())) {
        return sim_codes::kInvalidParameter;
    }
    if (const std::uint32_t refusal = WriteAccess()) {
        return refusal;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t at = address + i;
        if (at == 0) {
            errorCounter_ = data[i] & kFullCounter;
        } else {
            psc_[at - 1] = data[i];
        }
    }
    return sim_codes::kSuccess;
}

std::uint32_t SimSle4442Card::Verify(ByteView code) {
    if (!HasPsc()) {
        return sim_codes::kUnsupportedFeature;
    }
    if (code.size() != psc_.size()) {
        return sim_codes::kInvalidParameter;
    }
    return SimChipCode::Present(Counter(), psc_, code, verified_);
}

std::uint32_t SimSle4442Card::PresentCode(std::uint8_t reference, ByteView code,
                                          int& attemptsLeft) {
    if (reference != kOnlyCode && HasPsc()) {
        return sim_codes::kInvalidValue;
    }
    const std::uint32_t result = Verify(code);
    attemptsLeft = AttemptsLeft();
    return result;
}
