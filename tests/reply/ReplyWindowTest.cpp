// The Reply window and the decoded reply of the script results, in the program on the
// simulated reader, with real events.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "apdu/QStringPrinter.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/LockedCardLibrary.h"
#include "gui/reply/ReplyActions.h"
#include "gui/reply/ReplyWindow.h"
#include "gui/reply/TlvView.h"
#include "gui/script/ScriptActions.h"
#include "gui/script/ScriptResultsWindow.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {

// The hex view's marks: the text of the tag and length, and of the value, as "A5 11".
std::pair<QString, QString> MarkedHex(const QWidget* view) {
    const auto* hex = view->findChild<QPlainTextEdit*>("TlvHex");
    const QList<QTextEdit::ExtraSelection> marks = hex->extraSelections();
    QStringList head;
    QStringList value;
    for (const QTextEdit::ExtraSelection& mark : marks) {
        const bool isHead = mark.format.background() == marks.front().format.background();
        (isHead ? head : value).append(mark.cursor.selectedText());
    }
    return {head.join(' '), value.join(' ')};
}

QTreeWidgetItem* ItemOfTag(QTreeWidget* tree, const QString& tag) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(tag, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);  // the row, indented; the tag comes first
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 8, rect.center().y()));
}

QStringList Tags(const QTreeWidgetItem* item) {
    QStringList tags;
    for (int i = 0; i < item->childCount(); ++i) {
        tags.append(item->child(i)->text(0));
    }
    return tags;
}

// An EMV PPSE answer: 6F { 84 name, A5 { BF0C { 61 { 4F AID, 87 priority } } } }, 37 bytes.
const std::vector<std::uint8_t> kPpseFci = {
    0x6F, 0x23, 0x84, 0x0E, '2',  'P',  'A',  'Y',  '.',  'S',  'Y',  'S',  '.',
    'D',  'D',  'F',  '0',  '1',  0xA5, 0x11, 0xBF, 0x0C, 0x0E, 0x61, 0x0C, 0x4F,
    0x07, 0xA0, 0x00, 0x00, 0x00, 0x03, 0x10, 0x10, 0x87, 0x01, 0x01};

TEST(TlvViewTest, ANodeSelectedMarksItsBytesAndCopiesItsPath) {
    TlvView view;
    view.ShowData(kPpseFci);
    view.resize(1000, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* tree = view.findChild<QTreeWidget*>("TlvTree");
    struct Row {
        const char* tag;
        const char* path;
        const char* head;
        const char* value;
    };
    const Row rows[] = {
        {"6F", "6F", "6F 23",
         "84 0E 32 50 41 59 2E 53 59 53 2E 44 44 46 30 31 A5 11 BF 0C 0E 61 0C 4F 07 A0 00 00 "
         "00 03 10 10 87 01 01"},
        // The value runs over into the third row of the hex view.
        {"4F", "6F/A5/BF0C/61/4F", "4F 07", "A0 00 00 00 03 10 10"},
        {"BF0C", "6F/A5/BF0C", "BF 0C 0E", "61 0C 4F 07 A0 00 00 00 03 10 10 87 01 01"},
    };
    for (const Row& row : rows) {
        QTreeWidgetItem* item = ItemOfTag(tree, row.tag);
        ASSERT_NE(item, nullptr) << row.tag;
        ClickItem(tree, item);
        EXPECT_EQ(MarkedHex(&view), std::make_pair(QString(row.head), QString(row.value)))
            << row.tag;
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(view.findChild<QPushButton*>("CopyPath"), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), row.path);
    }
    // The tree's context menu copies the same path.
    ClickItem(tree, ItemOfTag(tree, "84"));
    view.findChild<QAction*>("CopyPathAction")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "6F/84");
}

class ReplyWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.InsertCard(0, SimCardKind::CpuT1);
        windows = CreateWindows(platform);
        QTest::mouseClick(Find<QPushButton>("ConnectBtn"), Qt::LeftButton);
    }
    void TearDown() override { windows.reset(); }

    template <typename T>
    T* Find(const char* name) {
        T* found = windows->mainForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Types the fields of the CPU card page, CLA INS P1 P2 Lc DATA Le, and clicks Send.
    void Send(std::initializer_list<const char*> fields) {
        Type({"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"}, fields);
        QTest::mouseClick(Find<QPushButton>("SCardSend"), Qt::LeftButton);
    }
    void SendSam(std::initializer_list<const char*> fields) {
        Type({"SAMCLA", "SAMINS", "SAMP1", "SAMP2", "SAMLc", "SAMData", "SAMLe"}, fields);
        QTest::mouseClick(Find<QPushButton>("BitBtnSAMSend"), Qt::LeftButton);
    }
    void Type(std::initializer_list<const char*> names, std::initializer_list<const char*> texts) {
        auto name = names.begin();
        for (const char* text : texts) {
            QLineEdit* edit = Find<QLineEdit>(*name++);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
    }

    ReplyWindow* OpenReplyWindow() {
        Find<QAction>("ReplyInspectorItem")->trigger();
        return Find<ReplyActions>("ReplyActions")->Window();
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

TEST_F(ReplyWindowTest, TheWindowFollowsTheCpuCardPageAndSaysQuietlyWhatIsNotTlv) {
    // Sent before the window is opened: the window shows it all the same.
    Send({"00", "A4", "04", "00", "07", "F05A5054455354", "00"});  // the test application's FCI
    ReplyWindow* window = OpenReplyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parent(), nullptr);
    auto* tree = window->findChild<QTreeWidget*>("TlvTree");
    auto* notice = window->findChild<QLabel*>("TlvNotice");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "6F");
    EXPECT_EQ(Tags(tree->topLevelItem(0)), QStringList({"84", "A5"}));
    EXPECT_TRUE(window->findChild<QLabel*>("ReplySource")->text().contains("SW 90 00"));
    EXPECT_TRUE(tree->isVisible());

    // Left open while the user goes on: an FCP, then the text of EF 2F00, which is no TLV.
    windows->mainForm->activateWindow();
    Send({"00", "A4", "00", "00", "02", "2F00", "00"});
    EXPECT_EQ(Tags(tree->topLevelItem(0)), QStringList({"80", "82", "83", "8A"}));
    Send({"00", "B0", "00", "00", "", "", "04"});
    EXPECT_FALSE(tree->isVisible());
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), "Not TLV");
    EXPECT_EQ(window->findChild<QPlainTextEdit*>("TlvHex")->toPlainText(), "0000  5A 50 20 73");

    // The master file's FCP: the tree is back.
    Send({"00", "A4", "00", "00", "", "", "00"});
    EXPECT_TRUE(tree->isVisible());
    EXPECT_EQ(Tags(tree->topLevelItem(0)), QStringList({"82", "83", "8A"}));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ReplyWindowTest, TheWindowFollowsTheSamPage) {
    ReplyWindow* window = OpenReplyWindow();
    auto* pages = Find<QTabWidget>("PageCtrl");
    pages->setCurrentWidget(Find<QWidget>("SAMSheet"));
    QTest::mouseClick(Find<QPushButton>("SAMConnectBtn"), Qt::LeftButton);
    sam.SetNextTransmitReply({0x5F, 0x20, 0x02, 'Z', 'P', 0x90, 0x00});
    SendSam({"80", "CA", "5F", "20"});
    EXPECT_TRUE(window->findChild<QLabel*>("ReplySource")->text().contains("the SAM page"));
    auto* tree = window->findChild<QTreeWidget*>("TlvTree");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "5F20");

    // A library that claims more than its buffer holds: the window shows the buffer, 1024
    // bytes, in 64 rows.
    sam.DeliverNextLength("SamTransmit", 70000);
    SendSam({"80", "CA", "5F", "20"});
    EXPECT_EQ(window->findChild<QPlainTextEdit*>("TlvHex")->blockCount(), 64);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ReplyWindowTest, TheScriptResultsShowTheSelectedRowsReplyAndTheWindowTheRunsLast) {
    const QString path = dir.filePath("fcp.script");
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("00 A4 00 00 02 2F 00 00\n00 B0 00 00 04\n");
    script.close();
    Find<ScriptActions>("ScriptActions")->SetFileChooser([&](QWidget*, ScriptFileRole) {
        return path;
    });
    ReplyWindow* window = OpenReplyWindow();
    Find<QAction>("RunScript")->trigger();
    ScriptResultsWindow* results = Find<ScriptActions>("ScriptActions")->ResultsWindow();
    ASSERT_NE(results, nullptr);
    QSignalSpy finished(results, &ScriptResultsWindow::RunFinished);
    ASSERT_TRUE(finished.wait(10000));

    // The window follows the run: its last reply, the text.
    EXPECT_TRUE(window->findChild<QLabel*>("ReplySource")->text().contains("a script run"));
    EXPECT_TRUE(window->findChild<QLabel*>("TlvNotice")->isVisible());

    auto* table = results->findChild<QTableWidget*>("ScriptResults");
    auto* view = results->findChild<TlvView*>("ScriptReplyView");
    auto* tree = view->findChild<QTreeWidget*>("TlvTree");
    auto* notice = view->findChild<QLabel*>("TlvNotice");
    ASSERT_EQ(table->rowCount(), 2);
    const auto clickRow = [table](int row) {
        const QRect cell = table->visualItemRect(table->item(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    };
    clickRow(0);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "62");
    EXPECT_TRUE(tree->isVisible());
    clickRow(1);
    EXPECT_FALSE(tree->isVisible());
    EXPECT_EQ(notice->text(), "Not TLV");
    // The table's own columns are as they were.
    EXPECT_EQ(table->item(1, 3)->text(), "5A 50 20 73 90 00");
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
