#include "sim/SimSectorKey.h"

#include <cctype>

#include "core/common/Conversions.h"
#include "sim/SimContactlessReader.h"
#include "sim/SimMifareClassic.h"

std::optional<SimSectorKey> ParseSimSectorKey(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 ||
        text.size() != colon + 3 + 2 * std::tuple_size_v<SimMifareKey> || text[colon + 2] != ':') {
        return std::nullopt;
    }
    SimSectorKey result;
    for (const char c : text.substr(0, colon)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        result.sector = result.sector * 10 + (c - '0');
    }
    const char type = static_cast<char>(std::toupper(static_cast<unsigned char>(text[colon + 1])));
    if (type != 'A' && type != 'B') {
        return std::nullopt;
    }
    result.type = type == 'A' ? SimKeyType::A : SimKeyType::B;
    const std::string_view digits = text.substr(colon + 3);
    for (std::size_t i = 0; i < result.key.size(); ++i) {
        const char pair[2] = {
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits[2 * i]))),
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits[2 * i + 1])))};
        if (!HexPairToByte(pair, result.key[i])) {
            return std::nullopt;
        }
    }
    return result;
}

bool ApplySimSectorKey(SimCard& card, const SimSectorKey& key) {
    auto* reader = dynamic_cast<SimContactlessReader*>(&card);
    SimMifareClassic* chip = reader != nullptr ? reader->Classic() : nullptr;
    if (chip == nullptr || key.sector >= chip->SectorCount()) {
        return false;
    }
    chip->SetSectorKey(key.sector, key.type, key.key);
    return true;
}
