#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../sim/ContactlessSupport.h"
#include "insight/AtrDecoder.h"
#include "insight/ContactlessNames.h"
#include "insight/StatusWords.h"

using ::testing::HasSubstr;

namespace {

struct AtrNameRow {
    const char* atr;
    const char* summary;    // "" for an ATR that is no contactless one
    const char* described;  // what the decoded ATR says of it; "" for nothing
};

class ContactlessAtrNames : public ::testing::TestWithParam<AtrNameRow> {};

TEST_P(ContactlessAtrNames, NameTheStandardAndTheCard) {
    const Bytes atr = Hex(GetParam().atr);
    const auto summary = ContactlessSummary(atr.data(), atr.size());
    EXPECT_EQ(summary.value_or(""), GetParam().summary);
    const std::string described = DescribeAtr(DecodeAtr(atr.data(), atr.size()));
    EXPECT_THAT(described, HasSubstr(GetParam().described));
    if (*GetParam().described == '\0') {
        EXPECT_THAT(described, ::testing::Not(HasSubstr("PC/SC")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ContactlessAtrNames,
    ::testing::Values(
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A",
                   "Contactless, ISO 14443 A part 3, MIFARE Classic 1K",
                   "Contactless, ISO 14443 A part 3, MIFARE Classic 1K (PC/SC storage card: SS "
                   "= 03, NN = 00 01)"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69",
                   "Contactless, ISO 14443 A part 3, MIFARE Classic 4K", "MIFARE Classic 4K"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 3D 00 00 00 00 56",
                   "Contactless, ISO 14443 A part 3, MIFARE Ultralight EV1", "Ultralight EV1"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 11 00 3B 00 00 00 00 42",
                   "Contactless, FeliCa, FeliCa", "FeliCa"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 0B 00 14 00 00 00 00 71",
                   "Contactless, ISO 15693 part 3, ICODE SLI", "ICODE SLI"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 07 00 3E 00 00 00 00 00",
                   "Contactless, ISO 14443 B part 3, card name 00 3E", "card name 00 3E"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 0F F0 22 00 00 00 00 00", "",
                   "Contact, 2-wire bus protocol, card name F0 22"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 00 F0 25 00 00 00 00 00", "",
                   "Storage card, no standard given, card name F0 25"},
        AtrNameRow{"3B 88 80 01 00 00 00 00 33 81 81 00 3A", "Contactless, ISO 14443-4",
                   "protocol information 33 81 81 and MBLI 00 (type B)"},
        AtrNameRow{"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03", "", ""},  // cut short
        AtrNameRow{"3B 95 13 81 01 80 73 FF 01 00 0B", "", ""}));

struct ReaderAnswerRow {
    const char* command;
    std::uint8_t sw1, sw2;
    bool contactless;
    const char* meaning;  // "" for none of the reader's own
};

class ReaderAnswers : public ::testing::TestWithParam<ReaderAnswerRow> {};

TEST_P(ReaderAnswers, AreExplainedByTheCommandTheyAnswer) {
    const Bytes command = Hex(GetParam().command);
    const auto meaning = ReaderCommandMeaning(command.data(), command.size(), GetParam().sw1,
                                              GetParam().sw2, GetParam().contactless);
    if (*GetParam().meaning == '\0') {
        EXPECT_FALSE(meaning) << *meaning;
    } else {
        ASSERT_TRUE(meaning);
        EXPECT_THAT(*meaning, HasSubstr(GetParam().meaning));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReaderAnswers,
    ::testing::Values(
        ReaderAnswerRow{"FF 82 00 10 06 FF FF FF FF FF FF", 0x69, 0x88, true, "key number P2"},
        ReaderAnswerRow{"FF 82 20 00 06 FF FF FF FF FF FF", 0x69, 0x87, true, "non-volatile"},
        ReaderAnswerRow{"FF 82 00 00 06 FF FF FF FF FF FF", 0x63, 0x00, true, "LOAD KEYS failed"},
        ReaderAnswerRow{"FF 86 00 00 05 01 00 04 60 00", 0x63, 0x00, true, "Authentication failed"},
        ReaderAnswerRow{"FF 88 00 04 60 00", 0x69, 0x82, true, "wrong key"},
        ReaderAnswerRow{"FF 86 00 00 05 01 00 04 62 00", 0x69, 0x86, true, "key type"},
        ReaderAnswerRow{"FF B0 00 04 10", 0x69, 0x82, true, "not authenticated"},
        ReaderAnswerRow{"FF CA 01 00 00", 0x62, 0x82, true, "Le is longer"},
        ReaderAnswerRow{"FF CA 00 00 02", 0x6C, 0x07, true, "Le should be 07"},
        ReaderAnswerRow{"FF CA 02 00 00", 0x6A, 0x81, true, "does not give"},
        ReaderAnswerRow{"FF CA 00 00 00", 0x6E, 0x00, false, "contact card itself"},
        ReaderAnswerRow{"FF 82 00 00 06 FF FF FF FF FF FF", 0x68, 0x84, false, "no reader fault"},
        ReaderAnswerRow{"FF CA 00 00 00", 0x90, 0x00, false, ""},
        ReaderAnswerRow{"FF 82 00 00 06 FF FF FF FF FF FF", 0x6A, 0x82, true, ""},
        ReaderAnswerRow{"00 B0 00 04 10", 0x69, 0x82, true, ""}));

TEST(ReaderAnswers, ExchangeTextTakesClassNotSupportedAsAContactCards) {
    const Bytes command = Hex("FF CA 00 00 00");
    EXPECT_THAT(ExchangeStatusWordText(command.data(), command.size(), 0x6E, 0x00),
                HasSubstr("6E 00 Class not supported (Class FF reached the contact card"));
    EXPECT_THAT(ExchangeStatusWordText(command.data(), command.size(), 0x6A, 0x81),
                HasSubstr("(GET DATA: the reader does not give this item"));
}

}  // namespace
