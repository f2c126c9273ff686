#include "sim/SimChipCode.h"

#include <algorithm>
#include <bit>

#include "sim/SimCodes.h"

int SimAttemptCounter::Left() const {
    int left = 0;
    for (const std::uint8_t byte : bytes) {
        left += std::popcount(static_cast<std::uint8_t>(byte & mask));
    }
    return left;
}

void SimAttemptCounter::UseOne() {
    for (std::uint8_t& byte : bytes) {
        if (const auto attempts = static_cast<std::uint8_t>(byte & mask)) {
            byte &= static_cast<std::uint8_t>(~std::bit_floor(attempts));
            return;
        }
    }
}

void SimAttemptCounter::Restore() {
    for (std::uint8_t& byte : bytes) {
        byte |= mask;
    }
}

std::uint32_t SimChipCode::Present(SimAttemptCounter counter, ByteView stored, ByteView presented,
                                   bool& verified) {
    verified = false;
    if (counter.Left() == 0) {
        return sim_codes::kChvBlocked;
    }
    counter.UseOne();
    if (!std::ranges::equal(stored, presented)) {
        return sim_codes::kWrongChv;
    }
    counter.Restore();
    verified = true;
    return sim_codes::kSuccess;
}
