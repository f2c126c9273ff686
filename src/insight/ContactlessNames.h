#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The names PC/SC gives the parts of a contactless card's ATR: the standard byte SS and the
// card name NN NN of a storage card.

// "ISO 14443 A part 3", "FeliCa", ...; "standard 12" for one without a name.
std::string StandardName(std::uint8_t standard);
// "MIFARE Classic 1K", ...; "card name 00 45" for one without a name.
std::string CardNameText(std::uint16_t cardName);

// "Contactless, ISO 14443 A part 3, MIFARE Classic 1K" for a contactless storage card's ATR,
// "Contactless, ISO 14443-4" for an ISO 14443-4 card's; nothing for other ATRs, storage cards
// on a contact bus included.
std::optional<std::string> ContactlessSummary(const std::uint8_t* atr, std::size_t length);

// The line DescribeAtr adds for an ATR that a PC/SC reader made up, contact-bus storage cards
// included ("Contact, 2-wire bus protocol, card name F0 22 (PC/SC storage card: ...)").
std::optional<std::string> DescribeContactlessAtr(const std::uint8_t* atr, std::size_t length);
