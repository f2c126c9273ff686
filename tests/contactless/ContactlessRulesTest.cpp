// The MIFARE Classic, key file and NDEF rules, without a card.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "../sim/ContactlessSupport.h"
#include "core/contactless/AccessBits.h"
#include "core/contactless/ClassicLayout.h"
#include "core/contactless/KeyList.h"
#include "core/contactless/Ndef.h"
#include "core/contactless/Type2Tag.h"
#include "core/contactless/ValueBlock.h"

using ::testing::HasSubstr;

namespace {

struct AccessRow {
    const char* bytes;  // bytes 6 to 8 of a trailer
    std::array<AccessCondition, 4> groups;
    bool valid;
};

class AccessBitsDecoding : public ::testing::TestWithParam<AccessRow> {};

TEST_P(AccessBitsDecoding, ReadsTheGroupsAndChecksTheInvertedCopy) {
    const Bytes b = Hex(GetParam().bytes);
    const AccessBits bits = DecodeAccessBits(b[0], b[1], b[2]);
    EXPECT_EQ(bits.inversionValid, GetParam().valid);
    EXPECT_EQ(bits.groups, GetParam().groups);
    if (GetParam().valid) {
        const auto encoded = EncodeAccessBits(bits.groups);
        EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), b);
    } else {
        ASSERT_TRUE(TrailerWriteRefusal(b[0], b[1], b[2]));
        EXPECT_THAT(*TrailerWriteRefusal(b[0], b[1], b[2]), HasSubstr("inverted copy"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AccessBitsDecoding,
    ::testing::Values(AccessRow{"FF 07 80", {0, 0, 0, 1}, true},  // transport configuration
                      AccessRow{"78 77 88", {4, 4, 4, 3}, true},  // data writable by key B
                      AccessRow{"7F 07 88", {0, 0, 0, 3}, true},
                      AccessRow{"08 77 8F", {6, 6, 6, 3}, true},  // value blocks
                      AccessRow{"FF 07 81", {2, 0, 0, 1}, false},
                      AccessRow{"FF 0F 80", {0, 0, 0, 1}, false},
                      AccessRow{"00 00 00", {0, 0, 0, 0}, false}));

TEST(TrailerGuard, RefusesEveryTrailerConditionThatFreezesTheAccessBits) {
    // C1 C2 C3 = 000, 010, 100, 110 and 111 leave the access bits writable by no key.
    const bool refused[8] = {true, false, true, false, true, false, true, true};
    for (AccessCondition trailer = 0; trailer < 8; ++trailer) {
        const auto bytes = EncodeAccessBits({0, 0, 0, trailer});
        const auto refusal = TrailerWriteRefusal(bytes[0], bytes[1], bytes[2]);
        EXPECT_EQ(refusal.has_value(), refused[trailer]) << int{trailer};
        if (refusal) {
            EXPECT_THAT(*refusal, HasSubstr("no key"));
        }
    }
}

struct ValueRow {
    const char* block;
    std::optional<std::int32_t> value;
    std::uint8_t address;
};

class ValueBlocks : public ::testing::TestWithParam<ValueRow> {};

TEST_P(ValueBlocks, AreRecognisedOnlyWithEveryCopyConsistent) {
    const Bytes bytes = Hex(GetParam().block);
    const auto decoded = DecodeValueBlock(bytes.data());
    ASSERT_EQ(decoded.has_value(), GetParam().value.has_value());
    if (decoded) {
        EXPECT_EQ(decoded->value, *GetParam().value);
        EXPECT_EQ(decoded->address, GetParam().address);
        const BlockBytes encoded = EncodeValueBlock(*decoded);
        EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ValueBlocks,
    ::testing::Values(ValueRow{"64 00 00 00 9B FF FF FF 64 00 00 00 05 FA 05 FA", 100, 5},
                      ValueRow{"FF FF FF FF 00 00 00 00 FF FF FF FF 00 FF 00 FF", -1, 0},
                      ValueRow{"00 00 00 80 FF FF FF 7F 00 00 00 80 01 FE 01 FE", INT_MIN, 1},
                      ValueRow{"64 00 00 00 9B FF FF FF 65 00 00 00 05 FA 05 FA", {}, 0},
                      ValueRow{"64 00 00 00 9B FF FF FF 64 00 00 00 05 FA 05 FB", {}, 0},
                      ValueRow{"64 00 00 00 9B FF FF FF 64 00 00 00 05 FA 06 FA", {}, 0},
                      ValueRow{"00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", {}, 0}));

TEST(ClassicLayouts, PlaceBlocksInSectorsAndTrailers) {
    struct Row {
        ClassicType type;
        int block, sector;
        bool trailer;
    };
    for (const Row& row :
         {Row{ClassicType::Mini, 19, 4, true}, Row{ClassicType::Mini, 20, -1, false},
          Row{ClassicType::Classic1K, 63, 15, true}, Row{ClassicType::Classic1K, 64, -1, false},
          Row{ClassicType::Classic4K, 127, 31, true}, Row{ClassicType::Classic4K, 128, 32, false},
          Row{ClassicType::Classic4K, 143, 32, true}, Row{ClassicType::Classic4K, 144, 33, false},
          Row{ClassicType::Classic4K, 255, 39, true},
          Row{ClassicType::Classic4K, 256, -1, false}}) {
        const ClassicLayout layout(row.type);
        EXPECT_EQ(layout.SectorOfBlock(row.block), row.sector) << row.block;
        EXPECT_EQ(layout.IsTrailer(row.block), row.trailer) << row.block;
    }
    EXPECT_EQ(ClassicTypeOfSize(320), ClassicType::Mini);
    EXPECT_EQ(ClassicTypeOfSize(4096), ClassicType::Classic4K);
    EXPECT_FALSE(ClassicTypeOfSize(1023));
}

struct KeyFileRow {
    const char* text;
    std::size_t keys, sectorKeys;
    int errorLine;  // 0: none
    const char* error;
};

class KeyFiles : public ::testing::TestWithParam<KeyFileRow> {};

TEST_P(KeyFiles, ReadKeysAndNameTheLineOfEachError) {
    const KeyFile file = ParseKeyFile(GetParam().text);
    EXPECT_EQ(file.keys.size(), GetParam().keys);
    EXPECT_EQ(file.sectorKeys.size(), GetParam().sectorKeys);
    if (GetParam().errorLine == 0) {
        EXPECT_TRUE(file.errors.empty());
    } else {
        ASSERT_EQ(file.errors.size(), 1u);
        EXPECT_EQ(file.errors[0].line, GetParam().errorLine);
        EXPECT_THAT(file.errors[0].message, HasSubstr(GetParam().error));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyFiles,
    ::testing::Values(KeyFileRow{"FFFFFFFFFFFF\n a0 a1 a2 a3 a4 a5 \r\n", 2, 0, 0, ""},
                      KeyFileRow{"# mine\n\n5:A:112233445566\n39:b:000000000000", 0, 2, 0, ""},
                      KeyFileRow{"FFFFFFFFFFFF\n12345\n", 1, 0, 2, "not a key"},
                      KeyFileRow{"FFFFFFFFFFFFFF", 0, 0, 1, "not a key"},
                      KeyFileRow{"\nzz:A:FFFFFFFFFFFF", 0, 0, 2, "sector"},
                      KeyFileRow{"40:A:FFFFFFFFFFFF", 0, 0, 1, "sector"},
                      KeyFileRow{"3:C:FFFFFFFFFFFF", 0, 0, 1, "key type"},
                      KeyFileRow{"3:A", 0, 0, 1, "key type"},
                      KeyFileRow{"3:B:FFFFFFFFFFFG", 0, 0, 1, "not a key"}));

TEST(KeyCandidates, TryTheSectorsOwnKeysFirstAndNoKeyTwice) {
    const KeyFile file = ParseKeyFile("5:B:112233445566\nFFFFFFFFFFFF\n010203040506\n");
    const auto five = CandidatesForSector(file, 5);
    const auto four = CandidatesForSector(file, 4);
    ASSERT_EQ(five.size(), 11u);  // its own key, then 5 distinct keys as A and as B
    EXPECT_EQ(five[0], (KeyCandidate{*ParseKey("112233445566"), KeyType::B}));
    EXPECT_EQ(five[1], (KeyCandidate{DefaultKeys()[0], KeyType::A}));
    EXPECT_EQ(five[2], (KeyCandidate{DefaultKeys()[0], KeyType::B}));
    EXPECT_EQ(four.size(), 10u);
    EXPECT_EQ(four.back(), (KeyCandidate{*ParseKey("010203040506"), KeyType::B}));
}

struct NdefRow {
    const char* userMemory;
    std::vector<std::string> records;
    const char* error;  // "" for none
};

class NdefDecoding : public ::testing::TestWithParam<NdefRow> {};

TEST_P(NdefDecoding, DecodesTheRecordsOfTheNdefTlv) {
    std::string error;
    const auto tlv = FindNdefTlv(Hex(GetParam().userMemory), error);
    std::vector<std::string> texts;
    if (tlv) {
        const NdefMessage message = DecodeNdefMessage(*tlv);
        for (const NdefRecord& record : message.records) {
            texts.push_back(RecordText(record));
        }
        error += message.error.value_or("");
    }
    EXPECT_EQ(texts, GetParam().records);
    if (*GetParam().error == '\0') {
        EXPECT_EQ(error, "");
    } else {
        EXPECT_THAT(error, HasSubstr(GetParam().error));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NdefDecoding,
    ::testing::Values(
        // A lock control TLV, then a URI and a Text record, then the terminator.
        NdefRow{"01 03 A0 10 44 03 1C 91 01 0C 55 04 65 78 61 6D 70 6C 65 2E 63 6F 6D"
                " 51 01 08 54 02 65 6E 48 65 6C 6C 6F FE 00 00",
                {"URI https://example.com", "Text (en) Hello"},
                ""},
        NdefRow{"03 0A D1 01 06 55 00 61 2E 62 2F 63 FE", {"URI a.b/c"}, ""},
        NdefRow{"03 0D D1 01 09 54 82 65 6E FE FF 00 48 00 69 FE", {"Text (en) Hi"}, ""},
        NdefRow{"00 00 03 10 D2 0A 03 74 65 78 74 2F 70 6C 61 69 6E 61 62 63 FE",
                {"MIME text/plain: 3 bytes: 61 62 63"},
                ""},
        NdefRow{"03 06 D4 03 00 61 62 63 FE", {"TNF 4 type \"abc\": "}, ""},
        NdefRow{"03 FF 00 05 D1 01 01 55 04 FE", {"URI https://"}, ""}, NdefRow{"03 00 FE", {}, ""},
        NdefRow{"FE 03 05 D1 01 01 55 04", {}, ""},
        NdefRow{"03 20 D1 01 06 55", {}, "past the end"},
        NdefRow{"03 05 D1 01 09 55 04 FE", {}, "past the end of the message"},
        NdefRow{"03 05 91 01 01 55 04 FE", {"URI https://"}, "without its last record"},
        NdefRow{"03 07 D1 01 01 55 04 00 00 FE", {"URI https://"}, "2 bytes after"},
        NdefRow{"03", {}, "no length"}));

TEST(Type2Pages, AreMarkedByTheirRoleInEachLayout) {
    const TagLayout ntag = LayoutOfTag(TagTypeOfCapability(0x12, 0x0003));
    const TagLayout ultralightC = LayoutOfTag(TagTypeOfCapability(0x12, 0x003A));
    EXPECT_EQ(ntag.type, TagType::Ntag213);
    EXPECT_EQ(ultralightC.type, TagType::UltralightC);
    EXPECT_EQ(RoleOfPage(ntag, 2), PageRole::UidAndLock);
    EXPECT_EQ(RoleOfPage(ntag, 3), PageRole::Capability);
    EXPECT_EQ(RoleOfPage(ntag, 39), PageRole::User);
    EXPECT_EQ(RoleOfPage(ntag, 40), PageRole::DynamicLock);
    EXPECT_EQ(RoleOfPage(ntag, 41), PageRole::Config);
    EXPECT_EQ(RoleOfPage(LayoutOfTag(TagType::Ntag216), 225), PageRole::User);
    EXPECT_EQ(RoleOfPage(LayoutOfTag(TagType::Ntag216), 226), PageRole::DynamicLock);
    EXPECT_TRUE(PageWriteRefusal(ntag, 1));
    EXPECT_FALSE(PageWriteRefusal(ntag, 44));
    EXPECT_TRUE(PageWriteRefusal(ntag, 45));
}

}  // namespace
