// zp-readertest-cli's commands on the built-in simulated reader, called in the process and
// started as the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "support/CliProcess.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class CliRunTest : public ::testing::Test {
  protected:
    QString Script(const char* text) {
        const QString path = dir.filePath(QStringLiteral("card.script"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    int Run(const QStringList& args) {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return args.front() == QStringLiteral("list")
                   ? RunListCommand(args.mid(1), outStream, errStream)
                   : RunRunCommand(args.mid(1), outStream, errStream);
    }

    QTemporaryDir dir;
    QString out;
    QString err;
};

TEST_F(CliRunTest, ExitStatusTellsWhetherEveryExpectationHeld) {
    struct Case {
        const char* script;
        QStringList extra;
        int status;
        const char* outPart;
        const char* errPart;
    };
    const auto tagFile = [&](const char* name, const char* text) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    };
    const QString tags = tagFile("tags.txt", "9F4D BF0C hex Log entry of the test card\n");
    const QString badTags = tagFile("bad-tags.txt", "XY * hex Name\n");
    const char* selectApplication = "00 A4 04 00 07 F0 5A 50 54 45 53 54 00\n";
    const QString decode = QStringLiteral("--decode");
    const QString tagsOption = QStringLiteral("--tags");
    const Case cases[] = {
        {selectApplication,
         {decode},
         0,
         "0A 90 00 \n            \n  6F File control information (FCI template)\n"
         "    84 DF name: F0 5A 50 54 45 53 54\n    A5 FCI proprietary template\n"
         "      50 Application label: \"ZP TEST\"\n",
         ""},
        {selectApplication,
         {decode, tagsOption, tags},
         0,
         "        9F4D Log entry of the test card: 0B 0A\n",
         ""},
        {selectApplication, {decode, tagsOption, badTags}, 2, "", "line 1: 'XY' is not a tag"},
        {selectApplication, {tagsOption, tags}, 2, "", "--tags goes with --decode"},
        {"00 A4 04 00 07 F0 5A 50 54 45 53 54 00 {6F/A5/50 = \"ZP CARD\"; 6F/A5/87 = 01}\n",
         {},
         1,
         "line 1: 6F/A5/50: expected \"ZP CARD\", found \"ZP TEST\"\n1 commands, 0 passed",
         ""},
        {"00 A4 00 0C 02 2F 00 [] (90 00)\n00 B0 00 00 02 [5A XX]\n",
         {},
         0,
         "Send Data (0x0007 bytes) : \n00 A4 00 0C 02 2F 00 \nSend Data Success\n",
         ""},
        {"00 A4 00 0C 02 2F 00\n00 B0 00 00 02 [5A 51] (90 00)\n",
         {},
         1,
         "line 2: FAIL, expected [5A 51] (90 00), got 5A 50 90 00\n"
         "2 commands, 0 passed, 1 failed, ",
         ""},
        {"00 B0 00 00 02\n00 A4 00 0C 05 2F 00\n",
         {},
         0,
         "line 2: warning, Lc announces 5 data bytes, but 2 bytes follow it\n",
         ""},
        {"00 B0 00 00 02\n00 A4 0\n", {}, 2, "", "line 2, column 7: odd number of hex digits (1)"},
        {"00 B0 00 00 02\n",
         {QStringLiteral("--protocol"), QStringLiteral("T0")},
         2,
         "",
         "Connect to \"ZP Simulated Reader 0\" Fail, return code=0x000000008010000F"},
        {"00 B0 00 00 02\n",
         {QStringLiteral("--protocol"), QStringLiteral("T2")},
         2,
         "",
         "unknown protocol T2"},
        {"00 B0 00 00 02\n",
         {QStringLiteral("--reader"), QStringLiteral("1")},
         2,
         "",
         "no reader '1' among the 1 attached"},
    };
    for (const Case& c : cases) {
        const int status = Run(
            QStringList{QStringLiteral("run"), Script(c.script), QStringLiteral("--simulated")} +
            c.extra);
        EXPECT_EQ(status, c.status) << c.script << err.toStdString();
        EXPECT_THAT(out.toStdString(), HasSubstr(c.outPart)) << c.script;
        EXPECT_THAT(err.toStdString(), HasSubstr(c.errPart)) << c.script;
        if (*c.outPart == '\0') {
            EXPECT_THAT(out.toStdString(), ::testing::Not(HasSubstr("Send Data"))) << c.script;
        }
    }
}

TEST_F(CliRunTest, ListNamesTheReaderAndItsCardsAtr) {
    EXPECT_EQ(Run({QStringLiteral("list"), QStringLiteral("--simulated")}), 0);
    EXPECT_THAT(out.toStdString(), StartsWith("[0] ZP Simulated Reader 0: 3B "));
    EXPECT_EQ(Run({QStringLiteral("list"), QStringLiteral("--bogus")}), 2);
    EXPECT_THAT(err.toStdString(), HasSubstr("Unknown option 'bogus'"));
}

CliRun RunProgram(const QStringList& args) {
    return RunCliProcess(args);
}

TEST(CliProgram, EveryCommandInTheTableAnswersItsHelp) {
    const CliRun overview = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(overview.status, 0) << overview.err;
    for (const CliCommand& command : CliCommandTable()) {
        EXPECT_THAT(overview.out, HasSubstr(std::string("  ") + command.word)) << command.word;
        EXPECT_THAT(overview.out, HasSubstr(command.summary));

        const CliRun help =
            RunProgram({QString::fromLatin1(command.word), QStringLiteral("--help")});
        EXPECT_EQ(help.status, 0) << command.word << ": " << help.err;
        EXPECT_THAT(help.out,
                    HasSubstr(std::string("zp-readertest-cli ") + command.word + " [options]"));
        EXPECT_THAT(help.out, HasSubstr("-h, --help"));
        EXPECT_EQ(help.err, "") << command.word;
    }
}

// The commands that take --reader choose it by one rule and say so in one message.
TEST(CliProgram, EveryCommandRefusesAnUnknownReaderAlike) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("card.script"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("00 B0 00 00 02\n");
    file.close();
    const QStringList reader{QStringLiteral("--simulated"), QStringLiteral("--reader"),
                             QStringLiteral("7")};
    const std::pair<const char*, QStringList> commands[] = {
        {"run", {script}},
        {"stress", {QStringLiteral("--connect-cycle")}},
        {"info", {}},
        {"control", {QStringLiteral("--code=1")}},
    };
    for (const auto& [word, args] : commands) {
        const CliRun run = RunProgram(QStringList{QString::fromLatin1(word)} + args + reader);
        EXPECT_EQ(run.status, 2) << word;
        EXPECT_THAT(run.err, StartsWith(std::string("zp-readertest-cli ") + word +
                                        ": no reader '7' among the "))
            << word;
        EXPECT_EQ(run.out, "") << word;
    }
}

}  // namespace
