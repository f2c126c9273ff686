#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/SimMemoryCard.h"

// SLE4404: a 416-bit (52-byte) memory laid out as
//   0..1    manufacturer code (fixed)
//   2..9    issuer area
//   10..11  user code (FF FF on a new card)
//   12      user code error counter (4 attempt bits, 0F on a new card)
//   13      memory code error counter (8 attempt bits, FF on a new card)
//   14..17  memory code, the erase code (FF FF FF FF on a new card)
//   18..43  user memory (26 bytes, addressed 0..25 by the user-memory operations)
//   44..51  application area
// Writing programs bits like EEPROM does: it can only clear bits (the byte becomes the
// old content AND the data); only erasing sets bytes back to FF. Writes need the verified
// user code, erasing the verified memory code. A code reads as 00 until it is verified.
// A wrong code uses up one attempt of its counter, the right one restores them all; with
// none left the code is blocked for good. Verification lasts until power down.
class SimSle4404Card : public SimMemoryCard {
  public:
    static constexpr std::size_t kSize = 52;
    static constexpr std::uint32_t kUserCodeAddress = 10;
    static constexpr std::uint32_t kUserCounterAddress = 12;
    static constexpr std::uint32_t kMemoryCounterAddress = 13;
    static constexpr std::uint32_t kMemoryCodeAddress = 14;
    static constexpr std::uint32_t kUserMemoryAddress = 18;
    static constexpr std::size_t kUserMemorySize = 26;
    static constexpr std::uint8_t kFullUserCounter = 0x0F;
    static constexpr std::uint8_t kFullMemoryCounter = 0xFF;

    SimSle4404Card();

    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override;
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override;
    std::uint32_t ReadUserMemory(std::uint32_t address, std::span<std::uint8_t> out) const;
    std::uint32_t WriteUserMemory(std::uint32_t address, ByteView data);
    std::uint32_t EraseMemory(std::uint32_t address, std::uint32_t length);
    std::uint32_t VerifyUserCode(ByteView code);
    std::uint32_t VerifyMemoryCode(ByteView code);

    std::size_t MemorySize() const override { return kSize; }
    // Two bytes present the user code, four the memory code.
    std::uint32_t PresentCode(ByteView code, int& attemptsLeft) override;
    void PowerDown() override { userVerified_ = memoryVerified_ = false; }

  protected:
    std::uint8_t BusStandard() const override { return 0x00; }

  private:
    std::uint32_t CheckRange(std::uint32_t address, std::size_t count) const;

    std::array<std::uint8_t, kSize> memory_{};
    bool userVerified_ = false;
    bool memoryVerified_ = false;
};
