// The "Stress Test" window on the simulated reader, opened from the Reader menu and driven
// with clicks and keys: a two-reader run with injected failures, the live table and plots,
// the saved report and CSV log, and Stop.
#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/LockedCardLibrary.h"
#include "gui/SelectForm.h"
#include "gui/properties/ReaderPropertiesForm.h"
#include "gui/stress/StressWindow.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimReaderControl.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {

constexpr int kDeadlineMs = 20000;

class StressWindowTest : public ::testing::Test {
  protected:
    StressWindowTest()
        : card_({"Sim Reader 0", "Sim Reader 1"}),
          shared_(card_, card_.SharedLock()),
          sam_(card_),
          msr_(card_) {
        card_.InsertCard(0, SimCardKind::CpuT1);
        card_.InsertCard(1, SimCardKind::CpuT1);
    }

    void SetUp() override {
        windows_ = CreateWindows(platform_);
        // Two readers: the first is chosen in the selection dialog.
        QTest::mouseClick(windows_->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                          Qt::LeftButton);
        ASSERT_TRUE(windows_->mainForm->isEnabled());
        windows_->mainForm->findChild<QAction*>(QStringLiteral("StressTestItem"))->trigger();
        window_ = windows_->mainForm->StressTest();
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(window_->isVisible());
        window_->SetSaveFileChooser([this](const QString& caption, const QString&) {
            return dir_.filePath(caption.contains(QStringLiteral("CSV"))
                                     ? QStringLiteral("log.csv")
                                     : QStringLiteral("r.json"));
        });
    }

    void TearDown() override { windows_.reset(); }

    template <class T>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void Click(const char* button) {
        QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
    }

    // A radio button reacts to clicks on its circle and text only, not on the rest of a
    // wide row: click on the circle.
    void Choose(const char* radio) {
        auto* button = Find<QRadioButton>(radio);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
        EXPECT_TRUE(button->isChecked()) << radio;
    }

    void Type(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }

