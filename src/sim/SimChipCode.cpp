#include "sim/SimChipCode.h"

#include <algorithm>
#include <bit>

#include "sim/SimCodes.h"

std::uint32_t SimChipCode::Present(std::uint8_t& counter, std::uint8_t fullCounter, ByteView stored,
                                   ByteView presented, bool& verified) {
    verified = false;
    counter &= fullCounter;
    if (counter == 0) {
        return sim_codes::kChvBlocked;
    }
    counter &= static_cast<std::uint8_t>(~std::bit_floor(counter));  // highest bit first
    if (!std::ranges::equal(stored, presented)) {
        return sim_codes::kWrongChv;
    }
    counter = fullCounter;
    verified = true;
    return sim_codes::kSuccess;
}

int SimChipCode::AttemptsLeft(std::uint8_t counter, std::uint8_t fullCounter) {
    return std::popcount(static_cast<std::uint8_t>(counter & fullCounter));
}
