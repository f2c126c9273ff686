#include <gtest/gtest.h>

#include "core/tlv/TlvPath.h"
#include "insight/TlvDictionary.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<std::string> Lines(const std::string& hex) {
    return TlvTreeLines(DecodeBerTlv(Bytes(hex)), TlvDictionary());
}

struct TreeRow {
    const char* what;
    const char* hex;
    std::vector<std::string> lines;
};

const TreeRow kRealReplies[] = {
    {"EMV PSE FCI",
     "6F 1A 84 0E 31 50 41 59 2E 53 59 53 2E 44 44 46 30 31 A5 08 88 01 01 5F 2D 02 65 6E",
     {"6F File control information (FCI template)",
      "  84 DF name: 31 50 41 59 2E 53 59 53 2E 44 44 46 30 31", "  A5 FCI proprietary template",
      "    88 Short file identifier (SFI): 01", "    5F2D Language preference: \"en\""}},
    {"EMV PPSE FCI",
     "6F 43 84 0E 32 50 41 59 2E 53 59 53 2E 44 44 46 30 31 A5 31 BF 0C 2E 61 12 4F 07 A0 00 "
     "00 00 03 10 10 50 04 56 49 53 41 87 01 01 61 18 4F 07 A0 00 00 00 04 10 10 50 0A 4D 41 "
     "53 54 45 52 43 41 52 44 87 01 02",
     {"6F File control information (FCI template)",
      "  84 DF name: 32 50 41 59 2E 53 59 53 2E 44 44 46 30 31", "  A5 FCI proprietary template",
      "    BF0C FCI issuer discretionary data", "      61 Application template",
      "        4F Application identifier (AID): A0 00 00 00 03 10 10",
      "        50 Application label: \"VISA\"", "        87 Application priority indicator: 01",
      "      61 Application template",
      "        4F Application identifier (AID): A0 00 00 00 04 10 10",
      "        50 Application label: \"MASTERCARD\"",
      "        87 Application priority indicator: 02"}},
    {"ISO FCP with security attributes",
     "62 1A 80 02 00 20 82 01 01 83 02 2F 00 8A 01 05 8C 03 03 FF 00 AB 05 80 01 01 90 00",
     {"62 File control parameters (FCP template)", "  80 Number of data bytes in the file: 32",
      "  82 File descriptor: not shareable, working EF, transparent", "  83 File identifier: 2F 00",
      "  8A Life cycle status: operational state, activated",
      "  8C Security attribute, compact format: 03 FF 00",
      "  AB Security attribute template, expanded format", "    80 Access mode byte: 01",
      "    90 Always"}},
    {"GlobalPlatform CPLC",
     "9F 7F 2A 47 90 50 40 47 91 81 02 31 00 83 58 00 11 68 91 45 81 48 12 83 65 00 00 00 00 "
     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
     {"9F7F Card production life cycle data (CPLC): IC fabricator 47 90; IC type 50 40; "
      "operating system identifier 47 91; operating system release date 81 02; operating "
      "system release level 31 00; IC fabrication date 83 58; IC serial number 00 11 68 91; "
      "IC batch identifier 45 81; IC module fabricator 48 12; IC module packaging date 83 65; "
      "ICC manufacturer 00 00; IC embedding date 00 00; IC pre-personaliser 00 00; IC "
      "pre-personalisation date 00 00; IC pre-personalisation equipment identifier 00 00 00 "
      "00; IC personaliser 00 00; IC personalisation date 00 00; IC personalisation equipment "
      "identifier 00 00 00 00"}},
    {"GlobalPlatform card data",
     "66 26 73 24 06 07 2A 86 48 86 FC 6B 01 60 0C 06 0A 2A 86 48 86 FC 6B 02 02 01 01 64 0B "
     "06 09 2A 86 48 86 FC 6B 04 02 55",
     {"66 Card data", "  73 Card recognition data", "    06 Object identifier: 1.2.840.114283.1",
      "    60 Card management type and version",
      "      06 Object identifier: 1.2.840.114283.2.2.1.1",
      "    64 Secure channel protocol and options",
      "      06 Object identifier: 1.2.840.114283.4.2.85"}},
    {"PIV discovery object",
     "7E 12 4F 0B A0 00 00 03 08 00 00 10 00 01 00 5F 2F 02 40 00",
     {"7E Discovery object", "  4F PIV card application AID: A0 00 00 03 08 00 00 10 00 01 00",
      "  5F2F PIN usage policy: 40 00"}},
    {"EMV record",
     "70 31 5A 08 47 61 73 90 01 01 00 10 5F 24 03 25 12 31 5F 28 02 08 40 8C 15 9F 02 06 9F "
     "03 06 9F 1A 02 95 05 5F 2A 02 9A 03 9C 01 9F 37 04 9F 42 02 09 78",
     {"70 Record template", "  5A Application primary account number (PAN): 4761739001010010",
      "  5F24 Application expiration date: 2025-12-31",
      "  5F28 Issuer country code: 840 United States",
      "  8C Card risk management data object list 1 (CDOL1): 9F02 Amount, authorised (6), "
      "9F03 Amount, other (6), 9F1A Terminal country code (2), 95 Terminal verification "
      "results (5), 5F2A Transaction currency code (2), 9A Transaction date (3), 9C "
      "Transaction type (1), 9F37 Unpredictable number (4)",
      "  9F42 Application currency code: 978 EUR Euro"}},
    {"EMV GET PROCESSING OPTIONS, format 2",
     "77 11 82 02 58 00 94 04 08 01 01 00 95 05 80 00 04 80 00",
     {"77 Response message template format 2",
      "  82 Application interchange profile: SDA supported; cardholder verification "
      "supported; terminal risk management to be performed",
      "  94 Application file locator (AFL): 08 01 01 00",
      "  95 Terminal verification results: offline data authentication not performed; online "
      "PIN entered; transaction exceeds floor limit"}},
    {"EMV GET PROCESSING OPTIONS, format 1",
     "80 06 58 00 08 01 01 00",
     {"80 Response message template format 1: 58 00 08 01 01 00"}},
};

