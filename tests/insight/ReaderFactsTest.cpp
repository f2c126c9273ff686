#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "insight/ReaderAttributes.h"
#include "insight/ReaderFeatures.h"
#include "insight/ReaderReport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct AttributeCase {
    ReaderAttribute attribute;
    Bytes value;
    const char* text;
};

TEST(ReaderAttributes, DecodeEachValueByItsKind) {
    const AttributeCase cases[] = {
        {ReaderAttribute::VendorName, {'A', 'C', 'M', 'E', 0, 0}, "ACME"},
        {ReaderAttribute::VendorIfdSerialNo, {'1', 0x07, '2'}, "1.2"},
        {ReaderAttribute::VendorIfdVersion, {0x03, 0x00, 0x02, 0x01}, "1.2.3"},
        {ReaderAttribute::ChannelId, {0x05, 0x03, 0x20, 0x00}, "USB, channel 0x0305"},
        {ReaderAttribute::ChannelId, {0x00, 0x00, 0x01, 0x00}, "serial, channel 0x0000"},
        {ReaderAttribute::ChannelId,
         {0x01, 0x00, 0xF3, 0x00},
         "vendor-defined bus 3, channel 0x0001"},
        {ReaderAttribute::ChannelId,
         {0x01, 0x00, 0x30, 0xF0},
         "unknown bus 0xF030, channel 0x0001"},
        {ReaderAttribute::ChannelId, {0x05, 0x03, 0x20, 0x00, 0, 0, 0, 0}, "USB, channel 0x0305"},
        {ReaderAttribute::ChannelId,
         {0x00, 0x00, 0x40, 0x00},
         "unknown bus 0x0040, channel 0x0000"},
        {ReaderAttribute::ProtocolTypes, {0x03, 0, 0, 0}, "T=0, T=1"},
        {ReaderAttribute::CurrentProtocolType, {0x00, 0, 0, 0x80}, "T=31"},
        {ReaderAttribute::CurrentProtocolType, {0, 0, 0, 0}, "none"},
        {ReaderAttribute::DefaultClock, {0xA0, 0x0F, 0, 0}, "4000 kHz"},
        {ReaderAttribute::MaxDataRate, {0x20, 0xA1, 0x07, 0x00}, "500000 bps"},
        {ReaderAttribute::MaxIfsd, {0xFE, 0x00}, "254 bytes"},
        {ReaderAttribute::PowerManagement, {0x01, 0, 0, 0}, "supported"},
        {ReaderAttribute::PowerManagement, {0}, "not supported"},
        {ReaderAttribute::IccPresence, {0x02}, "present and swallowed"},
        {ReaderAttribute::IccPresence, {0x03}, "unknown (3)"},
        {ReaderAttribute::IccInterfaceStatus, {0x01}, "contacts active"},
        {ReaderAttribute::AtrString, {0x3B, 0x95, 0x13}, "3B 95 13"},
        // Hostile and odd lengths: never read beyond the value, say what came instead.
        {ReaderAttribute::MaxClock, {}, "(empty)"},
        {ReaderAttribute::VendorIfdType, {0, 0}, "(empty)"},
        {ReaderAttribute::MaxClock, {1, 2, 3, 4, 5}, "5 bytes: 01 02 03 04 05"},
        {ReaderAttribute::DefaultClock, {0xA0, 0x0F, 0, 0, 0, 0, 0, 0}, "4000 kHz"},
        {ReaderAttribute::DefaultClock,
         {0xA0, 0x0F, 0, 0, 0, 0, 0, 1},
         "8 bytes: A0 0F 00 00 00 00 00 01"},
    };
    for (const AttributeCase& c : cases) {
        EXPECT_EQ(DescribeAttribute(c.attribute, c.value.data(), c.value.size()), c.text)
            << AttributeConstantName(c.attribute);
    }
    EXPECT_EQ(AttributeConstantName(ReaderAttribute::DeviceFriendlyName),
              "SCARD_ATTR_DEVICE_FRIENDLY_NAME");
    EXPECT_EQ(AttributeLabel(ReaderAttribute::MaxIfsd), "Maximum IFSD");
}

