// Values of BER-TLV objects shown as what they are.
#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "core/common/Conversions.h"
#include "insight/TlvDictionary.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& value) {
    std::string text = BytesToHexText(value.data(), static_cast<std::int32_t>(value.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

// The digits of BCD bytes, a final F nibble (padding) dropped; nothing when a nibble is not
// a digit.
std::optional<std::string> BcdDigits(const Bytes& value) {
    std::string digits;
    for (std::size_t i = 0; i < 2 * value.size(); ++i) {
        const int nibble = i % 2 == 0 ? value[i / 2] >> 4 : value[i / 2] & 0x0F;
        if (nibble == 0x0F && i + 1 == 2 * value.size()) {
            break;
        }
        if (nibble > 9) {
            return std::nullopt;
        }
        digits += static_cast<char>('0' + nibble);
    }
    return digits;
}

std::string Text(const Bytes& value) {
    std::string text = "\"";
    for (const std::uint8_t b : value) {
        text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    }
    return text + "\"";
}

std::optional<std::string> Number(const Bytes& value) {
    if (value.empty() || value.size() > 8) {
        return std::nullopt;
    }
    std::uint64_t n = 0;
    for (const std::uint8_t b : value) {
        n = n << 8 | b;
    }
    return std::to_string(n);
}

// YYMMDD; years 50 to 99 are 19YY, as EMV reads them.
std::optional<std::string> Date(const Bytes& value) {
    const std::optional<std::string> digits = BcdDigits(value);
    if (value.size() != 3 || !digits || digits->size() != 6) {
        return std::nullopt;
    }
    const int yy = std::stoi(digits->substr(0, 2));
    const int mm = std::stoi(digits->substr(2, 2));
    const int dd = std::stoi(digits->substr(4, 2));
    if (mm < 1 || mm > 12 || dd < 1 || dd > 31) {
        return std::nullopt;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", yy < 50 ? 2000 + yy : 1900 + yy, mm, dd);
    return std::string(text);
}

// ISO 3166 and ISO 4217 numeric codes of the countries and currencies cards mostly carry.
const std::map<int, const char*> kCountries = {
    {36, "Australia"},
    {40, "Austria"},
    {56, "Belgium"},
    {76, "Brazil"},
    {124, "Canada"},
    {156, "China"},
    {203, "Czechia"},
    {208, "Denmark"},
    {246, "Finland"},
    {250, "France"},
    {276, "Germany"},
    {300, "Greece"},
    {344, "Hong Kong"},
    {348, "Hungary"},
    {356, "India"},
    {372, "Ireland"},
    {376, "Israel"},
    {380, "Italy"},
    {392, "Japan"},
    {410, "Korea, Republic of"},
    {442, "Luxembourg"},
    {484, "Mexico"},
    {528, "Netherlands"},
    {554, "New Zealand"},
    {578, "Norway"},
    {616, "Poland"},
    {620, "Portugal"},
    {642, "Romania"},
    {643, "Russian Federation"},
    {682, "Saudi Arabia"},
    {702, "Singapore"},
    {710, "South Africa"},
    {724, "Spain"},
    {752, "Sweden"},
    {756, "Switzerland"},
    {784, "United Arab Emirates"},
    {792, "Turkey"},
    {826, "United Kingdom"},
    {840, "United States"},
};
const std::map<int, const char*> kCurrencies = {
    {36, "AUD Australian dollar"},
    {124, "CAD Canadian dollar"},
    {156, "CNY Yuan renminbi"},
    {203, "CZK Czech koruna"},
    {208, "DKK Danish krone"},
    {344, "HKD Hong Kong dollar"},
    {348, "HUF Forint"},
    {356, "INR Indian rupee"},
    {376, "ILS New Israeli sheqel"},
    {392, "JPY Yen"},
    {410, "KRW Won"},
    {484, "MXN Mexican peso"},
    {554, "NZD New Zealand dollar"},
    {578, "NOK Norwegian krone"},
    {643, "RUB Russian ruble"},
    {682, "SAR Saudi riyal"},
    {702, "SGD Singapore dollar"},
    {710, "ZAR Rand"},
    {752, "SEK Swedish krona"},
    {756, "CHF Swiss franc"},
    {784, "AED UAE dirham"},
    {826, "GBP Pound sterling"},
    {840, "USD US dollar"},
    {949, "TRY Turkish lira"},
    {978, "EUR Euro"},
    {985, "PLN Zloty"},
    {986, "BRL Brazilian real"},
};

// A 3-digit numeric code in two BCD bytes, "0840", with its name where we know it.
std::optional<std::string> Coded(const Bytes& value, const std::map<int, const char*>& names) {
    const std::optional<std::string> digits = BcdDigits(value);
    if (value.size() != 2 || !digits || digits->size() != 4 || (*digits)[0] != '0') {
        return std::nullopt;
    }
    const std::string code = digits->substr(1);
    const auto name = names.find(std::stoi(code));
    return name == names.end() ? code : code + " " + name->second;
}

// The texts of the bits set, byte by byte, bit 8 first; "" marks a bit without a meaning.
using BitTexts = std::vector<std::array<const char*, 8>>;

std::string SetBits(const Bytes& value, const BitTexts& texts) {
    std::string list;
    for (std::size_t i = 0; i < value.size() && i < texts.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            if ((value[i] & (0x80 >> bit)) == 0) {
                continue;
            }
            const char* text = texts[i][static_cast<std::size_t>(bit)];
            const std::string name =
                *text != '\0' ? std::string(text)
                              : "byte " + std::to_string(i + 1) + " bit " + std::to_string(8 - bit);
            list += (list.empty() ? "" : "; ") + name;
        }
    }
    return list.empty() ? "none set" : list;
}

const BitTexts kAip = {{
    {"", "SDA supported", "DDA supported", "cardholder verification supported",
     "terminal risk management to be performed", "issuer authentication supported",
     "on-device cardholder verification supported", "CDA supported"},
}};

const BitTexts kTvr = {
    {"offline data authentication not performed", "SDA failed", "ICC data missing",
     "card on terminal exception file", "DDA failed", "CDA failed", "SDA selected", ""},
    {"different application versions", "expired application", "application not yet effective",
     "service not allowed for card product", "new card", "", "", ""},
    {"cardholder verification not successful", "unrecognised CVM", "PIN try limit exceeded",
     "PIN required, PIN pad missing or not working",
     "PIN required, PIN pad present, PIN not "
     "entered",
     "online PIN entered", "", ""},
    {"transaction exceeds floor limit", "lower consecutive offline limit exceeded",
     "upper consecutive offline limit exceeded", "selected randomly for online processing",
     "merchant forced transaction online", "", "", ""},
    {"default TDOL used", "issuer authentication failed",
     "script processing failed before final GENERATE AC",
     "script processing failed after final GENERATE AC", "", "", "", ""},
};

// The file descriptor byte, then the data coding byte, the maximum record size (one or two
// bytes) and the number of records, as far as they are given.
std::string FileDescriptor(const Bytes& value) {
    if (value.empty()) {
        return "";
    }
    const std::uint8_t fd = value[0];
    std::string text;
    if ((fd & 0x80) != 0) {
        text = "proprietary";
    } else {
        text = (fd & 0x40) != 0 ? "shareable" : "not shareable";
        const int type = (fd >> 3) & 7;
        const int structure = fd & 7;
        static const char* const kStructures[] = {"no structure information",
                                                  "transparent",
                                                  "linear fixed, no further information",
                                                  "linear fixed, TLV",
                                                  "linear variable, no further information",
                                                  "linear variable, TLV",
                                                  "cyclic, no further information",
                                                  "cyclic, TLV"};
        if (type == 7) {
            text += structure == 0   ? ", DF"
                    : structure == 1 ? ", BER-TLV EF"
                    : structure == 2 ? ", SIMPLE-TLV EF"
                                     : ", RFU";
        } else {
            text += type == 0 ? ", working EF" : type == 1 ? ", internal EF" : ", proprietary EF";
            text += std::string(", ") + kStructures[structure];
        }
    }
    if (value.size() >= 2) {
        text += ", data coding " + HexNumberText(value[1], 2);
    }
    if (value.size() == 3 || value.size() == 5) {
        text += ", maximum record size " + std::to_string(value[2]);
    } else if (value.size() >= 4) {
        text += ", maximum record size " + std::to_string(value[2] << 8 | value[3]);
    }
    if (value.size() == 5) {
        text += ", " + std::to_string(value[4]) + " records";
    } else if (value.size() >= 6) {
        text += ", " + std::to_string(value[4] << 8 | value[5]) + " records";
    }
    return text;
}

std::string LifeCycle(const Bytes& value) {
    if (value.size() != 1) {
        return Hex(value);
    }
    const std::uint8_t b = value[0];
    if (b >= 0x10) {
        return "proprietary";
    }
    switch (b) {
        case 0x00:
            return "no information given";
        case 0x01:
            return "creation state";
        case 0x03:
            return "initialisation state";
        default:
            break;
    }
    if ((b & 0xFC) == 0x04) {
        return (b & 1) != 0 ? "operational state, activated" : "operational state, deactivated";
    }
    return (b & 0xFC) == 0x0C ? "termination state" : "RFU";
}

// Arcs of an OID: the first byte holds two of them; each further arc in base 128.
std::optional<std::string> Oid(const Bytes& value) {
    std::vector<std::uint64_t> arcs;
    std::uint64_t arc = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (arc > (UINT64_MAX >> 7)) {
            return std::nullopt;
        }
        arc = arc << 7 | (value[i] & 0x7F);
        if ((value[i] & 0x80) == 0) {
            arcs.push_back(arc);
            arc = 0;
        }
    }
    if (arcs.empty() || (value.back() & 0x80) != 0) {
        return std::nullopt;
    }
    const std::uint64_t first = arcs[0] < 80 ? arcs[0] / 40 : 2;
    std::string text = std::to_string(first) + "." + std::to_string(arcs[0] - first * 40);
    for (std::size_t i = 1; i < arcs.size(); ++i) {
        text += "." + std::to_string(arcs[i]);
    }
    return text;
}

// The 42 bytes of GlobalPlatform's CPLC: field names and sizes in their order.
std::optional<std::string> Cplc(const Bytes& value) {
    static const std::pair<const char*, std::size_t> kFields[] = {
        {"IC fabricator", 2},
        {"IC type", 2},
        {"operating system identifier", 2},
        {"operating system release date", 2},
        {"operating system release level", 2},
        {"IC fabrication date", 2},
        {"IC serial number", 4},
        {"IC batch identifier", 2},
        {"IC module fabricator", 2},
        {"IC module packaging date", 2},
        {"ICC manufacturer", 2},
        {"IC embedding date", 2},
        {"IC pre-personaliser", 2},
        {"IC pre-personalisation date", 2},
        {"IC pre-personalisation equipment identifier", 4},
        {"IC personaliser", 2},
        {"IC personalisation date", 2},
        {"IC personalisation equipment identifier", 4},
    };
    if (value.size() != 42) {
        return std::nullopt;
    }
    std::string text;
    std::size_t at = 0;
    for (const auto& [name, size] : kFields) {
        const Bytes field(value.begin() + static_cast<std::ptrdiff_t>(at),
                          value.begin() + static_cast<std::ptrdiff_t>(at + size));
        text += (text.empty() ? "" : "; ") + std::string(name) + " " + Hex(field);
        at += size;
    }
    return text;
}

}  // namespace

