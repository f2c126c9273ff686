#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The answer to reset decoded by ISO/IEC 7816-3, for people who want to know what the card
// announced. A malformed or short ATR is decoded as far as it goes.

// The ATR field of a reader-state record holds 36 bytes; ISO/IEC 7816-3 allows 33.
inline constexpr std::size_t kAtrRecordSize = 36;
inline constexpr std::size_t kAtrMaxLength = 33;

enum class AtrPart { Ts, T0, InterfaceBytes, HistoricalBytes, Tck };

// The check byte TCK: absent when only T=0 is offered, otherwise present and XOR-ing T0 to
// TCK to zero. Missing: the ATR ends before a TCK that a TDi asked for; an ATR that ends
// before any TDi asks for one counts as NotRequired.
enum class AtrCheck { NotRequired, Correct, Wrong, Missing };

// TAi, TBi, TCi and TDi of one i, as far as the ATR holds them.
struct AtrInterfaceGroup {
    int index = 1;
    // The protocol TD(i-1) names for the bytes of this group; -1 for the global TA1 to TD1.
    int protocol = -1;
    std::optional<std::uint8_t> ta, tb, tc, td;
};

struct AtrFacts {
    std::vector<std::uint8_t> bytes;  // the bytes read: never more than the length given or 36
    std::vector<AtrInterfaceGroup> groups;
    // T values in the order the TDi name them; T=0 alone when there is no TD1.
    std::vector<int> protocols;
    std::size_t historicalCount = 0;  // K, as T0 announces it
    std::vector<std::uint8_t> historical;
    AtrCheck check = AtrCheck::NotRequired;
    std::optional<AtrPart> truncatedIn;  // where the bytes end before the ATR does
    std::string missing;                 // the first byte that is not there, e.g. "TB2"
    std::size_t length = 0;              // the bytes the ATR consists of, as far as they are there
    std::size_t extraBytes = 0;          // bytes after the end of a complete ATR
};

// Reads at most min(atrLength, 36) bytes from `atr`.
AtrFacts DecodeAtr(const std::uint8_t* atr, std::uint32_t atrLength);

// Upper-case hex pairs separated by blanks, e.g. "3B 95 13", of at most 36 bytes.
std::string AtrHexText(const std::uint8_t* atr, std::uint32_t atrLength);

// One line per byte or group of bytes with what it means, ending with "truncated before ..."
// where the ATR stops early.
std::string DescribeAtr(const AtrFacts& facts);
