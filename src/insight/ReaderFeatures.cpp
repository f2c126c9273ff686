#include "insight/ReaderFeatures.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace {

std::string Hex(const char* format, unsigned value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::uint32_t LittleEndian(const std::vector<std::uint8_t>& value) {
    std::uint32_t number = 0;
    for (std::size_t i = std::min<std::size_t>(value.size(), 4); i-- > 0;) {
        number = number << 8 | value[i];
    }
    return number;
}

constexpr std::array<std::string_view, 0x14> kFeatureNames{
    "",
    "FEATURE_VERIFY_PIN_START",
    "FEATURE_VERIFY_PIN_FINISH",
    "FEATURE_MODIFY_PIN_START",
    "FEATURE_MODIFY_PIN_FINISH",
    "FEATURE_GET_KEY_PRESSED",
    "FEATURE_VERIFY_PIN_DIRECT",
    "FEATURE_MODIFY_PIN_DIRECT",
    "FEATURE_MCT_READER_DIRECT",
    "FEATURE_MCT_UNIVERSAL",
    "FEATURE_IFD_PIN_PROPERTIES",
    "FEATURE_ABORT",
    "FEATURE_SET_SPE_MESSAGE",
    "FEATURE_VERIFY_PIN_DIRECT_APP_ID",
    "FEATURE_MODIFY_PIN_DIRECT_APP_ID",
    "FEATURE_WRITE_DISPLAY",
    "FEATURE_GET_KEY",
    "FEATURE_IFD_DISPLAY_PROPERTIES",
    "FEATURE_GET_TLV_PROPERTIES",
    "FEATURE_CCID_ESC_COMMAND",
};
constexpr std::uint8_t kFeatureExecutePace = 0x20;

enum : std::uint8_t {
    kLcdLayout = 1,
    kEntryValidationCondition,
    kTimeOut2,
    kLcdMaxCharacters,
    kLcdMaxLines,
    kMinPinSize,
    kMaxPinSize,
    kFirmwareId,
    kPpduSupport,
    kMaxApduDataSize,
    kIdVendor,
    kIdProduct,
};
constexpr std::array<std::string_view, 13> kPropertyNames{
    "",
    "wLcdLayout",
    "bEntryValidationCondition",
    "bTimeOut2",
    "wLcdMaxCharacters",
    "wLcdMaxLines",
    "bMinPINSize",
    "bMaxPINSize",
    "sFirmwareID",
    "bPPDUSupport",
    "dwMaxAPDUDataSize",
    "wIdVendor",
    "wIdProduct",
};

}  // namespace

FeatureList ParseFeatureList(const std::uint8_t* data, std::size_t length) {
    FeatureList list;
    std::size_t at = 0;
    while (at < length) {
        if (length - at < 2 || length - at - 2 < data[at + 1]) {
            list.truncated = true;
            break;
        }
        const std::uint8_t tag = data[at];
        const std::uint8_t size = data[at + 1];
        const std::uint8_t* value = data + at + 2;
        if (size == 4) {
            list.features.push_back({tag, std::uint32_t{value[0]} << 24 |
                                              std::uint32_t{value[1]} << 16 |
                                              std::uint32_t{value[2]} << 8 | value[3]});
        } else {
            ++list.skipped;
        }
        at += 2 + size;
    }
    return list;
}

std::optional<std::uint32_t> FindFeature(const FeatureList& list, std::uint8_t tag) {
    for (const ReaderFeature& feature : list.features) {
        if (feature.tag == tag) {
            return feature.controlCode;
        }
    }
    return std::nullopt;
}

std::string FeatureName(std::uint8_t tag) {
    if (tag < kFeatureNames.size() && !kFeatureNames[tag].empty()) {
        return std::string(kFeatureNames[tag]);
    }
    if (tag == kFeatureExecutePace) {
        return "FEATURE_EXECUTE_PACE";
    }
    return Hex("FEATURE_0x%02X", tag);
}

TlvProperties ParseTlvProperties(const std::uint8_t* data, std::size_t length) {
    TlvProperties result;
    std::size_t at = 0;
    while (at < length) {
        if (length - at < 2 || length - at - 2 < data[at + 1]) {
            result.truncated = true;
            break;
        }
        const std::uint8_t size = data[at + 1];
        result.properties.push_back({data[at], {data + at + 2, data + at + 2 + size}});
        at += 2 + size;
    }
    return result;
}

std::string TlvPropertyName(std::uint8_t tag) {
    if (tag != 0 && tag < kPropertyNames.size()) {
        return std::string(kPropertyNames[tag]);
    }
    return Hex("property 0x%02X", tag);
}

std::string DescribeTlvProperty(const TlvProperty& property) {
    const std::vector<std::uint8_t>& value = property.value;
    if (property.tag == kFirmwareId) {
        std::string text;
        for (std::uint8_t byte : value) {
            if (byte != 0) {
                text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
            }
        }
        return text;
    }
    // Every other property is a number of one, two or four bytes.
    if (value.empty() || value.size() > 4 || value.size() == 3) {
        std::string text = std::to_string(value.size()) + " bytes:";
        for (std::uint8_t byte : value) {
            text += Hex(" %02X", byte);
        }
        return text;
    }
    const std::uint32_t number = LittleEndian(value);
    switch (property.tag) {
        case kLcdLayout:
            return LcdLayoutText(static_cast<std::uint16_t>(number));
        case kEntryValidationCondition:
            return EntryValidationText(static_cast<std::uint8_t>(number));
        case kTimeOut2:
            return std::to_string(number) + " s";
        case kPpduSupport:
            return PpduSupportText(static_cast<std::uint8_t>(number));
        case kMaxApduDataSize:
            return std::to_string(number) + " bytes";
        case kIdVendor:
        case kIdProduct:
            return Hex("0x%04X", number);
        default:
            return std::to_string(number);
    }
}

std::optional<PinProperties> ParsePinProperties(const std::uint8_t* data, std::size_t length) {
    if (length < 4) {
        return std::nullopt;
    }
    return PinProperties{static_cast<std::uint16_t>(data[0] | data[1] << 8), data[2], data[3]};
}

std::string LcdLayoutText(std::uint16_t layout) {
    if (layout == 0) {
        return "no display";
    }
    return std::to_string(layout >> 8) + " lines of " + std::to_string(layout & 0xFF) +
           " characters";
}

std::string EntryValidationText(std::uint8_t condition) {
    std::string text;
    const std::pair<std::uint8_t, const char*> bits[] = {
        {0x01, "maximum size reached"}, {0x02, "validation key pressed"}, {0x04, "timeout"}};
    for (const auto& [bit, name] : bits) {
        if (condition & bit) {
            text += (text.empty() ? "" : ", ") + std::string(name);
        }
    }
    return Hex("0x%02X", condition) + (text.empty() ? "" : " (" + text + ")");
}

std::string PpduSupportText(std::uint8_t support) {
    std::string text;
    if (support & 0x01) {
        text = "over SCardControl (FEATURE_CCID_ESC_COMMAND)";
    }
    if (support & 0x02) {
        text += (text.empty() ? "" : ", ") + std::string("over SCardTransmit");
    }
    return Hex("0x%02X", support) + (text.empty() ? " (none)" : " (" + text + ")");
}

std::optional<std::uint32_t> ParseControlCodeNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}
