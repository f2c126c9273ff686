// The feature-list, TLV-property and PIN-property parsers over arbitrary bytes in a buffer
// of exactly their length, so that a read past it is caught by the address checker; what
// they parse is checked against the bytes.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "insight/ReaderAttributes.h"
#include "insight/ReaderFeatures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);

    const FeatureList list = ParseFeatureList(bytes.data(), bytes.size());
    FUZZ_CHECK(6 * list.features.size() + 2 * list.skipped <= bytes.size());
    for (const ReaderFeature& feature : list.features) {
        FUZZ_CHECK(!FeatureName(feature.tag).empty());
        FUZZ_CHECK(FindFeature(list, feature.tag).has_value());
    }

    const TlvProperties tlv = ParseTlvProperties(bytes.data(), bytes.size());
    std::size_t consumed = 0;
    for (const TlvProperty& property : tlv.properties) {
        consumed += 2 + property.value.size();
        FUZZ_CHECK(!TlvPropertyName(property.tag).empty());
        DescribeTlvProperty(property);
    }
    // Whole entries account for every byte unless the last one was cut short.
    FUZZ_CHECK(consumed <= bytes.size());
    FUZZ_CHECK(tlv.truncated == (consumed != bytes.size()));
    // Both lists are framed alike: the same entries, cut at the same place.
    FUZZ_CHECK(list.features.size() + list.skipped == tlv.properties.size());
    FUZZ_CHECK(list.truncated == tlv.truncated);

    const auto pin = ParsePinProperties(bytes.data(), bytes.size());
    FUZZ_CHECK(pin.has_value() == (bytes.size() >= 4));
    for (int kind = 0; kind < kReaderAttributeCount; ++kind) {
        FUZZ_CHECK(
            !DescribeAttribute(static_cast<ReaderAttribute>(kind), bytes.data(), bytes.size())
                 .empty());
    }
    return 0;
}