std::optional<std::vector<TlvDolItem>> ReadTlvDol(const std::vector<std::uint8_t>& value) {
    std::vector<TlvDolItem> items;
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t start = i;
        std::uint32_t tag = value[i++];
        if ((tag & 0x1F) == 0x1F) {
            do {
                if (i >= value.size() || i - start >= 4) {
                    return std::nullopt;
                }
                tag = tag << 8 | value[i];
            } while ((value[i++] & 0x80) != 0);
        }
        if (i >= value.size() || value[i] >= 0x80) {
            return std::nullopt;
        }
        items.push_back({tag, value[i++]});
    }
    return items;
}

std::string FormatTlvValue(TlvFormat format, const std::vector<std::uint8_t>& value) {
    std::optional<std::string> text;
    switch (format) {
        case TlvFormat::Hex:
            break;
        case TlvFormat::Text:
            text = Text(value);
            break;
        case TlvFormat::Number:
            text = Number(value);
            break;
        case TlvFormat::Bcd:
            text = BcdDigits(value);
            break;
        case TlvFormat::Date:
            text = Date(value);
            break;
        case TlvFormat::Country:
            text = Coded(value, kCountries);
            break;
        case TlvFormat::Currency:
            text = Coded(value, kCurrencies);
            break;
        case TlvFormat::FileDescriptor:
            text = FileDescriptor(value);
            break;
        case TlvFormat::LifeCycle:
            text = LifeCycle(value);
            break;
        case TlvFormat::Aip:
            text = value.size() == 2 ? std::optional(SetBits(value, kAip)) : std::nullopt;
            break;
        case TlvFormat::Tvr:
            text = value.size() == 5 ? std::optional(SetBits(value, kTvr)) : std::nullopt;
            break;
        case TlvFormat::Dol:
            if (const auto items = ReadTlvDol(value)) {
                text = "";
                for (const TlvDolItem& item : *items) {
                    *text += (text->empty() ? "" : ", ") + TlvTagText(item.tag) + " (" +
                             std::to_string(item.length) + ")";
                }
            }
            break;
        case TlvFormat::Oid:
            text = Oid(value);
            break;
        case TlvFormat::Cplc:
            text = Cplc(value);
            break;
    }
    if (!text || (text->empty() && !value.empty())) {
        return Hex(value);
    }
    return *text;
}
