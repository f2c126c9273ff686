// zp-readertest-cli qualify through the platform's PC/SC service, on the simulated test card
// in a virtual reader: the short cases pass, a reader that cuts long replies fails exactly at
// its limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "VirtualCard.h"
#include "pcsc/PcscCardLibrary.h"

namespace {

using testing::HasSubstr;

struct Row {
    const char* name;
    QStringList cardOptions;  // zp-vcard's options after the slot
    QString protocol;
    int status;
    std::vector<std::string> matrix;  // lines the printed matrix holds
};

class QualifyRealStack : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
    }

    void TearDown() override {
        if (vcard_.state() != QProcess::NotRunning) {
            vcard_.kill();
            vcard_.waitForFinished();
            WaitForCardState(library_, context_, kFirstReader, false);
        }
        if (context_ != 0) {
            library_.CardReleaseContext(context_);
        }
    }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    QProcess vcard_;
};

TEST_P(QualifyRealStack, PrintsTheMatrixAndAnswersItsVerdict) {
    const Row& row = GetParam();
    vcard_.setProcessChannelMode(QProcess::MergedChannels);
    vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                 QStringList{QStringLiteral("--slot"), QStringLiteral("0"),
                             QStringLiteral("--time-unit-us"), QStringLiteral("1000")} +
                     row.cardOptions);
    ASSERT_TRUE(vcard_.waitForStarted());
    ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, true))
        << vcard_.readAll().toStdString();

    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("q.json"));
    QProcess cli;
    cli.start(
        QStringLiteral(ZP_CLI_PATH),
        {QStringLiteral("qualify"), QStringLiteral("--reader"), QString::fromLatin1(kFirstReader),
         QStringLiteral("--protocol"), row.protocol, QStringLiteral("--waiting-times"),
         QStringLiteral("1,5"), QStringLiteral("--json"), json});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const std::string out = cli.readAllStandardOutput().toStdString();
    EXPECT_EQ(cli.exitCode(), row.status) << out << cli.readAllStandardError().toStdString();
    for (const std::string& line : row.matrix) {
        EXPECT_THAT(out, HasSubstr("  " + line + "\n"));
    }
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(report[QStringLiteral("passed")].toBool(), row.status == 0);
    EXPECT_EQ(report[QStringLiteral("reader")].toString(), QString::fromLatin1(kFirstReader));
}

INSTANTIATE_TEST_SUITE_P(
    Vpcd, QualifyRealStack,
    // The virtual reader carries messages of at most 65535 bytes: the longest extended
    // command and reply do not fit, and the cells after them fail as well.
    testing::Values(Row{"T1",
                        {QStringLiteral("--card"), QStringLiteral("test-t1")},
                        QStringLiteral("T1"),
                        1,
                        {"case 2, Le 1\u2013256: pass", "case 4, Lc 1\u2013255: pass"}},
                    Row{"SoundT0",
                        {QStringLiteral("--card"), QStringLiteral("test-t0")},
                        QStringLiteral("T0"),
                        0,
                        {"case 4, Lc 1\u2013255: pass", "time request, P2 1\u20135: pass"}},
                    Row{"CutRepliesT1",
                        {QStringLiteral("--card"), QStringLiteral("test-t1"),
                         QStringLiteral("--cut-above"), QStringLiteral("254")},
                        QStringLiteral("T1"),
                        1,
                        {"case 2, Le 1\u2013254: pass; 255\u2013256: fail, 254 bytes received",
                         "case 3, Lc 1\u2013255: pass"}}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
