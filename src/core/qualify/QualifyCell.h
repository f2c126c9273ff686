#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One cell of the qualification matrix: a case at one length under one protocol, with
// what it showed.

enum class QualifyCase {
    Case1,
    Case2,            // data out, Le 1 to 256
    Case3,            // data in, Lc 1 to 255
    Case4,            // data in and out, Lc 1 to 255, Lc + 1 bytes out
    Case2Extended,    // extended Le
    Case3Extended,    // extended Lc
    TimeRequest,      // the reader-test applet works P2 units before it answers
    WaitingTime,      // the extended applet's waiting-time extension (P1P2), then case 1
    PinPad,           // a verify entered on the reader's PIN pad, then what the card received
    ShortBuffer,      // a receive buffer one byte too small
    OtherProtocol,    // a transmit with the other protocol's control record
    ExclusiveShared,  // an exclusive connect while a shared handle is open
    UnpowerReset,     // a reconnect with unpower gives the ATR again
    ResetReconnect,   // a reconnect with reset gives the ATR again
    CardPulled,       // the card pulled during a long time request
};
inline constexpr int kQualifyCaseCount = 15;

enum class CellOutcome { Pass, Fail, Skipped };

struct QualifyCell {
    QualifyCase kind = QualifyCase::Case1;
    std::uint32_t protocol = 0;  // 1 = T=0, 2 = T=1
    std::uint32_t length = 0;    // Le, Lc, P2 or P1P2 as the case names it; 0 for none
    CellOutcome outcome = CellOutcome::Skipped;
    std::vector<std::uint8_t> expected;  // the reply looked for, data and status word
    std::vector<std::uint8_t> received;  // the reply delivered, data and status word
    std::int64_t firstDifference = -1;   // index of the first differing byte, -1 for none
    std::uint16_t statusWord = 0;        // of the reply checked; 0 when it had none
    std::uint32_t code = 0;              // the PC/SC code of the call that decided the cell
    std::uint64_t micros = 0;            // the case's own exchanges, GET RESPONSE included
    std::uint32_t exchanges = 0;         // every transmit the cell made, questions included
    std::string detail;                  // why it failed or was skipped, in a few words
};

// "case 2", "time request", "receive buffer too small", ...
const char* CaseName(QualifyCase kind);
// "Le", "Lc", "P2", "P1P2"; empty for a case without a length.
const char* LengthName(QualifyCase kind);
// "T=0" or "T=1".
const char* ProtocolName(std::uint32_t protocol);
// "pass", "fail", "skipped".
const char* OutcomeName(CellOutcome outcome);
