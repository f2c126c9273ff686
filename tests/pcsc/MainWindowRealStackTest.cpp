// The whole program on the platform's PC/SC service: reader selection and card tracking
// with the two virtual readers and a virtual T=1 card.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "VirtualCard.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/ReaderSession.h"
#include "gui/CardStatusForm.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscSamLibrary.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestAtrList.h"
#include "support/TimerTick.h"

using ::testing::ElementsAre;

namespace {

class MainWindowRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(watcher_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    }

    void TearDown() override {
        windows_.reset();
        if (context_ != 0) {
            if (card_.Running()) {
                card_.Remove();
                WaitForCardState(watcher_, context_, kFirstReader, false);
            }
            watcher_.CardReleaseContext(context_);
        }
    }

    std::vector<std::string> CardLog() {
        return windows_->mainForm->findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"))
            ->Lines();
    }

    PcscCardLibrary card_library_;
    PcscSamLibrary sam_;
    PcscMsrLibrary msr_;
    RecordingMessageBoxes boxes_;
    TestAtrList atrList_;
    Platform platform_{card_library_, sam_, msr_, boxes_, atrList_.Path()};
    std::unique_ptr<ProgramWindows> windows_;
    PcscCardLibrary watcher_;  // its own context, to wait for the reader's state
    std::uint32_t context_ = 0;
    VirtualCard card_{kFirstReaderPort};
};

TEST_F(MainWindowRealStack, ChoosesAReaderAndTracksTheCard) {
    windows_ = CreateWindows(platform_);
    EXPECT_TRUE(windows_->selectDlg->isVisible()) << "two virtual readers: the choice comes first";
    EXPECT_FALSE(windows_->mainForm->isEnabled());
    auto* timer = windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer"));
    EXPECT_FALSE(timer->isActive());

    const QList<QRadioButton*> items = windows_->selectDlg->findChildren<QRadioButton*>();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QString::fromLatin1(kFirstReader));
    QTest::mouseClick(windows_->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    EXPECT_TRUE(windows_->mainForm->isEnabled());
    EXPECT_TRUE(timer->isActive());

    TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
    auto* insert = windows_->cardStatusDlg->findChild<QLabel*>(QStringLiteral("ImgInsertCard"));
    EXPECT_TRUE(windows_->cardStatusDlg->isVisible() &&
                insert->isVisibleTo(windows_->cardStatusDlg.get()));

    ASSERT_TRUE(card_.Insert()) << card_.Output();
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true)) << card_.Output();
    TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
    EXPECT_THAT(CardLog(), ElementsAre("Initialize Success", "Connect Success", ""));
    EXPECT_EQ(windows_->mainForm->findChild<QLabel*>(QStringLiteral("Protocol"))->text(),
              QStringLiteral("T=1"));
    // The status bar names the card from the test's ATR list.
    auto* insight = windows_->mainForm->findChild<QLabel*>(QStringLiteral("InsightCard"));
    EXPECT_EQ(insight->text(), QStringLiteral("ATR 3B 95 13 81 01 80 73 FF 01 00 0B | T=1 | "
                                              "vsmartcard - iso7816 (Other)"));
    EXPECT_FALSE(windows_->cardStatusDlg->isVisible());

    card_.Remove();
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
    EXPECT_TRUE(windows_->cardStatusDlg->isVisible() &&
                insert->isVisibleTo(windows_->cardStatusDlg.get()));
    EXPECT_FALSE(windows_->mainForm->Session().CardConnected());
    EXPECT_EQ(insight->text(), QStringLiteral("No card | ") + QString::fromLatin1(kFirstReader));
}

}  // namespace

