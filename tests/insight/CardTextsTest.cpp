#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <cstdio>

#include "insight/InsightText.h"
#include "insight/PcscCodeNames.h"
#include "insight/StatusWords.h"

namespace {

struct StatusWordCase {
    std::uint8_t sw1;
    std::uint8_t sw2;
    const char* text;
};

TEST(StatusWords, ExplainsEveryInterindustryClass) {
    const StatusWordCase cases[] = {
        {0x90, 0x00, "90 00 Normal processing"},
        {0x61, 0x0A, "61 0A 10 bytes still available (GET RESPONSE)"},
        {0x61, 0x01, "61 01 1 byte still available (GET RESPONSE)"},
        {0x61, 0x00, "61 00 256 or more bytes still available (GET RESPONSE)"},
        {0x62, 0x82, "62 82 Warning: end of file or record reached before reading Ne bytes"},
        {0x62, 0x80, "62 80 Warning: triggering by the card"},
        {0x62, 0x01, "62 01 Warning (SW2 01 not defined)"},
        {0x63, 0xC3, "63 C3 Warning, memory changed: counter 3"},
        {0x63, 0x81, "63 81 Warning, memory changed: file filled up by the last write"},
        {0x64, 0x02, "64 02 Execution error: triggering by the card"},
        {0x64, 0x82, "64 82 Execution error: logical channel opening denied"},
        {0x65, 0x81, "65 81 Execution error, memory changed: memory failure"},
        {0x66, 0x00, "66 00 Security-related issue"},
        {0x67, 0x00, "67 00 Wrong length"},
        {0x68, 0x82, "68 82 Secure messaging not supported"},
        {0x69, 0x82, "69 82 Security status not satisfied"},
        {0x69, 0x99, "69 99 Command not allowed (SW2 99 not defined)"},
        {0x6A, 0x82, "6A 82 File or application not found"},
        {0x6A, 0x8A, "6A 8A DF name already exists"},
        {0x6B, 0x00, "6B 00 Wrong parameters P1-P2"},
        {0x6C, 0x08, "6C 08 Wrong Le: 8 bytes available"},
        {0x6D, 0x00, "6D 00 Instruction code not supported or invalid"},
        {0x6E, 0x00, "6E 00 Class not supported"},
        {0x6F, 0x00, "6F 00 No precise diagnosis"},
        // Only the XX00 codes of these classes are interindustry: the rest are the card's own.
        {0x67, 0x01, "67 01 Proprietary status"},
        {0x67, 0xFF, "67 FF Proprietary status"},
        {0x6B, 0x01, "6B 01 Proprietary status"},
        {0x6D, 0x80, "6D 80 Proprietary status"},
        {0x6E, 0x82, "6E 82 Proprietary status"},
        {0x6F, 0xA2, "6F A2 Proprietary status"},
        // 256 exactly: only 61 00 may mean more.
        {0x6C, 0x00, "6C 00 Wrong Le: 256 bytes available"},
        {0x6C, 0x01, "6C 01 Wrong Le: 1 byte available"},
        {0x90, 0x01, "90 01 Proprietary status"},
        {0x9F, 0x10, "9F 10 Proprietary status"},
        {0x60, 0x00, "60 00 Not a status word of ISO/IEC 7816-4"},
    };
    for (const StatusWordCase& c : cases) {
        EXPECT_EQ(StatusWordText(c.sw1, c.sw2), c.text);
    }
    for (int sw = 0; sw <= 0xFFFF; ++sw) {
        ASSERT_FALSE(StatusWordMeaning(sw >> 8, sw & 0xFF).empty()) << sw;
    }
}

// Every return code pcsc-lite's header defines has its name, read from the header as text:
// the program itself does not include it here.
TEST(PcscCodeNames, NameEveryCodeThePcscHeaderDefines) {
    QFile header(QStringLiteral("/usr/include/PCSC/pcsclite.h"));
    if (!header.open(QIODevice::ReadOnly | QIODevice::Text)) {
        GTEST_SKIP() << "no pcsc-lite header";
    }
    const QRegularExpression define(
        QStringLiteral(R"(^#define\s+(SCARD_[SEWFP]_\w+)\s+\(\(LONG\)0x([0-9A-Fa-f]{8})\))"),
        QRegularExpression::MultilineOption);
    const QString text = QString::fromLatin1(header.readAll());
    int defines = 0;
    for (const QRegularExpressionMatch& m : define.globalMatch(text)) {
        ++defines;
        const std::uint32_t code = m.captured(2).toUInt(nullptr, 16);
        const std::string name = m.captured(1).toStdString();
        // pcsc-lite gives SCARD_E_UNSUPPORTED_FEATURE the value of SCARD_E_UNEXPECTED.
        const std::string expected =
            name == "SCARD_E_UNSUPPORTED_FEATURE" ? "SCARD_E_UNEXPECTED" : name;
        EXPECT_EQ(PcscCodeName(code), expected) << std::hex << code;
    }
    EXPECT_GT(defines, 50);

    EXPECT_EQ(PcscCodeText(0x80100022), "SCARD_E_UNSUPPORTED_FEATURE");
    EXPECT_EQ(PcscCodeText(0x80100099), "0x80100099");
    EXPECT_EQ(PcscCodeText(0x00000001), "0x00000001");
}

TEST(InsightText, StatusBarTexts) {
    const std::uint8_t vicc[] = {0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01, 0x00, 0x0B};
    const AtrList::Match one{QStringLiteral("3B 95 .*"), {QStringLiteral("Virtual card")}, 1};
    const AtrList::Match two{QStringLiteral("3B 95 .*"), {}, 2};
    EXPECT_EQ(CardSummaryText(vicc, sizeof vicc, 2, one),
              "ATR 3B 95 13 81 01 80 73 FF 01 00 0B | T=1 | Virtual card");
    EXPECT_EQ(CardSummaryText(vicc, 2, 16, two),
              "ATR 3B 95 | memory card | 3B 95 .* (first of 2 matching list entries)");
    EXPECT_EQ(CardSummaryText(vicc, 0, 1, std::nullopt), "No ATR | T=0");

    const QString tip = AtrToolTipText(vicc, sizeof vicc, one);
    EXPECT_TRUE(tip.startsWith("TS = 3B: direct convention\n")) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith("\nTCK = 0B: correct\nATR list: 3B 95 .*\n  Virtual card"))
        << tip.toStdString();

    EXPECT_EQ(NoCardText(QStringLiteral("Virtual Reader 00 00")), "No card | Virtual Reader 00 00");
    EXPECT_EQ(NoCardText(QString()), "No card");

    const std::uint8_t reply[] = {0x01, 0x02, 0x6A, 0x82};
    EXPECT_EQ(ExchangeStatusText(0, reply, 4), "6A 82 File or application not found");
    EXPECT_EQ(ExchangeStatusText(0, reply, 1), "No status word in the reply");
    EXPECT_EQ(ExchangeStatusText(0x80100069, reply, 4), "SCARD_W_REMOVED_CARD");

    EXPECT_EQ(MemoryResultText(0), "90 00 Normal processing");
    EXPECT_EQ(MemoryResultText(0x63C2), "63 C2 Warning, memory changed: counter 2");
    EXPECT_EQ(MemoryResultText(0x80100022), "SCARD_E_UNSUPPORTED_FEATURE");
}

}  // namespace
