#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/contactless/ContactlessCommands.h"

// The keys "Read card" tries: the well-known defaults and the user's key file.

// FF FF FF FF FF FF, A0 A1 A2 A3 A4 A5, D3 F7 D3 F7 D3 F7, 00 00 00 00 00 00
const std::vector<MifareKey>& DefaultKeys();

// One key to try on a sector, as key A or key B.
struct KeyCandidate {
    MifareKey key{};
    KeyType type = KeyType::A;
    bool operator==(const KeyCandidate&) const = default;
};

// A key file line that could not be read: its number (from 1) and why.
struct KeyFileError {
    int line = 0;
    std::string message;
};

// The user's keys: one key a line ("FFFFFFFFFFFF" or "FF FF FF FF FF FF"), or
// `sector:A|B:key` for one sector and key type. Blank lines and lines starting with '#' are
// skipped.
struct KeyFile {
    std::vector<MifareKey> keys;  // for every sector, as A then B
    struct SectorKey {
        int sector = 0;
        KeyCandidate candidate;
    };
    std::vector<SectorKey> sectorKeys;
    std::vector<KeyFileError> errors;
};

KeyFile ParseKeyFile(std::string_view text);
// Six bytes in hex, blanks allowed between the pairs.
std::optional<MifareKey> ParseKey(std::string_view text);
std::string KeyText(const MifareKey& key);  // "FF FF FF FF FF FF"

// What to try on one sector, in order: the file's keys for that sector, then each default
// key and each of the file's general keys as key A and then as key B, without repeats.
std::vector<KeyCandidate> CandidatesForSector(const KeyFile& file, int sector);
