// The whole program on the platform's PC/SC service: reader selection and card tracking
// with the two virtual readers and a virtual T=1 card.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QRadioButton>
#include <QTimer>

#include "VirtualCard.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "gui/CardStatusForm.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "msr/PcscMsrLibrary.h"
#include "sam/PcscSamLibrary.h"
#include "session/PcscCardLibrary.h"
#include "session/ReaderSession.h"
#include "support/RecordingMessageBoxes.h"

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
    Platform platform_{card_library_, sam_, msr_, boxes_};
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
    windows_->selectDlg->OKButtonClick();
    EXPECT_TRUE(windows_->mainForm->isEnabled());
    EXPECT_TRUE(timer->isActive());

    windows_->mainForm->ConnectTimerTimer();
    auto* insert = windows_->cardStatusDlg->findChild<QLabel*>(QStringLiteral("ImgInsertCard"));
    EXPECT_TRUE(windows_->cardStatusDlg->isVisible() &&
                insert->isVisibleTo(windows_->cardStatusDlg.get()));

    ASSERT_TRUE(card_.Insert()) << card_.Output();
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true)) << card_.Output();
    windows_->mainForm->ConnectTimerTimer();
    EXPECT_THAT(CardLog(), ElementsAre("Initialize Success", "Connect Success", ""));
    EXPECT_EQ(windows_->mainForm->findChild<QLabel*>(QStringLiteral("Protocol"))->text(),
              QStringLiteral("T=1"));
    EXPECT_FALSE(windows_->cardStatusDlg->isVisible());

    card_.Remove();
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    windows_->mainForm->ConnectTimerTimer();
    EXPECT_TRUE(windows_->cardStatusDlg->isVisible() &&
                insert->isVisibleTo(windows_->cardStatusDlg.get()));
    EXPECT_FALSE(windows_->mainForm->Session().CardConnected);
}

}  // namespace
