#pragma once

#include "sim/SimCard.h"
#include "sim/SimIsoCommands.h"

// A microprocessor card answering over T=0 or T=1.
//
// Over T=1 a command APDU (short lengths) gets its response data directly. Over T=0 the
// card behaves like a real T=0 card: a command sending data that has response data
// answers 61 xx and GET RESPONSE (00 C0 00 00 xx) delivers it; a command that only
// fetches data (READ BINARY, GET CHALLENGE, GET DATA) answers directly when P3 is the
// right length and 6C xx with the right length otherwise.
class SimCpuCard : public SimCard {
  public:
    // `kind` is CpuT0 or CpuT1.
    explicit SimCpuCard(SimCardKind kind);

    Bytes Atr() const override;
    std::uint32_t Protocol() const override;
    Bytes Transmit(ByteView command) override;
    void PowerDown() override;

    const SimIsoCommands& Commands() const { return commands_; }

  private:
    bool IsT0() const { return Kind() == SimCardKind::CpuT0; }
    Bytes TransmitT1(ByteView apdu);
    Bytes TransmitT0(ByteView tpdu);
    Bytes GetResponse(std::uint8_t p3);
    Bytes QueueResponse(const IsoResponse& response);

    SimIsoCommands commands_;
    Bytes pending_;  // T=0 response data waiting for GET RESPONSE
    std::uint16_t pendingSw_ = 0;
};
