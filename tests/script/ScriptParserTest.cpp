#include <gtest/gtest.h>

#include <string>

#include "core/script/ScriptParser.h"

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    return {values.begin(), values.end()};
}

TEST(ScriptParser, ReadsScriptorFiles) {
    const ParsedScript parsed = ParseScript(
        "# scriptor example\n"
        "\n"
        "# Select the master file\n"
        "00 A4 00 00 02 3F 00\n"
        "reset\n"
        "00b0000004   # read 4 bytes\r\n"
        "  RESET\n"
        "exit\n"
        "00 00\n");
    ASSERT_FALSE(parsed.error) << ScriptErrorText(*parsed.error);
    const auto& steps = parsed.script.steps;
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].line, 4);
    EXPECT_EQ(steps[0].comment, "Select the master file");
    EXPECT_EQ(steps[0].command, Bytes({0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00}));
    EXPECT_EQ(steps[1].kind, ScriptStep::Kind::Reset);
    EXPECT_EQ(steps[2].line, 6);
    EXPECT_EQ(steps[2].comment, "");
    EXPECT_EQ(steps[2].command, Bytes({0x00, 0xB0, 0x00, 0x00, 0x04}));
    EXPECT_FALSE(HasExpectation(steps[2]));
    EXPECT_EQ(steps[3].kind, ScriptStep::Kind::Reset);
}

TEST(ScriptParser, ReadsExpectations) {
    struct Case {
        const char* text;
        std::size_t commandLength;
        const char* expectation;  // as written back
    };
    const Case cases[] = {
        {"00 B0 00 00 02 [01 xx] (90 00, 61 XX)", 5, "[01 XX] (90 00, 61 XX)"},
        {"00 B0 00 00 00 []", 5, "[]"},
        {"00A4000C023F00(6a82)", 7, "(6A 82)"},
        {"00 B0 00 00 01 (90 00) [AB]", 5, "[AB] (90 00)"},
        {"00 A4 00 00 \\\n  02 3F 00 [] \\\n (90 00)", 7, "[] (90 00)"},
        {"00 D6 00 00 00 00 02 AA BB", 9, ""},
        {"00 B0 00 00 00 01 00", 7, ""},
        {"00 B0 00 00 02 (90 00,61 XX)", 5, "(90 00, 61 XX)"},
        {"00 B0 00 00 02 (9000,6A82)", 5, "(90 00, 6A 82)"},
        {"00 B0 00 00 02 ( 9000 , 6A82 ,61XX )", 5, "(90 00, 6A 82, 61 XX)"},
        {"00 A4 00 00 \\\n# the file\n\n  02 3F 00 \\\n   # expected\n (90 00)", 7, "(90 00)"},
        {"00 A4 04 00 00 {6f/84 = a0 00 xx 00 03 10 10}", 5, "{6F/84 = A0 00 XX 00 03 10 10}"},
        {"00 A4 04 00 00 (90 00) {6F/A5/50 = \"VISA\"; 6F/A5/BF0C;!6F/85} {70/61[2]/4F}", 5,
         "(90 00) {6F/A5/50 = \"VISA\"; 6F/A5/BF0C; !6F/85; 70/61[2]/4F}"},
        {"00 A4 04 00 00 {6F/A5/50=\"A; B}\"}[]", 5, "[] {6F/A5/50 = \"A; B}\"}"},
        {"00 A4 04 00 00 {9F7F = XX;9F38=9F 66}", 5, "{9F7F = XX; 9F38 = 9F 66}"},
    };
    for (const Case& c : cases) {
        const ParsedScript parsed = ParseScript(c.text);
        ASSERT_FALSE(parsed.error) << c.text << ": " << ScriptErrorText(*parsed.error);
        ASSERT_EQ(parsed.script.steps.size(), 1u) << c.text;
        EXPECT_EQ(parsed.script.steps[0].command.size(), c.commandLength) << c.text;
        EXPECT_EQ(ExpectationText(parsed.script.steps[0]), c.expectation) << c.text;
    }
}

