#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/contactless/ContactlessCommands.h"

// NDEF messages as a Type 2 tag keeps them: in the NDEF TLV (tag 03) of the user memory.

struct NdefRecord {
    enum class Kind { Uri, Text, Mime, Other };
    Kind kind = Kind::Other;
    std::uint8_t tnf = 0;
    Bytes type, id, payload;
    std::string value;     // the URI with its prefix, the text, or the MIME type
    std::string language;  // of a Text record
};

struct NdefMessage {
    std::vector<NdefRecord> records;
    std::optional<std::string> error;  // where the bytes stopped making sense
};

// The value of the first NDEF TLV in a Type 2 tag's user memory; nothing when there is none
// (an empty or missing message, or a terminator first). A length past the memory's end is an
// error.
std::optional<Bytes> FindNdefTlv(const Bytes& userMemory, std::string& error);

NdefMessage DecodeNdefMessage(const Bytes& message);

// The URI prefix that code stands for ("https://www." for 02), "" for 00 or an unknown code.
std::string UriPrefix(std::uint8_t code);

// "URI https://example.com", "Text (en) Hello", "MIME text/plain: 5 bytes", "TNF 4 type
// ...: <hex>".
std::string RecordText(const NdefRecord& record);
