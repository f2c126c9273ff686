#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/SimMemoryCard.h"

// The EEPROMs of the 24Cxx family an I2C memory card may carry.
struct SimI2cChip {
    const char* name;           // "24C16"
    std::size_t size;           // bytes
    std::size_t pageSize;       // bytes one write cycle takes
    std::uint8_t addressBytes;  // word address bytes after the device select
};

inline constexpr SimI2cChip kSimI2cChips[] = {
    {"24C01", 128, 8, 1},   {"24C02", 256, 8, 1},   {"24C04", 512, 16, 1},  {"24C08", 1024, 16, 1},
    {"24C16", 2048, 16, 1}, {"24C32", 4096, 32, 2}, {"24C64", 8192, 32, 2},
};
inline constexpr const SimI2cChip& kSimI2cDefaultChip = kSimI2cChips[1];

// An I2C memory card with a 24Cxx EEPROM, FF when new, behaving as the chip does on the
// bus. The device select byte is 1010 b3 b2 b1 R/W. Up to 16 kbit the word address is one
// byte and the low device-select bits above it pick the 256-byte block (b1 on a 24C04, b2 b1
// on a 24C08, b3 b2 b1 on a 24C16); larger chips take a 2-byte word address. The remaining
// bits are chip-select pins, tied low on a card, so they must be 0, or no chip answers.
// Address bits above the memory's size are ignored. A read runs on from the address and
// rolls over from the last byte of the memory to the first; a write is one page write:
// its bytes roll over within the page of the address, later ones overwriting earlier ones.
// The dummy byte of a read is ignored: the model makes its own dummy write of the address.
class SimI2cCard : public SimMemoryCard {
  public:
    explicit SimI2cCard(const SimI2cChip& chip = kSimI2cDefaultChip);

    const SimI2cChip& Chip() const { return chip_; }

    std::uint32_t I2CRead(std::uint8_t command, std::uint32_t address, std::span<std::uint8_t> out,
                          std::uint8_t dummy, std::uint8_t addressBytes) const;
    std::uint32_t I2CWrite(std::uint8_t command, std::uint32_t address, ByteView data,
                           std::uint8_t addressBytes);

    // The memory as a whole, for the storage-card commands.
    std::size_t MemorySize() const override { return memory_.size(); }
    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override;
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override;

  protected:
    // I2C, or extended I2C above 16 kbit.
    std::uint8_t BusStandard() const override { return chip_.addressBytes > 1 ? 0x0E : 0x0D; }

  private:
    // The memory address a transfer starts at, or the code refusing the transfer.
    std::uint32_t StartAddress(std::uint8_t command, std::uint32_t address,
                               std::uint8_t addressBytes, std::size_t& start) const;

    SimI2cChip chip_;
    std::vector<std::uint8_t> memory_;
};
