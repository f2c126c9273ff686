#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <span>

#include "sim/SimChipCode.h"
#include "sim/SimMemoryCard.h"

// SLE4418 and SLE4428: 1024 bytes, each with a protect bit that can be written once. A
// protected byte keeps its content: a write over protected bytes leaves them as they are
// and writes the others. Protect bits read as on the chip, one byte per data byte: 00 once
// the byte is protected, 01 while it is free.
//
// The SLE4428 keeps its error counter (8 attempt bits, FF on a new card) at 3FD and its
// 2-byte programmable security code (FF FF on a new card) at 3FE..3FF. Until the PSC has
// been verified every write is refused and the PSC bytes read as 00; a wrong code uses up
// one attempt, the right one restores all eight, and with none left the card is blocked
// for good. Once verified, writing 3FD..3FF changes the counter and the PSC like any byte.
class SimSle4428Card : public SimMemoryCard {
  public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::uint32_t kCounterAddress = 0x3FD;
    static constexpr std::uint32_t kPscAddress = 0x3FE;
    static constexpr std::uint8_t kFullCounter = 0xFF;

    // `kind` is SLE4418 or SLE4428.
    explicit SimSle4428Card(SimCardKind kind);

    bool HasPsc() const { return Kind() == SimCardKind::SLE4428; }

    std::uint32_t ReadMain(std::uint32_t address, std::span<std::uint8_t> out) const;
    std::uint32_t ReadWithProtectBit(std::uint32_t address, std::span<std::uint8_t> data,
                                     std::span<std::uint8_t> protectBits) const;
    std::uint32_t WriteMain(std::uint32_t address, ByteView data);
    // Writes the data and protects the bytes written.
    std::uint32_t WriteWithProtectBit(std::uint32_t address, ByteView data);
    // Protects bytes whose content equals the data given; nothing when any byte differs.
    std::uint32_t WriteProtectBit(std::uint32_t address, ByteView data);
    std::uint32_t VerifyPsc(ByteView code);

    bool IsProtected(std::size_t address) const { return protected_[address]; }
    int AttemptsLeft() const;

    std::size_t MemorySize() const override { return kSize; }
    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override {
        return ReadMain(address, out);
    }
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override {
        return WriteMain(address, data);
    }
    std::uint32_t PresentCode(std::uint8_t reference, ByteView code, int& attemptsLeft) override;
    void PowerDown() override { verified_ = false; }

  protected:
    std::uint8_t BusStandard() const override { return 0x10; }  // 3-wire bus protocol

  private:
    std::uint32_t CheckWrite(std::uint32_t address, ByteView data) const;
    SimAttemptCounter Counter() {
        return {std::span(memory_).subspan(kCounterAddress, 1), kFullCounter};
    }

    std::array<std::uint8_t, kSize> memory_{};
    std::bitset<kSize> protected_;
    bool verified_ = false;
};
