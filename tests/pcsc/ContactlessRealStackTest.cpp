// A simulated MIFARE Classic 1K card in a virtual reader, put there by zp-vcard: pcscd hands
// the class-FF commands to the card emulator, which answers them as a reader's firmware.
#include <gtest/gtest.h>

#include <QProcess>
#include <string_view>
#include <vector>

#include "VirtualCard.h"
#include "core/session/CardLibrary.h"
#include "pcsc/PcscCardLibrary.h"

namespace {
constexpr std::uint32_t kShared = 2;
constexpr std::uint32_t kT0OrT1 = 3;

using Bytes = std::vector<std::uint8_t>;

class ContactlessRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
        // Sector 5 opens with a key that is not the factory's.
        vcard_.setProcessChannelMode(QProcess::MergedChannels);
        vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                     {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                      QStringLiteral("mifare-1k"), QStringLiteral("--sector-key"),
                      QStringLiteral("5:A:112233445566")});
        ASSERT_TRUE(vcard_.waitForStarted());
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, true))
            << vcard_.readAll().toStdString();
        ASSERT_EQ(
            library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &card_, &protocol_), 0u);
    }

    void TearDown() override {
        if (card_ != 0) {
            library_.CardDisconnect(card_, kDispositionLeave);
        }
        if (vcard_.state() != QProcess::NotRunning) {
            vcard_.kill();
            vcard_.waitForFinished();
            WaitForCardState(library_, context_, kFirstReader, false);
        }
        if (context_ != 0) {
            library_.CardReleaseContext(context_);
        }
    }

    Bytes Send(const Bytes& command) {
        IoRequest pci{protocol_, 8};
        Bytes reply(258);
        auto length = static_cast<std::uint32_t>(reply.size());
        EXPECT_EQ(library_.CardTransmit(card_, &pci, command.data(),
                                        static_cast<std::uint32_t>(command.size()), &pci,
                                        reply.data(), &length),
                  0u);
        reply.resize(std::min<std::size_t>(length, reply.size()));
        return reply;
    }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    std::uint32_t card_ = 0;
    std::uint32_t protocol_ = 0;
    QProcess vcard_;
};

TEST_F(ContactlessRealStack, ReadsTheUidAndABlockOfA1KCard) {
    EXPECT_EQ(Send({0xFF, 0xCA, 0x00, 0x00, 0x00}), Bytes({0x5A, 0x50, 0xC1, 0x01, 0x90, 0x00}));
    const Bytes ok = {0x90, 0x00};
    ASSERT_EQ(Send({0xFF, 0x82, 0x00, 0x00, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), ok);
    ASSERT_EQ(Send({0xFF, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00, 0x60, 0x00}), ok);
    const Bytes block0 = Send({0xFF, 0xB0, 0x00, 0x00, 0x10});
    ASSERT_EQ(block0.size(), 18u);
    EXPECT_EQ(Bytes(block0.begin(), block0.begin() + 6),
              Bytes({0x5A, 0x50, 0xC1, 0x01, 0xCA, 0x08}));

    // The factory key fails on sector 5 and halts the card; a reset selects it again.
    EXPECT_EQ(Send({0xFF, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, 0x14, 0x60, 0x00}),
              Bytes({0x63, 0x00}));
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardReconnect(card_, kShared, kT0OrT1, kDispositionReset, &protocol), 0u);
    ASSERT_EQ(Send({0xFF, 0x82, 0x00, 0x01, 0x06, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}), ok);
    ASSERT_EQ(Send({0xFF, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, 0x14, 0x60, 0x01}), ok);
    EXPECT_EQ(Send({0xFF, 0xB0, 0x00, 0x15, 0x10}).size(), 18u);
}
}  // namespace
