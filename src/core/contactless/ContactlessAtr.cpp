#include "core/contactless/ContactlessAtr.h"

#include <algorithm>

namespace {
// 3B 8F 80 01, then the historical bytes 80 4F 0C and the registered provider A0 00 00 03 06.
constexpr std::uint8_t kStoragePrefix[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F,
                                           0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06};
constexpr std::size_t kStorageHistorical = 15;
constexpr std::size_t kHistoricalStart = 4;
}  // namespace

std::optional<ContactlessAtr> ParseContactlessAtr(const std::uint8_t* atr, std::size_t length) {
    if (atr == nullptr || length < kHistoricalStart || atr[0] != 0x3B || (atr[1] & 0xF0) != 0x80 ||
        atr[2] != 0x80 || atr[3] != 0x01) {
        return std::nullopt;
    }
    const std::size_t count = atr[1] & 0x0F;
    if (length < kHistoricalStart + count) {
        return std::nullopt;
    }
    ContactlessAtr parsed;
    parsed.historical.assign(atr + kHistoricalStart, atr + kHistoricalStart + count);
    if (count == kStorageHistorical &&
        std::equal(std::begin(kStoragePrefix), std::end(kStoragePrefix), atr)) {
        parsed.kind = ContactlessAtr::Kind::StorageCard;
        parsed.standard = atr[12];
        parsed.cardName = static_cast<std::uint16_t>(atr[13] << 8 | atr[14]);
    } else {
        parsed.kind = ContactlessAtr::Kind::Iso14443_4;
    }
    return parsed;
}

CardFamily FamilyOfCardName(std::uint16_t cardName) {
    switch (cardName) {
        case 0x0001:
            return CardFamily::Classic1K;
        case 0x0002:
            return CardFamily::Classic4K;
        case 0x0026:
            return CardFamily::ClassicMini;
        case 0x0003:
        case 0x003A:
        case 0x003D:
            return CardFamily::Ultralight;
        default:
            return CardFamily::Other;
    }
}
