#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <string>

#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "report/ScriptReport.h"
#include "sim/SimCardLibrary.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

Script Parsed(const char* text) {
    ParsedScript parsed = ParseScript(text);
    EXPECT_FALSE(parsed.error) << ScriptErrorText(*parsed.error);
    return parsed.script;
}

TEST(CompareReply, MarksTheBytesThatDiffer) {
    struct Case {
        const char* expectation;
        std::vector<std::uint8_t> reply;
        Verdict verdict;
        std::vector<std::size_t> differing;
    };
    const Case cases[] = {
        {"", {0x6A, 0x82}, Verdict::NoExpectation, {}},
        {"(90 00, 61 XX)", {0x61, 0x10}, Verdict::Pass, {}},
        {"(90 00, 61 XX)", {0x6A, 0x82}, Verdict::Fail, {0}},
        {"(90 00, 6A 82)", {0x90, 0x82}, Verdict::Fail, {0, 1}},
        {"[01 XX 03] (90 00)", {0x01, 0xEE, 0x03, 0x90, 0x00}, Verdict::Pass, {}},
        {"[01 02 03]", {0x01, 0x05, 0x03, 0x90, 0x00}, Verdict::Fail, {1}},
        {"[01]", {0x01, 0x02, 0x90, 0x00}, Verdict::Fail, {1}},
        {"[01 02]", {0x01, 0x90, 0x00}, Verdict::Fail, {}},
        {"[]", {0x90, 0x00}, Verdict::Pass, {}},
        {"(90 00)", {0x90}, Verdict::Fail, {}},
    };
    for (const Case& c : cases) {
        const Script script = Parsed((std::string("00 B0 00 00 00 ") + c.expectation).c_str());
        std::vector<std::size_t> differing;
        EXPECT_EQ(CompareReply(script.steps[0], c.reply, differing), c.verdict) << c.expectation;
        EXPECT_EQ(differing, c.differing) << c.expectation;
    }
}

std::vector<std::uint8_t> HexBytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(CompareReply, TagChecksNameWhatTheyExpectedAndFound) {
    // An EMV PPSE FCI with two applications, and its status word.
    const std::string ppse =
        "6F 43 84 0E 32 50 41 59 2E 53 59 53 2E 44 44 46 30 31 A5 31 BF 0C 2E 61 12 4F 07 A0 00 "
        "00 00 03 10 10 50 04 56 49 53 41 87 01 01 61 18 4F 07 A0 00 00 00 04 10 10 50 0A 4D 41 "
        "53 54 45 52 43 41 52 44 87 01 02 90 00";
    struct Case {
        const char* checks;
        std::string reply;
        std::vector<std::string> failures;
    };
    const Case cases[] = {
        {"{6F/A5/BF0C/61[2]/50 = \"MASTERCARD\"; 6F/A5/BF0C} {!6F/85}", ppse, {}},
        {"{6F/84 = 32 50 41 59 XX XX XX XX XX XX XX XX XX 31}", ppse, {}},
        {"{6F/A5/BF0C/61/50 = \"MASTERCARD\"; 6F/84 = 32 50}",
         ppse,
         {"6F/A5/BF0C/61/50: expected \"MASTERCARD\", found \"VISA\"",
          "6F/84: expected 32 50, found 32 50 41 59 2E 53 59 53 2E 44 44 46 30 31"}},
        {"{6F/A5/9F38; !6F/A5/BF0C/61[2]/87}",
         ppse,
         {"6F/A5/9F38: expected present, found nothing",
          "6F/A5/BF0C/61[2]/87: expected absent, found 02"}},
        {"{6F}", "48 65 90 00", {"6F: expected present, found a reply that is not TLV"}},
        {"{6F/50 = \"A\"; 6F = 50 01 41}",
         "6F 05 50 01 41 90 00",
         {"6F: expected 50 01 41, found 50 01 41 (cut at the end)"}},
        {"{6F/84 = XX} (90 00)", "6F 02 84 00 90 00", {"6F/84: expected XX, found no bytes"}},
    };
    for (const Case& c : cases) {
        const Script script = Parsed((std::string("00 A4 04 00 00 ") + c.checks).c_str());
        std::vector<std::size_t> differing;
        std::vector<std::string> failures;
        const Verdict verdict =
            CompareReply(script.steps[0], HexBytes(c.reply), differing, &failures);
        EXPECT_EQ(verdict, c.failures.empty() ? Verdict::Pass : Verdict::Fail) << c.checks;
        EXPECT_EQ(failures, c.failures) << c.checks;
        EXPECT_TRUE(differing.empty()) << c.checks;
    }
}

class ScriptRunnerTest : public ::testing::Test {
  protected:
    ScriptRunnerTest() { sim.InsertCard(0, SimCardKind::CpuT1); }

