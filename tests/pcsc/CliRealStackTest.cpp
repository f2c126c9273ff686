// zp-readertest-cli run against a simulated T=1 card that zp-vcard puts into the first
// virtual reader of the PC/SC service.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "VirtualCard.h"
#include "pcsc/PcscCardLibrary.h"

namespace {

class CliRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
        vcard_.setProcessChannelMode(QProcess::MergedChannels);
        vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                     {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                      QStringLiteral("cpu-t1")});
        ASSERT_TRUE(vcard_.waitForStarted());
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, true))
            << vcard_.readAll().toStdString();
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

    // Runs the script with the program; answers its exit status.
    int RunScript(const QByteArray& script) {
        QFile file(dir_.filePath(QStringLiteral("card.script")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        QProcess cli;
        cli.start(QStringLiteral(ZP_CLI_PATH),
                  {QStringLiteral("run"), file.fileName(), QStringLiteral("--reader"),
                   QString::fromLatin1(kFirstReader), QStringLiteral("--junit"), JunitPath()});
        EXPECT_TRUE(cli.waitForFinished(30000));
        output_ = cli.readAllStandardOutput().toStdString();
        errors_ = cli.readAllStandardError().toStdString();
        return cli.exitCode();
    }
    QString JunitPath() const { return dir_.filePath(QStringLiteral("results.xml")); }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    QProcess vcard_;
    QTemporaryDir dir_;
    std::string output_;
    std::string errors_;
};

TEST_F(CliRealStack, AScriptThatHoldsExitsZeroWithOneTestCasePerCommand) {
    ASSERT_EQ(RunScript("# Select EF 2F00\n00 A4 00 0C 02 2F 00 [] (90 00)\n"
                        "00 B0 00 00 02 [5A 50] (90 00)\n"
                        "reset\n"
                        "00 CA 00 5A 08 [5A 50 XX XX 12 34 56 78] (90 00)\n"),
              0)
        << output_ << errors_;
    EXPECT_NE(output_.find("Send Data (0x0007 bytes) : \n00 A4 00 0C 02 2F 00 \nSend Data "
                           "Success\nReceive Data : (0x0002 bytes) : \n90 00 \n"),
              std::string::npos)
        << output_;
    EXPECT_NE(output_.find("3 commands, 3 passed, 0 failed, "), std::string::npos) << output_;

    QFile report(JunitPath());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&report);
    QStringList names;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QStringLiteral("testcase")) {
            names.append(xml.attributes().value(QStringLiteral("name")).toString());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("line 2: Select EF 2F00"),
                                  QStringLiteral("line 3"), QStringLiteral("line 5")}));
}

TEST_F(CliRealStack, AnExpectationThatDoesNotHoldExitsOne) {
    EXPECT_EQ(RunScript("00 A4 00 0C 02 2F 00 (61 XX)\n"), 1) << output_ << errors_;
    EXPECT_NE(output_.find("line 1: FAIL, expected (61 XX), got 90 00"), std::string::npos)
        << output_;
}

TEST_F(CliRealStack, TagPathChecksNameTheObjectThatDiffers) {
    EXPECT_EQ(RunScript("# FCI as expected\n"
                        "00 A4 04 00 07 F0 5A 50 54 45 53 54 00 (90 00) {6F/84 = F0 5A 50 XX XX "
                        "XX XX; 6F/A5/50 = \"ZP TEST\"} {!6F/85}\n"
                        "# Another label\n"
                        "00 A4 04 00 07 F0 5A 50 54 45 53 54 00 {6F/A5/50 = \"ZP CARD\"; "
                        "6F/A5/BF0C}\n"
                        "# The FCP of EF 2F00 holds no label\n"
                        "00 A4 00 04 02 2F 00 00 {62/80 = 00 20; 62/A5/50}\n"),
              1)
        << output_ << errors_;
    EXPECT_NE(output_.find("line 4: 6F/A5/50: expected \"ZP CARD\", found \"ZP TEST\"\n"),
              std::string::npos)
        << output_;
    EXPECT_NE(output_.find("line 6: 62/A5/50: expected present, found nothing\n"),
              std::string::npos)
        << output_;
    EXPECT_NE(output_.find("3 commands, 1 passed, 2 failed, "), std::string::npos) << output_;
    QFile report(JunitPath());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().contains(
        "90 00; 6F/A5/50: expected &quot;ZP CARD&quot;, found &quot;ZP TEST&quot;\"/>"));
}

}  // namespace
