#include "insight/ReaderAttributes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace {

enum class Shape {
    Text,
    Version,
    Channel,
    Protocols,
    KiloHertz,
    BitsPerSecond,
    Bytes,
    Power,
    Presence,
    Interface,
    Hex
};

struct AttributeRow {
    std::string_view constant;
    std::string_view label;
    Shape shape;
};

// In the order of ReaderAttribute.
constexpr std::array<AttributeRow, kReaderAttributeCount> kAttributes{{
    {"SCARD_ATTR_VENDOR_NAME", "Vendor name", Shape::Text},
    {"SCARD_ATTR_VENDOR_IFD_TYPE", "IFD type", Shape::Text},
    {"SCARD_ATTR_VENDOR_IFD_VERSION", "IFD version", Shape::Version},
    {"SCARD_ATTR_VENDOR_IFD_SERIAL_NO", "Serial number", Shape::Text},
    {"SCARD_ATTR_CHANNEL_ID", "Channel ID", Shape::Channel},
    {"SCARD_ATTR_ASYNC_PROTOCOL_TYPES", "Protocol types", Shape::Protocols},
    {"SCARD_ATTR_DEFAULT_CLK", "Default clock", Shape::KiloHertz},
    {"SCARD_ATTR_MAX_CLK", "Maximum clock", Shape::KiloHertz},
    {"SCARD_ATTR_DEFAULT_DATA_RATE", "Default data rate", Shape::BitsPerSecond},
    {"SCARD_ATTR_MAX_DATA_RATE", "Maximum data rate", Shape::BitsPerSecond},
    {"SCARD_ATTR_MAX_IFSD", "Maximum IFSD", Shape::Bytes},
    {"SCARD_ATTR_POWER_MGMT_SUPPORT", "Power management", Shape::Power},
    {"SCARD_ATTR_CURRENT_PROTOCOL_TYPE", "Current protocol", Shape::Protocols},
    {"SCARD_ATTR_ICC_PRESENCE", "ICC presence", Shape::Presence},
    {"SCARD_ATTR_ICC_INTERFACE_STATUS", "ICC interface status", Shape::Interface},
    {"SCARD_ATTR_ATR_STRING", "ATR", Shape::Hex},
    {"SCARD_ATTR_DEVICE_FRIENDLY_NAME", "Friendly name", Shape::Text},
}};

const AttributeRow& Row(ReaderAttribute attribute) {
    return kAttributes[static_cast<std::size_t>(attribute) % kAttributes.size()];
}

std::string Format(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string HexText(const std::uint8_t* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += Format(i == 0 ? "%02X" : " %02X", bytes[i]);
    }
    return text;
}

// Printable ASCII as it is, anything else as a dot; trailing zeros dropped.
std::string PlainText(const std::uint8_t* bytes, std::size_t length) {
    while (length > 0 && bytes[length - 1] == 0) {
        --length;
    }
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
    }
    return text;
}

std::string NumberText(Shape shape, std::uint32_t value) {
    switch (shape) {
        case Shape::Version:
            return IfdVersionText(value);
        case Shape::Channel:
            return ChannelIdText(value);
        case Shape::Protocols:
            return ProtocolMaskText(value);
        case Shape::KiloHertz:
            return Format("%u kHz", value);
        case Shape::BitsPerSecond:
            return Format("%u bps", value);
        case Shape::Bytes:
            return Format("%u bytes", value);
        case Shape::Power:
            return value == 0 ? "not supported" : "supported";
        case Shape::Presence:
            switch (value) {
                case 0:
                    return "not present";
                case 1:
                    return "present";
                case 2:
                    return "present and swallowed";
                case 4:
                    return "confiscated";
                default:
                    return Format("unknown (%u)", value);
            }
        case Shape::Interface:
            return value == 0 ? "contacts inactive" : "contacts active";
        default:
            return Format("%u", value);
    }
}

}  // namespace

std::string_view AttributeConstantName(ReaderAttribute attribute) {
    return Row(attribute).constant;
}

std::string_view AttributeLabel(ReaderAttribute attribute) {
    return Row(attribute).label;
}

std::string DescribeAttribute(ReaderAttribute attribute, const std::uint8_t* value,
                              std::size_t length) {
    const Shape shape = Row(attribute).shape;
    if (length == 0 || value == nullptr) {
        return "(empty)";
    }
    if (shape == Shape::Text) {
        const std::string text = PlainText(value, length);
        return text.empty() ? "(empty)" : text;
    }
    if (shape == Shape::Hex) {
        return HexText(value, length);
    }
    if (const auto number = AttributeNumber(value, length)) {
        return NumberText(shape, *number);
    }
    return Format("%zu bytes: ", length) + HexText(value, length);
}

std::optional<std::uint32_t> AttributeNumber(const std::uint8_t* bytes, std::size_t length) {
    // A DWORD of 64-bit Linux has 8 bytes; its upper half must then be zero.
    if (length == 8 && std::all_of(bytes + 4, bytes + 8, [](std::uint8_t b) { return b == 0; })) {
        length = 4;
    }
    if (length == 0 || length > 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = length; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

std::string IfdVersionText(std::uint32_t version) {
    return Format("%u.%u.%u", version >> 24, (version >> 16) & 0xFF, version & 0xFFFF);
}

std::string ChannelIdText(std::uint32_t channel) {
    const std::uint32_t bus = channel >> 16;
    const std::uint32_t number = channel & 0xFFFF;
    std::string name;
    switch (bus) {
        case 0x01:
            name = "serial";
            break;
        case 0x02:
            name = "parallel";
            break;
        case 0x04:
            name = "PS/2 keyboard";
            break;
        case 0x08:
            name = "SCSI";
            break;
        case 0x10:
            name = "IDE";
            break;
        case 0x20:
            name = "USB";
            break;
        default:
            name = (bus & 0xFFF0) == 0x00F0 ? Format("vendor-defined bus %u", bus & 0xF)
                                            : Format("unknown bus 0x%04X", bus);
    }
    return name + Format(", channel 0x%04X", number);
}

std::string ProtocolMaskText(std::uint32_t mask) {
    std::string text;
    for (unsigned t = 0; t < 32; ++t) {
        if (mask & (1u << t)) {
            text += (text.empty() ? "" : ", ") + Format("T=%u", t);
        }
    }
    return text.empty() ? "none" : text;
}

std::string ReaderStateFlagsText(const ReaderStatusFacts& status) {
    std::string text;
    const std::pair<bool, const char*> flags[] = {
        {status.present, "present"}, {status.empty, "empty"}, {status.exclusive, "exclusive"},
        {status.inUse, "in use"},    {status.mute, "mute"},   {status.unpowered, "unpowered"},
    };
    for (const auto& [set, name] : flags) {
        if (set) {
            text += (text.empty() ? "" : ", ") + std::string(name);
        }
    }
    return text.empty() ? "none" : text;
}
