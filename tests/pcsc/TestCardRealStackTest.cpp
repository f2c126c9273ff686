// The simulated test card in a virtual reader through the platform's PC/SC service: the
// reader-test applet's case 4 over T=1 and over T=0, and a reader path that refuses an
// extended command.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <vector>

#include "VirtualCard.h"
#include "core/session/CardLibrary.h"
#include "pcsc/PcscCardLibrary.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

struct Step {
    Bytes command;
    std::uint32_t code;
    Bytes reply;
};

struct Row {
    const char* name;
    QStringList options;  // zp-vcard's options after the slot
    std::uint32_t protocol;
    std::vector<Step> steps;
};

const Bytes kOk = {0x90, 0x00};
const Bytes kCase4 = {0x80, 0x36, 0x00, 0x09, 0x08, 0, 1, 2, 3, 4, 5, 6, 7};
const Bytes kNine = {0, 1, 2, 3, 4, 5, 6, 7, 8, 0x90, 0x00};

class TestCardRealStack : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
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

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    std::uint32_t card_ = 0;
    QProcess vcard_;
};

TEST_P(TestCardRealStack, SelectsAndExchanges) {
    const Row& row = GetParam();
    vcard_.setProcessChannelMode(QProcess::MergedChannels);
    vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                 QStringList{QStringLiteral("--slot"), QStringLiteral("0")} + row.options);
    ASSERT_TRUE(vcard_.waitForStarted());
    ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, true))
        << vcard_.readAll().toStdString();
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShareShared, kProtocolT0 | kProtocolT1,
                                   &card_, &protocol),
              0u);
    ASSERT_EQ(protocol, row.protocol);
    const IoRequest pci{protocol, 8};
    int index = 0;
    for (const Step& step : row.steps) {
        Bytes reply(70000);
        auto length = static_cast<std::uint32_t>(reply.size());
        EXPECT_EQ(library_.CardTransmit(card_, &pci, step.command.data(),
                                        static_cast<std::uint32_t>(step.command.size()), nullptr,
                                        reply.data(), &length),
                  step.code)
            << "step " << index;
        if (step.code == 0) {
            reply.resize(length);
            EXPECT_EQ(reply, step.reply) << "step " << index;
        }
        ++index;
    }
}

const Bytes kSelectReaderTest = {0x00, 0xA4, 0x04, 0x00, 0x06, 0xA0, 0x00, 0x00, 0x00, 0x18, 0xFF};
const Bytes kSelectExtended = {0x00, 0xA4, 0x04, 0x00, 0x09, 0xA0, 0x00,
                               0x00, 0x00, 0x66, 0x03, 0x01, 0xB3, 0x01};
const Bytes kCase2Extended = {0x00, 0xB0, 0x00, 0x07, 0x00, 0x00, 0x07};

INSTANTIATE_TEST_SUITE_P(
    Vpcd, TestCardRealStack,
    ::testing::Values(
        Row{"T1",
            {QStringLiteral("--card"), QStringLiteral("test-t1")},
            kProtocolT1,
            {{kSelectReaderTest, 0, kOk}, {kCase4, 0, kNine}}},
        Row{"T0",
            {QStringLiteral("--card"), QStringLiteral("test-t0")},
            kProtocolT0,
            {{kSelectReaderTest, 0, kOk},
             {kCase4, 0, {0x61, 0x09}},
             {{0x80, 0xC0, 0x00, 0x00, 0x09}, 0, kNine}}},
        Row{"NoExtended",
            {QStringLiteral("--card"), QStringLiteral("test-t1"), QStringLiteral("--no-extended")},
            kProtocolT1,
            {{kSelectExtended, 0, kOk},
             {kCase2Extended, 0x80100016, {}},
             {{0x00, 0x20, 0x00, 0x07, 0x07}, 0, {0, 1, 2, 3, 4, 5, 6, 0x90, 0x00}}}}),
    [](const auto& info) { return info.param.name; });
}  // namespace
