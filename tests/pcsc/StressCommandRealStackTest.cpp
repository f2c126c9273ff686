// The stress command through the platform's PC/SC service: two zp-vcard cards in the two
// virtual readers, run in parallel, each with its exact count; the JSON report read back;
// the exit status with injected failures.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <memory>

#include "VirtualCard.h"
#include "cli/StressCommand.h"
#include "pcsc/PcscCardLibrary.h"

namespace {

class StressCommandRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
    }

    void TearDown() override {
        RemoveCards();
        if (context_ != 0) {
            library_.CardReleaseContext(context_);
        }
    }

    // A simulated T=1 card in each virtual reader, the second answering every
    // `failEvery`-th command 6F 00.
    void InsertCards(int failEvery) {
        const char* readers[] = {kFirstReader, kSecondReader};
        for (int slot = 0; slot < 2; ++slot) {
            ASSERT_TRUE(WaitForCardState(library_, context_, readers[slot], false));
            auto& vcard = vcards_[slot];
            vcard = std::make_unique<QProcess>();
            vcard->setProcessChannelMode(QProcess::MergedChannels);
            vcard->start(QStringLiteral(ZP_VCARD_PATH),
                         {QStringLiteral("--slot"), QString::number(slot), QStringLiteral("--card"),
                          QStringLiteral("cpu-t1"), QStringLiteral("--fail-every"),
                          QString::number(slot == 1 ? failEvery : 0)});
            ASSERT_TRUE(vcard->waitForStarted());
            ASSERT_TRUE(WaitForCardState(library_, context_, readers[slot], true))
                << vcard->readAll().toStdString();
        }
    }

    void RemoveCards() {
        const char* readers[] = {kFirstReader, kSecondReader};
        for (int slot = 0; slot < 2; ++slot) {
            if (vcards_[slot] && vcards_[slot]->state() != QProcess::NotRunning) {
                vcards_[slot]->kill();
                vcards_[slot]->waitForFinished();
                WaitForCardState(library_, context_, readers[slot], false);
            }
            vcards_[slot].reset();
        }
    }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    std::unique_ptr<QProcess> vcards_[2];
};

TEST_F(StressCommandRealStack, TwoReadersRunInParallelWithTheirExactCounts) {
    struct Case {
        int failEvery;
        const char* maxFailures;
        int status;
        int failedOnSecond;
    };
    const Case cases[] = {{0, "0", 0, 0}, {50, "3", 1, 4}, {50, "4", 0, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failEvery);
        InsertCards(c.failEvery);
        QTemporaryDir dir;
        const QString json = dir.filePath(QStringLiteral("report.json"));
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = RunStressCommand(
            {QStringLiteral("--apdu"), QStringLiteral("0084000008"), QStringLiteral("--reader"),
             QString::fromLatin1(kFirstReader), QStringLiteral("--reader"),
             QString::fromLatin1(kSecondReader), QStringLiteral("--count"), QStringLiteral("200"),
             QStringLiteral("--max-failures"), QString::fromLatin1(c.maxFailures),
             QStringLiteral("--json"), json},
            outStream, errStream);
        EXPECT_EQ(status, c.status) << out.toStdString() << err.toStdString();

        QFile file(json);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonArray readers =
            QJsonDocument::fromJson(file.readAll()).object()[QStringLiteral("readers")].toArray();
        ASSERT_EQ(readers.size(), 2);
        for (int r = 0; r < 2; ++r) {
            const QJsonObject reader = readers[r].toObject();
            EXPECT_EQ(reader[QStringLiteral("name")].toString(),
                      QString::fromLatin1(r == 0 ? kFirstReader : kSecondReader));
            EXPECT_EQ(reader[QStringLiteral("done")].toInt(), 200);
            EXPECT_EQ(reader[QStringLiteral("failed")].toInt(), r == 1 ? c.failedOnSecond : 0);
            EXPECT_GT(reader[QStringLiteral("latencyMicros")][QStringLiteral("median")].toInt(), 0);
        }
        if (c.failedOnSecond > 0) {
            const QJsonObject cause =
                readers[1][QStringLiteral("failures")].toArray()[0].toObject();
            EXPECT_TRUE(
                cause[QStringLiteral("cause")].toString().startsWith(QStringLiteral("6F 00")));
            EXPECT_EQ(cause[QStringLiteral("first")].toArray()[0][QStringLiteral("index")].toInt(),
                      49);
        }
        RemoveCards();
    }
}

TEST_F(StressCommandRealStack, AnEmptyReaderIsNoCard) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
    EXPECT_EQ(RunStressCommand({QStringLiteral("--connect-cycle"), QStringLiteral("--reader"),
                                QString::fromLatin1(kFirstReader), QStringLiteral("--count"),
                                QStringLiteral("5")},
                               outStream, errStream),
              2);
    EXPECT_TRUE(out.contains(QStringLiteral("no connection (SCARD_E_NO_SMARTCARD)")))
        << out.toStdString();
}

}  // namespace
