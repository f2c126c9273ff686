#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"

namespace {

struct Outcome {
    int status = 0;
    QString out;
    QString err;
};

template <typename Command>
Outcome RunCommand(Command command, const QStringList& args) {
    Outcome run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = command(args, out, err);
    out.flush();
    err.flush();
    return run;
}

TEST(InfoCommand, DescribesTheSimulatedReaderWithoutACard) {
    const Outcome text = RunCommand(RunInfoCommand, {QStringLiteral("--simulated")});
    EXPECT_EQ(text.status, 0) << text.err.toStdString();
    for (const char* line :
         {"Reader: ZP Simulated Reader 0\n", "\n  Vendor name: ZP Simulated\n",
          "\n  Serial number: not supported\n", "\n  FEATURE_CCID_ESC_COMMAND: 0x42000DAC\n",
          "\n  sFirmwareID: ZP PIN-pad 1.2.3\n", "\n  Connection: direct (no card)\n"}) {
        EXPECT_TRUE(text.out.contains(QString::fromLatin1(line))) << line;
    }

    const Outcome json =
        RunCommand(RunInfoCommand, {QStringLiteral("--simulated"), QStringLiteral("--json")});
    ASSERT_EQ(json.status, 0);
    const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(root[QStringLiteral("reader")].toString(), QStringLiteral("ZP Simulated Reader 0"));
    EXPECT_EQ(root[QStringLiteral("Features")][QStringLiteral("FEATURE_IFD_PIN_PROPERTIES")],
              QStringLiteral("0x4233000A"));
    EXPECT_EQ(root[QStringLiteral("State")][QStringLiteral("Flags")], QStringLiteral("empty"));
}

TEST(ReaderCommands, RefuseWrongUsage) {
    const std::pair<bool, QStringList> cases[] = {
        {true, {QStringLiteral("--simulated"), QStringLiteral("--reader")}},
        {true, {QStringLiteral("--bogus")}},
        {true, {QStringLiteral("extra")}},
        {false, {QStringLiteral("--simulated"), QStringLiteral("01")}},
        {false, {QStringLiteral("--simulated"), QStringLiteral("--code"), QStringLiteral("x")}},
        {false,
         {QStringLiteral("--simulated"), QStringLiteral("--code=3500"), QStringLiteral("0G")}},
        {false,
         {QStringLiteral("--simulated"), QStringLiteral("--code=3500"), QStringLiteral("012")}},
    };
    for (const auto& [info, args] : cases) {
        const Outcome run =
            info ? RunCommand(RunInfoCommand, args) : RunCommand(RunControlCommand, args);
        EXPECT_EQ(run.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("usage: "))) << run.err.toStdString();
    }
}

TEST(ControlCommand, SendsTheEscapeCommandAndReportsARefusal) {
    const Outcome escape =
        RunCommand(RunControlCommand, {QStringLiteral("--simulated"), QStringLiteral("--code"),
                                       QStringLiteral("3500"), QStringLiteral("01 02")});
    EXPECT_EQ(escape.status, 0) << escape.err.toStdString();
    EXPECT_EQ(escape.out, QStringLiteral("Control Code : 0x42000DAC\n"
                                         "Send Data (0x0002 bytes) : \n"
                                         "01 02 \n"
                                         "Receive Data : (0x0010 bytes) : \n"
                                         "5A 50 20 50 49 4E 2D 70 61 64 20 31 2E 32 2E 33 \n"
                                         "\n"
                                         "            \n"));

    const Outcome refused = RunCommand(
        RunControlCommand, {QStringLiteral("--simulated"), QStringLiteral("--code=0x42000001")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(
        refused.out.contains(QStringLiteral("\nControl Fail, return code=0x0000000080100022\n")));
    EXPECT_TRUE(refused.err.contains(QStringLiteral("SCARD_E_UNSUPPORTED_FEATURE")));

    const Outcome missing =
        RunCommand(RunControlCommand, {QStringLiteral("--simulated"), QStringLiteral("--reader"),
                                       QStringLiteral("1"), QStringLiteral("--code=1")});
    EXPECT_EQ(missing.status, 2);
}

// A name wins over an index, so that a reader named "2" is the one asked for.
TEST(ReaderChoice, ANameBeforeAnIndex) {
    const std::vector<std::string> attached = {"Reader A", "2", "Reader B"};
    const std::pair<const char*, const char*> cases[] = {
        {"", "Reader A"},  {"Reader B", "Reader B"}, {"2", "2"},      {"1", "2"},
        {"0", "Reader A"}, {"3", nullptr},           {"-1", nullptr}, {"reader a", nullptr},
    };
    for (const auto& [wanted, chosen] : cases) {
        QString error;
        const auto reader = ChooseReader(attached, QString::fromLatin1(wanted), error);
        if (chosen == nullptr) {
            EXPECT_FALSE(reader) << wanted;
            EXPECT_EQ(error, QStringLiteral("no reader '%1' among the 3 attached").arg(wanted));
        } else {
            EXPECT_EQ(reader, std::optional<std::string>(chosen)) << wanted;
        }
    }
    QString error;
    EXPECT_FALSE(ChooseReader({}, QString(), error));
    EXPECT_EQ(error, QStringLiteral("no reader attached"));
}

}  // namespace
