#include "sim/SimStorageResponder.h"

#include <algorithm>

#include "sim/SimCodes.h"
#include "sim/SimMemoryCard.h"

namespace {
constexpr std::uint8_t kStorageClass = 0xFF;
constexpr std::uint8_t kInsReadBinary = 0xB0;
constexpr std::uint8_t kInsUpdateBinary = 0xD6;
constexpr std::uint8_t kInsVerify = 0x20;

Bytes Sw(std::uint16_t statusWord) {
    return {static_cast<std::uint8_t>(statusWord >> 8), static_cast<std::uint8_t>(statusWord)};
}

// The status word for a refusal of the card.
std::uint16_t StatusFor(std::uint32_t code) {
    switch (code) {
        case sim_codes::kSuccess:
            return 0x9000;
        case sim_codes::kSecurityViolation:
            return 0x6982;
        case sim_codes::kChvBlocked:
            return 0x6983;
        case sim_codes::kInvalidValue:
            return 0x6984;
        case sim_codes::kInvalidParameter:
            return 0x6B00;
        case sim_codes::kUnsupportedFeature:
            return 0x6A81;
        default:
            return 0x6F00;
    }
}

Bytes ReadBinary(SimMemoryCard& card, ByteView command, std::uint32_t address) {
    if (command.size() != 5) {
        return Sw(0x6700);
    }
    const std::size_t wanted = command[4] == 0 ? 256 : command[4];
    if (address >= card.MemorySize()) {
        return Sw(0x6B00);
    }
    const std::size_t count = SimMemoryCard::ReadableCount(card.MemorySize(), address, wanted);
    Bytes out(count);
    if (const std::uint32_t code = card.ReadMemory(address, out)) {
        return Sw(StatusFor(code));
    }
    const Bytes status = Sw(count < wanted ? 0x6282 : 0x9000);
    out.insert(out.end(), status.begin(), status.end());
    return out;
}

Bytes UpdateBinary(SimMemoryCard& card, ByteView data, std::uint32_t address) {
    if (!SimMemoryCard::InRange(card.MemorySize(), address, data.size())) {
        return Sw(0x6B00);
    }
    return Sw(StatusFor(card.WriteMemory(address, data)));
}

Bytes Verify(SimMemoryCard& card, ByteView command, ByteView code) {
    if (command[2] != 0) {
        return Sw(0x6A86);
    }
    int attemptsLeft = 0;
    switch (const std::uint32_t result = card.PresentCode(command[3], code, attemptsLeft)) {
        case sim_codes::kWrongChv:
            return Sw(static_cast<std::uint16_t>(0x63C0 | std::min(attemptsLeft, 15)));
        case sim_codes::kInvalidParameter:
            return Sw(0x6700);
        case sim_codes::kInvalidValue:
            return Sw(0x6A88);
        default:
            return Sw(StatusFor(result));
    }
}
}  // namespace

Bytes AnswerStorageCommand(SimMemoryCard& card, ByteView command) {
    if (command.size() < 4) {
        return Sw(0x6700);
    }
    if (command[0] != kStorageClass) {
        return Sw(0x6E00);
    }
    const std::uint8_t ins = command[1];
    const std::uint32_t address = command[2] << 8 | command[3];
    if (ins == kInsReadBinary) {
        return ReadBinary(card, command, address);
    }
    if (ins != kInsUpdateBinary && ins != kInsVerify) {
        return Sw(0x6D00);
    }
    // Both carry Lc and data, and no Le.
    if (command.size() < 6 || command.size() != 5u + command[4]) {
        return Sw(0x6700);
    }
    const ByteView data = command.subspan(5);
    return ins == kInsUpdateBinary ? UpdateBinary(card, data, address)
                                   : Verify(card, command, data);
}
