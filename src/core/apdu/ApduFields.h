#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/session/ReaderSession.h"

// The seven command fields of an APDU console, in command order.
enum ApduField : std::size_t {
    FieldCla,
    FieldIns,
    FieldP1,
    FieldP2,
    FieldLc,
    FieldData,
    FieldLe,
    ApduFieldCount
};

// The field texts as typed (8-bit).
struct ApduTexts {
    std::string cla, ins, p1, p2, lc, data, le;
};

using ApduBuffer = std::array<std::uint8_t, ApduBufferSize>;

// Builds the command exactly as typed: CLA INS P1 P2 (the first two characters of each),
// then the Lc, Data and Le texts pair by pair, an odd last character ignored. Nothing is
// compared across the fields. On success the buffer holds n bytes and the result is empty;
// otherwise the result is the message naming the first faulty field, and a command that
// would not fit into the buffer names the field that overflows it ("DATA Too Long!").
std::optional<std::string> ParseApduFields(const ApduTexts& texts, ApduBuffer& buffer,
                                           std::int32_t& n);
