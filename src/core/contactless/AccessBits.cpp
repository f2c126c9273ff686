#include "core/contactless/AccessBits.h"

namespace {
constexpr KeyRight N = KeyRight::Never;
constexpr KeyRight A = KeyRight::KeyA;
constexpr KeyRight B = KeyRight::KeyB;
constexpr KeyRight AB = KeyRight::Both;

// By condition 4*C1 + 2*C2 + C3.
constexpr DataBlockRights kDataRights[8] = {
    {AB, AB, AB, AB},  // 000: transport configuration
    {AB, N, N, AB},    // 001: value block, decrement only
    {AB, N, N, N},     // 010
    {B, B, N, N},      // 011
    {AB, B, N, N},     // 100
    {B, N, N, N},      // 101
    {AB, B, B, AB},    // 110: value block
    {N, N, N, N},      // 111
};
constexpr TrailerRights kTrailerRights[8] = {
    {N, A, A, N, A, A, true},    // 000
    {N, A, A, A, A, A, true},    // 001: transport configuration
    {N, N, A, N, A, N, true},    // 010
    {N, B, AB, B, N, B, false},  // 011
    {N, B, AB, N, N, B, false},  // 100
    {N, N, AB, B, N, N, false},  // 101
    {N, N, AB, N, N, N, false},  // 110
    {N, N, AB, N, N, N, false},  // 111
};

int Bit(std::uint8_t nibble, int group) {
    return (nibble >> group) & 1;
}
}  // namespace

AccessBits DecodeAccessBits(std::uint8_t byte6, std::uint8_t byte7, std::uint8_t byte8) {
    const std::uint8_t c1 = byte7 >> 4;
    const std::uint8_t c2 = byte8 & 0x0F;
    const std::uint8_t c3 = byte8 >> 4;
    const std::uint8_t notC1 = byte6 & 0x0F;
    const std::uint8_t notC2 = byte6 >> 4;
    const std::uint8_t notC3 = byte7 & 0x0F;
    AccessBits bits;
    for (int group = 0; group < 4; ++group) {
        bits.groups[group] = static_cast<AccessCondition>(Bit(c1, group) << 2 |
                                                          Bit(c2, group) << 1 | Bit(c3, group));
    }
    bits.inversionValid = (c1 ^ notC1) == 0x0F && (c2 ^ notC2) == 0x0F && (c3 ^ notC3) == 0x0F;
    return bits;
}

std::array<std::uint8_t, 3> EncodeAccessBits(const std::array<AccessCondition, 4>& groups) {
    std::uint8_t c1 = 0, c2 = 0, c3 = 0;
    for (int group = 0; group < 4; ++group) {
        c1 |= ((groups[group] >> 2) & 1) << group;
        c2 |= ((groups[group] >> 1) & 1) << group;
        c3 |= (groups[group] & 1) << group;
    }
    const auto inv = [](std::uint8_t nibble) { return static_cast<std::uint8_t>(~nibble & 0x0F); };
    return {static_cast<std::uint8_t>(inv(c2) << 4 | inv(c1)),
            static_cast<std::uint8_t>(c1 << 4 | inv(c3)), static_cast<std::uint8_t>(c3 << 4 | c2)};
}

DataBlockRights DataRightsOf(AccessCondition condition) {
    return kDataRights[condition & 7];
}

TrailerRights TrailerRightsOf(AccessCondition condition) {
    return kTrailerRights[condition & 7];
}

std::string KeyRightText(KeyRight right) {
    switch (right) {
        case KeyRight::Never:
            return "never";
        case KeyRight::KeyA:
            return "key A";
        case KeyRight::KeyB:
            return "key B";
        case KeyRight::Both:
            return "key A|B";
    }
    return {};
}

std::optional<std::string> TrailerWriteRefusal(std::uint8_t byte6, std::uint8_t byte7,
                                               std::uint8_t byte8) {
    const AccessBits bits = DecodeAccessBits(byte6, byte7, byte8);
    if (!bits.inversionValid) {
        return "The access bits do not match their inverted copy: the card would block this "
               "sector for good.";
    }
    const AccessCondition trailer = bits.groups[3];
    if (TrailerRightsOf(trailer).writeAccessBits == KeyRight::Never) {
        return "The trailer's access condition C1 C2 C3 = " + std::to_string(trailer >> 2 & 1) +
               " " + std::to_string(trailer >> 1 & 1) + " " + std::to_string(trailer & 1) +
               " lets no key change the access bits again: the sector would be locked for good.";
    }
    return std::nullopt;
}
