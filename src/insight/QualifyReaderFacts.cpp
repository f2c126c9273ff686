#include "insight/QualifyReaderFacts.h"

#include "core/session/ReaderControl.h"
#include "insight/ReaderAttributes.h"
#include "insight/ReaderFeatures.h"

namespace {
constexpr std::uint8_t kFeatureVerifyPinDirect = 0x06;
constexpr std::uint8_t kPropertyMaxApduDataSize = 0x0A;
}  // namespace

QualifyReaderFacts ReadQualifyReaderFacts(ReaderControl& control, const std::string& reader) {
    QualifyReaderFacts facts;
    ReaderAccess access = ReaderAccess::Direct;
    if (control.Open(reader, access) != 0) {
        return facts;
    }
    std::vector<std::uint8_t> value;
    if (control.GetAttribute(ReaderAttribute::MaxIfsd, value) == 0) {
        if (const auto ifsd = AttributeNumber(value.data(), value.size()); ifsd && *ifsd > 0) {
            facts.limits.push_back(*ifsd);
        }
    }
    std::vector<std::uint8_t> reply;
    if (control.Control(control.FeatureRequestCode(), {}, reply) == 0) {
        const FeatureList features = ParseFeatureList(reply.data(), reply.size());
        facts.verifyPinDirect = FindFeature(features, kFeatureVerifyPinDirect);
        if (const auto tlv = FindFeature(features, kFeatureGetTlvProperties);
            tlv && control.Control(*tlv, {}, reply) == 0) {
            for (const TlvProperty& property :
                 ParseTlvProperties(reply.data(), reply.size()).properties) {
                if (property.tag != kPropertyMaxApduDataSize) {
                    continue;
                }
                if (const auto size = AttributeNumber(property.value.data(), property.value.size());
                    size && *size > 0) {
                    facts.limits.push_back(*size);
                }
            }
        }
    }
    control.Close();
    return facts;
}
