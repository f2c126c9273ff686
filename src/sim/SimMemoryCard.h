#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/SimCard.h"

// A synchronous memory card. The reader reports protocol 16 for it and an answer to reset
// in the PC/SC storage-card form (RID A0 00 00 03 06, the bus standard and a card-name
// byte). Command APDUs are the storage-card pseudo-APDUs (read binary, update binary,
// verify) on the card's memory, answered by SimStorageResponder.
class SimMemoryCard : public SimCard {
  public:
    using SimCard::SimCard;

    Bytes Atr() const override;
    std::uint32_t Protocol() const override { return 16; }
    Bytes Transmit(ByteView command) override;

    // What the storage pseudo-APDUs reach: the card's memory as a whole and its code.
    virtual std::size_t MemorySize() const = 0;
    virtual std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const = 0;
    virtual std::uint32_t WriteMemory(std::uint32_t address, ByteView data) = 0;
    // Presents the code that `reference` names (Verify's P2: 00 on cards with one code);
    // `attemptsLeft` is set when the card counts attempts. Cards without a code answer the
    // unsupported-feature code, a reference the card does not have the invalid-value code.
    virtual std::uint32_t PresentCode(std::uint8_t reference, ByteView code, int& attemptsLeft);

    // True when `count` bytes from `address` lie inside a memory of `size` bytes.
    static bool InRange(std::size_t size, std::uint32_t address, std::size_t count) {
        return address < size && count <= size - address;
    }
    // How many of `count` bytes from `address` a read of a memory of `size` bytes delivers:
    // a read that runs past the end stops at the last byte. 0 when `address` lies outside.
    static std::size_t ReadableCount(std::size_t size, std::uint32_t address, std::size_t count) {
        return address < size ? std::min(count, size - address) : 0;
    }

  protected:
    // The reference of the code on cards with one.
    static constexpr std::uint8_t kOnlyCode = 0x00;

    // Bus standard byte of the storage-card answer to reset (0 = not given).
    virtual std::uint8_t BusStandard() const = 0;
};
