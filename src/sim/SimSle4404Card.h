#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/session/Sle4404Map.h"
#include "sim/SimChipCode.h"
#include "sim/SimMemoryCard.h"

// SLE4404: the 416-bit memory laid out as session/Sle4404Map.h gives it. The manufacturer
// area is fixed: writes and erasures that reach it leave it as it is and change the other
// bytes. Writing programs bits like EEPROM does: it can only clear bits (the byte becomes
// the old content AND the data); only erasing sets bytes back to FF. Writes need the
// verified user code, erasing the verified memory code. A code reads as 00 until it is
// verified. A wrong code uses up one attempt of its counter, the right one restores them all;
// with none left the code is blocked for good. Verification lasts until power down.
class SimSle4404Card : public SimMemoryCard {
  public:
    SimSle4404Card();

    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override;
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override;
    // User memory, addressed from its first byte.
    std::uint32_t ReadUserMemory(std::uint32_t address, std::span<std::uint8_t> out) const;
    std::uint32_t WriteUserMemory(std::uint32_t address, ByteView data);
    std::uint32_t EraseMemory(std::uint32_t address, std::uint32_t length);
    std::uint32_t VerifyUserCode(ByteView code);
    std::uint32_t VerifyMemoryCode(ByteView code);

    std::size_t MemorySize() const override { return sle4404::kMemorySize; }
    // The user code is reference 01, the memory code 02.
    std::uint32_t PresentCode(std::uint8_t reference, ByteView code, int& attemptsLeft) override;
    void PowerDown() override { userVerified_ = memoryVerified_ = false; }

  protected:
    std::uint8_t BusStandard() const override { return 0x00; }

  private:
    std::uint32_t CheckRange(std::uint32_t address, std::size_t count) const;
    SimAttemptCounter Counter(sle4404::Area area, std::uint8_t mask) {
        return {std::span(memory_).subspan(area.start, area.size), mask};
    }
    SimAttemptCounter UserCounter() {
        return Counter(sle4404::kUserCounter, sle4404::kUserCounterBits);
    }
    SimAttemptCounter MemoryCounter() {
        return Counter(sle4404::kMemoryCounter, sle4404::kMemoryCounterBits);
    }

    std::array<std::uint8_t, sle4404::kMemorySize> memory_{};
    bool userVerified_ = false;
    bool memoryVerified_ = false;
};
