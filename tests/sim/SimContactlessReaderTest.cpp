#include <gtest/gtest.h>

#include "ContactlessSupport.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimSectorKey.h"
#include "sim/SimUltralight.h"

namespace {
TEST(SimContactlessReader, SynthesisesTheAnswerToResetOfEachCard) {
    const std::pair<SimCardKind, const char*> rows[] = {
        {SimCardKind::Mifare1K, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A"},
        {SimCardKind::Mifare4K, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69"},
        {SimCardKind::MifareMini, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 26 00 00 00 00 4D"},
        {SimCardKind::Ultralight, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68"},
        {SimCardKind::Ntag213, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68"},
        {SimCardKind::Iso14443_4, "3B 88 80 01 5A 50 53 49 4D 2D 43 4C 76"},
    };
    for (const auto& [kind, atr] : rows) {
        const auto card = MakeSimCard(kind);
        EXPECT_EQ(card->Atr(), Hex(atr)) << SimCardKindOption(kind);
        EXPECT_EQ(card->Protocol(), 2u);
    }
}

struct Exchange {
    const char* command;
    const char* reply;
};

// Each card's exchanges run in order on one card.
void Exchanges(SimCardKind kind, std::initializer_list<Exchange> exchanges) {
    const auto card = MakeSimCard(kind);
    for (const Exchange& exchange : exchanges) {
        EXPECT_EQ(Send(*card, exchange.command), Hex(exchange.reply))
            << SimCardKindOption(kind) << ": " << exchange.command;
    }
}

TEST(SimContactlessReader, AnswersTheClassFfCommandsWithTheirStatusWords) {
    Exchanges(SimCardKind::Mifare1K, {
                                         {"FF CA 00 00 00", "5A 50 C1 01 90 00"},
                                         {"FF CA 00 00", "5A 50 C1 01 90 00"},
                                         {"FF CA 00 00 04", "5A 50 C1 01 90 00"},
                                         {"FF CA 00 00 08", "5A 50 C1 01 62 82"},
                                         {"FF CA 00 00 02", "6C 04"},
                                         {"FF CA 01 00 00", "6A 81"},
                                         {"FF CA 02 00 00", "08 90 00"},
                                         {"FF CA 03 00 00", "00 04 90 00"},
                                         {"FF CA 04 00 00", "6A 81"},
                                         {"FF CA 00 01 00", "6A 81"},
                                         {"FF B0 00 04 10", "69 82"},
                                         {"FF 86 00 00 05 01 00 04 60 05", "69 84"},
                                         {"FF 82 00 0F 06 FF FF FF FF FF FF", "90 00"},
                                         {"FF 82 00 10 06 FF FF FF FF FF FF", "69 88"},
                                         {"FF 82 20 20 06 FF FF FF FF FF FF", "90 00"},
                                         {"FF 82 20 3F 06 FF FF FF FF FF FF", "90 00"},
                                         {"FF 82 20 40 06 FF FF FF FF FF FF", "69 88"},
                                         {"FF 82 20 00 06 FF FF FF FF FF FF", "69 88"},
                                         {"FF 82 80 00 06 FF FF FF FF FF FF", "69 85"},
                                         {"FF 82 01 00 06 FF FF FF FF FF FF", "69 83"},
                                         {"FF 82 00 00 04 FF FF FF FF", "69 89"},
                                         {"FF 82 00 00 06 FF FF", "67 00"},
                                         {"FF 86 00 00 05 01 00 04 62 0F", "69 86"},
                                         {"FF 86 00 00 05 01 00 04 60 10", "69 88"},
                                         {"FF 86 00 00 05 01 00 40 60 0F", "6B 00"},
                                         {"FF 86 00 00 04 01 00 04 60", "67 00"},
                                         {"FF 86 00 00 05 01 00 04 61 3F", "90 00"},
                                         {"FF 88 00 04 60 20", "90 00"},
                                         {"FF B0 00 04", "67 00"},
                                         {"FF B0 00 04 11", "6C 10"},
                                         {"FF B0 00 04 04", "00 00 00 00 90 00"},
                                         {"FF B0 00 40 10", "6B 00"},
                                         {"FF B0 01 04 10", "6B 00"},
                                         {"FF D6 00 04 04 01 02 03 04", "67 00"},
                                         {"FF D7 00 04 05 07 00 00 00 01", "6A 81"},
                                         {"FF B1 00 04 10", "67 00"},
                                         {"FF C2 00 03 04 A0 02 00 01", "6D 00"},
                                         {"FF 00 00 00 00", "6D 00"},
                                         {"00 A4 00 00 02 3F 00", "6E 00"},
                                         {"FF", "67 00"},
                                     });
    Exchanges(SimCardKind::Ultralight, {
                                           {"FF CA 00 00 00", "04 5A 50 21 13 80 01 90 00"},
                                           {"FF CA 03 00 00", "00 44 90 00"},
                                           {"FF 86 00 00 05 01 00 04 60 00", "6A 81"},
                                           {"FF D7 00 04 05 00 00 00 00 01", "6A 81"},
                                           {"FF D6 00 04 10 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                            "00 00 00",
                                            "67 00"},
                                           {"FF B0 00 10 10", "6B 00"},
                                       });
    Exchanges(SimCardKind::Iso14443_4, {
                                           {"FF CA 01 00 00", "5A 50 53 49 4D 2D 43 4C 90 00"},
                                           {"FF CA 02 00 00", "20 90 00"},
                                           {"FF B0 00 00 10", "6A 81"},
                                           {"00 A4 00 00 02 2F 00", "90 00"},
                                           {"00 B0 00 00 02", "5A 50 90 00"},
                                           {"80 CA 00 00 00", "6E 00"},
                                       });
}

// Ultralight page 3 onwards in 4 pages: the capability container and the NDEF TLV.
TEST(SimUltralight, HoldsItsUidCheckBytesAndAnNdefMessage) {
    Exchanges(SimCardKind::Ultralight,
              {
                  {"FF B0 00 00 10", "04 5A 50 86 21 13 80 01 B3 48 00 00 E1 10 06 00 90 00"},
                  {"FF B0 00 04 10", "03 20 91 01 0F 55 04 65 78 61 6D 70 6C 65 2E 6F 90 00"},
                  {"FF B0 00 0E 10", "00 00 00 00 00 00 00 00 04 5A 50 86 21 13 80 01 90 00"},
              });
    Exchanges(SimCardKind::Ntag213,
              {
                  {"FF B0 00 03 04", "E1 10 12 00 90 00"},
                  {"FF B0 00 28 10", "00 00 00 BD 04 00 00 FF 00 05 00 00 00 00 00 00 90 00"},
                  {"FF B0 00 2C 10", "00 00 00 00 04 5A 50 86 21 13 80 01 B3 48 00 00 90 00"},
                  {"FF B0 00 2D 10", "6B 00"},
              });
}

TEST(SimUltralight, WritesOnePageAndKeepsLockAndOneTimeBits) {
    Exchanges(SimCardKind::Ultralight,
              {
                  {"FF D6 00 04 04 DE AD BE EF", "90 00"},
                  {"FF B0 00 04 04", "DE AD BE EF 90 00"},
                  {"FF D6 00 00 04 00 00 00 00", "69 82"},
                  {"FF D6 00 01 04 00 00 00 00", "69 82"},
                  {"FF D6 00 03 04 00 00 00 01", "90 00"},
                  {"FF D6 00 03 04 00 00 00 00", "90 00"},
                  {"FF B0 00 03 04", "E1 10 06 01 90 00"},
                  // BL 9-4 freezes the lock bit of page 4; L5 still locks page 5.
                  {"FF D6 00 02 04 00 00 02 00", "90 00"},
                  {"FF D6 00 02 04 FF FF 30 00", "90 00"},
                  {"FF B0 00 02 04", "B3 48 02 00 90 00"},
                  {"FF D6 00 04 04 00 00 00 00", "90 00"},
                  {"FF D6 00 02 04 00 00 00 80", "90 00"},
                  {"FF D6 00 0F 04 00 00 00 00", "69 82"},
                  {"FF D6 00 0E 04 00 00 00 00", "90 00"},
              });
    Exchanges(SimCardKind::Ntag213, {
                                        {"FF D6 00 28 04 01 00 00 00", "90 00"},
                                        {"FF D6 00 11 04 00 00 00 00", "69 82"},
                                        {"FF D6 00 12 04 00 00 00 00", "90 00"},
                                        {"FF D6 00 2B 04 12 34 56 78", "90 00"},
                                        {"FF B0 00 2B 04", "00 00 00 00 90 00"},
                                    });
}

TEST(SimSectorKey, ParsesSectorKeyTypeAndKey) {
    const std::pair<const char*, bool> rows[] = {
        {"5:A:112233445566", true},  {"15:b:a0a1a2a3a4a5", true}, {"5:C:112233445566", false},
        {"5:A:1122334455", false},   {"A:112233445566", false},   {"123:A:112233445566", false},
        {"5:A:11223344556G", false}, {"5-A:112233445566", false},
    };
    for (const auto& [text, valid] : rows) {
        EXPECT_EQ(ParseSimSectorKey(text).has_value(), valid) << text;
    }
    const auto key = ParseSimSectorKey("15:b:a0a1a2a3a4a5");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->sector, 15);
    EXPECT_EQ(key->type, SimKeyType::B);
    EXPECT_EQ(Bytes(key->key.begin(), key->key.end()), Hex("A0 A1 A2 A3 A4 A5"));

    auto mini = MakeSimCard(SimCardKind::MifareMini);
    EXPECT_FALSE(ApplySimSectorKey(*mini, *key));  // a Mini has 5 sectors
    EXPECT_FALSE(ApplySimSectorKey(*MakeSimCard(SimCardKind::Ultralight), *key));
    auto classic = Contactless(SimCardKind::Mifare1K);
    ASSERT_TRUE(ApplySimSectorKey(*classic, *key));
    EXPECT_EQ(classic->Classic()->RawBlock(63)[10], 0xA0);
}
}  // namespace
