#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/SimChipCode.h"
#include "sim/SimMemoryCard.h"

// SLE4406, SLE4436 and SLE5536: 48 bytes of memory laid out as
//   0..7    identification area (fixed)
//   8..12   the counter: stages 0..4, stage 0 the most significant
//   13..47  user area
// The counter is an octal counter: every stage holds up to eight units, one per set bit,
// and counting down writes a set bit to 0. Stage writes may only clear bits. Reload at a
// bit address 0..31 (stages 0..3, bit address b is bit b % 8 of stage b / 8) uses up that
// bit and refills the next lower stage to FF, whatever units it still held.
//
// The SLE4436 and SLE5536 carry a 3-byte transport code (FF FF FF on a new card, 3
// attempts). Once it is verified the card is in personalisation: the user area can be
// written and counter stages may be loaded with any value. Without it the user area is
// read-only and the counter can only count down. The SLE4406 has no transport code: its
// user area can only have bits cleared, like its counter.
class SimSle4436Card : public SimMemoryCard {
  public:
    static constexpr std::size_t kSize = 48;
    static constexpr std::size_t kIdentificationSize = 8;
    static constexpr std::uint32_t kCounterAddress = 8;
    static constexpr std::size_t kStages = 5;
    static constexpr std::uint32_t kUserAreaAddress = 13;
    static constexpr std::uint8_t kFullCounter = 0x07;

    // `kind` is SLE4406, SLE4436 or SLE5536.
    explicit SimSle4436Card(SimCardKind kind);

    bool HasTransportCode() const { return Kind() != SimCardKind::SLE4406; }

    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override;
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override;
    std::uint32_t ReadCounterStages(std::span<std::uint8_t, kStages> out) const;
    std::uint32_t WriteCounterStage(std::uint8_t stage, std::uint8_t value);
    std::uint32_t Reload(std::uint8_t bitAddress);
    std::uint32_t VerifyTransportCode(ByteView code);

    int AttemptsLeft() const;

    std::size_t MemorySize() const override { return kSize; }
    std::uint32_t PresentCode(std::uint8_t reference, ByteView code, int& attemptsLeft) override;
    void PowerDown() override { verified_ = false; }

  protected:
    std::uint8_t BusStandard() const override { return 0x00; }

  private:
    std::uint8_t& Stage(std::size_t stage) { return memory_[kCounterAddress + stage]; }
    SimAttemptCounter Counter() { return {std::span(&errorCounter_, 1), kFullCounter}; }

    std::array<std::uint8_t, kSize> memory_{};
    std::array<std::uint8_t, 3> transportCode_ = {0xFF, 0xFF, 0xFF};
    std::uint8_t errorCounter_ = kFullCounter;
    bool verified_ = false;
};
