#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/SimMemoryCard.h"

// An I2C EEPROM card (24Cxx-like), 256 bytes unless told otherwise, FF when new. The
// device select byte must be A0 or A1 (device address 0; the read/write bit is set by the
// operation itself). The word address is sent in 1 or 2 bytes and must fit in them and
// lie inside the memory, like the whole range; a write of any length is split into page
// writes, so all of it is written. The dummy byte of a read is ignored: the model makes
// its own dummy write of the address before reading.
class SimI2cCard : public SimMemoryCard {
  public:
    static constexpr std::size_t kDefaultSize = 256;

    explicit SimI2cCard(std::size_t size = kDefaultSize);

    std::uint32_t I2CRead(std::uint8_t command, std::uint32_t address, std::span<std::uint8_t> out,
                          std::uint8_t dummy, std::uint8_t addressBytes) const;
    std::uint32_t I2CWrite(std::uint8_t command, std::uint32_t address, ByteView data,
                           std::uint8_t addressBytes);

    std::size_t MemorySize() const override { return memory_.size(); }
    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override;
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override;

  protected:
    // I2C, or extended I2C above 16 kbit.
    std::uint8_t BusStandard() const override { return memory_.size() > 2048 ? 0x0E : 0x0D; }

  private:
    std::uint32_t CheckTransfer(std::uint8_t command, std::uint32_t address, std::size_t count,
                                std::uint8_t addressBytes) const;

    std::vector<std::uint8_t> memory_;
};
