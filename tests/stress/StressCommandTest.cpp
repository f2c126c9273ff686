// The stress command on the simulated readers: usage errors, a run with its JSON report,
// and SIGINT.
#include <gtest/gtest.h>

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include "cli/StressCommand.h"
#include "sim/SimCardLibrary.h"

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome RunCommand(const QStringList& args, const StressCommandHooks& hooks = {}) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = RunStressCommand(args, outStream, errStream, hooks);
    return {status, out, err};
}

TEST(StressCommand, RefusesWhatItCannotRun) {
    struct Case {
        QStringList args;
        const char* message;
    };
    const Case cases[] = {
        {{QStringLiteral("--simulated")}, "give one of --apdu, --script and --connect-cycle"},
        {{QStringLiteral("--apdu"), QStringLiteral("0084"), QStringLiteral("--connect-cycle")},
         "give one of"},
        {{QStringLiteral("--apdu"), QStringLiteral("008400"), QStringLiteral("--simulated")},
         "--apdu: a command has at least 4 bytes"},
        {{QStringLiteral("--script"), QStringLiteral("/nonexistent/x.txt"),
          QStringLiteral("--simulated")},
         "--script: No such file or directory"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--count"), QStringLiteral("0")},
         "--count wants a positive number"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--pause-ms"), QStringLiteral("-1")},
         "--pause-ms wants a whole number"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated")},
         "2 readers attached; choose with --reader or --all-readers"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--reader"), QStringLiteral("2")},
         "no reader '2'"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--bogus")},
         "Unknown option 'bogus'"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated-latency-ms"),
          QStringLiteral("20")},
         "--simulated-latency-ms needs --simulated"},
        // Reports that could not be written at the end are refused before the run.
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--all-readers"), QStringLiteral("--json"),
          QStringLiteral("/nonexistent/r.json")},
         "cannot write /nonexistent/r.json: "},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--all-readers"), QStringLiteral("--json"), QDir::tempPath()},
         "it is a directory"},
        {{QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
          QStringLiteral("--all-readers"), QStringLiteral("--csv"),
          QStringLiteral("/nonexistent/log.csv")},
         "cannot write /nonexistent/log.csv: "},
    };
    for (const Case& c : cases) {
        const Outcome outcome = RunCommand(c.args);
        EXPECT_EQ(outcome.status, 2) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(outcome.err.contains(QLatin1String(c.message))) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.out.isEmpty());
    }
}

TEST(StressCommand, RunsEveryChosenReaderAndWritesTheReports) {
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("report.json"));
    const QString csv = dir.filePath(QStringLiteral("log.csv"));
    const Outcome outcome = RunCommand(
        {QStringLiteral("--apdu"), QStringLiteral("00 84 00 00 08"), QStringLiteral("--simulated"),
         QStringLiteral("--reader"), QStringLiteral("0"), QStringLiteral("--reader"),
         QStringLiteral("ZP Simulated Reader 1"), QStringLiteral("--count"), QStringLiteral("25"),
         QStringLiteral("--reset-every"), QStringLiteral("10"), QStringLiteral("--json"), json,
         QStringLiteral("--csv"), csv});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.startsWith(QStringLiteral("Reader "))) << outcome.out.toStdString();
    EXPECT_EQ(outcome.out.count(QStringLiteral("       25       0 ")), 2)
        << outcome.out.toStdString();

    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(report[QStringLiteral("settings")][QStringLiteral("count")].toInt(), 25);
    const QJsonArray readers = report[QStringLiteral("readers")].toArray();
    ASSERT_EQ(readers.size(), 2);
    for (const QJsonValue& reader : readers) {
        EXPECT_EQ(reader[QStringLiteral("done")].toInt(), 25);
        EXPECT_EQ(reader[QStringLiteral("failed")].toInt(), 0);
        EXPECT_EQ(reader[QStringLiteral("end")].toString(), QStringLiteral("completed"));
        EXPECT_FALSE(reader[QStringLiteral("atr")].toString().isEmpty());
        int histogramCount = 0;
        for (const QJsonValue& bucket : reader[QStringLiteral("histogram")].toArray()) {
            histogramCount += bucket.toArray()[2].toInt();
        }
        EXPECT_EQ(histogramCount, 25);
    }
    QFile log(csv);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count('\n'), 51);
}

TEST(StressCommand, ACardThatDoesNotAnswerItsResetFailsTheRun) {
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("report.json"));
    StressCommandHooks hooks;
    hooks.simulated = [](SimCardLibrary& sim) { sim.FailNext("CardReconnect", 0x80100066); };
    const Outcome outcome = RunCommand(
        {QStringLiteral("--apdu"), QStringLiteral("0084000008"), QStringLiteral("--simulated"),
         QStringLiteral("--reader"), QStringLiteral("0"), QStringLiteral("--count"),
         QStringLiteral("10"), QStringLiteral("--reset-every"), QStringLiteral("3"),
         QStringLiteral("--max-failures"), QStringLiteral("5"), QStringLiteral("--json"), json},
        hooks);
    EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.contains(QStringLiteral("no answer after a reset (")))
        << outcome.out.toStdString();
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject reader =
        QJsonDocument::fromJson(file.readAll()).object()[QStringLiteral("readers")][0].toObject();
    EXPECT_EQ(reader[QStringLiteral("done")].toInt(), 4);
    EXPECT_EQ(reader[QStringLiteral("failed")].toInt(), 1);
}

TEST(StressCommand, SigintStopsTheRunAndPrintsTheSummary) {
    StressCommandHooks hooks;
    hooks.started = [] { raise(SIGINT); };
    const Outcome outcome = RunCommand(
        {QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
         QStringLiteral("--all-readers"), QStringLiteral("--pause-ms"), QStringLiteral("1")},
        hooks);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out.count(QStringLiteral("  stopped\n")), 2) << outcome.out.toStdString();
}

TEST(StressCommandDeathTest, ASecondSigintEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StressCommandHooks hooks;
    hooks.started = [] {
        raise(SIGINT);
        raise(SIGINT);
    };
    EXPECT_EXIT(RunCommand({QStringLiteral("--connect-cycle"), QStringLiteral("--simulated"),
                            QStringLiteral("--all-readers")},
                           hooks),
                ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