    ScriptRunSummary Run(const Script& script, bool continueAfterFailure = false) {
        ScriptRunner runner(sim, {SimCardLibrary::DefaultReaderName, 3, continueAfterFailure});
        return runner.Run(script, [&](const StepResult& r) { results.push_back(r); });
    }
    // Every context and card handle taken was given back.
    void ExpectAllReleased(int connects) {
        EXPECT_EQ(sim.CallCount("CardReleaseContext"), sim.CallCount("CardEstablishContext"));
        EXPECT_EQ(sim.CallCount("CardDisconnect"), connects);
    }

    SimCardLibrary sim;
    std::vector<StepResult> results;
};

TEST_F(ScriptRunnerTest, ReportsEachExchangeWithTheCardPageLines) {
    const Script script = Parsed(
        "# Select EF 2F00\n"
        "00 A4 00 0C 02 2F 00 [] (90 00)\n"
        "00 B0 00 00 02 [5A 51] (90 00)\n"
        "reset\n"
        "00 CA 00 5A 08\n");
    const ScriptRunSummary summary = Run(script);
    EXPECT_FALSE(summary.error);
    EXPECT_EQ(summary.commands, 3);
    EXPECT_EQ(summary.passes, 1);
    EXPECT_EQ(summary.failures, 1);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_THAT(
        results[0].logLines,
        ElementsAre("Send Data (0x0007 bytes) : ", "00 A4 00 0C 02 2F 00 ", "Send Data Success",
                    "Receive Data : (0x0002 bytes) : ", "90 00 ", "            "));
    EXPECT_EQ(results[1].verdict, Verdict::Fail);  // EF 2F00 starts with "ZP"
    EXPECT_EQ(results[1].differing, (std::vector<std::size_t>{1}));
    EXPECT_EQ(results[2].kind, ScriptStep::Kind::Reset);
    EXPECT_EQ(results[3].verdict, Verdict::NoExpectation);
    ExpectAllReleased(2);  // the reset connects again

    const std::string junit = JunitReport("card", script, results, summary);
    EXPECT_THAT(junit, HasSubstr("name=\"line 2: Select EF 2F00\""));
    EXPECT_THAT(junit, HasSubstr("tests=\"3\" failures=\"1\""));
    EXPECT_THAT(junit, HasSubstr("<failure message=\"sent 00 B0 00 00 02, expected [5A 51] (90 "
                                 "00), got 5A 50 90 00\"/>"));
    EXPECT_THAT(TextReport(script, results, summary),
                HasSubstr("line 3: 00 B0 00 00 02\n  expected: [5A 51] (90 00)\n"
                          "  got:      5A 50 90 00\n  FAIL, "));
}

TEST_F(ScriptRunnerTest, AFailedTagCheckIsNamedInTheReports) {
    const Script script = Parsed(
        "# Select the test application\n"
        "00 A4 04 00 07 F0 5A 50 54 45 53 54 00 (90 00) {6F/A5/50 = \"ZP CARD\"; 6F/A5/87}\n");
    const ScriptRunSummary summary = Run(script);
    EXPECT_EQ(summary.failures, 1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_THAT(results[0].checkFailures,
                ElementsAre("6F/A5/50: expected \"ZP CARD\", found \"ZP TEST\""));
    const std::string junit = JunitReport("card", script, results, summary);
    EXPECT_THAT(junit, HasSubstr("expected (90 00) {6F/A5/50 = &quot;ZP CARD&quot;; 6F/A5/87}, "
                                 "got 6F 2F 84 07 F0"));
    EXPECT_THAT(junit, HasSubstr("90 00; 6F/A5/50: expected &quot;ZP CARD&quot;, found "
                                 "&quot;ZP TEST&quot;\"/>"));
    EXPECT_THAT(
        TextReport(script, results, summary),
        HasSubstr("\n  check:    6F/A5/50: expected \"ZP CARD\", found \"ZP TEST\"\n  FAIL"));
}

TEST_F(ScriptRunnerTest, ReceivesRepliesUpToTheExtendedMaximum) {
    std::vector<std::uint8_t> longReply(3000, 0xA5);
    longReply.insert(longReply.end(), {0x90, 0x00});
    sim.SetNextTransmitReply(longReply);
    const Script script = Parsed("00 B0 00 00 00 0B B8 (90 00)\n");
    EXPECT_EQ(Run(script).passes, 1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].reply, longReply);
    EXPECT_EQ(results[0].logLines[3], "Receive Data : (0x0BBA bytes) : ");
    ExpectAllReleased(1);
}