// ---- Long sessions: handles released, reader switch ----
namespace {

// A zp-vcard card in a vpcd slot: attached as soon as the process runs, gone when it ends.
class VcardSlot {
  public:
    explicit VcardSlot(int slot) : slot_(slot) {}
    ~VcardSlot() { Remove(); }
    bool Insert() {
        process_.start(QStringLiteral(ZP_VCARD_PATH),
                       {QStringLiteral("--slot"), QString::number(slot_), QStringLiteral("--card"),
                        QStringLiteral("cpu-t1")});
        return process_.waitForStarted();
    }
    void Remove() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

  private:
    int slot_;
    QProcess process_;
};

class LongSessionRealStack : public MainWindowRealStack {
  protected:
    void Tick() {
        TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
    }
    // Select Rdr (unless the dialog is up already), reader `index` chosen with the keys.
    void ChooseReader(int index, bool openDialog) {
        if (openDialog) {
            QTest::mouseClick(
                windows_->mainForm->findChild<QPushButton*>(QStringLiteral("SelectBtn")),
                Qt::LeftButton);
        }
        QApplication::setActiveWindow(windows_->selectDlg.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows_->selectDlg.get()));
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(windows_->selectDlg->windowHandle(), Qt::Key_Down);
        }
        QTest::keyClick(windows_->selectDlg->windowHandle(), Qt::Key_Return);
        ASSERT_FALSE(windows_->selectDlg->isVisible());
    }
};

// More insertions than the service lets handles be open on one reader: each card pulled
// out has its handle released, so every insertion connects.
TEST_F(LongSessionRealStack, EveryInsertionConnectsPastTheServicesHandleLimit) {
    constexpr int kCycles = 210;  // the service refuses a reader's 201st open handle
    // Each insertion and removal has its own time, however long the others took on a
    // loaded machine: a hang fails the cycle it happens in, a slow run does not fail.
    constexpr std::chrono::milliseconds kCycleDeadline = 2 * kCardDeadline;
    windows_ = CreateWindows(platform_);
    ChooseReader(0, false);
    VcardSlot vcard(0);
    int connected = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const auto cycleEnd = std::chrono::steady_clock::now() + kCycleDeadline;
        const auto left = [cycleEnd] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                cycleEnd - std::chrono::steady_clock::now());
        };
        ASSERT_TRUE(vcard.Insert());
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true, left()))
            << "cycle " << cycle;
        Tick();
        connected += windows_->mainForm->Session().CardConnected() ? 1 : 0;
        vcard.Remove();
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false, left()))
            << "cycle " << cycle;
        Tick();
        ASSERT_EQ(card_library_.OpenCardCount(), 0u) << "cycle " << cycle;
    }
    EXPECT_EQ(connected, kCycles);
    const std::vector<std::string> log = CardLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Connect Success"), kCycles);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Connect Fail"), 0);
}

// Choosing the other reader while a card is connected disconnects it and connects the card
// of the reader chosen; Disconnect then works on that card.
TEST_F(LongSessionRealStack, SwitchingReaderWhileConnected) {
    VcardSlot first(0);
    VcardSlot second(1);
    ASSERT_TRUE(first.Insert() && second.Insert());
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true));
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kSecondReader, true));
    windows_ = CreateWindows(platform_);
    ChooseReader(0, false);
    Tick();
    ASSERT_TRUE(windows_->mainForm->Session().CardConnected());

    ChooseReader(1, true);
    EXPECT_EQ(card_library_.OpenCardCount(), 0u) << "the first reader's card is released";
    Tick();
    EXPECT_EQ(card_library_.OpenCardCount(), 1u);
    windows_->mainForm->findChild<QPushButton*>(QStringLiteral("DisconnectButton"))->click();
    EXPECT_THAT(CardLog(),
                ElementsAre("Initialize Success", "Connect Success", "", "Disconnect Card Success",
                            "", "Connect Success", "", "Disconnect Card Success", ""));
    EXPECT_TRUE(boxes_.Boxes().empty());
    first.Remove();
    second.Remove();
    WaitForCardState(watcher_, context_, kSecondReader, false);
}

}  // namespace
