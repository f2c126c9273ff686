#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/contactless/ContactlessCommands.h"

// The ATR a PC/SC reader makes up for a contactless card.
// Storage cards: 3B 8F 80 01 80 4F 0C A0 00 00 03 06 SS NN NN 00 00 00 00 TCK, with SS the
// standard and NN NN the card name. ISO 14443-4 cards: 3B 8n 80 01 <historical bytes> TCK,
// the historical bytes of the ATS (type A) or the ATQB's application data, protocol
// information and MBLI (type B, 8 bytes).

struct ContactlessAtr {
    enum class Kind { StorageCard, Iso14443_4 };
    Kind kind = Kind::StorageCard;
    std::uint8_t standard = 0;   // storage cards
    std::uint16_t cardName = 0;  // storage cards
    Bytes historical;            // the historical bytes as the ATR holds them
};

std::optional<ContactlessAtr> ParseContactlessAtr(const std::uint8_t* atr, std::size_t length);

// What the program can do with the card a storage-card ATR names.
enum class CardFamily { ClassicMini, Classic1K, Classic4K, Ultralight, Other };
CardFamily FamilyOfCardName(std::uint16_t cardName);
