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
