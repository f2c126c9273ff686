#pragma once

#include <optional>
#include <string_view>

#include "sim/SimContactlessChip.h"

// A key given to one sector of a MIFARE Classic card, as a command line writes it:
// "5:A:112233445566" (sector, A or B, twelve hex digits).
struct SimSectorKey {
    int sector = 0;
    SimKeyType type = SimKeyType::A;
    SimMifareKey key{};
};

// Nothing when the text is not of that form.
std::optional<SimSectorKey> ParseSimSectorKey(std::string_view text);
// Puts the key into its sector's trailer; false when the card is no MIFARE Classic card or
// has no such sector.
bool ApplySimSectorKey(SimCard& card, const SimSectorKey& key);