const TreeRow kMalformed[] = {
    {"no bytes", "", {}},
    {"length past the end",
     "6F 10 84 02 A0 00",
     {"6F File control information (FCI template) (cut at the end: 4 of 16 bytes)",
      "  84 DF name: A0 00"}},
    {"last object of a cut template cut as well",
     "6F 08 84 01 AA 50 10 41",
     {"6F File control information (FCI template) (cut at the end: 6 of 8 bytes)",
      "  84 DF name: AA", "  50 Application label: \"A\" (cut at the end: 1 of 16 bytes)"}},
    {"content past its template's end",
     "6F 03 84 05 A0 50 01 41",
     {"6F File control information (FCI template): 84 05 A0 (content does not parse)",
      "50 Application label: \"A\""}},
    {"content with a tag cut short",
     "70 02 50 01 9F",
     {"70 Record template: 50 01 (content does not parse)", "Trailing bytes: 9F"}},
    {"trailing bytes",
     "84 02 A0 00 9F",
     {"84 context-specific, primitive: A0 00", "Trailing bytes: 9F"}},
    {"text", "48 65 6C 6C 6F", {"Not TLV: 48 65 6C 6C 6F"}},
    {"padding only", "00 FF 00", {"Not TLV: 00 FF 00"}},
    {"indefinite length", "50 80 41", {"Not TLV: 50 80 41"}},
    {"four length bytes", "50 84 00 00 00 01 41", {"Not TLV: 50 84 00 00 00 01 41"}},
    {"five tag bytes", "9F 80 80 80 01 01 AA", {"Not TLV: 9F 80 80 80 01 01 AA"}},
    {"padding between objects",
     "00 00 50 01 41 FF FF 50 01 42 00",
     {"50 Application label: \"A\"", "50 Application label: \"B\""}},
    {"lengths 81, 82 and 83",
     "50 81 01 41 50 82 00 01 42 50 83 00 00 01 43",
     {"50 Application label: \"A\"", "50 Application label: \"B\"", "50 Application label: \"C\""}},
    {"three-byte private tag, empty template",
     "DF 81 01 01 AA 7F 21 00",
     {"DF8101 private, primitive: AA", "7F21 application, constructed"}},
    {"values that do not fit their format",
     "70 0D 5F 24 02 25 12 5F 28 02 0A 40 95 01 80",
     {"70 Record template", "  5F24 Application expiration date: 25 12",
      "  5F28 Issuer country code: 0A 40", "  95 Terminal verification results: 80"}},
};

class TlvTreeTest : public testing::TestWithParam<TreeRow> {};

