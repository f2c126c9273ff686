#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The commands of the two test applets and the replies they give, as bytes.

using QualifyBytes = std::vector<std::uint8_t>;

enum class TestApplet { None, ReaderTest, Extended };

// The SELECT commands that find each applet, in the order tried.
std::vector<QualifyBytes> SelectCommands(TestApplet applet);

// Bytes 00 01 02 ... (n bytes, counting modulo 256): what the applets send and receive.
void AppendCounting(QualifyBytes& bytes, std::uint32_t n);
// The same bytes without a copy, for n up to 65536.
std::span<const std::uint8_t> CountingBytes(std::uint32_t n);

// The command of a case on an applet: case 1; case 2 asking `length` bytes; case 3
// sending `length` bytes; case 4 sending `length` and asking `length + 1`; their extended
// forms (extended applet only).
QualifyBytes Case1Command(TestApplet applet);
QualifyBytes Case2Command(TestApplet applet, std::uint32_t length);
QualifyBytes Case3Command(TestApplet applet, std::uint32_t length);
QualifyBytes Case4Command(TestApplet applet, std::uint32_t length);
QualifyBytes Case2ExtendedCommand(std::uint32_t length);
QualifyBytes Case3ExtendedCommand(std::uint32_t length);
// The reader-test applet works `p2` units before it answers.
QualifyBytes TimeRequestCommand(std::uint32_t p2);
// The extended applet's waiting-time extension, and the case 1 that runs under it.
QualifyBytes SetWaitingTimeCommand(std::uint32_t p1p2);
QualifyBytes WaitingTimeCase1Command();
// The reader-test applet's dump of the last VERIFY it received.
QualifyBytes PinDumpCommand();
// GET RESPONSE of `length` bytes (0 for 256).
QualifyBytes GetResponseCommand(std::uint8_t length);

// The extended applet's questions about the last command it received, each with the reply
// that shows the command arrived whole.
struct CardQuestion {
    QualifyBytes command;
    QualifyBytes expected;  // the data that comes with 90 00
    const char* what;       // "Le seen", "data received", ...
};
// After case 2 (short or extended) of `length`: the Le the card saw. Over T=0 a short Le of
// 256 travels as P3 = 00, which the applet reports as 7F FF.
std::vector<CardQuestion> Case2Questions(std::uint32_t length, bool extended, bool t0);
// After case 3 or 4 with `length` bytes of data: what the card received.
std::vector<CardQuestion> Case3Questions(std::uint32_t length, bool extended);

// The PIN_VERIFY_STRUCTURE of FEATURE_VERIFY_PIN_DIRECT: four ASCII digits into the
// reader-test applet's VERIFY, confirmed with the validation key.
QualifyBytes PinVerifyStructure();
// What the dump shows after the PIN pad sent "1234"; 90 00 follows.
QualifyBytes PinDumpExpected();

inline constexpr std::uint16_t kStatusOk = 0x9000;
inline QualifyBytes StatusBytes(std::uint16_t sw) {
    return {static_cast<std::uint8_t>(sw >> 8), static_cast<std::uint8_t>(sw)};
}
