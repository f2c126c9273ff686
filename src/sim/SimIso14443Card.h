#pragma once

#include "sim/SimContactlessChip.h"
#include "sim/SimCpuCard.h"

// An ISO 14443-4 type A card: it answers its ATS when selected and then ISO 7816 command
// APDUs with the simulated T=1 card's file system and commands.
class SimIso14443Card : public SimContactlessChip {
  public:
    explicit SimIso14443Card(Bytes uid = {0x08, 0x5A, 0x50, 0x44});

    SimCardKind Kind() const override { return SimCardKind::Iso14443_4; }
    const Bytes& Uid() const override { return uid_; }
    std::uint16_t Atqa() const override { return 0x0004; }
    std::uint8_t Sak() const override { return 0x20; }
    void Select() override { apdus_.PowerDown(); }

    // TL, T0, TA, TB, TC and the historical bytes.
    const Bytes& Ats() const { return ats_; }
    Bytes HistoricalBytes() const;
    Bytes Transmit(ByteView apdu) { return apdus_.Transmit(apdu); }

  private:
    Bytes uid_;
    Bytes ats_;
    SimCpuCard apdus_;
};