TEST_P(TlvTreeTest, DecodesToNamedLines) {
    EXPECT_EQ(Lines(GetParam().hex), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(RealReplies, TlvTreeTest, testing::ValuesIn(kRealReplies));
INSTANTIATE_TEST_SUITE_P(Malformed, TlvTreeTest, testing::ValuesIn(kMalformed));

TEST(TlvNodes, KeepOffsetsBytesAndPaths) {
    const TlvTree tree = DecodeBerTlv(Bytes("00 70 07 61 01 AA FF 61 01 BB 9F"));
    ASSERT_EQ(tree.nodes.size(), 2u);
    const TlvNode& record = tree.nodes[0];
    EXPECT_EQ(record.offset, 1u);
    EXPECT_EQ(record.header, Bytes("70 07"));
    ASSERT_EQ(record.children.size(), 2u);
    EXPECT_EQ(record.children[1].offset, 7u);
    EXPECT_EQ(record.children[1].value, Bytes("BB"));
    EXPECT_EQ(record.children[1].path, "70/61[2]");
    EXPECT_EQ(tree.nodes[1].kind, TlvNodeKind::Trailing);
    EXPECT_EQ(tree.nodes[1].offset, 10u);
}

TEST(TlvNodes, DeepNestingKeptRaw) {
    std::vector<std::uint8_t> bytes;
    for (int depth = 0; depth < 40; ++depth) {
        bytes.insert(bytes.begin(), {0xA0, static_cast<std::uint8_t>(bytes.size())});
    }
    const TlvTree tree = DecodeBerTlv(bytes);
    const TlvNode* node = &tree.nodes.at(0);
    int depth = 1;
    for (; !node->children.empty(); node = &node->children[0]) {
        ++depth;
    }
    EXPECT_TRUE(node->raw);
    EXPECT_LT(depth, 40);
    EXPECT_EQ(node->offset + node->Size(), bytes.size());
}

struct PathRow {
    const char* text;
    const char* found;  // the value's hex at that path in the PPSE FCI, or "" for none
    std::size_t faultAt;
    const char* fault;  // "" for a good path
};

const PathRow kPaths[] = {
    {"6F/A5/BF0C/61/50", "56 49 53 41", 0, ""},
    {"6F/A5/BF0C/61[2]/4F", "A0 00 00 00 04 10 10", 0, ""},
    {"6f/a5/bf0c/61[1]/87", "01", 0, ""},
    {"6F/A5/BF0C/61[3]", "", 0, ""},
    {"6F/85", "", 0, ""},
    {"A5", "", 0, ""},
    {"6F//50", "", 3, "a tag is missing"},
    {"6F/", "", 3, "a tag is missing"},
    {"6G", "", 1, "'G' is not a hex digit"},
    {"6F/A", "", 3, "a tag is written in whole bytes"},
    {"9F", "", 0, "not one BER-TLV tag (1 bytes)"},
    {"5F2D50", "", 0, "not one BER-TLV tag (3 bytes)"},
    {"61[0]", "", 2, "an index is written [n], n from 1"},
    {"61[2", "", 2, "an index is written [n], n from 1"},
    {"61[2]4F", "", 5, "'4' after a tag"},
};

class TlvPathTest : public testing::TestWithParam<PathRow> {};

TEST_P(TlvPathTest, ParsesAndFinds) {
    const PathRow& row = GetParam();
    const TlvTree ppse = DecodeBerTlv(Bytes(kRealReplies[1].hex));
    TlvPath path;
    const std::optional<TlvPathError> fault = ParseTlvPath(row.text, path);
    if (*row.fault != '\0') {
        ASSERT_TRUE(fault);
        EXPECT_EQ(fault->message, row.fault);
        EXPECT_EQ(fault->at, row.faultAt);
        return;
    }
    ASSERT_FALSE(fault) << fault->message;
    const TlvNode* node = FindTlvNode(ppse, path);
    if (*row.found == '\0') {
        EXPECT_EQ(node, nullptr);
    } else {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->value, Bytes(row.found));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TlvPathTest, testing::ValuesIn(kPaths));

TEST(TlvPathText, WritesIndexOnlyWhenNotFirst) {
    TlvPath path;
    ASSERT_FALSE(ParseTlvPath("70/61[1]/61[2]/9f38", path));
    EXPECT_EQ(TlvPathText(path), "70/61/61[2]/9F38");
}

struct EntryRow {
    const char* text;
    const char* error;  // "" when the file reads
};

const EntryRow kEntryFiles[] = {
    {"# ours\nDF01 A5 text Issuer's note\n\n9F50 * number  Offline balance # cents\n", ""},
    {"C1 - bcd Top\n", ""},
    {"DF01 A5 text\n", "line 1: an entry is TAG PARENT FORMAT NAME"},
    {"\nXY * text Name\n", "line 2: 'XY' is not a tag"},
    {"DF01 A5/6F text Name\n", "line 1: 'A5/6F' is not a tag, '*' or '-'"},
    {"DF01 A5 words Name\n", "line 1: 'words' is not a format"},
    {"61[2] * hex Name\n", "line 1: '61[2]' is not a tag"},
};

class TlvEntryFileTest : public testing::TestWithParam<EntryRow> {};

TEST_P(TlvEntryFileTest, ReadsOrNamesTheLine) {
    std::string error;
    const std::vector<TlvEntry> entries = ParseTlvEntries(GetParam().text, error);
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(entries.empty(), *GetParam().error != '\0');
}

INSTANTIATE_TEST_SUITE_P(Rows, TlvEntryFileTest, testing::ValuesIn(kEntryFiles));

TEST(TlvDictionaryMerge, UserEntriesOverOursAndByParent) {
    std::string error;
    TlvDictionary dictionary;
    dictionary.Merge(
        ParseTlvEntries("50 61 hex Label bytes\nDF01 A5 text Issuer's note\n"
                        "9F7F * hex Production data\n",
                        error));
    ASSERT_EQ(error, "");
    const TlvTree tree =
        DecodeBerTlv(Bytes("6F 0D A5 06 DF 01 03 41 42 43 61 03 50 01 41 50 01 42 9F 7F 01 00"));
    EXPECT_EQ(
        TlvTreeLines(tree, dictionary),
        (std::vector<std::string>{
            "6F File control information (FCI template)", "  A5 FCI proprietary template",
            "    DF01 Issuer's note: \"ABC\"", "  61 Application template",
            "    50 Label bytes: 41", "50 Application label: \"B\"", "9F7F Production data: 00"}));
}

}  // namespace
