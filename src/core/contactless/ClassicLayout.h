#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The memory of a MIFARE Classic card: sectors of blocks of 16 bytes, each sector's last
// block its trailer (key A, access bits, key B). Mini: 5 sectors of 4 blocks; 1K: 16 of 4;
// 4K: 32 sectors of 4 blocks, then 8 sectors of 16 blocks.

enum class ClassicType { Mini, Classic1K, Classic4K };

inline constexpr std::size_t kClassicBlockSize = 16;

class ClassicLayout {
  public:
    explicit ClassicLayout(ClassicType type) : type_(type) {}

    ClassicType Type() const { return type_; }
    std::string_view Name() const;  // "MIFARE Classic 1K", ...
    int SectorCount() const;
    int BlockCount() const;
    std::size_t ByteSize() const { return static_cast<std::size_t>(BlockCount()) * 16; }

    int BlocksInSector(int sector) const;
    int FirstBlock(int sector) const;
    int TrailerBlock(int sector) const { return FirstBlock(sector) + BlocksInSector(sector) - 1; }
    // The sector holding `block`; -1 for a block past the end.
    int SectorOfBlock(int block) const;
    bool IsTrailer(int block) const;
    // Block 0: the UID and the manufacturer's data, never writable.
    static bool IsManufacturerBlock(int block) { return block == 0; }

  private:
    ClassicType type_;
};

// The layout a dump of `size` bytes has (320, 1024 or 4096).
std::optional<ClassicType> ClassicTypeOfSize(std::size_t size);
