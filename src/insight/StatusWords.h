#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The meanings ISO/IEC 7816-4 gives the interindustry status words SW1 SW2 of a response
// APDU, with the counts that 61xx, 6Cxx and 63Cx carry worked out.

// The meaning alone, e.g. "File or application not found" for 6A 82.
std::string StatusWordMeaning(std::uint8_t sw1, std::uint8_t sw2);

// Both bytes in hex and the meaning, e.g. "6A 82 File or application not found".
std::string StatusWordText(std::uint8_t sw1, std::uint8_t sw2);

// What a reader means by SW1 SW2 in answer to its own class-FF command `command` (of
// `length` bytes) on a contactless card, e.g. LOAD KEYS answered 69 86; nothing when the
// command is not class FF or the reader gives the word no meaning of its own. On a contact
// card (`contactless` false) class FF reaches the card itself, and 6E 00 and 68 84 are the
// card's refusal of the class, not a reader fault.
std::optional<std::string> ReaderCommandMeaning(const std::uint8_t* command, std::size_t length,
                                                std::uint8_t sw1, std::uint8_t sw2,
                                                bool contactless);

// StatusWordText, with the class-FF meaning after it where there is one. Without knowing the
// card, 6E 00 and 68 84 to class FF are taken as a contact card's answers (a contactless
// reader takes its own class), any other word as the reader's.
std::string ExchangeStatusWordText(const std::uint8_t* command, std::size_t length,
                                   std::uint8_t sw1, std::uint8_t sw2);
