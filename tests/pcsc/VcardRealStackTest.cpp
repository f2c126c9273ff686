// Simulated cards put into a virtual reader by zp-vcard, driven through the platform's
// PC/SC service: a memory card through the storage-card commands, a T=0 CPU card.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <array>

#include "VirtualCard.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/CpuCardPage.h"
#include "memcard/ChipScenarios.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {

class VcardRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
    }

    void TearDown() override {
        Remove();
        if (context_ != 0) {
            library_.CardReleaseContext(context_);
        }
    }

    void Remove() {
        if (vcard_.state() != QProcess::NotRunning) {
            vcard_.kill();
            vcard_.waitForFinished();
            WaitForCardState(library_, context_, kFirstReader, false);
        }
    }

    // Puts a simulated card of `kind` into the first virtual reader.
    void Insert(const char* kind) {
        vcard_.setProcessChannelMode(QProcess::MergedChannels);
        vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                     {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                      QString::fromLatin1(kind)});
        ASSERT_TRUE(vcard_.waitForStarted());
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, true))
            << vcard_.readAll().toStdString();
    }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    QProcess vcard_;
};

TEST_F(VcardRealStack, AMemoryCardIsReadWrittenAndVerified) {
    Insert("sle4442");
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, 2, 3, &card, &protocol), 0u);
    EXPECT_EQ(protocol, 16u);

    ASSERT_EQ(library_.CardSLE4442Verify(card, 0xFF, 0xFF, 0xFF), 0u);
    const std::array<std::uint8_t, 4> data = {0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_EQ(library_.CardSLE4442WriteMain(card, data.data(), 0x40, 4), 0u);
    std::array<std::uint8_t, 300> read{};
    std::uint32_t length = 4;
    ASSERT_EQ(library_.CardSLE4442ReadMain(card, read.data(), 0x40, &length), 0u);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(read.begin(), read.begin() + 4),
              std::vector<std::uint8_t>(data.begin(), data.end()));

    // A whole memory read takes more than one storage-card command; when the first ends at
    // the last byte, the second's address lies past it and the read stops there.
    length = 256;
    ASSERT_EQ(library_.CardSLE4442ReadMain(card, read.data(), 0, &length), 0u);
    EXPECT_EQ(length, 256u);
    EXPECT_EQ(read[0x41], 0xAD);
    length = 256;
    ASSERT_EQ(library_.CardSLE4442ReadMain(card, read.data(), 1, &length), 0u);
    EXPECT_EQ(length, 255u);
    // A write that runs past the end is refused and writes nothing.
    const std::vector<std::uint8_t> zeros(256, 0x00);
    EXPECT_EQ(library_.CardSLE4442WriteMain(card, zeros.data(), 1, 256), 0x6B00u);
    length = 1;
    ASSERT_EQ(library_.CardSLE4442ReadMain(card, read.data(), 0x40, &length), 0u);
    EXPECT_EQ(read[0], 0xDE);

    std::array<std::uint8_t, 4> protect{};
    EXPECT_EQ(library_.CardSLE4442ReadProtect(card, protect.data()), kUnsupportedFeature);
    EXPECT_EQ(library_.CardDisconnect(card, 0), 0u);
}

// zp-vcard names an I2C card by its EEPROM; the storage-card read stops at the chip's end.
TEST_F(VcardRealStack, AnI2cCardCarriesTheEepromNamed) {
    Insert("i2c-24c16");
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, 2, 3, &card, &protocol), 0u);
    std::array<std::uint8_t, 20> read{};
    std::uint32_t length = 20;
    EXPECT_EQ(library_.CardSLE4442ReadMain(card, read.data(), 2040, &length), 0u);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(library_.CardDisconnect(card, 0), 0u);
}

// The datasheet facts that the storage-card commands express, through the pages on the
// real stack: the same records as on the simulated reader.
TEST_F(VcardRealStack, ChipScenariosWriteTheSameRecords) {
    for (const ChipScenario& scenario : ChipScenarios()) {
        if (!scenario.overPcsc) {
            continue;
        }
        SCOPED_TRACE(scenario.name);
        Insert(scenario.card);
        {
            PcscSamLibrary sam;
            PcscMsrLibrary msr;
            MemCardDriver driver(library_, sam, msr);
            ASSERT_TRUE(driver.Connect());
            std::vector<std::string> expected;
            driver.Play(scenario, Backend::Pcsc, expected);
            EXPECT_EQ(driver.Log(scenario.log), expected);
            driver.Session().DisconnectCard();
            driver.Session().ReleaseReaders();
        }
        Remove();
    }
}

TEST_F(VcardRealStack, AT0CardShapesTheCardPage) {
    Insert("cpu-t0");
    RecordingMessageBoxes boxes;
    ResponseLogModel cardLog;
    ReaderSession session(library_, cardLog);
    ASSERT_TRUE(session.InitializeReaders());
    CpuCardPage page(session, boxes, cardLog);
    ASSERT_TRUE(session.TryConnectCard());
    EXPECT_EQ(session.SelectedProtocol(), 1u);
    page.ApplyProtocolLayout(session.SelectedProtocol());
    EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("Lc_P3Label"))->text(),
              QStringLiteral("P&3:"));
    EXPECT_TRUE(page.findChild<QLineEdit*>(QStringLiteral("Le"))->isHidden());
    EXPECT_TRUE(session.DisconnectCard());
}

}  // namespace
