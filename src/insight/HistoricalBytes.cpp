#include "insight/HistoricalBytes.h"

#include "core/common/Conversions.h"
#include "insight/StatusWords.h"
#include "insight/TlvDictionary.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text = BytesToHexText(bytes, static_cast<std::int32_t>(n));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

// The texts of the bits set in `b`, bit 8 first; "" for a bit without one.
std::string Bits(std::uint8_t b, const char* const (&texts)[8]) {
    std::string list;
    for (int bit = 0; bit < 8; ++bit) {
        if ((b & (0x80 >> bit)) != 0 && *texts[bit] != '\0') {
            list += (list.empty() ? "" : ", ") + std::string(texts[bit]);
        }
    }
    return list;
}

std::string CardServiceData(const Bytes& v) {
    if (v.size() != 1) {
        return Hex(v.data(), v.size());
    }
    const char* const kBits[8] = {"selection by full DF name",
                                  "selection by partial DF name",
                                  "BER-TLV objects in EF.DIR",
                                  "BER-TLV objects in EF.ATR",
                                  "",
                                  "",
                                  "",
                                  ""};
    std::string text = Bits(v[0], kBits);
    const int access = (v[0] >> 1) & 7;
    text += std::string(text.empty() ? "" : ", ") + "EF.DIR and EF.ATR read by " +
            (access == 4   ? "READ BINARY"
             : access == 0 ? "READ RECORD"
             : access == 2 ? "GET DATA"
                           : "an RFU method");
    return text + ((v[0] & 1) != 0 ? ", no MF" : ", with MF");
}

std::string CardCapabilities(const Bytes& v) {
    std::string text;
    if (!v.empty()) {
        const char* const kSelection[8] = {"selection by full DF name",
                                           "by partial DF name",
                                           "by path",
                                           "by file identifier",
                                           "implicit",
                                           "short EF identifiers",
                                           "record numbers",
                                           "record identifiers"};
        text = Bits(v[0], kSelection);
    }
    if (v.size() >= 2) {
        text += std::string(text.empty() ? "" : "; ") + "data coding " + HexNumberText(v[1], 2);
    }
    if (v.size() >= 3) {
        const std::uint8_t b = v[2];
        text += std::string(text.empty() ? "" : "; ") +
                ((b & 0x80) != 0 ? "command chaining" : "no command chaining") +
                ((b & 0x40) != 0 ? ", extended Lc and Le" : ", no extended Lc and Le");
        const int assignment = (b >> 3) & 3;
        if (assignment == 0) {
            text += ", no logical channels";
        } else {
            const int channels = (b & 7) + 1;
            text += std::string(", logical channels assigned by ") +
                    (assignment == 3   ? "the card and the interface device"
                     : assignment == 2 ? "the card"
                                       : "the interface device") +
                    (channels == 8 ? ", 8 or more" : ", at most " + std::to_string(channels));
        }
    }
    return text.empty() ? Hex(v.data(), v.size()) : text;
}

// A life cycle status byte, a status word, or both.
std::string StatusIndicator(const Bytes& v) {
    std::string text;
    if (v.size() == 1 || v.size() == 3) {
        text = "life cycle " + FormatTlvValue(TlvFormat::LifeCycle, {v[0]});
    }
    if (v.size() >= 2) {
        const std::uint8_t* sw = v.data() + v.size() - 2;
        text += (text.empty() ? "" : ", ") + StatusWordText(sw[0], sw[1]);
    }
    return text.empty() ? Hex(v.data(), v.size()) : text;
}

std::string ObjectLine(int tag, const Bytes& v) {
    switch (tag) {
        case 0x1:
            return "Country code and national data: " + Hex(v.data(), v.size());
        case 0x2:
            return "Issuer identification number: " + Hex(v.data(), v.size());
        case 0x3:
            return "Card service data: " + CardServiceData(v);
        case 0x4:
            return "Initial access data: " + Hex(v.data(), v.size());
        case 0x5:
            return "Card issuer's data: " + Hex(v.data(), v.size());
        case 0x6:
            return "Pre-issuing data: " + Hex(v.data(), v.size());
        case 0x7:
            return "Card capabilities: " + CardCapabilities(v);
        case 0x8:
            return "Status indicator: " + StatusIndicator(v);
        case 0xF:
            return "Application identifier: " + Hex(v.data(), v.size());
        default:
            return "COMPACT-TLV tag " + HexNumberText(static_cast<std::uint32_t>(tag), 1) + ": " +
                   Hex(v.data(), v.size());
    }
}

// COMPACT-TLV objects in [begin, end).
void DescribeObjects(const Bytes& bytes, std::size_t begin, std::size_t end,
                     std::vector<std::string>& lines) {
    for (std::size_t i = begin; i < end;) {
        const int tag = bytes[i] >> 4;
        const std::size_t length = bytes[i] & 0x0F;
        // PC/SC writes the application identifier of a storage card as BER-TLV: 4F, length.
        if (bytes[i] == 0x4F && i + 1 < end && i + 2 + bytes[i + 1] == end) {
            lines.push_back("Application identifier: " + Hex(bytes.data() + i + 2, bytes[i + 1]));
            return;
        }
        if (end - i - 1 < length) {
            lines.push_back("COMPACT-TLV object " + HexNumberText(bytes[i], 2) + " announces " +
                            std::to_string(length) + " bytes, " + std::to_string(end - i - 1) +
                            " follow");
            return;
        }
        // An empty object may end the bytes: its value starts one past the last byte.
        const auto value = bytes.begin() + static_cast<std::ptrdiff_t>(i + 1);
        lines.push_back(ObjectLine(tag, Bytes(value, value + static_cast<std::ptrdiff_t>(length))));
        i += 1 + length;
    }
}

}  // namespace

std::vector<std::string> DescribeHistoricalBytes(const Bytes& bytes) {
    std::vector<std::string> lines;
    if (bytes.empty()) {
        return lines;
    }
    const std::uint8_t category = bytes[0];
    const std::string head = "Category indicator " + HexNumberText(category, 2) + ": ";
    if (category == 0x00) {
        lines.push_back(head + "COMPACT-TLV objects, then a status indicator");
        if (bytes.size() < 4) {
            lines.push_back("the status indicator's 3 bytes are missing");
            return lines;
        }
        DescribeObjects(bytes, 1, bytes.size() - 3, lines);
        lines.push_back("Status indicator: " +
                        StatusIndicator(Bytes(bytes.end() - 3, bytes.end())));
    } else if (category == 0x80) {
        lines.push_back(head + "COMPACT-TLV objects");
        DescribeObjects(bytes, 1, bytes.size(), lines);
    } else if (category == 0x10) {
        lines.push_back(head + "DIR data reference " + Hex(bytes.data() + 1, bytes.size() - 1));
    } else {
        lines.push_back(head + (category > 0x80 && category < 0x90 ? "RFU" : "proprietary"));
    }
    return lines;
}