    // 00 84 00 00, Le 08 typed into the CPU card page of the active main window; each field
    // hands the focus on when full.
    void TypeCommand() {
        windows_->mainForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows_->mainForm.get()));
        for (const auto& [name, text] : {std::pair{"CLA", "00840000"}, std::pair{"Le", "08"}}) {
            windows_->mainForm->findChild<QLineEdit*>(QString::fromLatin1(name))->setFocus();
            for (const char* c = text; *c != 0; ++c) {
                QTest::keyClick(QApplication::focusWidget(), *c);
            }
        }
    }

    QString Cell(int row, int column) {
        QTableWidgetItem* item = Find<QTableWidget>("ResultsTable")->item(row, column);
        return item ? item->text() : QString();
    }

    bool WaitUntilIdle() {
        return QTest::qWaitFor([this] { return Find<QPushButton>("StartBtn")->isEnabled(); },
                               kDeadlineMs);
    }

    SimCardLibrary card_;
    LockedCardLibrary shared_;
    SimSamLibrary sam_;
    SimMsrLibrary msr_;
    RecordingMessageBoxes boxes_;
    SimReaderControlFactory controls_{card_};
    const Platform platform_{shared_, sam_, msr_, boxes_, QString(), &controls_, [this] {
                                 return std::make_unique<LockedCardLibrary>(card_,
                                                                            card_.SharedLock());
                             }};
    std::unique_ptr<ProgramWindows> windows_;
    StressWindow* window_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(StressWindowTest, RunsTwoReadersShowsTheirFiguresAndSavesTheReport) {
    card_.SetReaderTiming(1, {.failEvery = 4});
    TypeCommand();
    auto* readers = Find<QListWidget>("ReaderList");
    ASSERT_EQ(readers->count(), 2);
    EXPECT_EQ(readers->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(readers->item(1)->checkState(), Qt::Unchecked);
    readers->setFocus();
    readers->setCurrentRow(1);
    QTest::keyClick(readers, Qt::Key_Space);
    ASSERT_EQ(readers->item(1)->checkState(), Qt::Checked);
    Type(Find<QSpinBox>("CountSpin"), QStringLiteral("40"));
    Click("CsvLogCheck");

    Click("StartBtn");
    EXPECT_FALSE(Find<QPushButton>("StartBtn")->isEnabled());
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(boxes_.Boxes().empty()) << boxes_.Errors().front();

    EXPECT_EQ(Cell(0, 2), QStringLiteral("40"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("0"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("40"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("10"));
    EXPECT_EQ(Cell(1, 10), QStringLiteral("completed; SCARD_F_COMM_ERROR ×10"));
    EXPECT_EQ(Find<QProgressBar>("Progress1")->value(), 1000);
    auto* histogram = Find<QChartView>("HistogramChart")->chart();
    EXPECT_GT(static_cast<QLineSeries*>(histogram->series().constFirst())->count(), 0);

    Click("SaveReportBtn");
    QFile file(dir_.filePath(QStringLiteral("r.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(report[QStringLiteral("settings")][QStringLiteral("apdu")].toString(),
              QStringLiteral("00 84 00 00 08"));
    const QJsonArray list = report[QStringLiteral("readers")].toArray();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1][QStringLiteral("name")].toString(), QStringLiteral("Sim Reader 1"));
    EXPECT_EQ(list[1][QStringLiteral("failed")].toInt(), 10);
    EXPECT_EQ(list[1][QStringLiteral("failures")][0][QStringLiteral("count")].toInt(), 10);
    QFile log(dir_.filePath(QStringLiteral("log.csv")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count('\n'), 81);
}

TEST_F(StressWindowTest, StopEndsARunUntilStop) {
    card_.SetReaderTiming(0, {.latencyUs = 500});
    Click("ConnectCycleRadio");
    Choose("UntilStopRadio");
    Click("StartBtn");
    ASSERT_TRUE(QTest::qWaitFor([this] { return Cell(0, 2).toInt() > 0; }, kDeadlineMs));
    Click("StopBtn");
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Cell(0, 10), QStringLiteral("stopped"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("0"));
}

TEST_F(StressWindowTest, CancellingTheCsvDialogKeepsTheFinishedRun) {
    Click("ConnectCycleRadio");
    EXPECT_EQ(Find<QSpinBox>("CountSpin")->suffix(), QStringLiteral(" cycles"));
    Type(Find<QSpinBox>("CountSpin"), QStringLiteral("5"));
    Click("StartBtn");
    ASSERT_TRUE(WaitUntilIdle());
    window_->SetSaveFileChooser([this](const QString& caption, const QString&) {
        return caption.contains(QStringLiteral("CSV")) ? QString()
                                                       : dir_.filePath(QStringLiteral("r.json"));
    });
    Click("CsvLogCheck");
    Click("StartBtn");
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    Click("SaveReportBtn");
    EXPECT_TRUE(boxes_.Boxes().empty()) << boxes_.Errors().front();
    QFile file(dir_.filePath(QStringLiteral("r.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(report[QStringLiteral("readers")][0][QStringLiteral("done")].toInt(), 5);
    // With a script, the count, the resets and the pauses count passes.
    Click("ScriptRadio");
    EXPECT_EQ(Find<QSpinBox>("CountSpin")->suffix(), QStringLiteral(" passes"));
    EXPECT_EQ(Find<QSpinBox>("ResetEverySpin")->suffix(), QStringLiteral(" passes"));
    EXPECT_EQ(Find<QSpinBox>("PauseSpin")->suffix(), QStringLiteral(" between passes"));
}

// Reader Properties reads the simulated library on the window's thread while the workers
// connect and disconnect on theirs; the sanitizer build catches the two meeting.
TEST_F(StressWindowTest, PropertiesRefreshBesideARun) {
    Click("ConnectCycleRadio");
    Choose("UntilStopRadio");
    Click("StartBtn");
    ASSERT_TRUE(QTest::qWaitFor([this] { return Cell(0, 2).toInt() > 0; }, kDeadlineMs));
    windows_->mainForm->findChild<QAction*>(QStringLiteral("PropertiesItem"))->trigger();
    ReaderPropertiesForm* form = windows_->mainForm->Properties();
    ASSERT_NE(form, nullptr);
    auto* refresh = form->findChild<QPushButton*>(QStringLiteral("RefreshBtn"));
    for (int i = 0; i < 150; ++i) {
        if (form->Busy()) {
            ASSERT_TRUE(QSignalSpy(form, &ReaderPropertiesForm::JobFinished).wait(kDeadlineMs));
        }
        QTest::mouseClick(refresh, Qt::LeftButton);
    }
    Click("StopBtn");
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Cell(0, 10), QStringLiteral("stopped"));
    EXPECT_TRUE(boxes_.Errors().empty()) << boxes_.Errors().front();
}

TEST_F(StressWindowTest, RefusesARunWithoutReadersOrWithAFaultyScript) {
    auto* readers = Find<QListWidget>("ReaderList");
    readers->setFocus();
    readers->setCurrentRow(0);
    QTest::keyClick(readers, Qt::Key_Space);
    Click("StartBtn");
    // A faulty script is refused with its line and column, before any reader is touched.
    QFile script(dir_.filePath(QStringLiteral("bad.txt")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# select\n00 A4 04 00 0\n");
    script.close();
    Click("ScriptRadio");
    QTest::keyClicks(Find<QLineEdit>("ScriptPathEdit"), script.fileName());
    QTest::keyClick(readers, Qt::Key_Space);
    Click("StartBtn");
    ASSERT_EQ(boxes_.Errors().size(), 2u);
    EXPECT_EQ(boxes_.Errors()[0], "Check at least one reader.");
    EXPECT_THAT(boxes_.Errors()[1], ::testing::StartsWith("line 2, column"));
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
}

}  // namespace
