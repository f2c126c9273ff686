// The "Qualify Reader" window on the simulated reader with the test card, opened from the
// Reader menu and driven with clicks: a run to its end, a fault the matrix names, Stop, and
// Save Report in each of its formats.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/LockedCardLibrary.h"
#include "gui/ResponseLogEdit.h"
#include "gui/qualify/QualifyWindow.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimReaderControl.h"
#include "sim/SimSamLibrary.h"
#include "sim/SimTestCard.h"
#include "support/RecordingMessageBoxes.h"

namespace {

constexpr int kDeadlineMs = 120000;
const QColor kPass(0xC8, 0xF0, 0xC8);
const QColor kFail(0xFF, 0xB3, 0xB3);

class QualifyWindowTest : public ::testing::Test {
  protected:
    QualifyWindowTest() : shared_(card_, card_.SharedLock()), sam_(card_), msr_(card_) {}

    void Open(SimCardKind kind, SimTestCardFaults faults = {}) {
        InsertTestCard(kind, faults);
        windows_ = CreateWindows(platform_);
        QMenu* menu = windows_->mainForm->findChild<QMenu*>(QStringLiteral("Reader"));
        const QList<QAction*> items = menu->actions();
        const auto stress = std::find_if(items.begin(), items.end(), [](QAction* item) {
            return item->objectName() == QLatin1String("StressTestItem");
        });
        ASSERT_NE(stress, items.end());
        ASSERT_NE(std::next(stress), items.end());
        QAction* qualify = *std::next(stress);
        ASSERT_EQ(qualify->objectName(), QStringLiteral("QualifyReaderItem"));
        EXPECT_EQ(qualify->text(), QStringLiteral("Qualify Reader…"));
        qualify->trigger();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("QualifyWindow") && top->isVisible()) {
                window_ = static_cast<QualifyWindow*>(top);
            }
        }
        ASSERT_NE(window_, nullptr);
        EXPECT_EQ(window_->parent(), nullptr);
        EXPECT_EQ(Find<QComboBox>("ReaderCombo")->currentText(), QStringLiteral("Sim Reader 0"));
        window_->SetSaveFileChooser([this] { return savePath_; });
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

    // A check box or radio button reacts on its box and text only, not on the rest of a wide
    // row: click on the box.
    void Tick(const char* name) {
        auto* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
        EXPECT_TRUE(button->isChecked()) << name;
    }

    // Starts the battery and waits for the window to show its end.
    void RunToEnd() {
        QSignalSpy finished(window_, &QualifyWindow::RunFinished);
        Click("StartBtn");
        EXPECT_FALSE(Find<QPushButton>("StartBtn")->isEnabled());
        ASSERT_TRUE(finished.wait(kDeadlineMs));
    }

    // Every row as "case | lengths | outcome per protocol", and the colour of each outcome.
    QStringList Rows() {
        auto* matrix = Find<QTableWidget>("MatrixTable");
        QStringList rows;
        for (int r = 0; r < matrix->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < matrix->columnCount(); ++c) {
                cells.append(matrix->item(r, c)->text());
            }
            rows.append(cells.join(QStringLiteral(" | ")));
        }
        return rows;
    }

    QTableWidgetItem* RowCell(const QString& start, int column) {
        auto* matrix = Find<QTableWidget>("MatrixTable");
        for (int r = 0; r < matrix->rowCount(); ++r) {
            if ((matrix->item(r, 0)->text() + QStringLiteral(" | ") + matrix->item(r, 1)->text())
                    .startsWith(start)) {
                return matrix->item(r, column);
            }
        }
        ADD_FAILURE() << "no row " << start.toStdString();
        return nullptr;
    }

    SimCardLibrary card_{std::vector<std::string>{"Sim Reader 0"}};
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
    QualifyWindow* window_ = nullptr;
    QTemporaryDir dir_;
    QString savePath_;

  private:
    void InsertTestCard(SimCardKind kind, const SimTestCardFaults& faults);
};

// A short time unit keeps the time requests quick.
void QualifyWindowTest::InsertTestCard(SimCardKind kind, const SimTestCardFaults& faults) {
    SimTestCardSettings settings;
    settings.timeUnit = std::chrono::microseconds(200);
    settings.faults = faults;
    card_.InsertCard(0, std::make_unique<SimTestCard>(kind, settings));
}

