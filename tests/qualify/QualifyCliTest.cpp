#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "support/CliProcess.h"

namespace {

using testing::HasSubstr;

CliRun RunQualify(QStringList args) {
    args.prepend(QStringLiteral("qualify"));
    return RunCliProcess(args);
}

TEST(QualifyCommand, UsageErrorsAnswerTwo) {
    const QStringList rows[] = {
        {QStringLiteral("--protocol"), QStringLiteral("T2"), QStringLiteral("--simulated")},
        {QStringLiteral("--extended-step"), QStringLiteral("0"), QStringLiteral("--simulated")},
        {QStringLiteral("--waiting-times"), QStringLiteral("1,300"), QStringLiteral("--simulated")},
        {QStringLiteral("--simulated"), QStringLiteral("--reader"), QStringLiteral("0")},
        {QStringLiteral("--simulated"), QStringLiteral("--reader"), QStringLiteral("7")},
        {QStringLiteral("--simulated"), QStringLiteral("--json"), QStringLiteral("/")},
        {QStringLiteral("surplus")},
    };
    for (const QStringList& args : rows) {
        const CliRun run = RunQualify(args);
        EXPECT_EQ(run.status, 2) << args.join(u' ').toStdString() << "\n" << run.err;
        EXPECT_THAT(run.out, testing::Not(HasSubstr("cells,")));
    }
}

TEST(QualifyCommand, SimulatedTestCardWritesTheMatrixAndBothReports) {
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("q.json"));
    const QString junit = dir.filePath(QStringLiteral("q.xml"));
    const QString html = dir.filePath(QStringLiteral("q.html"));
    const CliRun run = RunQualify(
        {QStringLiteral("--simulated"), QStringLiteral("--protocol"), QStringLiteral("T1"),
         QStringLiteral("--waiting-times"), QStringLiteral("1"), QStringLiteral("--json"), json,
         QStringLiteral("--junit"), junit, QStringLiteral("--html"), html});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("T=1\n  case 1: pass\n"));
    EXPECT_THAT(run.out, HasSubstr("case 2, Le 1\u2013256: pass"));
    EXPECT_THAT(run.out, testing::Not(HasSubstr("\r")));  // no progress line off a terminal

    QFile jsonFile(json);
    ASSERT_TRUE(jsonFile.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(jsonFile.readAll()).object();
    EXPECT_EQ(report[QStringLiteral("settings")][QStringLiteral("run")].toString(),
              QStringLiteral("quick"));
    EXPECT_FALSE(report[QStringLiteral("atr")].toString().isEmpty());
    EXPECT_TRUE(report[QStringLiteral("properties")].isObject());
    const QJsonArray cells = report[QStringLiteral("cells")].toArray();
    EXPECT_GT(cells.size(), 50);
    EXPECT_EQ(cells[0].toObject()[QStringLiteral("case")].toString(), QStringLiteral("case 1"));
    EXPECT_FALSE(report[QStringLiteral("timings")].toArray().isEmpty());

    QFile junitFile(junit);
    ASSERT_TRUE(junitFile.open(QIODevice::ReadOnly));
    const std::string xml = junitFile.readAll().toStdString();
    EXPECT_THAT(xml, HasSubstr("<testsuite name=\"qualify ZP Simulated Reader 0 T=1\""));
    EXPECT_THAT(xml, HasSubstr("name=\"Le 1\u2013256\""));
    QFile htmlFile(html);
    ASSERT_TRUE(htmlFile.open(QIODevice::ReadOnly));
    EXPECT_THAT(htmlFile.readAll().toStdString(), HasSubstr("<svg"));
}

}  // namespace
