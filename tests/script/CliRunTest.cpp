// zp-readertest-cli's commands on the built-in simulated reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "cli/CliCommands.h"

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
        return args.front() == QStringLiteral("list") ? RunListCommand(args, outStream, errStream)
                                                      : RunRunCommand(args, outStream, errStream);
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
    const Case cases[] = {
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
         "no reader 1"},
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

}  // namespace
