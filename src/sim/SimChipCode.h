#pragma once

#include <cstdint>
#include <span>

#include "sim/SimCard.h"

// The error counter of a secret code as the chip keeps it: attempt bits under `mask` in
// each of `bytes` (other bits of those bytes belong to something else and are left alone).
// Every presentation first writes one attempt bit to 0, the highest of the first byte that
// still has one (07, 03, 01, 00); a matching code then sets all attempt bits again.
struct SimAttemptCounter {
    std::span<std::uint8_t> bytes;
    std::uint8_t mask;

    int Left() const;
    void UseOne();
    void Restore();
};

// A presentation of a secret code: a matching code opens the chip until power down; with no
// attempt left the chip refuses every further presentation.
struct SimChipCode {
    // Answers 0 (accepted), the wrong-code code, or the blocked code.
    static std::uint32_t Present(SimAttemptCounter counter, ByteView stored, ByteView presented,
                                 bool& verified);
};
