#pragma once

#include <cstdint>

// The SLE4404's 416-bit memory, byte by byte as the reader addresses it (bit 8n + i is bit i
// of byte n, least significant bit first, as the chip sends them):
//
//   bits   0..15   bytes  0..1    manufacturer area, fixed at the factory
//   bits  16..79   bytes  2..9    issuer area
//   bits  80..95   bytes 10..11   user code
//   bits  96..99   byte  12 0x0F  user-code attempt counter, 4 attempts
//   bits 100..303  bytes 12..37   user memory, from the high nibble of byte 12
//   bits 304..335  bytes 38..41   memory code (the erase code)
//   bits 336..399  bytes 42..49   memory-code attempt counter, 64 attempts
//   bits 400..415  bytes 50..51   scratch pad
//
// The user-memory operations count whole bytes from byte 12, so user address 0 is the byte
// whose low nibble is the user-code attempt counter, and user address 25 is byte 37.
namespace sle4404 {

struct Area {
    std::uint32_t start;
    std::uint32_t size;

    constexpr std::uint32_t End() const { return start + size; }
    constexpr bool Holds(std::uint32_t address) const {
        return address >= start && address < End();
    }
};

inline constexpr std::uint32_t kMemorySize = 52;

inline constexpr Area kManufacturerArea{0, 2};
inline constexpr Area kUserCode{10, 2};
inline constexpr Area kUserCounter{12, 1};
inline constexpr std::uint8_t kUserCounterBits = 0x0F;
inline constexpr Area kUserMemory{12, 26};
inline constexpr Area kMemoryCode{38, 4};
inline constexpr Area kMemoryCounter{42, 8};
inline constexpr std::uint8_t kMemoryCounterBits = 0xFF;

// P2 of the storage-card Verify command (FF 20 00 P2) naming the code presented. Cards with
// one code take P2 00; the SLE4404 has two, so each gets its own reference.
inline constexpr std::uint8_t kUserCodeReference = 0x01;
inline constexpr std::uint8_t kMemoryCodeReference = 0x02;

}  // namespace sle4404