class ChannelOnlyReader : public ReaderControl {
  public:
    MOCK_METHOD(std::uint32_t, GetAttribute, (ReaderAttribute, std::vector<std::uint8_t>&),
                (override));
    std::uint32_t Open(const std::string&, ReaderAccess&) override { return 0; }
    std::uint32_t Control(std::uint32_t, const std::vector<std::uint8_t>&,
                          std::vector<std::uint8_t>&) override {
        return 0x80100016;
    }
    std::uint32_t Status(ReaderStatusFacts&) override { return 0x80100016; }
    std::uint32_t Close() override { return 0; }
    std::uint32_t ControlCode(std::uint32_t function) const override { return function; }
    std::uint32_t FeatureRequestCode() const override { return 1; }
};

// The USB check reads the channel as the table shows it, a DWORD of 4 or 8 bytes.
TEST(ReaderReport, FindsTheUsbChannelInEitherDwordSize) {
    const std::pair<Bytes, bool> cases[] = {
        {{0x05, 0x03, 0x20, 0x00}, true},
        {{0x05, 0x03, 0x20, 0x00, 0, 0, 0, 0}, true},
        {{0x05, 0x03, 0x20, 0x00, 0, 0, 1, 0}, false},
        {{0x05, 0x03, 0x01, 0x00}, false},
    };
    for (const auto& [channel, usb] : cases) {
        ChannelOnlyReader reader;
        EXPECT_CALL(reader, GetAttribute(::testing::_, ::testing::_))
            .WillRepeatedly(::testing::Return(0x80100016));
        EXPECT_CALL(reader, GetAttribute(ReaderAttribute::ChannelId, ::testing::_))
            .WillOnce(::testing::DoAll(::testing::SetArgReferee<1>(channel), ::testing::Return(0)));
        EXPECT_EQ(ReadReaderReport(reader, "reader").usb, usb) << channel.size();
    }
}

TEST(ReaderAttributes, SpellOutTheStateFlags) {
    ReaderStatusFacts status;
    EXPECT_EQ(ReaderStateFlagsText(status), "none");
    status.present = status.exclusive = status.inUse = status.mute = status.unpowered = true;
    EXPECT_EQ(ReaderStateFlagsText(status), "present, exclusive, in use, mute, unpowered");
}

struct FeatureListCase {
    Bytes bytes;
    std::vector<std::pair<std::uint8_t, std::uint32_t>> features;
    std::size_t skipped;
    bool truncated;
};

