#pragma once

#include <map>
#include <memory>

#include "sim/SimContactlessChip.h"

class SimIso14443Card;
class SimMifareClassic;
class SimUltralight;

// A contactless reader's firmware with one chip in its field, as PC/SC shows it (T=1):
// it synthesises the answer to reset and answers the class-FF commands itself.
//
// ATR: storage chips 3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 NN NN 00 00 00 00 TCK (ISO 14443 A
// part 3; NN NN 0026 Mini, 0001 1K, 0002 4K, 0003 Ultralight and NTAG213);
// ISO 14443-4 cards 3B 8n 80 01, the ATS's historical bytes, TCK.
//
// Class FF (anything else goes to an ISO 14443-4 card; a storage chip's reader answers 6E 00):
//   FF CA 00 00 Le   UID               FF CA 01 00 Le  historical bytes of the ATS (not the
//   FF CA 02 00 Le   SAK (1 byte)                      whole ATS; 6A 81 for storage chips)
//   FF CA 03 00 Le   ATQA (2 bytes, high byte first, 00 04 for a 1K)
//     Le 00 gives all; Le longer than the data: data and 62 82; shorter: 6C and the length;
//     another P1/P2: 6A 81.
//   FF 82 P1 P2 06 key   LOAD KEYS: P1 00 volatile, slots 00-0F; P1 20 non-volatile, slots
//     20-3F. 69 88 for a slot out of range, 69 89 for a length other than 6, 69 85 for
//     secured transmission (P1 bit 80), 69 83 for another P1. Keys stay while the reader
//     holds this chip (a reset or power cycle of the card keeps them).
//   FF 86 00 00 05 01 00 BB KT KN    GENERAL AUTHENTICATE (KT 60 key A, 61 key B)
//   FF 88 00 BB KT KN                AUTHENTICATE, the older form: both are taken.
//     63 00 when the chip refuses (it is then halted: every chip command answers 63 00 until
//     the card is reset or powered again, which selects it anew); 69 86 for another KT;
//     69 88 for a slot out of range; 69 84 for an empty slot; 6A 81 for chips without keys.
//   FF B0 00 BB Le   READ BINARY: a Classic block, or 4 Ultralight pages (Le 00 or 10 for 16
//     bytes, fewer for a prefix; more: 6C 10). 69 82 when the chip refuses.
//   FF D6 00 BB Lc   UPDATE BINARY: 16 bytes to a Classic block, 4 to an Ultralight page.
//   Value blocks, only in this form (FF C2 answers 6D 00, as every other instruction):
//   FF D7 00 BB 05 op VV VV VV VV (value high byte first): 00 store as a value block,
//     01 increment, 02 decrement (each then transferred to BB);
//   FF D7 00 BB 02 03 TT: restore BB and transfer it to block TT;
//   FF B1 00 BB 04: the value of a value block (4 bytes, high byte first).
//     69 82 when the chip refuses (also for a block that is not a value block); FF B1 answers
//     69 81 for a block it reads that is not a value block.
//   6B 00 for a block or page past the chip's end; 67 00 for wrong lengths.
class SimContactlessReader : public SimCard {
  public:
    explicit SimContactlessReader(std::unique_ptr<SimMifareClassic> chip);
    explicit SimContactlessReader(std::unique_ptr<SimUltralight> chip);
    explicit SimContactlessReader(std::unique_ptr<SimIso14443Card> chip);
    ~SimContactlessReader() override;

    static constexpr std::size_t kVolatileSlots = 16;
    static constexpr std::uint8_t kFirstNonVolatileSlot = 0x20;
    static constexpr std::size_t kNonVolatileSlots = 32;

    Bytes Atr() const override;
    std::uint32_t Protocol() const override { return 2; }
    Bytes Transmit(ByteView command) override;
    // The field goes off and on: the reader selects the chip again.
    void PowerDown() override;

    const SimContactlessChip& Chip() const { return *chip_; }
    // The chip as its own type; null when it is another.
    SimMifareClassic* Classic() const { return classic_; }
    SimUltralight* Ultralight() const { return ultralight_; }
    SimIso14443Card* Iso() const { return iso_; }

  private:
    SimContactlessReader(SimCardKind kind, std::unique_ptr<SimContactlessChip> chip);
    Bytes GetData(ByteView command) const;
    Bytes LoadKeys(ByteView command);
    Bytes Authenticate(std::uint8_t block, std::uint8_t keyType, std::uint8_t slot);
    Bytes ReadBinary(ByteView command);
    Bytes UpdateBinary(ByteView command);
    Bytes ValueOperation(ByteView command);
    Bytes ReadValue(ByteView command);

    std::unique_ptr<SimContactlessChip> chip_;
    SimMifareClassic* classic_ = nullptr;
    SimUltralight* ultralight_ = nullptr;
    SimIso14443Card* iso_ = nullptr;
    std::map<std::uint8_t, SimMifareKey> keys_;  // by slot
};