TEST(ScriptParser, NamesLineAndColumnOfBadInput) {
    struct Case {
        std::string text;
        int line;
        int column;
        const char* message;
    };
    const std::string tooLong = "00 D6 00 00 00 04 01" + std::string(1025 * 2, 'A');
    const std::string longest = "00 D6 00 00 00 03 F9" + std::string(1017 * 2, 'A');
    const Case cases[] = {
        {"00 A4 0", 1, 7, "odd number of hex digits (1)"},
        {"00A40", 1, 1, "odd number of hex digits (5)"},
        {"00 G4 00 00", 1, 4, "'G' is not a hex digit"},
        {"00 A4 00", 1, 1, "a command has at least 4 bytes (CLA INS P1 P2), this one has 3"},
        {"[90 00]", 1, 1, "a command has at least 4 bytes (CLA INS P1 P2), this one has 0"},
        {"00 B0 00 00 02 (90 00,6)", 1, 23, "odd number of hex digits"},
        {"00 B0 00 00 02 (90 00,)", 1, 23, "a status word has 2 bytes, this one has 0"},
        {"00 B0 00 00 02 [01 02", 1, 16, "'[' without its closing ']'"},
        {"00 B0 00 00 02 (90 00, 61", 1, 16, "'(' without its closing ')'"},
        {"00 B0 00 00 02 (90)", 1, 17, "a status word has 2 bytes, this one has 1"},
        {"00 B0 00 00 02 [9X]", 1, 17, "XX stands for a whole byte"},
        {"00 B0 00 00 02 [9Z]", 1, 18, "'Z' is not a hex digit or XX"},
        {"00 B0 00 00 02 [0]", 1, 17, "odd number of hex digits"},
        {"00 B0 00 00 02 [] []", 1, 19, "a second [data] expectation"},
        {"00 B0 00 00 02 (90 00) x", 1, 24, "'x' where [data], (SW1 SW2) or {check} may follow"},
        {"00 A4 04 00 00 {}", 1, 17, "a check names a tag path, e.g. 6F/84"},
        {"00 A4 04 00 00 {6F;;84}", 1, 20, "a check names a tag path, e.g. 6F/84"},
        {"00 A4 04 00 00 {6F/A5 50}", 1, 23, "'5' where ';' or '}' may follow"},
        {"00 A4 04 00 00 {6F/A5", 1, 16, "'{' without its closing '}'"},
        {"00 A4 04 00 00 {6F/84 = A0 00", 1, 16, "'{' without its closing '}'"},
        {"00 A4 04 00 00 {6F/A5/50 = \"VISA}", 1, 28, "'\"' without its closing '\"'"},
        {"00 A4 04 00 00 {6F/8G}", 1, 21, "'G' is not a hex digit"},
        {"00 A4 04 00 00 {6F/9F}", 1, 20, "not one BER-TLV tag (1 bytes)"},
        {"00 A4 04 00 00 {70/61[0]/4F}", 1, 22, "an index is written [n], n from 1"},
        {"00 A4 04 00 00 {!6F/85 = 01}", 1, 24, "an absent object has no value to compare"},
        {"00 A4 04 00 00 {6F/84 = }", 1, 25, "'=' is followed by bytes or \"text\""},
        {"00 A4 04 00 00 {6F/84 = A0 0}", 1, 28, "odd number of hex digits"},
        {"00 A4 04 00 00 \\\n {6F/84 = A0 XY}", 2, 15, "'Y' is not a hex digit or XX"},
        {tooLong, 1, 1, "the command has 1032 bytes, more than the transmit buffer of 1024"},
        {"00 B0 00 00\nexit\n00 B0 00", 0, 0, nullptr},  // nothing after exit is read
        {longest, 0, 0, nullptr},                        // 1024 bytes fill the transmit buffer
    };
    for (const Case& c : cases) {
        const ParsedScript parsed = ParseScript(c.text);
        if (c.message == nullptr) {
            EXPECT_FALSE(parsed.error) << c.text;
            continue;
        }
        ASSERT_TRUE(parsed.error) << c.text;
        EXPECT_EQ(parsed.error->line, c.line) << c.text;
        EXPECT_EQ(parsed.error->column, c.column) << c.text;
        EXPECT_EQ(parsed.error->message, c.message) << c.text;
    }
}

// A command that disagrees with its own Lc is sent as written, with a warning on the step.
TEST(ScriptParser, KeepsACommandWhoseLcDisagreesWithItsData) {
    struct Case {
        const char* text;
        int line;
        std::size_t commandLength;
        const char* warning;
    };
    const Case cases[] = {
        {"00 A4 00 00 05 3F 00", 1, 7, "Lc announces 5 data bytes, but 2 bytes follow it"},
        {"00 D6 00 00 00 01", 1, 6, "an extended Lc has 3 bytes, 00 and the length"},
        {"00 D6 00 00 00 00 02 AA", 1, 8, "Lc announces 2 data bytes, but 1 bytes follow it"},
        {"# c\n00 A4 00 00 \\\n 02 3F", 2, 6, "Lc announces 2 data bytes, but 1 bytes follow it"},
        {"00 A4 00 00 02 3F 00 00", 1, 8, ""},
        {"00 D6 00 00 00 00 02 AA BB 01 00", 1, 11, ""},
    };
    for (const Case& c : cases) {
        const ParsedScript parsed = ParseScript(c.text);
        ASSERT_FALSE(parsed.error) << c.text << ": " << ScriptErrorText(*parsed.error);
        ASSERT_EQ(parsed.script.steps.size(), 1u) << c.text;
        EXPECT_EQ(parsed.script.steps[0].line, c.line) << c.text;
        EXPECT_EQ(parsed.script.steps[0].command.size(), c.commandLength) << c.text;
        EXPECT_EQ(parsed.script.steps[0].warning, c.warning) << c.text;
    }
}

TEST(ScriptParser, ErrorTextNamesLineAndColumn) {
    EXPECT_EQ(ScriptErrorText({3, 7, "odd number of hex digits (1)"}),
              "line 3, column 7: odd number of hex digits (1)");
}

}  // namespace
