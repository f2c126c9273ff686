#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "insight/AtrList.h"

namespace {

const std::uint8_t kVicc[] = {0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01, 0x00, 0x0B};

void WriteFile(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

constexpr const char* kList =
    "# comment\n"
    "3B 95 13\n"  // a prefix of the ATR: must not match
    "\tPrefix only\n"
    "\n"
    "3B 95 1[0-3] 81 01 80 73 FF 01 00 ..\n"
    "\tVirtual card\n"
    "\tsecond line\n"
    "\n"
    "3B 95 (\n"  // not a regular expression
    "\tBroken\n"
    "\n"
    "3b 955? 13 .*\n"  // small letters, and a quantifier on a character of the prefix
    "\tAny 3B 95 13 card\n"
    "\n"
    "3B 68 00 00 .. .. .. .. .. .. .. 30\n";  // a pattern without a description

TEST(AtrList, MatchesWholeAtrsAndNamesTheFirstOfSeveral) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    AtrList list(path);
    WriteFile(path, kList);  // the file is read on the first look-up, not before

    const auto vicc = list.Identify(kVicc, sizeof kVicc);
    ASSERT_TRUE(vicc.has_value());
    EXPECT_EQ(vicc->pattern, QStringLiteral("3B 95 1[0-3] 81 01 80 73 FF 01 00 .."));
    EXPECT_EQ(vicc->descriptions, QStringList({"Virtual card", "second line"}));
    EXPECT_EQ(vicc->matchCount, 2);

    const std::uint8_t t0[] = {0x3B, 0x68, 0x00, 0x00, 'Z', 'P', 'S', 'I', 'M', '-', 'T', '0'};
    const auto simT0 = list.Identify(t0, sizeof t0);
    ASSERT_TRUE(simT0.has_value());
    EXPECT_TRUE(simT0->descriptions.isEmpty());
    EXPECT_EQ(simT0->matchCount, 1);
    EXPECT_FALSE(list.Identify(t0, 11).has_value());

    // Read once: a changed file is not read again.
    WriteFile(path, "3B .*\n\tAnything\n");
    EXPECT_EQ(list.Identify(kVicc, sizeof kVicc)->matchCount, 2);
    EXPECT_TRUE(list.Available());
}

TEST(AtrList, MissingFileIsAnEmptyList) {
    AtrList list(QStringLiteral("/nonexistent/smartcard_list.txt"));
    EXPECT_FALSE(list.Identify(kVicc, sizeof kVicc).has_value());
    EXPECT_FALSE(list.Available());
}

// The list Debian's pcsc-tools installs: the virtual card of the real-stack tests is in it,
// and so are the storage cards' ATRs of PC/SC part 3 that the simulated memory cards give.
TEST(AtrList, InstalledListKnowsTheTestCards) {
    AtrList list;
    if (!list.Available()) {
        GTEST_SKIP() << AtrList::kInstalledPath << " is not installed";
    }
    const auto vicc = list.Identify(kVicc, sizeof kVicc);
    ASSERT_TRUE(vicc.has_value());
    EXPECT_TRUE(vicc->descriptions.join(' ').contains(QStringLiteral("vsmartcard")));

    const std::uint8_t sle4442[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                    0x03, 0x06, 0x0F, 0xF0, 0x22, 0x00, 0x00, 0x00, 0x00, 0xB5};
    const auto memory = list.Identify(sle4442, sizeof sle4442);
    ASSERT_TRUE(memory.has_value());
    EXPECT_TRUE(memory->descriptions.join(' ').contains(QStringLiteral("2WBP")))
        << "named by its bus, not as a contactless card";
}

}  // namespace
