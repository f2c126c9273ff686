// zp-readertest-cli contactless reading a simulated MIFARE Classic 1K through pcscd, one
// sector under a key that the default keys do not hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "VirtualCard.h"
#include "pcsc/PcscCardLibrary.h"
#include "support/CliProcess.h"

using ::testing::HasSubstr;

namespace {

CliRun RunCli(const QStringList& args) {
    return RunCliProcess(args);
}

TEST(ContactlessCliRealStack, SectorUnderItsOwnKeyOpensOnlyWithTheKeyFile) {
    if (!RealStackReady()) {
        GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
    }
    PcscCardLibrary library;
    std::uint32_t context = 0;
    ASSERT_EQ(library.CardEstablishContext(kScopeUser, nullptr, nullptr, &context), 0u);
    ASSERT_TRUE(WaitForCardState(library, context, kFirstReader, false));
    QProcess vcard;
    vcard.setProcessChannelMode(QProcess::MergedChannels);
    vcard.start(QStringLiteral(ZP_VCARD_PATH),
                {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                 QStringLiteral("mifare-1k"), QStringLiteral("--sector-key"),
                 QStringLiteral("5:A:112233445566")});
    ASSERT_TRUE(vcard.waitForStarted());
    ASSERT_TRUE(WaitForCardState(library, context, kFirstReader, true))
        << vcard.readAll().toStdString();

    const QStringList reader = {QStringLiteral("contactless"), QStringLiteral("--reader"),
                                QString::fromLatin1(kFirstReader)};
    const CliRun defaults = RunCli(reader);
    EXPECT_EQ(defaults.status, 1) << defaults.err;
    EXPECT_THAT(defaults.out,
                HasSubstr("Card: Contactless, ISO 14443 A part 3, MIFARE Classic 1K"));
    EXPECT_THAT(defaults.out, HasSubstr("Sector  5: no key\n"));
    EXPECT_THAT(defaults.out, HasSubstr("Sector  6: key A FF FF FF FF FF FF\n"));

    QTemporaryDir dir;
    QFile keys(dir.filePath(QStringLiteral("keys.txt")));
    ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
    keys.write("5:A:112233445566\n");
    keys.close();
    const CliRun withKeys = RunCli(reader + QStringList{QStringLiteral("--keys"), keys.fileName(),
                                                        QStringLiteral("--dump"),
                                                        dir.filePath(QStringLiteral("card.mfd"))});
    EXPECT_EQ(withKeys.status, 0) << withKeys.err;
    EXPECT_THAT(withKeys.out, HasSubstr("Sector  5: key A 11 22 33 44 55 66\n"));
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("card.mfd"))).size(), 1024);

    vcard.kill();
    vcard.waitForFinished();
    EXPECT_TRUE(WaitForCardState(library, context, kFirstReader, false));
    const CliRun noCard = RunCli(reader);
    EXPECT_EQ(noCard.status, 2);
    library.CardReleaseContext(context);
}

}  // namespace
