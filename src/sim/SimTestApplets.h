#pragma once

#include <array>
#include <cstdint>

#include "sim/SimCard.h"

// One command as the test applets take it, whatever protocol carried it.
struct TestCommand {
    std::uint8_t cla = 0;
    std::uint8_t ins = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    std::uint8_t p3 = 0;  // the byte after the header as it arrived (0 when there is none)
    Bytes data;
    std::uint32_t ne = 0;  // Le as a length (00 is 256, 00 00 is 65536); 0 without Le
    bool t0 = false;       // carried in a T=0 TPDU
};

// The applet's answer, and the time units it works before giving it.
struct TestAnswer {
    Bytes data;
    std::uint16_t sw = 0x9000;
    std::uint32_t workUnits = 0;
};

// The two test applets that reader test cards carry, selected by AID:
//
// The reader-test applet (A0 00 00 00 18 FF, or A0 00 00 00 18 50 on combi cards), class 80:
// 30 case 1 (67 00 when P3 is not 0); 32 case 3 with the data 00 01 ... (6A XX at the first
// wrong byte XX, 67 00 without data); 34 case 2 sending P1P2 bytes 00 01 ... (67 00 when Le is
// not P1P2); 36 case 4, the data checked as by 32, P1P2 bytes out; 3A, 3C and 3E as 32, 34 and
// 36, without 34's Le check and 36's check for data; 21, 22 and 23 as 32, 34 and 36;
// 38 a time request working P2 units; 20 VERIFY with the PIN 31 32 33 34 ... (6A XX at the first
// wrong byte), kept as the card received it, and 40 answering the last VERIFY's bytes.
//
// The extended-length applet (A0 00 00 00 66 03 01 B3 01, or ... B4 01), class 00: 10 case 1;
// 20 and B0 case 2 (short and extended) sending P1P2 bytes; 30 and D0 case 3; 40 case 4 with
// P1P2 bytes out; 50 sets a waiting-time extension of P1P2 units under which 11, a case 1, works;
// and the questions on the last exchange: 56 the Le seen (2 bytes), 51 the data received
// (255 bytes, zero-filled) and its length (1 byte), 54 the length received (2 bytes), 53 the
// first 256 bytes received (zero-filled). Over T=0 its SELECT answers 61 00, as the applet's
// cards do, and a P3 of 00 is seen as the Le 7F FF.
class SimTestApplets {
  public:
    static constexpr std::array<std::uint8_t, 6> kReaderTestAid = {0xA0, 0x00, 0x00,
                                                                   0x00, 0x18, 0xFF};
    static constexpr std::array<std::uint8_t, 6> kReaderTestCombiAid = {0xA0, 0x00, 0x00,
                                                                        0x00, 0x18, 0x50};
    static constexpr std::array<std::uint8_t, 9> kExtendedAid = {0xA0, 0x00, 0x00, 0x00, 0x66,
                                                                 0x03, 0x01, 0xB3, 0x01};
    static constexpr std::array<std::uint8_t, 9> kExtendedAid2 = {0xA0, 0x00, 0x00, 0x00, 0x66,
                                                                  0x03, 0x01, 0xB4, 0x01};

    enum class Applet { None, ReaderTest, Extended };

    TestAnswer Process(const TestCommand& command);
    // Under T=0, whether the selected applet's instruction only fetches data (P3 is its Le).
    bool IsOutgoing(std::uint8_t ins) const;
    Applet Selected() const { return selected_; }
    // Power is taken away: no applet stays selected. What the applets keep survives.
    void Deselect() { selected_ = Applet::None; }

  private:
    TestAnswer Select(const TestCommand& command);
    TestAnswer ReaderTest(const TestCommand& command);
    TestAnswer Extended(const TestCommand& command);
    TestAnswer Verify(const TestCommand& command);
    void Receive(const Bytes& data);

    Applet selected_ = Applet::None;
    // The last VERIFY as received: header and data over a card memory that starts as 42s.
    Bytes pinMemory_ = Bytes(5 + 255, 0x42);
    std::size_t pinLength_ = 0;
    // The extended applet's record of the last exchange.
    std::uint32_t leSeen_ = 0;
    Bytes received_;
    std::uint32_t extensionUnits_ = 0;
};
