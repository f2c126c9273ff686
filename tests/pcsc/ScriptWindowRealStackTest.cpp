// Run Script in the program on the platform's PC/SC service: the run's own PC/SC context
// reaches the simulated T=1 card that zp-vcard puts into the first virtual reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "VirtualCard.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "gui/script/ScriptActions.h"
#include "gui/script/ScriptResultsWindow.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {

class ScriptWindowRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(watcher_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
        vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                     {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                      QStringLiteral("cpu-t1")});
        ASSERT_TRUE(vcard_.waitForStarted());
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true));
    }

    void TearDown() override {
        windows_.reset();
        if (vcard_.state() != QProcess::NotRunning) {
            vcard_.kill();
            vcard_.waitForFinished();
            WaitForCardState(watcher_, context_, kFirstReader, false);
        }
        if (context_ != 0) {
            watcher_.CardReleaseContext(context_);
        }
    }

    PcscCardLibrary cardLibrary_;
    PcscSamLibrary sam_;
    PcscMsrLibrary msr_;
    RecordingMessageBoxes boxes_;
    Platform platform_{cardLibrary_, sam_, msr_, boxes_, QString(), nullptr, [] {
                           return std::make_unique<PcscCardLibrary>();
                       }};
    std::unique_ptr<ProgramWindows> windows_;
    PcscCardLibrary watcher_;
    std::uint32_t context_ = 0;
    QProcess vcard_;
    QTemporaryDir dir_;
};

TEST_F(ScriptWindowRealStack, RunsAScriptAgainstTheSelectedReadersCard) {
    const QString path = dir_.filePath(QStringLiteral("card.script"));
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("00 A4 00 0C 02 2F 00 [] (90 00)\n00 B0 00 00 02 [5A 50] (90 00)\n");
    script.close();

    windows_ = CreateWindows(platform_);
    QTest::mouseClick(windows_->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);  // the first virtual reader
    auto* actions = windows_->mainForm->findChild<ScriptActions*>(QStringLiteral("ScriptActions"));
    actions->SetFileChooser([&](QWidget*, ScriptFileRole) { return path; });
    windows_->mainForm->findChild<QAction*>(QStringLiteral("RunScript"))->trigger();
    ScriptResultsWindow* results = actions->ResultsWindow();
    ASSERT_NE(results, nullptr) << (boxes_.Errors().empty() ? "" : boxes_.Errors().front());
    QSignalSpy finished(results, &ScriptResultsWindow::RunFinished);
    ASSERT_TRUE(finished.wait(30000));

    auto* table = results->findChild<QTableWidget*>(QStringLiteral("ScriptResults"));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 4)->text(), QStringLiteral("pass"));
    EXPECT_EQ(table->item(1, 4)->text(), QStringLiteral("pass"));
    const std::vector<std::string> log =
        windows_->mainForm->findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"))->Lines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Send Data Success"), 2);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

}  // namespace
