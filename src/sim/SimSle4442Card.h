#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/SimChipCode.h"
#include "sim/SimMemoryCard.h"

// SLE4432 and SLE4442: 256 bytes of main memory; the first 32 bytes each have a
// protection bit that can be written once, only with data equal to the byte's content
// (data comparison). Protection memory reads as 4 bytes, bit i (least significant bit of
// the first byte first) belonging to byte i, 0 when the byte is protected. Bytes 0..3
// hold the chip header and are protected when the card is new. A write over protected
// bytes leaves them as they are and writes the others.
//
// The SLE4442 adds security memory: an error counter of 3 attempt bits (07 on a new card)
// and the 3-byte programmable security code (PSC, FF FF FF on a new card). Until the PSC
// has been verified every write is refused and the PSC reads as 00 00 00; a wrong code
// uses up one attempt, the right one restores all three, and with none left the card is
// blocked for good. Verification lasts until power down.
class SimSle4442Card : public SimMemoryCard {
  public:
    static constexpr std::size_t kMainSize = 256;
    static constexpr std::size_t kProtectableBytes = 32;
    static constexpr std::uint8_t kFullCounter = 0x07;

    // `kind` is SLE4432 or SLE4442.
    explicit SimSle4442Card(SimCardKind kind);

    bool HasPsc() const { return Kind() == SimCardKind::SLE4442; }

    std::uint32_t ReadMain(std::uint32_t address, std::span<std::uint8_t> out) const;
    std::uint32_t WriteMain(std::uint32_t address, ByteView data);
    std::uint32_t ReadProtect(std::span<std::uint8_t, 4> out) const;
    std::uint32_t WriteProtect(std::uint32_t address, ByteView data);
    std::uint32_t ReadSecurity(std::span<std::uint8_t, 4> out) const;
    // Byte 0 is the error counter, bytes 1..3 the PSC.
    std::uint32_t WriteSecurity(std::uint32_t address, ByteView data);
    std::uint32_t Verify(ByteView code);

    bool IsProtected(std::size_t address) const;
    int AttemptsLeft() const;

    std::size_t MemorySize() const override { return kMainSize; }
    std::uint32_t ReadMemory(std::uint32_t address, std::span<std::uint8_t> out) const override {
        return ReadMain(address, out);
    }
    std::uint32_t WriteMemory(std::uint32_t address, ByteView data) override {
        return WriteMain(address, data);
    }
    std::uint32_t PresentCode(std::uint8_t reference, ByteView code, int& attemptsLeft) override;
    void PowerDown() override { verified_ = false; }

  protected:
    std::uint8_t BusStandard() const override { return 0x0F; }  // 2-wire bus protocol

  private:
    // SLE4442 writes need the verified PSC; 0 when allowed.
    std::uint32_t WriteAccess() const;
    SimAttemptCounter Counter() { return {std::span(&errorCounter_, 1), kFullCounter}; }

    std::array<std::uint8_t, kMainSize> main_{};
    std::uint32_t protection_ = 0;  // bit i set: byte i can still be written
    std::uint8_t errorCounter_ = kFullCounter;
    std::array<std::uint8_t, 3> psc_ = {0xFF, 0xFF, 0xFF};
    bool verified_ = false;
};
