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

// "Contactless, ISO 14443 A part 3, MIFARE Classic 1K" for a storage-card ATR, "Contactless,
// ISO 14443-4" for an ISO 14443-4 card's; nothing for other ATRs. Storage cards on a contact
// bus start with "Contact, " instead.
std::optional<std::string> ContactlessSummary(const std::uint8_t* atr, std::size_t length);

// The lines DescribeAtr adds for such an ATR: what the historical bytes mean.
std::optional<std::string> DescribeContactlessAtr(const std::uint8_t* atr, std::size_t length);
