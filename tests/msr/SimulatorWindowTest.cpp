#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "sim/SimCardLibrary.h"
#include "sim/SimI2cCard.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "sim/SimTestCard.h"
#include "simwindow/SimulatorWindow.h"

namespace {

class SimulatorWindowTest : public ::testing::Test {
  protected:
    SimulatorWindowTest()
        : cards_({"Reader A", "Reader B"}),
          sam_(cards_),
          msr_(cards_),
          window_(cards_, sam_, msr_) {}

    template <typename T>
    T* Find(const char* name) {
        T* child = window_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* name) { Find<QPushButton>(name)->click(); }

    SimCardLibrary cards_;
    SimSamLibrary sam_;
    SimMsrLibrary msr_;
    SimulatorWindow window_;
};

TEST_F(SimulatorWindowTest, OneTabPerReader) {
    EXPECT_EQ(window_.windowTitle(), "Simulated Reader");
    auto* tabs = Find<QTabWidget>("SimReaderTabs");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(1), "Reader B");
    EXPECT_EQ(Find<QComboBox>("SimCardKind1")->count(), 14);
}

TEST_F(SimulatorWindowTest, InsertsAndRemovesTheChosenCard) {
    auto* kinds = Find<QComboBox>("SimCardKind1");
    kinds->setCurrentIndex(kinds->findData(static_cast<int>(SimCardKind::SLE4442)));
    Click("SimInsertCard1");
    ASSERT_TRUE(cards_.HasCard(1));
    EXPECT_EQ(cards_.CardIn(1)->Kind(), SimCardKind::SLE4442);
    EXPECT_FALSE(cards_.HasCard(0));
    EXPECT_TRUE(Find<QLabel>("SimCardStatus1")->text().contains("SLE4442"));

    Click("SimRemoveCard1");
    EXPECT_FALSE(cards_.HasCard(1));
    EXPECT_EQ(Find<QLabel>("SimCardStatus1")->text(), "No card");
}

// An I2C card carries the EEPROM chosen beside the kind; other kinds have no such choice.
TEST_F(SimulatorWindowTest, InsertsAnI2cCardWithTheChosenEeprom) {
    auto* kinds = Find<QComboBox>("SimCardKind0");
    auto* chips = Find<QComboBox>("SimI2cChip0");
    EXPECT_FALSE(chips->isEnabled());
    QTest::keyClicks(kinds, QStringLiteral("I2C"));
    ASSERT_TRUE(chips->isEnabled());
    QTest::keyClicks(chips, QStringLiteral("24C16"));
    QTest::mouseClick(Find<QPushButton>("SimInsertCard0"), Qt::LeftButton);
    const auto* card = dynamic_cast<const SimI2cCard*>(cards_.CardIn(0));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->MemorySize(), 2048u);
    EXPECT_EQ(Find<QLabel>("SimCardStatus0")->text(), "Inserted: I2C EEPROM 24C16");
}

// The test card goes in over the protocols its kind names, with the switches set beside it;
// a switch changed later reaches the card in the reader at once.
TEST_F(SimulatorWindowTest, InsertsTheTestCardWithItsFaultSwitches) {
    auto* kinds = Find<QComboBox>("SimCardKind0");
    kinds->setCurrentIndex(kinds->findData(static_cast<int>(SimCardKind::TestBoth)));
    QTest::mouseClick(Find<QCheckBox>("SimTestRewriteLeCheck0"), Qt::LeftButton);
    Click("SimInsertCard0");
    auto* card = dynamic_cast<SimTestCard*>(cards_.CardIn(0));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->Protocols(), 3u);
    EXPECT_EQ(card->Settings().faults, SimTestCardFaults{.rewriteLe = true});
    EXPECT_EQ(card->Settings().timeUnit, std::chrono::milliseconds(100));
    QTest::mouseClick(Find<QCheckBox>("SimTestRewriteLeCheck0"), Qt::LeftButton);

    struct Row {
        const char* check;
        SimTestCardFaults faults;
    };
    const Row rows[] = {{"SimTestCutCheck0", {.cutRepliesAbove = 254}},
                        {"SimTestDropCheck0", {.dropLastByteAbove = 260}},
                        {"SimTestNoExtendedCheck0", {.refuseExtended = true}},
                        {"SimTestLateCheck0", {.lateTimeRequest = true}}};
    for (const Row& row : rows) {
        QTest::mouseClick(Find<QCheckBox>(row.check), Qt::LeftButton);
        EXPECT_EQ(card->Settings().faults, row.faults) << row.check;
        QTest::mouseClick(Find<QCheckBox>(row.check), Qt::LeftButton);
        EXPECT_EQ(card->Settings().faults, SimTestCardFaults{}) << row.check;
    }
    auto* unit = Find<QSpinBox>("SimTestTimeUnitSpin0");
    unit->selectAll();
    QTest::keyClicks(unit, QStringLiteral("7"));
    EXPECT_EQ(card->Settings().timeUnit, std::chrono::milliseconds(7));
}

