#pragma once

#include <array>
#include <cstdint>

#include "sim/SimCard.h"

// A chip in the field of a contactless reader, as ISO 14443-3 type A shows it: its UID and
// the answers to anticollision (ATQA) and select (SAK).
class SimContactlessChip {
  public:
    virtual ~SimContactlessChip() = default;

    virtual SimCardKind Kind() const = 0;
    virtual const Bytes& Uid() const = 0;
    // ATQA as a number: 0x0004 for a MIFARE Classic 1K.
    virtual std::uint16_t Atqa() const = 0;
    virtual std::uint8_t Sak() const = 0;
    // The reader polls and selects the chip (WUPA, anticollision, SELECT): a halted chip
    // wakes, and whatever the chip kept for the selection (an authentication) is gone.
    virtual void Select() = 0;
};

// A 6-byte MIFARE key.
using SimMifareKey = std::array<std::uint8_t, 6>;
inline constexpr SimMifareKey kSimFactoryKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

enum class SimKeyType { A, B };
