#pragma once

#include <cstdint>
#include <optional>

#include "sim/SimCard.h"
#include "sim/SimReaderTiming.h"

// A simulated card as a client of vpcd, the virtual reader driver of the PC/SC service.
// vpcd sends one-byte control messages (00 power off, 01 power on, 02 reset, 04 get the
// answer to reset) and command APDUs; the card answers the answer to reset and every
// APDU, and nothing else. A card that works on a command answers after its work. vpcd
// carries no PC/SC code back and waits for ever on an empty answer, so an exchange the reader
// path fails is answered 6F 00 (no precise diagnosis), as a failing APDU is; so is a reply
// longer than a message can carry (65535 bytes).
class SimVpcdResponder {
  public:
    static constexpr std::uint8_t kPowerOff = 0x00;
    static constexpr std::uint8_t kPowerOn = 0x01;
    static constexpr std::uint8_t kReset = 0x02;
    static constexpr std::uint8_t kGetAtr = 0x04;

    explicit SimVpcdResponder(SimCard& card) : card_(card) {}

    // Every APDU waits the reader's latency; a failing one is answered 6F 00 (no precise
    // diagnosis) without reaching the card.
    void SetTiming(const SimTimingSettings& settings) { timing_.Configure(settings); }

    // The reply to one message, or nothing when the message wants none.
    std::optional<Bytes> Answer(ByteView message);
    bool Powered() const { return powered_; }

  private:
    SimCard& card_;
    bool powered_ = false;
    SimReaderTiming timing_;
};

// The messages on the vpcd connection: a 2-byte big-endian length, then the payload.
class VpcdStream {
  public:
    static constexpr std::size_t kMaxPayload = 0xFFFF;

    static Bytes Frame(ByteView payload);
    // Bytes as they arrive from the socket, in any pieces.
    void Feed(ByteView bytes);
    // The next complete message, if one has arrived.
    std::optional<Bytes> Next();

  private:
    Bytes pending_;
};