// CI parsers reject a whole report over one byte that is not UTF-8: a script saved as
// Latin-1 still gives well-formed XML, checked by xmllint.
TEST_F(ScriptRunnerTest, JunitReportIsWellFormedForALatin1Script) {
    const Script script = Parsed(
        "# S\xE9lection & <EF> \"2F00\"\n"
        "00 A4 00 0C 02 2F 00 (90 00)\n"
        "# \xC3\xA9tape \x01 UTF-8\n"
        "00 B0 00 00 02 [5A 51]\n"
        "00 A4 00 0C 05 2F 00\n");
    const ScriptRunSummary summary = Run(script);
    const std::string junit = JunitReport("carte \xE9", script, results, summary);
    EXPECT_THAT(junit,
                HasSubstr("name=\"line 2: S\xC3\xA9lection &amp; &lt;EF&gt; &quot;2F00&quot;\""));
    EXPECT_THAT(junit, HasSubstr("name=\"line 4: \xC3\xA9tape   UTF-8\""));
    EXPECT_THAT(junit, HasSubstr("<testsuite name=\"carte \xC3\xA9\" tests=\"3\" failures=\"1\""));
    EXPECT_EQ(QByteArray::fromStdString(junit).count("<failure "), 1);  // none without expectation

    QTemporaryDir dir;
    QFile file(dir.filePath("junit.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(junit.data(), static_cast<qint64>(junit.size()));
    file.close();
    QProcess xmllint;
    xmllint.start("xmllint", {"--noout", file.fileName()});
    ASSERT_TRUE(xmllint.waitForFinished(10000)) << "xmllint (libxml2-utils) is needed";
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();

    // The command sent against its own Lc carries its warning into the text report.
    EXPECT_THAT(TextReport(script, results, summary),
                HasSubstr("line 5: 00 A4 00 0C 05 2F 00\n  expected: -\n  got:      "));
    EXPECT_THAT(TextReport(script, results, summary),
                HasSubstr("\n  warning:  Lc announces 5 data bytes, but 2 bytes follow it\n"));
}

TEST_F(ScriptRunnerTest, AFailedTransmitEndsTheRunUnlessToldToContinue) {
    const Script script = Parsed("00 B0 00 00 01\n00 B0 00 00 01\n");
    for (const bool continueAfterFailure : {false, true}) {
        results.clear();
        sim.FailNext("CardTransmit", 0x80100069);
        const ScriptRunSummary summary = Run(script, continueAfterFailure);
        EXPECT_EQ(summary.failures, 1);
        EXPECT_EQ(summary.commands, continueAfterFailure ? 2 : 1);
        EXPECT_EQ(results[0].logLines[2], "Send Data Fail, return code=0x0000000080100069");
        EXPECT_EQ(results[0].verdict, Verdict::Fail);
    }
    ExpectAllReleased(2);
}

TEST_F(ScriptRunnerTest, AFailedResetEndsTheRunWithItsCode) {
    const Script script = Parsed("00 B0 00 00 01\nreset\n00 B0 00 00 01\n");
    ScriptRunner runner(sim, {SimCardLibrary::DefaultReaderName, 3, true});
    const ScriptRunSummary summary = runner.Run(script, [&](const StepResult& r) {
        results.push_back(r);
        sim.FailNext("CardConnect", 0x80100069);
    });
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].logLines.front(), "Reset Fail, return code=0x0000000080100069");
    EXPECT_EQ(summary.error, "Reset Fail, return code=0x0000000080100069");
    EXPECT_EQ(summary.commands, 1);
    ExpectAllReleased(1);
}

TEST_F(ScriptRunnerTest, StopsBetweenCommandsWhenAsked) {
    const Script script = Parsed("00 B0 00 00 01\n00 B0 00 00 01\n00 B0 00 00 01\n");
    ScriptRunner runner(sim, {SimCardLibrary::DefaultReaderName, 3, false});
    const ScriptRunSummary summary = runner.Run(script, [&](const StepResult&) { runner.Stop(); });
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.commands, 1);
    EXPECT_THAT(SummaryText(summary), HasSubstr("1 commands, 0 passed, 0 failed, "));
    const QByteArray junit = QByteArray::fromStdString(JunitReport("card", script, {}, summary));
    EXPECT_TRUE(junit.contains("tests=\"3\" failures=\"0\" errors=\"0\" skipped=\"3\""));
    EXPECT_EQ(junit.count("<skipped/>"), 3);
    ExpectAllReleased(1);
}

TEST_F(ScriptRunnerTest, NoCardOrProtocolMeansNothingIsSent) {
    const Script script = Parsed("00 B0 00 00 01\n");
    ScriptRunner t0Only(sim, {SimCardLibrary::DefaultReaderName, 1, false});
    EXPECT_EQ(*t0Only.Run(script, {}).error,
              "Connect to \"ZP Simulated Reader 0\" Fail, return code=0x000000008010000F");
    sim.RemoveCard(0);
    EXPECT_TRUE(Run(script).error);
    EXPECT_EQ(sim.CallCount("CardTransmit"), 0);
    ExpectAllReleased(0);
}

}  // namespace
