#pragma once

#include <array>
#include <optional>
#include <vector>

#include "sim/SimContactlessChip.h"

// A MIFARE Classic chip (Mini, 1K or 4K), enforcing its own rules: each sector's trailer holds
// key A, the access bits and key B; a command is carried out only after an authentication to
// the block's sector, and only when the access bits allow it for the key used. Key A never
// reads back (zeros); key B reads back only where the access bits say so, and such a key B
// grants nothing. Access bits that fail their inverted copy block the whole sector.
// A failed authentication halts the chip: it answers nothing until it is selected again.
// A refused command ends the authentication. Block 0 (UID, BCC, SAK, ATQA, maker's data)
// is read-only.
//
// Value blocks: value, inverted value, value (4 bytes each, little-endian, signed), then the
// address byte, inverted, again and inverted. Increment, Decrement and Restore load the
// chip's transfer buffer from a value block; Transfer writes it to a block.
class SimMifareClassic : public SimContactlessChip {
  public:
    enum class Size { Mini, k1K, k4K };
    using Block = std::array<std::uint8_t, 16>;
    // What the chip answers: done, not done (NAK: no authentication to that sector, or the
    // access bits forbid it for the key used, or no value block), or nothing (halted).
    enum class Answer { Ok, Refused, Silent };

    static constexpr std::uint8_t kTransportAccess[4] = {0xFF, 0x07, 0x80, 0x69};

    // A chip fresh from the factory: every trailer FF..FF / FF 07 80 69 / FF..FF, data zero.
    explicit SimMifareClassic(Size size, Bytes uid = {0x5A, 0x50, 0xC1, 0x01});

    SimCardKind Kind() const override;
    const Bytes& Uid() const override { return uid_; }
    std::uint16_t Atqa() const override;
    std::uint8_t Sak() const override;
    void Select() override;

    // The size of a MIFARE Classic kind; nothing for another kind.
    static std::optional<Size> SizeOf(SimCardKind kind);
    static int SectorCount(Size size);

    Size ChipSize() const { return size_; }
    int SectorCount() const { return SectorCount(size_); }
    int BlockCount() const;
    // Sectors 0..31 have 4 blocks, sectors 32..39 (4K only) 16 blocks.
    static int FirstBlockOf(int sector);
    static int BlocksIn(int sector);
    static int SectorOf(int block);
    static int TrailerOf(int sector) { return FirstBlockOf(sector) + BlocksIn(sector) - 1; }

    // Setting the card up, outside the chip's rules: a sector's key in its trailer, and the
    // memory as it is (key A included).
    void SetSectorKey(int sector, SimKeyType type, const SimMifareKey& key);
    const Block& RawBlock(int block) const { return memory_.at(block); }
    void SetRawBlock(int block, const Block& data) { memory_.at(block) = data; }
    bool Halted() const { return halted_; }
    // A value block holding `value`, with `address` as its address byte.
    static Block ValueBlock(std::int32_t value, std::uint8_t address);
    // The value a value block holds; nothing when the block has not the value-block format.
    static std::optional<std::int32_t> ValueOf(const Block& block);

    // The chip's commands.
    Answer Authenticate(int block, SimKeyType type, const SimMifareKey& key);
    Answer Read(int block, Block& out);
    Answer Write(int block, const Block& data);
    Answer Increment(int block, std::uint32_t amount);
    Answer Decrement(int block, std::uint32_t amount);
    Answer Restore(int block);
    Answer Transfer(int block);

  private:
    enum class Right { Read, Write, Increment, DecrementTransferRestore };
    Answer Refuse();
    bool Allowed(int block, Right right) const;
    Answer LoadValue(int block, Right right, std::int64_t delta);

    Size size_;
    Bytes uid_;
    std::vector<Block> memory_;
    bool halted_ = false;
    std::optional<int> sector_;  // the sector authenticated to
    SimKeyType keyType_ = SimKeyType::A;
    std::optional<std::int32_t> transferBuffer_;
    std::uint8_t transferAddress_ = 0;
};
