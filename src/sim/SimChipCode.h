#pragma once

#include <cstdint>

#include "sim/SimCard.h"

// A secret code of a memory chip with its error counter, a byte of attempt bits as the
// chip keeps it: every presentation first writes the highest set bit to 0 (07, 03, 01, 00); a
// matching code then restores the full counter and opens the chip until power down; when no bit is
// left the chip refuses every further presentation.
struct SimChipCode {
    // Answers 0 (accepted), the wrong-code code, or the blocked code.
    static std::uint32_t Present(std::uint8_t& counter, std::uint8_t fullCounter, ByteView stored,
                                 ByteView presented, bool& verified);
    static int AttemptsLeft(std::uint8_t counter, std::uint8_t fullCounter);
};
