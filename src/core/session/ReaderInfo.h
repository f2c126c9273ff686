#pragma once

#include <cstdint>
#include <string>

class CardLibrary;

// The caption of LblReaderName: "Reader Name: " and at most MaxShownReaderName characters
// of the name, as the 128-byte caption buffer holds them. A null name gives the prefix alone.
inline constexpr std::size_t MaxShownReaderName = 114;
std::string ReaderNameCaption(const char* readerName);

// Reader type query of Get Info: the text of the information box, either
// "Reader Type : " and the delivered text or the failure with its return code.
struct ReaderTypeQuery {
    std::uint8_t ReaderTypeBuffer[20] = {};
    std::uint32_t ReaderTypeLength = 0;

    std::string Run(CardLibrary& library, std::uint32_t cardHandle);
};
