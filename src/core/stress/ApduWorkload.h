#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/session/ReaderSession.h"
#include "core/stress/StressWorkload.h"

// Parses a command APDU typed as hex: an even number of hex digits (blanks between bytes
// allowed), at least 4 bytes and at most the APDU buffer. Answers the bytes, or nothing and
// the reason in `error`.
std::optional<std::vector<std::uint8_t>> ParseHexApdu(std::string_view text, std::string& error);

// True for the status words of normal processing: 90 00 and 61 XX.
bool IsNormalStatusWord(std::uint16_t statusWord);

// Sends one command APDU per unit on the run's connection.
class ApduWorkload : public StressWorkload {
  public:
    explicit ApduWorkload(std::vector<std::uint8_t> command) : command_(std::move(command)) {}
    bool NeedsConnection() const override { return true; }
    UnitResult RunUnit(StressConnection& connection) override;

  private:
    std::vector<std::uint8_t> command_;
    std::array<std::uint8_t, kMaxExtendedReply> reply_{};
};

// Connects to the card and disconnects with a reset: the card's power-up and the reader's
// connect path.
class ConnectCycleWorkload : public StressWorkload {
  public:
    bool NeedsConnection() const override { return false; }
    UnitResult RunUnit(StressConnection& connection) override;
};
