// Record Script and Run Script in the program on the simulated reader, with real events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <mutex>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/LockedCardLibrary.h"
#include "gui/ResponseLogEdit.h"
#include "gui/script/ScriptActions.h"
#include "gui/script/ScriptResultsWindow.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

class ScriptWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.InsertCard(0, SimCardKind::CpuT1);
        windows = CreateWindows(platform);
        Find<ScriptActions>("ScriptActions")->SetFileChooser([this](QWidget*, ScriptFileRole role) {
            return dir.filePath(role == ScriptFileRole::SaveResults ? "results.xml"
                                                                    : "session.script");
        });
        QTest::mouseClick(Find<QPushButton>("ConnectBtn"), Qt::LeftButton);
        ASSERT_THAT(Log(), Contains("Connect Success"));
    }
    void TearDown() override { windows.reset(); }

    template <typename T>
    T* Find(const char* name) {
        T* found = windows->mainForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::vector<std::string> Log() { return Find<ResponseLogEdit>("ScardRespon")->Lines(); }

    // Types the fields CLA INS P1 P2 Lc DATA Le and clicks Send.
    void Send(std::initializer_list<const char*> fields) {
        const char* names[] = {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"};
        int i = 0;
        for (const char* text : fields) {
            QLineEdit* edit = Find<QLineEdit>(names[i++]);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::mouseClick(Find<QPushButton>("SCardSend"), Qt::LeftButton);
    }

    // Runs the recording and waits for the run's end.
    ScriptResultsWindow* RunRecording(bool again) {
        ScriptResultsWindow* results = Find<ScriptActions>("ScriptActions")->ResultsWindow();
        if (!again) {
            Find<QAction>("RunScript")->trigger();
            results = Find<ScriptActions>("ScriptActions")->ResultsWindow();
        }
        EXPECT_NE(results, nullptr);
        QSignalSpy finished(results, &ScriptResultsWindow::RunFinished);
        if (again) {
            QTest::mouseClick(results->findChild<QPushButton*>("ScriptRunAgain"), Qt::LeftButton);
        }
        EXPECT_TRUE(finished.wait(10000));
        return results;
    }

    static QString Cell(ScriptResultsWindow* results, int row, int column) {
        return results->findChild<QTableWidget*>("ScriptResults")->item(row, column)->text();
    }

    QTemporaryDir dir;
    SimCardLibrary sim;
    LockedCardLibrary card{sim, sim.SharedLock()};
    SimSamLibrary sam{sim};
    SimMsrLibrary msr{sim};
    RecordingMessageBoxes boxes;
    Platform platform{card, sam, msr, boxes, QString(), nullptr, [this] {
                          return std::make_unique<LockedCardLibrary>(sim, sim.SharedLock());
                      }};
    std::unique_ptr<ProgramWindows> windows;
};

TEST_F(ScriptWindowTest, ARecordingReplaysOnTheSameCardAndShowsWhatDiffersOnAnother) {
    Find<QAction>("RecordScript")->trigger();
    EXPECT_FALSE(Find<QLabel>("RecordingIndicator")->isHidden());
    Send({"00", "A4", "00", "00", "02", "2F00", "00"});  // SELECT EF 2F00, FCP wanted
    Send({"00", "B0", "00", "00", "", "", "04"});
    Send({"00", "CA", "00", "5A", "", "", "08"});
    Find<QAction>("StopRecording")->trigger();
    EXPECT_TRUE(Find<QLabel>("RecordingIndicator")->isHidden());

    QFile recording(dir.filePath("session.script"));
    ASSERT_TRUE(recording.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(recording.readAll()).split('\n');
    ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();  // header, 3, final break
    EXPECT_TRUE(lines[2].startsWith("00 B0 00 00 04 [5A 50 20 73] (90 00)"));

    const std::size_t logBefore = Log().size();
    ScriptResultsWindow* results = RunRecording(false);
    ASSERT_EQ(results->findChild<QTableWidget*>("ScriptResults")->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Cell(results, row, 4), "pass") << row;
    }
    EXPECT_EQ(Cell(results, 0, 0), "2");
    EXPECT_THAT(results->findChild<QLabel*>("ScriptSummary")->text().toStdString(),
                HasSubstr("3 commands, 3 passed, 0 failed"));
    // Each exchange wrote the lines Send writes, and no box appeared.
    const std::vector<std::string> log = Log();
    EXPECT_EQ(std::count(log.begin() + logBefore, log.end(), "Send Data Success"), 3);
    EXPECT_EQ(log[logBefore + 1], "00 A4 00 00 02 2F 00 00 ");
    EXPECT_TRUE(boxes.Boxes().empty());

    {
        const std::lock_guard lock(sim.SharedLock());
        sim.InsertCard(0, SimCardKind::CpuT0);
    }
    RunRecording(true);
    // A T=0 card refuses the SELECT that carries Le with 67 00: SW1 differs, and no FCP came.
    EXPECT_EQ(Cell(results, 0, 4), "FAIL");
    QTableWidget* table = results->findChild<QTableWidget*>("ScriptResults");
    EXPECT_EQ(table->item(0, 3)->toolTip(), "67 00");
    EXPECT_EQ(table->item(0, 3)->data(Qt::UserRole).toList(), (QVariantList{0}));
    const auto* marked = qobject_cast<QLabel*>(table->cellWidget(0, 3));
    ASSERT_NE(marked, nullptr);
    EXPECT_TRUE(marked->text().contains("<span")) << marked->text().toStdString();
    EXPECT_TRUE(boxes.Boxes().empty());

    QTest::mouseClick(results->findChild<QPushButton*>("ScriptSaveResults"), Qt::LeftButton);
    QFile junit(dir.filePath("results.xml"));
    ASSERT_TRUE(junit.open(QIODevice::ReadOnly));
    EXPECT_EQ(junit.readAll().count("<testcase "), 3);
}

// The CPU card page sends a wrong Lc as typed, on purpose; its recording replays it as
// written and the results warn on its line.
TEST_F(ScriptWindowTest, AFailedTagCheckIsNamedOnItsRow) {
    QFile script(dir.filePath("session.script"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("00 A4 04 00 07 F0 5A 50 54 45 53 54 00 {6F/A5/50 = \"ZP CARD\"}\n");
    script.close();
    ScriptResultsWindow* results = RunRecording(false);
    EXPECT_EQ(Cell(results, 0, 4), "FAIL, 6F/A5/50: expected \"ZP CARD\", found \"ZP TEST\"");
    EXPECT_EQ(Cell(results, 0, 2), "{6F/A5/50 = \"ZP CARD\"}");
}

TEST_F(ScriptWindowTest, ARecordedCommandWithAWrongLcReplaysWithAWarning) {
    Find<QAction>("RecordScript")->trigger();
    Send({"00", "A4", "00", "0C", "05", "2F00", ""});
    Send({"00", "B0", "00", "00", "", "", "02"});
    Find<QAction>("StopRecording")->trigger();

    ScriptResultsWindow* results = RunRecording(false);
    QTableWidget* table = results->findChild<QTableWidget*>("ScriptResults");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(Cell(results, 0, 1), "00 A4 00 0C 05 2F 00");
    EXPECT_EQ(table->item(0, 0)->toolTip(), "Lc announces 5 data bytes, but 2 bytes follow it");
    EXPECT_FALSE(table->item(0, 0)->icon().isNull());
    EXPECT_TRUE(table->item(1, 0)->toolTip().isEmpty());
    EXPECT_TRUE(table->item(1, 0)->icon().isNull());
    EXPECT_EQ(Cell(results, 0, 4), "pass");
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