TEST(ReaderFeatures, ParseTheFeatureListWithinItsLength) {
    const FeatureListCase cases[] = {
        {{}, {}, 0, false},
        {{0x06, 0x04, 0x42, 0x33, 0x00, 0x06, 0x13, 0x04, 0x42, 0x00, 0x0D, 0xAC},
         {{0x06, 0x42330006}, {0x13, 0x42000DAC}},
         0,
         false},
        // An entry of another length is stepped over as a whole.
        {{0x01, 0x02, 0xAA, 0xBB, 0x12, 0x04, 0x00, 0x00, 0x00, 0x01}, {{0x12, 1}}, 1, false},
        // Lengths that run past the end: a lone tag, a length of 4 with three bytes, 255.
        {{0x06}, {}, 0, true},
        {{0x06, 0x04, 0x42, 0x33, 0x00}, {}, 0, true},
        {{0x12, 0x04, 0, 0, 0, 1, 0x13, 0xFF, 0x00}, {{0x12, 1}}, 0, true},
    };
    for (const FeatureListCase& c : cases) {
        const FeatureList list = ParseFeatureList(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(list.features.size(), c.features.size());
        for (std::size_t i = 0; i < c.features.size(); ++i) {
            EXPECT_EQ(list.features[i].tag, c.features[i].first);
            EXPECT_EQ(list.features[i].controlCode, c.features[i].second);
        }
        EXPECT_EQ(list.skipped, c.skipped);
        EXPECT_EQ(list.truncated, c.truncated);
    }
    const Bytes twice{0x13, 4, 0, 0, 0, 1, 0x13, 4, 0, 0, 0, 2};
    const FeatureList list = ParseFeatureList(twice.data(), twice.size());
    EXPECT_EQ(FindFeature(list, kFeatureCcidEscCommand), 1u);
    EXPECT_EQ(FindFeature(list, kFeatureGetTlvProperties), std::nullopt);
}

TEST(ReaderFeatures, NameTheFeaturesAsTheHeadersDo) {
    const std::pair<std::uint8_t, const char*> names[] = {
        {0x01, "FEATURE_VERIFY_PIN_START"},
        {0x06, "FEATURE_VERIFY_PIN_DIRECT"},
        {0x0A, "FEATURE_IFD_PIN_PROPERTIES"},
        {0x0D, "FEATURE_VERIFY_PIN_DIRECT_APP_ID"},
        {0x11, "FEATURE_IFD_DISPLAY_PROPERTIES"},
        {0x12, "FEATURE_GET_TLV_PROPERTIES"},
        {0x13, "FEATURE_CCID_ESC_COMMAND"},
        {0x20, "FEATURE_EXECUTE_PACE"},
        {0x00, "FEATURE_0x00"},
        {0x14, "FEATURE_0x14"},
    };
    for (const auto& [tag, name] : names) {
        EXPECT_EQ(FeatureName(tag), name);
    }
}

TEST(ReaderFeatures, DecodeTheTlvProperties) {
    const Bytes bytes{0x01, 0x02, 0x10, 0x02,                    // wLcdLayout
                      0x02, 0x01, 0x02,                          // bEntryValidationCondition
                      0x03, 0x01, 0x1E,                          // bTimeOut2
                      0x06, 0x01, 0x04, 0x07, 0x01, 0x08,        // PIN sizes
                      0x08, 0x05, 'F',  'W',  '1',  '.',  0x00,  // sFirmwareID
                      0x09, 0x01, 0x03,                          // bPPDUSupport
                      0x0A, 0x04, 0x00, 0x01, 0x00, 0x00,        // dwMaxAPDUDataSize
                      0x0B, 0x02, 0xE6, 0x08,                    // wIdVendor
                      0x0C, 0x02, 0x34, 0x12,                    // wIdProduct
                      0x04, 0x03, 1,    2,    3,                 // a number of three bytes
                      0x30, 0x01, 0x05};                         // a tag without a name
    const TlvProperties parsed = ParseTlvProperties(bytes.data(), bytes.size());
    EXPECT_FALSE(parsed.truncated);
    const std::pair<const char*, const char*> expected[] = {
        {"wLcdLayout", "2 lines of 16 characters"},
        {"bEntryValidationCondition", "0x02 (validation key pressed)"},
        {"bTimeOut2", "30 s"},
        {"bMinPINSize", "4"},
        {"bMaxPINSize", "8"},
        {"sFirmwareID", "FW1."},
        {"bPPDUSupport", "0x03 (over SCardControl (FEATURE_CCID_ESC_COMMAND), over SCardTransmit)"},
        {"dwMaxAPDUDataSize", "256 bytes"},
        {"wIdVendor", "0x08E6"},
        {"wIdProduct", "0x1234"},
        {"wLcdMaxCharacters", "3 bytes: 01 02 03"},
        {"property 0x30", "5"},
    };
    ASSERT_EQ(parsed.properties.size(), std::size(expected));
    for (std::size_t i = 0; i < parsed.properties.size(); ++i) {
        EXPECT_EQ(TlvPropertyName(parsed.properties[i].tag), expected[i].first);
        EXPECT_EQ(DescribeTlvProperty(parsed.properties[i]), expected[i].second);
    }
    for (const Bytes& hostile : {Bytes{0x08}, Bytes{0x08, 0x06, 'a', 'b', 'c', 'd', 'e'},
                                 Bytes{0x01, 0x02, 0x00, 0x00, 0x0A, 0xFF}}) {
        const TlvProperties cut = ParseTlvProperties(hostile.data(), hostile.size());
        EXPECT_TRUE(cut.truncated);
        EXPECT_EQ(cut.properties.size(), hostile.size() == 6 ? 1u : 0u);
    }
}

TEST(ReaderFeatures, ReadThePinPropertiesAndControlCodes) {
    const Bytes pin{0x00, 0x00, 0x07, 0x00};
    const auto properties = ParsePinProperties(pin.data(), pin.size());
    ASSERT_TRUE(properties);
    EXPECT_EQ(LcdLayoutText(properties->lcdLayout), "no display");
    EXPECT_EQ(EntryValidationText(properties->entryValidationCondition),
              "0x07 (maximum size reached, validation key pressed, timeout)");
    EXPECT_FALSE(ParsePinProperties(pin.data(), 3));
    EXPECT_EQ(PpduSupportText(0), "0x00 (none)");

    EXPECT_EQ(ParseControlCodeNumber("3500"), 3500u);
    EXPECT_EQ(ParseControlCodeNumber("0x42000DAC"), 0x42000DACu);
    EXPECT_EQ(ParseControlCodeNumber("4294967295"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "4294967296", "12a", "-1", " 1"}) {
        EXPECT_EQ(ParseControlCodeNumber(bad), std::nullopt) << bad;
    }
}

}  // namespace
