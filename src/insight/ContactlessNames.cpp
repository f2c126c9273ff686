#include "insight/ContactlessNames.h"

#include <cstdio>

#include "core/contactless/ContactlessAtr.h"

namespace {

struct StandardEntry {
    std::uint8_t code;
    const char* name;
};

// SS of a storage-card ATR. 0D to 10 are the contact buses of ISO/IEC 7816-10.
constexpr StandardEntry kStandards[] = {
    {0x00, "no standard given"},   {0x01, "ISO 14443 A part 1"},
    {0x02, "ISO 14443 A part 2"},  {0x03, "ISO 14443 A part 3"},
    {0x05, "ISO 14443 B part 1"},  {0x06, "ISO 14443 B part 2"},
    {0x07, "ISO 14443 B part 3"},  {0x09, "ISO 15693 part 1"},
    {0x0A, "ISO 15693 part 2"},    {0x0B, "ISO 15693 part 3"},
    {0x0C, "ISO 15693 part 4"},    {0x0D, "I2C bus"},
    {0x0E, "extended I2C bus"},    {0x0F, "2-wire bus protocol"},
    {0x10, "3-wire bus protocol"}, {0x11, "FeliCa"},
};

struct CardNameEntry {
    std::uint16_t code;
    const char* name;
};

// NN NN of a storage-card ATR, as PC/SC registers them.
constexpr CardNameEntry kCardNames[] = {
    {0x0001, "MIFARE Classic 1K"},
    {0x0002, "MIFARE Classic 4K"},
    {0x0003, "MIFARE Ultralight"},
    {0x0004, "SLE55R_XXXX"},
    {0x0006, "SR176"},
    {0x0007, "SRI X4K"},
    {0x0008, "AT88RF020"},
    {0x0009, "AT88SC0204CRF"},
    {0x000A, "AT88SC0808CRF"},
    {0x000B, "AT88SC1616CRF"},
    {0x000C, "AT88SC3216CRF"},
    {0x000D, "AT88SC6416CRF"},
    {0x000E, "SRF55V10P"},
    {0x000F, "SRF55V02P"},
    {0x0010, "SRF55V10S"},
    {0x0011, "SRF55V02S"},
    {0x0012, "TAG_IT"},
    {0x0013, "LRI512"},
    {0x0014, "ICODE SLI"},
    {0x0015, "TEMPSENS"},
    {0x0016, "I.CODE1"},
    {0x0017, "PicoPass 2K"},
    {0x0018, "PicoPass 2KS"},
    {0x0019, "PicoPass 16K"},
    {0x001A, "PicoPass 16KS"},
    {0x001B, "PicoPass 16K (8x2)"},
    {0x001C, "PicoPass 16KS (8x2)"},
    {0x001D, "PicoPass 32KS (16+16)"},
    {0x001E, "PicoPass 32KS (16+8x2)"},
    {0x001F, "PicoPass 32KS (8x2+16)"},
    {0x0020, "PicoPass 32KS (8x2+8x2)"},
    {0x0021, "LRI64"},
    {0x0022, "I.CODE UID"},
    {0x0023, "I.CODE EPC"},
    {0x0024, "LRI12"},
    {0x0025, "LRI128"},
    {0x0026, "MIFARE Mini"},
    {0x0027, "my-d move (SLE 66R01P)"},
    {0x0028, "my-d NFC (SLE 66RxxP)"},
    {0x0029, "my-d proximity 2 (SLE 66RxxS)"},
    {0x002A, "my-d proximity enhanced (SLE 55RxxE)"},
    {0x002B, "my-d light (SRF 55V01P)"},
    {0x002C, "PJM Stack Tag (SRF 66V10 ST)"},
    {0x002D, "PJM Item Tag (SRF 66V10 IT)"},
    {0x002E, "PJM Light (SRF 66V01 ST)"},
    {0x002F, "Jewel"},
    {0x0030, "Topaz"},
    {0x0031, "AT88SC0104CRF"},
    {0x0032, "AT88SC0404CRF"},
    {0x0033, "AT88RF01C"},
    {0x0034, "AT88RF04C"},
    {0x0035, "i-Code SL2"},
    {0x0036, "MIFARE Plus SL1 2K"},
    {0x0037, "MIFARE Plus SL1 4K"},
    {0x0038, "MIFARE Plus SL2 2K"},
    {0x0039, "MIFARE Plus SL2 4K"},
    {0x003A, "MIFARE Ultralight C"},
    {0x003B, "FeliCa"},
    {0x003D, "MIFARE Ultralight EV1"},
};

bool ContactBus(std::uint8_t standard) {
    return standard >= 0x0D && standard <= 0x10;
}

bool ContactlessStandard(std::uint8_t standard) {
    return (standard >= 0x01 && standard <= 0x0C) || standard == 0x11;
}

std::string HexBytes(const Bytes& bytes) {
    std::string text;
    char pair[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        text += pair;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string StandardName(std::uint8_t standard) {
    for (const StandardEntry& entry : kStandards) {
        if (entry.code == standard) {
            return entry.name;
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "standard %02X", standard);
    return text;
}

std::string CardNameText(std::uint16_t cardName) {
    for (const CardNameEntry& entry : kCardNames) {
        if (entry.code == cardName) {
            return entry.name;
        }
    }
    char text[24];
    std::snprintf(text, sizeof text, "card name %02X %02X", cardName >> 8, cardName & 0xFF);
    return text;
}

namespace {

// "Contactless, ISO 14443 A part 3, MIFARE Classic 1K"; storage cards on a contact bus start
// with "Contact, ", those without a standard with "Storage card, ".
std::string StorageSummary(const ContactlessAtr& parsed) {
    const std::string kind = ContactBus(parsed.standard)            ? "Contact, "
                             : ContactlessStandard(parsed.standard) ? "Contactless, "
                                                                    : "Storage card, ";
    return kind + StandardName(parsed.standard) + ", " + CardNameText(parsed.cardName);
}

}  // namespace

std::optional<std::string> ContactlessSummary(const std::uint8_t* atr, std::size_t length) {
    const auto parsed = ParseContactlessAtr(atr, length);
    if (!parsed) {
        return std::nullopt;
    }
    if (parsed->kind == ContactlessAtr::Kind::Iso14443_4) {
        return std::string("Contactless, ISO 14443-4");
    }
    if (!ContactlessStandard(parsed->standard)) {
        return std::nullopt;
    }
    return StorageSummary(*parsed);
}

std::optional<std::string> DescribeContactlessAtr(const std::uint8_t* atr, std::size_t length) {
    const auto parsed = ParseContactlessAtr(atr, length);
    if (!parsed) {
        return std::nullopt;
    }
    if (parsed->kind == ContactlessAtr::Kind::Iso14443_4) {
        const Bytes& h = parsed->historical;
        std::string text = "Contactless, ISO 14443-4: the historical bytes " + HexBytes(h) +
                           " are those of the ATS (type A)";
        if (h.size() == 8) {
            text += ", or the ATQB's application data " +
                    HexBytes(Bytes(h.begin(), h.begin() + 4)) + ", protocol information " +
                    HexBytes(Bytes(h.begin() + 4, h.begin() + 7)) + " and MBLI " +
                    HexBytes(Bytes(h.begin() + 7, h.end())) + " (type B)";
        }
        return text;
    }
    char codes[64];
    std::snprintf(codes, sizeof codes, " (PC/SC storage card: SS = %02X, NN = %02X %02X)",
                  parsed->standard, parsed->cardName >> 8, parsed->cardName & 0xFF);
    return StorageSummary(*parsed) + codes;
}
