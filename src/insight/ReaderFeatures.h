#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A reader's Part 10 features and properties, parsed from the bytes it answered. The
// parsers read only within the length given: an entry that runs past it ends the list and
// marks it truncated.

inline constexpr std::uint8_t kFeatureIfdPinProperties = 0x0A;
inline constexpr std::uint8_t kFeatureGetTlvProperties = 0x12;
inline constexpr std::uint8_t kFeatureCcidEscCommand = 0x13;

struct ReaderFeature {
    std::uint8_t tag = 0;
    std::uint32_t controlCode = 0;
};

// The feature list: entries of tag, length 4 and the control code, big-endian. An entry of
// another length is skipped as a whole.
struct FeatureList {
    std::vector<ReaderFeature> features;
    std::size_t skipped = 0;  // entries whose length was not 4
    bool truncated = false;   // bytes left over that do not make a whole entry
};
FeatureList ParseFeatureList(const std::uint8_t* data, std::size_t length);

// The control code of the first feature with that tag.
std::optional<std::uint32_t> FindFeature(const FeatureList& list, std::uint8_t tag);

// The feature's name as the PC/SC headers spell it, e.g. "FEATURE_VERIFY_PIN_DIRECT"; for a
// tag without one, "FEATURE_0xNN".
std::string FeatureName(std::uint8_t tag);

// The TLV properties: entries of tag, length and a little-endian value (a text for
// sFirmwareID).
struct TlvProperty {
    std::uint8_t tag = 0;
    std::vector<std::uint8_t> value;
};
struct TlvProperties {
    std::vector<TlvProperty> properties;
    bool truncated = false;
};
TlvProperties ParseTlvProperties(const std::uint8_t* data, std::size_t length);

// "wLcdLayout" and the like; "property 0xNN" for a tag without a name.
std::string TlvPropertyName(std::uint8_t tag);
// The value decoded, e.g. "2 lines of 16 characters", "0x08E6".
std::string DescribeTlvProperty(const TlvProperty& property);

// The PIN properties record: wLcdLayout, bEntryValidationCondition, bTimeOut2.
struct PinProperties {
    std::uint16_t lcdLayout = 0;
    std::uint8_t entryValidationCondition = 0;
    std::uint8_t timeOut2 = 0;
};
// Empty when the record is shorter than its four bytes.
std::optional<PinProperties> ParsePinProperties(const std::uint8_t* data, std::size_t length);

// Texts of the shared fields.
std::string LcdLayoutText(std::uint16_t layout);
std::string EntryValidationText(std::uint8_t condition);
std::string PpduSupportText(std::uint8_t support);

// A control code as typed: decimal or 0x-prefixed hex (see ResolveControlCode).
std::optional<std::uint32_t> ParseControlCodeNumber(std::string_view text);