TEST_F(QualifyWindowTest, QuickRunShowsEachRangeInTheColourOfItsOutcome) {
    Open(SimCardKind::TestT1);
    Find<QComboBox>("ProtocolCombo")->setCurrentIndex(1);
    RunToEnd();
    EXPECT_TRUE(Find<QLabel>("SummaryLabel")->text().startsWith(QStringLiteral("completed: ")));

    auto* matrix = Find<QTableWidget>("MatrixTable");
    ASSERT_EQ(matrix->columnCount(), 3);
    EXPECT_EQ(matrix->horizontalHeaderItem(2)->text(), QStringLiteral("T=1"));
    const QStringList rows = Rows();
    for (const char* row :
         {"case 1 |  | pass", "case 2 | Le 1–256 | pass", "case 3 | Lc 1–255 | pass",
          "case 4 | Lc 1–255 | pass", "time request | P2 1–30 | pass"}) {
        EXPECT_TRUE(rows.contains(QString::fromUtf8(row)))
            << row << "\n"
            << rows.join(QLatin1Char('\n')).toStdString();
    }
    const QColor kSkipped(0xE0, 0xE0, 0xE0);
    for (int r = 0; r < matrix->rowCount(); ++r) {
        const QTableWidgetItem* item = matrix->item(r, 2);
        const QString outcome = item->text().section(QLatin1Char(','), 0, 0);
        const QColor colour = outcome == QLatin1String("pass")   ? kPass
                              : outcome == QLatin1String("fail") ? kFail
                                                                 : kSkipped;
        EXPECT_EQ(item->background().color(), colour) << rows[r].toStdString();
        EXPECT_EQ(item->toolTip().isEmpty(), outcome != QLatin1String("fail"))
            << rows[r].toStdString();
    }
    auto* progress = Find<QProgressBar>("QualifyProgress");
    EXPECT_EQ(progress->value(), progress->maximum());
    const std::vector<std::string> log = Find<ResponseLogEdit>("QualifyRespon")->Lines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("Send Data (0x");
    }));
    EXPECT_NE(std::find(log.begin(), log.end(), std::string(12, ' ')), log.end());
    const auto series = Find<QChartView>("TimingChart")->chart()->series();
    ASSERT_FALSE(series.isEmpty());
    EXPECT_GT(static_cast<QXYSeries*>(series.constFirst())->count(), 1);
}

TEST_F(QualifyWindowTest, CutRepliesFailTheLongCaseTwoRangeWithItsFactsInTheTooltip) {
    SimTestCardFaults faults;
    faults.cutRepliesAbove = 250;
    Open(SimCardKind::TestT1, faults);
    Find<QComboBox>("ProtocolCombo")->setCurrentIndex(1);
    RunToEnd();

    EXPECT_EQ(RowCell(QStringLiteral("case 2 | Le 1–250"), 2)->text(), QStringLiteral("pass"));
    QTableWidgetItem* cut = RowCell(QStringLiteral("case 2 | Le 251–256"), 2);
    ASSERT_NE(cut, nullptr);
    EXPECT_TRUE(cut->text().startsWith(QStringLiteral("fail"))) << cut->text().toStdString();
    EXPECT_EQ(cut->background().color(), kFail);
    const QString tip = cut->toolTip();
    for (const char* fact : {"expected: ", "received: ", "first difference at byte 250",
                             "status word: 90 00", "time: "}) {
        EXPECT_TRUE(tip.contains(QString::fromUtf8(fact))) << fact << "\n" << tip.toStdString();
    }
}

TEST_F(QualifyWindowTest, StopEndsAFullRunWithTheRestSkipped) {
    Open(SimCardKind::TestT1);
    Find<QComboBox>("ProtocolCombo")->setCurrentIndex(1);
    Tick("FullRadio");
    QSignalSpy finished(window_, &QualifyWindow::RunFinished);
    Click("StartBtn");
    auto* progress = Find<QProgressBar>("QualifyProgress");
    ASSERT_TRUE(QTest::qWaitFor([progress] { return progress->value() > 0; }, kDeadlineMs));
    Click("StopBtn");
    ASSERT_TRUE(finished.wait(kDeadlineMs));
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("StopBtn")->isEnabled());
    EXPECT_TRUE(Find<QLabel>("SummaryLabel")->text().startsWith(QStringLiteral("stopped: ")));
    EXPECT_TRUE(Rows().join(QLatin1Char('\n')).contains(QStringLiteral("skipped")));
}

TEST_F(QualifyWindowTest, ThePinPadAndCardPullPromptsComeAsBoxes) {
    Open(SimCardKind::TestT1);
    Find<QComboBox>("ProtocolCombo")->setCurrentIndex(1);
    Tick("PinPadCheck");
    Tick("CardPullCheck");
    // The user pulls the card while the box asking for it is open.
    boxes_.WhileOpen([this] {
        if (boxes_.Boxes().back().text.find("pull") != std::string::npos) {
            card_.RemoveCard(0);
        }
    });
    RunToEnd();
    EXPECT_EQ(boxes_.Infos(),
              (std::vector<std::string>{"Press OK, then type 1234 on the reader's PIN pad.",
                                        "Press OK, then pull the card out of the reader."}));
    EXPECT_TRUE(Rows().contains(QStringLiteral("card pulled during a time request |  | pass")))
        << Rows().join(QLatin1Char('\n')).toStdString();
}

TEST_F(QualifyWindowTest, SaveReportWritesTheFormatItsSuffixNames) {
    Open(SimCardKind::TestT1);
    Find<QComboBox>("ProtocolCombo")->setCurrentIndex(1);
    RunToEnd();
    const struct {
        const char* file;
        const char* begins;
    } formats[] = {{"q.json", "{"}, {"q.xml", "<?xml"}, {"q.html", "<!DOCTYPE html>"}};
    for (const auto& format : formats) {
        savePath_ = dir_.filePath(QString::fromLatin1(format.file));
        Click("SaveReportBtn");
        QFile file(savePath_);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << format.file;
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(format.begins)) << format.file;
        EXPECT_TRUE(bytes.contains("Sim Reader 0")) << format.file;
    }
    savePath_ = dir_.filePath(QStringLiteral("q.txt"));
    Click("SaveReportBtn");
    EXPECT_FALSE(QFile::exists(savePath_));
    EXPECT_EQ(boxes_.Errors().size(), 1U);
}

}  // namespace
