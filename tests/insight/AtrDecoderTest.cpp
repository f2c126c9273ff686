#include <gtest/gtest.h>

#include <vector>

#include "insight/AtrDecoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The simulated T=1 card: TD1 and TD2 offer T=1, TA3 and TB3 its parameters.
const Bytes kSimT1 = {0x3B, 0x88, 0x81, 0x31, 0xFE, 0x45, 'Z', 'P',
                      'S',  'I',  'M',  '-',  'T',  '1',  0x96};
const Bytes kSimT0 = {0x3B, 0x68, 0x00, 0x00, 'Z', 'P', 'S', 'I', 'M', '-', 'T', '0'};
// The simulated SLE4442: a storage card's ATR with T=0 and T=1 and 15 historical bytes.
const Bytes kSimSle4442 = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                           0x03, 0x06, 0x0F, 0xF0, 0x22, 0x00, 0x00, 0x00, 0x00, 0xB5};
const Bytes kVicc = {0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01, 0x00, 0x0B};

Bytes WithCheckByte(Bytes atr) {
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) {
        check ^= atr[i];
    }
    atr.push_back(check);
    return atr;
}

// Five groups of interface bytes, 15 historical bytes and TCK: 35 bytes, two too many.
const Bytes kLong =
    WithCheckByte({0x3B, 0xFF, 0x96, 0x00, 0xFF, 0x81, 0xF1, 0xFE, 0x45, 0x01, 0xF1, 0xFE,
                   0x45, 0x00, 0xF1, 0xFE, 0x45, 0x00, 0x01, 'A',  'B',  'C',  'D',  'E',
                   'F',  'G',  'H',  'I',  'J',  'K',  'L',  'M',  'N',  'O'});

struct AtrCase {
    const char* name;
    Bytes atr;
    std::uint32_t length;  // the length the reader-state record claims
    std::vector<int> protocols;
    AtrCheck check;
    const char* missing;
    std::vector<const char*> lines;  // texts the description must hold, in this order
};

void PrintTo(const AtrCase& c, std::ostream* os) {
    *os << c.name;
}

class AtrDecoding : public testing::TestWithParam<AtrCase> {};

