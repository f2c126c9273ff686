#include "core/contactless/KeyList.h"

#include <algorithm>

#include "core/common/Conversions.h"

namespace {
std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

void AddOnce(std::vector<KeyCandidate>& list, const KeyCandidate& candidate) {
    if (std::ranges::find(list, candidate) == list.end()) {
        list.push_back(candidate);
    }
}
}  // namespace

const std::vector<MifareKey>& DefaultKeys() {
    static const std::vector<MifareKey> keys = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5},
        {0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7},
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    };
    return keys;
}

std::optional<MifareKey> ParseKey(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
        }
    }
    if (digits.size() != 12) {
        return std::nullopt;
    }
    MifareKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (!HexPairToByte(digits.data() + 2 * i, key[i])) {
            return std::nullopt;
        }
    }
    return key;
}

std::string KeyText(const MifareKey& key) {
    std::string text = BytesToHexText(key.data(), static_cast<std::int32_t>(key.size()));
    text.pop_back();  // the blank after the last byte
    return text;
}

KeyFile ParseKeyFile(std::string_view text) {
    KeyFile file;
    int number = 0;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        const auto end = std::min(text.find('\n', start), text.size());
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fail = [&](std::string message) {
            file.errors.push_back({number + 1, std::move(message)});
        };
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            if (const auto key = ParseKey(line)) {
                file.keys.push_back(*key);
            } else {
                fail("not a key of 6 bytes in hex: \"" + std::string(line) + "\"");
            }
            continue;
        }
        const auto second = line.find(':', colon + 1);
        const std::string_view sectorText = Trim(line.substr(0, colon));
        const std::string_view typeText = second == std::string_view::npos
                                              ? std::string_view{}
                                              : Trim(line.substr(colon + 1, second - colon - 1));
        std::int32_t sector = 0;
        if (sectorText.size() > 2 ||
            !DecimalTextToInt(sectorText.data(), static_cast<std::uint32_t>(sectorText.size()),
                              sector) ||
            sector > 39) {
            fail("not a sector number from 0 to 39: \"" + std::string(sectorText) + "\"");
        } else if (typeText != "A" && typeText != "B" && typeText != "a" && typeText != "b") {
            fail("the key type is not A or B: \"" + std::string(line) + "\"");
        } else if (const auto key = ParseKey(line.substr(second + 1))) {
            const KeyType type = typeText == "A" || typeText == "a" ? KeyType::A : KeyType::B;
            file.sectorKeys.push_back({sector, {*key, type}});
        } else {
            fail("not a key of 6 bytes in hex: \"" + std::string(Trim(line.substr(second + 1))) +
                 "\"");
        }
    }
    return file;
}

std::vector<KeyCandidate> CandidatesForSector(const KeyFile& file, int sector) {
    std::vector<KeyCandidate> list;
    for (const auto& entry : file.sectorKeys) {
        if (entry.sector == sector) {
            AddOnce(list, entry.candidate);
        }
    }
    for (const auto* keys : {&DefaultKeys(), &file.keys}) {
        for (const MifareKey& key : *keys) {
            AddOnce(list, {key, KeyType::A});
            AddOnce(list, {key, KeyType::B});
        }
    }
    return list;
}
