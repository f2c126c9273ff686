#pragma once

#include <cctype>
#include <memory>
#include <string_view>

#include "sim/SimCard.h"
#include "sim/SimCardFactory.h"
#include "sim/SimContactlessReader.h"

// Bytes from hex text with blanks: "FF CA 00 00 00".
inline Bytes Hex(std::string_view text) {
    Bytes bytes;
    int high = -1;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            continue;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    return bytes;
}

// A contactless card of that kind in the simulated reader's field.
inline std::unique_ptr<SimContactlessReader> Contactless(SimCardKind kind) {
    auto card = MakeSimCard(kind);
    return std::unique_ptr<SimContactlessReader>(
        dynamic_cast<SimContactlessReader*>(card.release()));
}

inline Bytes Send(SimCard& card, std::string_view command) {
    return card.Transmit(Hex(command));
}