TEST_F(SimulatorWindowTest, RefusesTheNextThreeConnects) {
    cards_.InsertCard(0, SimCardKind::CpuT1);
    Click("SimRefuseConnects0");
    std::uint32_t context = 0;
    ASSERT_EQ(cards_.CardEstablishContext(0, nullptr, nullptr, &context), 0u);
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(cards_.CardConnect(context, "Reader A", 2, 3, &card, &protocol), 0u);
    }
    EXPECT_EQ(cards_.CardConnect(context, "Reader A", 2, 3, &card, &protocol), 0u);
}

TEST_F(SimulatorWindowTest, TimingFieldsSetTheReadersLatencyAndFailures) {
    cards_.InsertCard(1, SimCardKind::CpuT1);
    const std::pair<const char*, const char*> typed[] = {
        {"SimLatencySpin1", "150"}, {"SimJitterSpin1", "20"}, {"SimFailEverySpin1", "2"}};
    for (const auto& [name, text] : typed) {
        QTest::keyClick(Find<QSpinBox>(name), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Find<QSpinBox>(name), QString::fromLatin1(text));
    }
    const SimTimingSettings timing = cards_.ReaderTiming(1);
    EXPECT_EQ(timing.latencyUs, 150u);
    EXPECT_EQ(timing.jitterUs, 20u);
    EXPECT_EQ(timing.failEvery, 2u);
    EXPECT_EQ(cards_.ReaderTiming(0).latencyUs, 0u);

    std::uint32_t context = 0;
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(cards_.CardEstablishContext(0, nullptr, nullptr, &context), 0u);
    ASSERT_EQ(cards_.CardConnect(context, "Reader B", 2, 3, &card, &protocol), 0u);
    const std::uint8_t command[] = {0x00, 0x84, 0x00, 0x00, 0x08};
    const IoRequest request{protocol, 8};
    std::vector<std::uint32_t> codes;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t reply[32];
        std::uint32_t length = sizeof reply;
        codes.push_back(cards_.CardTransmit(card, &request, command, 5, nullptr, reply, &length));
    }
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{0, 0x80100013, 0, 0x80100013}));
}

TEST_F(SimulatorWindowTest, TakesOutAndPutsBackTheSam) {
    EXPECT_EQ(Find<QLabel>("SimSamStatus0")->text(), "Inserted");
    Click("SimRemoveSam0");
    EXPECT_FALSE(sam_.HasSam(0));
    EXPECT_TRUE(sam_.HasSam(1));
    EXPECT_EQ(Find<QLabel>("SimSamStatus0")->text(), "No SAM");
    Click("SimInsertSam0");
    EXPECT_TRUE(sam_.HasSam(0));
}

TEST_F(SimulatorWindowTest, SampleFillsTheTracksAndSwipeQueuesThem) {
    Find<QComboBox>("SimTrackSample1")->setCurrentIndex(1);
    const QString track1 = Find<QLineEdit>("SimTrack1Edit1")->text();
    EXPECT_TRUE(track1.startsWith("%B4111111111111111^DOE/JOHN^"));
    EXPECT_EQ(Find<QLineEdit>("SimTrack2Edit1")->text(), ";4111111111111111=29121010000000000000?");
    Find<QLineEdit>("SimTrack3Edit1")->setText(";0123?");

    Click("SimSwipe1");
    EXPECT_EQ(msr_.PendingSwipes(1), 1);
    std::uint32_t handle = 0;
    ASSERT_EQ(msr_.MsrOpen("Reader B", &handle), 0u);
    MsrTrackRecord record{};
    ASSERT_EQ(msr_.MsrRead(handle, &record, 0), 0u);
    EXPECT_EQ(record.track1Length, static_cast<std::uint32_t>(track1.size()));
    EXPECT_EQ(std::string(record.track3, record.track3 + record.track3Length), ";0123?");
}

}  // namespace
