#include "core/contactless/Ndef.h"

#include "core/common/Conversions.h"

namespace {
constexpr std::uint8_t kNullTlv = 0x00;
constexpr std::uint8_t kNdefTlv = 0x03;
constexpr std::uint8_t kTerminatorTlv = 0xFE;

constexpr std::uint8_t kMessageEnd = 0x40;
constexpr std::uint8_t kShortRecord = 0x10;
constexpr std::uint8_t kIdPresent = 0x08;
constexpr std::uint8_t kTnfWellKnown = 0x01;
constexpr std::uint8_t kTnfMime = 0x02;

constexpr const char* kUriPrefixes[] = {
    "",
    "http://www.",
    "https://www.",
    "http://",
    "https://",
    "tel:",
    "mailto:",
    "ftp://anonymous:anonymous@",
    "ftp://ftp.",
    "ftps://",
    "sftp://",
    "smb://",
    "nfs://",
    "ftp://",
    "dav://",
    "news:",
    "telnet://",
    "imap:",
    "rtsp://",
    "urn:",
    "pop:",
    "sip:",
    "sips:",
    "tftp:",
    "btspp://",
    "btl2cap://",
    "btgoep://",
    "tcpobex://",
    "irdaobex://",
    "file://",
    "urn:epc:id:",
    "urn:epc:tag:",
    "urn:epc:pat:",
    "urn:epc:raw:",
    "urn:epc:",
    "urn:nfc:",
};

std::string Text(const Bytes& bytes, std::size_t from = 0) {
    return from < bytes.size() ? std::string(bytes.begin() + from, bytes.end()) : std::string();
}

// UTF-16 (big-endian, or as its byte order mark says) as UTF-8; a lone surrogate is '?'.
std::string Utf16ToUtf8(const Bytes& bytes, std::size_t from) {
    bool little = false;
    if (from + 1 < bytes.size() && ((bytes[from] == 0xFF && bytes[from + 1] == 0xFE) ||
                                    (bytes[from] == 0xFE && bytes[from + 1] == 0xFF))) {
        little = bytes[from] == 0xFF;
        from += 2;
    }
    std::string text;
    const auto unit = [&](std::size_t i) {
        return little ? static_cast<std::uint32_t>(bytes[i] | bytes[i + 1] << 8)
                      : static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    };
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = '?';
        }
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | c >> 6);
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text += static_cast<char>(0xE0 | c >> 12);
            text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | c >> 18);
            text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

void Interpret(NdefRecord& record) {
    const std::string type = Text(record.type);
    if (record.tnf == kTnfWellKnown && type == "U" && !record.payload.empty()) {
        record.kind = NdefRecord::Kind::Uri;
        record.value = UriPrefix(record.payload[0]) + Text(record.payload, 1);
    } else if (record.tnf == kTnfWellKnown && type == "T" && !record.payload.empty()) {
        const std::uint8_t status = record.payload[0];
        const std::size_t languageEnd = 1 + static_cast<std::size_t>(status & 0x3F);
        if (languageEnd > record.payload.size()) {
            return;  // a language code longer than the payload: shown raw
        }
        record.kind = NdefRecord::Kind::Text;
        record.language.assign(record.payload.begin() + 1, record.payload.begin() + languageEnd);
        record.value = (status & 0x80) != 0 ? Utf16ToUtf8(record.payload, languageEnd)
                                            : Text(record.payload, languageEnd);
    } else if (record.tnf == kTnfMime) {
        record.kind = NdefRecord::Kind::Mime;
        record.value = type;
    }
}

std::string Hex(const Bytes& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}
}  // namespace

std::string UriPrefix(std::uint8_t code) {
    return code < std::size(kUriPrefixes) ? kUriPrefixes[code] : "";
}

std::optional<Bytes> FindNdefTlv(const Bytes& userMemory, std::string& error) {
    const std::size_t n = userMemory.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t tag = userMemory[i];
        if (tag == kNullTlv) {
            ++i;
            continue;
        }
        if (tag == kTerminatorTlv) {
            return std::nullopt;
        }
        if (i + 1 >= n) {
            error = "The TLV at byte " + std::to_string(i) + " has no length.";
            return std::nullopt;
        }
        std::size_t length = userMemory[i + 1];
        std::size_t header = 2;
        if (length == 0xFF) {
            if (i + 3 >= n) {
                error = "The TLV at byte " + std::to_string(i) + " has no length.";
                return std::nullopt;
            }
            length = static_cast<std::size_t>(userMemory[i + 2] << 8 | userMemory[i + 3]);
            header = 4;
        }
        if (length > n - i - header) {
            error = "The TLV at byte " + std::to_string(i) + " claims " + std::to_string(length) +
                    " bytes, past the end of the user memory.";
            return std::nullopt;
        }
        if (tag == kNdefTlv) {
            return Bytes(userMemory.begin() + i + header, userMemory.begin() + i + header + length);
        }
        i += header + length;
    }
    return std::nullopt;
}

NdefMessage DecodeNdefMessage(const Bytes& message) {
    NdefMessage decoded;
    const std::size_t n = message.size();
    std::size_t i = 0;
    const auto fail = [&](const std::string& what) {
        decoded.error = "Record " + std::to_string(decoded.records.size() + 1) + ": " + what;
        return decoded;
    };
    while (i < n) {
        const std::uint8_t header = message[i];
        const bool shortRecord = (header & kShortRecord) != 0;
        const bool hasId = (header & kIdPresent) != 0;
        const std::size_t fixed = 2 + (shortRecord ? 1 : 4) + (hasId ? 1 : 0);
        if (fixed > n - i) {
            return fail("the header ends early");
        }
        std::size_t at = i + 1;
        const std::size_t typeLength = message[at++];
        std::size_t payloadLength = message[at++];
        if (!shortRecord) {
            payloadLength = payloadLength << 24 | static_cast<std::size_t>(message[at]) << 16 |
                            static_cast<std::size_t>(message[at + 1]) << 8 | message[at + 2];
            at += 3;
        }
        const std::size_t idLength = hasId ? message[at++] : 0;
        if (typeLength > n - at || idLength > n - at - typeLength ||
            payloadLength > n - at - typeLength - idLength) {
            return fail("its lengths run past the end of the message");
        }
        NdefRecord record;
        record.tnf = header & 0x07;
        record.type.assign(message.begin() + at, message.begin() + at + typeLength);
        at += typeLength;
        record.id.assign(message.begin() + at, message.begin() + at + idLength);
        at += idLength;
        record.payload.assign(message.begin() + at, message.begin() + at + payloadLength);
        i = at + payloadLength;
        Interpret(record);
        decoded.records.push_back(std::move(record));
        if ((header & kMessageEnd) != 0) {
            if (i < n) {
                decoded.error = std::to_string(n - i) + " bytes after the message's last record";
            }
            return decoded;
        }
    }
    if (!decoded.records.empty()) {
        decoded.error = "The message ends without its last record";
    }
    return decoded;
}

std::string RecordText(const NdefRecord& record) {
    switch (record.kind) {
        case NdefRecord::Kind::Uri:
            return "URI " + record.value;
        case NdefRecord::Kind::Text:
            return "Text (" + record.language + ") " + record.value;
        case NdefRecord::Kind::Mime:
            return "MIME " + record.value + ": " + std::to_string(record.payload.size()) +
                   " bytes: " + Hex(record.payload);
        case NdefRecord::Kind::Other:
            break;
    }
    return "TNF " + std::to_string(record.tnf) + " type \"" + Text(record.type) +
           "\": " + Hex(record.payload);
}
