#pragma once

#include <cstdint>

// Track record exchanged with the stripe reader: three tracks of at most 256 bytes, each
// followed by its length (little-endian, 780 bytes in all).
struct MsrTrackRecord {
    std::uint8_t track1[256];
    std::uint32_t track1Length;
    std::uint8_t track2[256];
    std::uint32_t track2Length;
    std::uint8_t track3[256];
    std::uint32_t track3Length;
};
static_assert(sizeof(MsrTrackRecord) == 780);

inline constexpr std::uint32_t kMsrTrackCapacity = 256;

// MsrRead and MsrPoll: no card has been swiped yet.
inline constexpr std::uint32_t MsrNoSwipe = 0x8010006A;

class MsrLibrary {
  public:
    virtual ~MsrLibrary() = default;
    virtual std::uint32_t MsrOpen(const char* reader, std::uint32_t* handle) = 0;
    virtual std::uint32_t MsrRead(std::uint32_t handle, MsrTrackRecord* tracks,
                                  std::uint32_t flags) = 0;
    virtual std::uint32_t MsrPoll(std::uint32_t handle, MsrTrackRecord* tracks) = 0;
    virtual std::uint32_t MsrDisable(std::uint32_t handle) = 0;
    virtual std::uint32_t MsrClose(std::uint32_t handle) = 0;
};
