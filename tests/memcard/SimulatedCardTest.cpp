#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "common/MemoryResponseLog.h"
#include "memcard/DataForm.h"
#include "memcard/MemCardPages.h"
#include "session/ReaderSession.h"
#include "session/ResponseLogEdit.h"
#include "sim/SimCardLibrary.h"
#include "support/RecordingMessageBoxes.h"

using ::testing::ElementsAre;

namespace {

// The memory-card pages against the simulated reader, driven only through the widgets.
class SimulatedMemoryCard : public ::testing::Test {
  protected:
    SimulatedMemoryCard() {
        library.InsertCard(0, SimCardKind::SLE4442);
        EXPECT_TRUE(session.InitializeReaders());
        EXPECT_TRUE(session.TryConnectCard());
        pages.AttachDataDialog(&dialog);
    }

    QLineEdit* Edit(const char* name) {
        return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void Click(const char* button) {
        mainWindow.findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }
    static void Retype(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    void Run(const char* button, const char* address, const char* length, const char* data) {
        Click(button);
        if (address != nullptr) {
            Retype(Edit("AddrEdit"), address);
        }
        if (length != nullptr) {
            Retype(Edit("DataLenEdit"), length);
        }
        if (data != nullptr) {
            Retype(Edit("DataEdit"), data);
        }
        dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    }
    std::vector<std::string> Log() {
        return mainWindow.findChild<ResponseLogEdit*>(QStringLiteral("SLE4442Respon"))->Lines();
    }

    SimCardLibrary library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session{library, boxes, cardLog};
    QWidget mainWindow;
    QTabWidget* tabs = new QTabWidget(&mainWindow);
    MemCardPages pages{session, tabs};
    TMemDataDlg dialog{pages, session, &mainWindow};
};

TEST_F(SimulatedMemoryCard, VerifyWriteAndReadBack) {
    Run("SLE4442Verify", nullptr, nullptr, "ffffff");
    Run("SLE4442WriteM", "64", "3", "a1b2c3");
    Run("SLE4442ReadM", "64", "3", nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 16u);
    EXPECT_EQ(log[2], "SLE4442 Verify Success");
    EXPECT_EQ(log[6], "     Send Data (0x003 bytes) : A1 B2 C3 ");
    EXPECT_EQ(log[7], "SLE4432/4442 Write Main Memory Success");
    EXPECT_THAT(std::vector<std::string>(log.begin() + 9, log.end()),
                ElementsAre("SLE4432/4442 Read Main Memory :", "     Starting Address : 0x040",
                            "     Receive Length = 0x003", "SLE4432/4442 Read Main Memory Success",
                            "Receive Data : 003 bytes : ", "A1 B2 C3 ", std::string(12, ' ')));
}

TEST_F(SimulatedMemoryCard, OverlongDeliveryAndFailure) {
    library.DeliverNextLength("CardSLE4442ReadMain", 300);
    Run("SLE4442ReadM", "0", "20", nullptr);
    EXPECT_EQ(Log()[4], "Receive Data : 014 bytes : ");
    EXPECT_EQ(Log().size(), 8u);

    library.FailNext("CardSLE4442ReadMain", 6);
    Run("SLE4442ReadM", "16", "20", nullptr);
    EXPECT_THAT(boxes.Errors(), ElementsAre("SLE4432/4442 Read Main Memory Fail!"));
    EXPECT_EQ(Log()[11], "SLE4432/4442 Read Main Memory Fail, return code=0x0000000000000006");
    EXPECT_FALSE(session.CardBusy);
}

}  // namespace