TEST_P(AtrDecoding, DecodesAsFarAsTheBytesGo) {
    const AtrCase& c = GetParam();
    const AtrFacts facts = DecodeAtr(c.atr.data(), c.length);
    EXPECT_EQ(facts.bytes.size(), std::min<std::size_t>({c.length, c.atr.size(), 36}));
    EXPECT_EQ(facts.protocols, c.protocols);
    EXPECT_EQ(facts.check, c.check);
    EXPECT_EQ(facts.missing, c.missing);

    const std::string text = DescribeAtr(facts);
    std::size_t at = 0;
    for (const char* line : c.lines) {
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\nin\n" << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Atrs, AtrDecoding,
    testing::Values(
        AtrCase{"SimT1",
                kSimT1,
                15,
                {1},
                AtrCheck::Correct,
                "",
                {"TS = 3B: direct convention", "T0 = 88: TD1 follows, 8 historical bytes",
                 "TA1 absent: Fi = 372, Di = 1, f max 5 MHz, 13441 bit/s at f max (defaults)",
                 "TD1 = 81: T=1, TD2 follows\n", "TD2 = 31: T=1, TA3 TB3 follow\n",
                 "TA3 = FE: IFSC = 254 bytes", "TB3 = 45: BWI = 4, CWI = 5", "Protocols: T=1",
                 "Historical bytes: 5A 50 53 49 4D 2D 54 31 \"ZPSIM-T1\"", "TCK = 96: correct"}},
        AtrCase{"SimT0",
                kSimT0,
                12,
                {0},
                AtrCheck::NotRequired,
                "",
                {"T0 = 68: TB1 TC1 follow, 8 historical bytes",
                 "TB1 = 00: no programming voltage (deprecated byte)",
                 "TC1 = 00: extra guard time N = 0 etu", "Protocols: T=0",
                 "No TCK: only T=0 is offered"}},
        AtrCase{
            "SimSle4442",
            kSimSle4442,
            20,
            {0, 1},
            AtrCheck::Correct,
            "",
            {"TD1 = 80: T=0, TD2 follows", "TD2 = 01: T=1, no further interface bytes",
             "Protocols: T=0, T=1",
             "Historical bytes: 80 4F 0C A0 00 00 03 06 0F F0 22 00 00 00 00 \".O........\"....\"",
             "TCK = B5: correct"}},
        AtrCase{"Vicc",
                kVicc,
                11,
                {1},
                AtrCheck::Correct,
                "",
                {"TA1 = 13: Fi = 372, Di = 4, f max 5 MHz, 53763 bit/s at f max",
                 "Historical bytes: 80 73 FF 01 00 \".s...\"",
                 "\n  Category indicator 80: COMPACT-TLV objects\n  Card capabilities: ",
                 "TCK = 0B: correct"}},
        AtrCase{"GlobalBytes",
                WithCheckByte({0x3B, 0xF0, 0xA6, 0x00, 0xFF, 0x90, 0x1F, 0x3F, 0x43, 0x11}),
                11,
                {0, 15},
                AtrCheck::Correct,
                "",
                {"TA1 = A6: Fi = 768, Di = 32, f max 7.5 MHz, 312500 bit/s at f max",
                 "TC1 = FF: minimum guard time (12 etu for T=0, 11 etu for T=1)",
                 "TA2 = 1F: specific mode T=15, can change to negotiable mode, implicit "
                 "parameters",
                 "TD2 = 3F: T=15, TA3 TB3 follow",
                 "TA3 = 43: clock stop in state L, class A (5 V), class B (3 V)",
                 "TB3 = 11: SPU for standard use", "Protocols: T=0, T=15 (global bytes)"}},
        AtrCase{"WrongCheckByte",
                {0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01, 0x00, 0x0C},
                11,
                {1},
                AtrCheck::Wrong,
                "",
                {"TCK = 0C: wrong, 0B expected"}},
        AtrCase{"ExtraBytes",
                Bytes{0x3B, 0x00, 0x12, 0x34},
                4,
                {0},
                AtrCheck::NotRequired,
                "",
                {"No TCK: only T=0 is offered", "2 bytes after the end of the ATR: 12 34"}},
        AtrCase{"Empty", kVicc, 0, {}, AtrCheck::NotRequired, "TS", {"truncated before TS"}},
        AtrCase{"OnlyTs",
                kVicc,
                1,
                {},
                AtrCheck::NotRequired,
                "T0",
                {"TS = 3B: direct convention", "truncated before T0"}},
        AtrCase{"EndsInInterfaceBytes",
                kVicc,
                3,
                {},
                AtrCheck::NotRequired,
                "TD1",
                {"TA1 = 13: Fi = 372", "truncated before TD1"}},
        AtrCase{"EndsInHistoricalBytes",
                kVicc,
                8,
                {1},
                AtrCheck::Missing,
                "historical byte 4 of 5",
                {"Protocols: T=1", "Historical bytes: 80 73 FF \".s.\"",
                 "truncated before historical byte 4 of 5"}},
        AtrCase{"EndsBeforeCheckByte",
                kVicc,
                10,
                {1},
                AtrCheck::Missing,
                "TCK",
                {"Historical bytes: 80 73 FF 01 00", "truncated before TCK"}},
        AtrCase{"LongerThan33",
                kLong,
                35,
                {1},
                AtrCheck::Correct,
                "",
                {"TD5 = 01: T=1, no further interface bytes", "\"ABCDEFGHIJKLMNO\"",
                 "35 bytes: longer than the 33 bytes ISO/IEC 7816-3 allows"}}),
    [](const testing::TestParamInfo<AtrCase>& info) { return info.param.name; });

// The record holds 36 bytes: a longer claimed length is not read past them, and an ATR
// whose interface bytes run on is truncated there.
TEST(AtrDecoding, NeverReadsPastTheRecord) {
    std::uint8_t record[kAtrRecordSize];
    record[0] = 0x3B;
    record[1] = 0xF0;
    for (std::size_t i = 2; i < kAtrRecordSize; ++i) {
        record[i] = (i - 2) % 4 == 3 ? 0xF1 : 0x00;
    }
    const AtrFacts facts = DecodeAtr(record, 1000);
    EXPECT_EQ(facts.bytes.size(), kAtrRecordSize);
    EXPECT_EQ(facts.missing, "TC9");
    EXPECT_EQ(facts.check, AtrCheck::Missing);
    const std::string text = DescribeAtr(facts);
    EXPECT_NE(text.find("truncated before TC9\n36 bytes: longer than the 33 bytes"),
              std::string::npos)
        << text;

    EXPECT_TRUE(DecodeAtr(nullptr, 20).bytes.empty());
    EXPECT_EQ(AtrHexText(record, 1000).size(), 3 * kAtrRecordSize - 1);
    EXPECT_EQ(AtrHexText(kVicc.data(), 3), "3B 95 13");
}

}  // namespace
