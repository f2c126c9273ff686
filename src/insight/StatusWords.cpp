#include "insight/StatusWords.h"

#include <cstdio>

namespace {

struct Meaning {
    std::uint8_t sw2;
    const char* text;
};

constexpr Meaning k62[] = {
    {0x00, "Warning: no information given"},
    {0x81, "Warning: part of returned data may be corrupted"},
    {0x82, "Warning: end of file or record reached before reading Ne bytes"},
    {0x83, "Warning: selected file deactivated"},
    {0x84, "Warning: file control information not correctly formatted"},
    {0x85, "Warning: selected file in termination state"},
    {0x86, "Warning: no input data available from a sensor on the card"},
    {0x87, "Warning: at least one of the referenced records is deactivated"},
};
constexpr Meaning k63[] = {
    {0x00, "Warning, memory changed: no information given"},
    {0x40, "Warning, memory changed: unsuccessful comparison"},
    {0x81, "Warning, memory changed: file filled up by the last write"},
};
constexpr Meaning k64[] = {
    {0x00, "Execution error: no information given"},
    {0x01, "Execution error: immediate response required by the card"},
    {0x81, "Execution error: logical channel shared access denied"},
    {0x82, "Execution error: logical channel opening denied"},
};
constexpr Meaning k65[] = {
    {0x00, "Execution error, memory changed: no information given"},
    {0x81, "Execution error, memory changed: memory failure"},
};
constexpr Meaning k68[] = {
    {0x00, "Function in CLA not supported"},  {0x81, "Logical channel not supported"},
    {0x82, "Secure messaging not supported"}, {0x83, "Last command of the chain expected"},
    {0x84, "Command chaining not supported"},
};
constexpr Meaning k69[] = {
    {0x00, "Command not allowed"},
    {0x81, "Command incompatible with file structure"},
    {0x82, "Security status not satisfied"},
    {0x83, "Authentication method blocked"},
    {0x84, "Reference data not usable"},
    {0x85, "Conditions of use not satisfied"},
    {0x86, "Command not allowed (no current EF)"},
    {0x87, "Expected secure messaging data objects missing"},
    {0x88, "Incorrect secure messaging data objects"},
};
constexpr Meaning k6A[] = {
    {0x00, "Wrong parameters P1-P2"},
    {0x80, "Incorrect parameters in the command data field"},
    {0x81, "Function not supported"},
    {0x82, "File or application not found"},
    {0x83, "Record not found"},
    {0x84, "Not enough memory space in the file"},
    {0x85, "Nc inconsistent with TLV structure"},
    {0x86, "Incorrect parameters P1-P2"},
    {0x87, "Nc inconsistent with parameters P1-P2"},
    {0x88, "Referenced data or reference data not found"},
    {0x89, "File already exists"},
    {0x8A, "DF name already exists"},
};

// The meaning of sw2 in a table, or `group` with the undefined SW2 named.
template <std::size_t N>
std::string Lookup(const Meaning (&table)[N], std::uint8_t sw2, const char* group) {
    for (const Meaning& meaning : table) {
        if (meaning.sw2 == sw2) {
            return meaning.text;
        }
    }
    char text[80];
    std::snprintf(text, sizeof text, "%s (SW2 %02X not defined)", group, sw2);
    return text;
}

// "1 byte" or "n bytes"; a count of 00 stands for 256.
std::string ByteCount(std::uint8_t count) {
    if (count == 0) {
        return "256 bytes";
    }
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// 67, 6B, 6D, 6E and 6F define their XX00 code alone; any other SW2 is the card's own.
std::string Exact00(std::uint8_t sw2, const char* meaning) {
    return sw2 == 0x00 ? meaning : "Proprietary status";
}

}  // namespace

std::string StatusWordMeaning(std::uint8_t sw1, std::uint8_t sw2) {
    switch (sw1) {
        case 0x90:
            return sw2 == 0x00 ? "Normal processing" : "Proprietary status";
        case 0x61:
            // With extended lengths 00 may stand for more than 256 bytes still to come.
            return (sw2 == 0x00 ? std::string("256 or more bytes") : ByteCount(sw2)) +
                   " still available (GET RESPONSE)";
        case 0x62:
            if (sw2 >= 0x02 && sw2 <= 0x80) {
                return "Warning: triggering by the card";
            }
            return Lookup(k62, sw2, "Warning");
        case 0x63:
            if ((sw2 & 0xF0) == 0xC0) {
                return "Warning, memory changed: counter " + std::to_string(sw2 & 0x0F);
            }
            return Lookup(k63, sw2, "Warning, memory changed");
        case 0x64:
            if (sw2 >= 0x02 && sw2 <= 0x80) {
                return "Execution error: triggering by the card";
            }
            return Lookup(k64, sw2, "Execution error");
        case 0x65:
            return Lookup(k65, sw2, "Execution error, memory changed");
        case 0x66:
            return "Security-related issue";
        case 0x67:
            return Exact00(sw2, "Wrong length");
        case 0x68:
            return Lookup(k68, sw2, "Function in CLA not supported");
        case 0x69:
            return Lookup(k69, sw2, "Command not allowed");
        case 0x6A:
            return Lookup(k6A, sw2, "Wrong parameters P1-P2");
        case 0x6B:
            return Exact00(sw2, "Wrong parameters P1-P2");
        case 0x6C:
            return "Wrong Le: " + ByteCount(sw2) + " available";
        case 0x6D:
            return Exact00(sw2, "Instruction code not supported or invalid");
        case 0x6E:
            return Exact00(sw2, "Class not supported");
        case 0x6F:
            return Exact00(sw2, "No precise diagnosis");
        default:
            // 91 to 9F are the application's own; the rest is no status word of ISO/IEC 7816-4.
            return (sw1 & 0xF0) == 0x90 ? "Proprietary status"
                                        : "Not a status word of ISO/IEC 7816-4";
    }
}

std::string StatusWordText(std::uint8_t sw1, std::uint8_t sw2) {
    char bytes[7];
    std::snprintf(bytes, sizeof bytes, "%02X %02X ", sw1, sw2);
    return bytes + StatusWordMeaning(sw1, sw2);
}

namespace {

struct ReaderMeaning {
    std::uint8_t ins;
    std::uint16_t sw;
    const char* text;
};

constexpr std::uint8_t kLoadKeys = 0x82;
constexpr std::uint8_t kGeneralAuthenticate = 0x86;
constexpr std::uint8_t kAuthenticate = 0x88;
constexpr std::uint8_t kReadBinary = 0xB0;
constexpr std::uint8_t kUpdateBinary = 0xD6;
constexpr std::uint8_t kGetData = 0xCA;
constexpr std::uint8_t kValueBlock = 0xD7;
constexpr std::uint8_t kReadValue = 0xB1;
constexpr std::uint8_t kValueObject = 0xC2;

// What readers mean by their answers to their own commands; the authenticate rows serve both
// forms.
constexpr ReaderMeaning kReaderMeanings[] = {
    {kLoadKeys, 0x6300, "LOAD KEYS failed; the reader gives no reason"},
    {kLoadKeys, 0x6982, "LOAD KEYS: the reader does not support this card key"},
    {kLoadKeys, 0x6983, "LOAD KEYS: the reader key is not supported"},
    {kLoadKeys, 0x6984, "LOAD KEYS: plain transmission of the key is not supported"},
    {kLoadKeys, 0x6985, "LOAD KEYS: secured transmission of the key is not supported"},
    {kLoadKeys, 0x6986, "LOAD KEYS: the reader has no volatile key memory (P1 00)"},
    {kLoadKeys, 0x6987, "LOAD KEYS: the reader has no non-volatile key memory (P1 20)"},
    {kLoadKeys, 0x6988, "LOAD KEYS: the key number P2 is outside this reader's range"},
    {kLoadKeys, 0x6989, "LOAD KEYS: the key length is not what the reader takes"},
    {kGeneralAuthenticate, 0x6300,
     "Authentication failed: the key does not open this sector, or no card answered"},
    {kGeneralAuthenticate, 0x6581, "Authentication: the block does not exist on this card"},
    {kGeneralAuthenticate, 0x6982,
     "Authentication refused: security status not satisfied (wrong key for this sector)"},
    {kGeneralAuthenticate, 0x6983, "Authentication cannot be done with this card"},
    {kGeneralAuthenticate, 0x6984, "Authentication: the key in that key number is not usable"},
    {kGeneralAuthenticate, 0x6986,
     "Authentication: the key type is not known (60 key A, 61 key B)"},
    {kGeneralAuthenticate, 0x6988, "Authentication: the key number is not valid"},
    {kReadBinary, 0x6281, "READ BINARY: part of the data may be corrupted"},
    {kReadBinary, 0x6282, "READ BINARY: the memory ended before Le bytes"},
    {kReadBinary, 0x6981, "READ BINARY: the block cannot be read this way"},
    {kReadBinary, 0x6982,
     "READ BINARY refused: the sector is not authenticated, or its key may not read this block"},
    {kReadBinary, 0x6986, "READ BINARY: command not allowed"},
    {kReadBinary, 0x6A81, "READ BINARY: function not supported by the reader"},
    {kReadBinary, 0x6A82, "READ BINARY: the block does not exist on this card"},
    {kUpdateBinary, 0x6581, "UPDATE BINARY: the write failed (memory failure)"},
    {kUpdateBinary, 0x6982,
     "UPDATE BINARY refused: the sector is not authenticated, or its key may not write this block"},
    {kUpdateBinary, 0x6986, "UPDATE BINARY: command not allowed"},
    {kUpdateBinary, 0x6A81, "UPDATE BINARY: function not supported by the reader"},
    {kUpdateBinary, 0x6A82, "UPDATE BINARY: the block does not exist on this card"},
    {kGetData, 0x6282, "GET DATA: Le is longer than the data, which came back whole"},
    {kGetData, 0x6A81, "GET DATA: the reader does not give this item (P1)"},
    {kValueBlock, 0x6300, "Value block operation failed (not a value block, or not allowed)"},
    {kReadValue, 0x6300, "Read value failed: the block is not a value block"},
    {kValueObject, 0x6300, "Increment or decrement failed"},
    {kValueObject, 0x6A81, "The reader does not take the increment and decrement data objects"},
};

}  // namespace

std::optional<std::string> ReaderCommandMeaning(const std::uint8_t* command, std::size_t length,
                                                std::uint8_t sw1, std::uint8_t sw2,
                                                bool contactless) {
    if (command == nullptr || length < 2 || command[0] != 0xFF) {
        return std::nullopt;
    }
    if (!contactless) {
        if ((sw1 == 0x6E && sw2 == 0x00) || (sw1 == 0x68 && sw2 == 0x84)) {
            return std::string(
                "Class FF reached the contact card itself, which refuses the class: the "
                "reader's contactless commands do not apply to it; no reader fault");
        }
        return std::nullopt;
    }
    const std::uint8_t ins = command[1] == kAuthenticate ? kGeneralAuthenticate : command[1];
    if (ins == kGetData && sw1 == 0x6C) {
        char text[64];
        std::snprintf(text, sizeof text, "GET DATA: Le should be %02X, the length of the data",
                      sw2);
        return std::string(text);
    }
    const auto sw = static_cast<std::uint16_t>(sw1 << 8 | sw2);
    for (const ReaderMeaning& meaning : kReaderMeanings) {
        if (meaning.ins == ins && meaning.sw == sw) {
            return std::string(meaning.text);
        }
    }
    return std::nullopt;
}

std::string ExchangeStatusWordText(const std::uint8_t* command, std::size_t length,
                                   std::uint8_t sw1, std::uint8_t sw2) {
    const bool contactCard = (sw1 == 0x6E && sw2 == 0x00) || (sw1 == 0x68 && sw2 == 0x84);
    std::string text = StatusWordText(sw1, sw2);
    if (const auto meaning = ReaderCommandMeaning(command, length, sw1, sw2, !contactCard)) {
        text += " (" + *meaning + ")";
    }
    return text;
}
