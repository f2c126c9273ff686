#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The access conditions of a MIFARE Classic sector: bytes 6 to 8 of its trailer hold the
// bits C1, C2 and C3 of each of its four block groups (three data groups and the trailer),
// each bit also inverted. The chip refuses a sector whose bits fail that check.

// C1 C2 C3 of one group as the number 4*C1 + 2*C2 + C3.
using AccessCondition = std::uint8_t;

struct AccessBits {
    // Groups 0 to 2: data blocks (in a 16-block sector each group holds five blocks);
    // group 3: the trailer.
    std::array<AccessCondition, 4> groups{};
    bool inversionValid = false;  // every bit's inverted copy matches
};

// Who may do something with a key: never, key A, key B or either.
enum class KeyRight { Never, KeyA, KeyB, Both };

struct DataBlockRights {
    KeyRight read, write, increment, decrementTransferRestore;
};
struct TrailerRights {
    KeyRight readKeyA, writeKeyA, readAccessBits, writeAccessBits, readKeyB, writeKeyB;
    bool keyBReadable;  // key B is readable data then, and cannot authenticate
};

AccessBits DecodeAccessBits(std::uint8_t byte6, std::uint8_t byte7, std::uint8_t byte8);
// Bytes 6, 7, 8 for the four conditions, the inverted copies included.
std::array<std::uint8_t, 3> EncodeAccessBits(const std::array<AccessCondition, 4>& groups);

DataBlockRights DataRightsOf(AccessCondition condition);
TrailerRights TrailerRightsOf(AccessCondition condition);

// "never", "key A", "key B", "key A|B"
std::string KeyRightText(KeyRight right);

// Why writing a trailer with these bytes 6 to 8 would make its sector unusable, or nothing
// when the write is safe: the inverted bits fail the check, or no key could ever change the
// access conditions again.
std::optional<std::string> TrailerWriteRefusal(std::uint8_t byte6, std::uint8_t byte7,
                                               std::uint8_t byte8);
