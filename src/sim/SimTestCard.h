#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/SimCard.h"
#include "sim/SimTestApplets.h"

// What a faulty reader or driver does to the exchanges with the test card. Each switch does
// its one thing and nothing else; all off is a sound reader.
struct SimTestCardFaults {
    // Reply data longer than N bytes arrives cut to its first N bytes; the status word follows.
    std::optional<std::uint32_t> cutRepliesAbove{};
    // Every Le reaches the card as 00 (short) or 00 00 (extended): the largest length.
    bool rewriteLe = false;
    // A command longer than N bytes reaches the card without its last byte.
    std::optional<std::uint32_t> dropLastByteAbove{};
    // A command with extended lengths never reaches the card: the reader answers
    // SCARD_E_NOT_TRANSACTED, as pcsc-lite reports a driver that refuses the command.
    bool refuseExtended = false;
    // A time request that makes the card work (80 38 with P2 > 0, 00 11 under an extension)
    // is given up by the reader after one time unit, as a reader that does not extend the
    // waiting time: SCARD_E_NOT_TRANSACTED, the code pcsc-lite gives for a driver's timeout.
    bool lateTimeRequest = false;

    bool operator==(const SimTestCardFaults&) const = default;
};

struct SimTestCardSettings {
    // One unit of a time request's work (80 38 00 P2 works P2 units; 00 11 works the units
    // that 00 50 set).
    std::chrono::microseconds timeUnit{100'000};
    SimTestCardFaults faults;
};

// The reader test card: both test applets behind one card, over T=0, T=1 or both (chosen by
// its kind: TestT0, TestT1, TestBoth).
//
// Over T=1 it takes APDUs, short and extended (up to 65535 bytes in, 65536 out). Over T=0 it
// behaves as a T=0 card at TPDU level: a command that sends data and has reply data answers
// 61 XX and GET RESPONSE (any class, INS C0) fetches it; a command that only fetches data takes
// P3 as its Le and answers 6C XX when P3 is not the length it has (34 checks its Le itself and
// answers 67 00); a case-4 command's trailing Le is left out, as a driver maps it to a TPDU;
// extended lengths do not fit a TPDU and are answered 67 00.
class SimTestCard : public SimCard {
  public:
    // Not 0: the PC/SC code of a reader that gave up on or refused the exchange.
    static constexpr std::uint32_t kNotTransacted = 0x80100016;  // SCARD_E_NOT_TRANSACTED

    explicit SimTestCard(SimCardKind kind, SimTestCardSettings settings = {});

    Bytes Atr() const override;
    std::uint32_t Protocol() const override { return protocol_; }
    std::uint32_t Protocols() const override;
    void SelectProtocol(std::uint32_t protocol) override;
    Bytes Transmit(ByteView command) override { return Exchange(command).reply; }
    SimExchange Exchange(ByteView command) override;
    void PowerDown() override;

    const SimTestCardSettings& Settings() const { return settings_; }
    void SetFaults(const SimTestCardFaults& faults) { settings_.faults = faults; }
    void SetTimeUnit(std::chrono::microseconds unit) { settings_.timeUnit = unit; }

    const SimTestApplets& Applets() const { return applets_; }

  private:
    SimExchange ExchangeT1(ByteView apdu);
    SimExchange ExchangeT0(ByteView tpdu);
    SimExchange GetResponse(std::uint8_t p3);
    SimExchange Finish(TestAnswer answer) const;

    SimTestCardSettings settings_;
    std::uint32_t protocol_ = 0;
    SimTestApplets applets_;
    Bytes pending_;  // T=0 reply data waiting for GET RESPONSE
    std::uint16_t pendingSw_ = 0;
};
