#include <QLayout>

#include "MemCardWidgets.h"
#include "gui/ResponseLogEdit.h"

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::Return;

namespace {

using MemCardPage = MemCardWidgets;

struct PageExpectation {
    const char* sheet;
    const char* caption;
    const char* log;
    const char* clear;
    const char* clearCaption;
    std::vector<const char*> buttons;
};

const std::vector<PageExpectation> kPageExpectations{
    {"SLE4442Sheet",
     "SLE4432/4442",
     "SLE4442Respon",
     "SLE4442Clear",
     "&Clear",
     {"SLE4442ReadM", "SLE4442WriteM", "SLE4442ReadP", "SLE4442WriteP", "SLE4442ReadS",
      "SLE4442WriteS", "SLE4442Verify"}},
    {"SLE4428Sheet",
     "SLE4418/4428",
     "SLE4428Respon",
     "SLE4428Clear",
     "&Clear",
     {"SLE4428ReadM", "SLE4428ReadP", "SLE4428WriteM", "SLE4428WriteP", "SLE4428WritePB",
      "SLE4428PSC"}},
    {"SLE4404",
     "SLE4404",
     "SLE4404Respon",
     "SLE4404Clear",
     "Clear",
     {"SLE4404ReadM", "SLE4404ReadU", "SLE4404WriteM", "SLE4404WriteU", "SLE4404EraseM",
      "SLE4404VerifyU", "SLE4404VerifyM"}},
    {"SLE4436Sheet",
     "SLE4406/4436/5536",
     "SLE4436Respon",
     "SLE4436Clear",
     "Clear",
     {"SLE4436ReadM", "SLE4436ReadC", "SLE4436WriteM", "SLE4436WriteC", "SLE4436Reload",
      "SLE4436Verify"}},
    {"I2CSheet", "I2C", "I2CRespon", "I2CClear", "Clear", {"I2CReadM", "I2CWriteM"}},
};

TEST_F(MemCardPage, FivePagesInOrderWithButtonsLogAndClear) {
    ASSERT_EQ(tabs->count(), 5);
    for (int index = 0; index < tabs->count(); ++index) {
        const PageExpectation& expected = kPageExpectations[static_cast<std::size_t>(index)];
        SCOPED_TRACE(expected.sheet);
        QWidget* sheet = tabs->widget(index);
        EXPECT_EQ(sheet->objectName(), expected.sheet);
        EXPECT_EQ(tabs->tabText(index), expected.caption);

        // Tab order: the operation buttons left to right, the log, the Clear button.
        std::vector<QString> order;
        for (QWidget* widget = Find<QPushButton>(sheet, expected.buttons.front());
             order.size() < expected.buttons.size() + 2; widget = widget->nextInFocusChain()) {
            if (widget->focusPolicy() & Qt::TabFocus) {
                order.push_back(widget->objectName());
            }
        }
        std::vector<QString> expectedOrder(expected.buttons.begin(), expected.buttons.end());
        expectedOrder.push_back(expected.log);
        expectedOrder.push_back(expected.clear);
        EXPECT_EQ(order, expectedOrder);

        // Left to right: the buttons stand in this order in the page's button row.
        QLayout* buttonRow = sheet->layout()->itemAt(0)->layout();
        ASSERT_NE(buttonRow, nullptr);
        for (int i = 0; i < static_cast<int>(expected.buttons.size()); ++i) {
            EXPECT_EQ(buttonRow->indexOf(Find<QPushButton>(sheet, expected.buttons[i])), i);
        }
        auto* log = Find<ResponseLogEdit>(sheet, expected.log);
        const auto labels = sheet->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels.front()->text(), "Response :");
        EXPECT_EQ(Find<QPushButton>(sheet, expected.clear)->text(), expected.clearCaption);
        EXPECT_EQ(pages->Logs().pages[static_cast<std::size_t>(index)],
                  static_cast<ResponseLog*>(log->Model()));
    }
}

TEST_F(MemCardPage, ButtonsCarryTheirCaptionsAndHints) {
    for (const MemOperationEntry& entry : MemOperations()) {
        QPushButton* button = PageButton(entry.button);
        EXPECT_EQ(button->text(), entry.caption);
        EXPECT_EQ(button->toolTip(), entry.hint);
    }
    EXPECT_EQ(PageButton("SLE4428ReadP")->text(), "  Read Mem && &P ");
    EXPECT_EQ(PageButton("SLE4428WriteP")->text(), "  Write M&em && P");
    EXPECT_EQ(PageButton("SLE4442ReadM")->toolTip(), "Read Main Memory ");
}

TEST_F(MemCardPage, WorkedExampleThroughTheDialog) {
    EXPECT_CALL(library, CardSLE4442ReadMain(kCard, _, 16u, _))
        .WillOnce(
            Invoke([](std::uint32_t, std::uint8_t* buffer, std::uint32_t, std::uint32_t* length) {
                EXPECT_EQ(*length, 20u);
                for (std::uint32_t i = 0; i < 20; ++i) {
                    buffer[i] = static_cast<std::uint8_t>(0xE0 + i);
                }
                return 0u;
            }));
    Open(1);
    Retype(Edit("AddrEdit"), "16");
    Retype(Edit("DataLenEdit"), "20");
    PressOk();
    EXPECT_THAT(Find<ResponseLogEdit>(&mainWindow, "SLE4442Respon")->Lines(),
                ElementsAre("SLE4432/4442 Read Main Memory :", "     Starting Address : 0x010",
                            "     Receive Length = 0x014", "SLE4432/4442 Read Main Memory Success",
                            "Receive Data : 014 bytes : ",
                            "E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF ", "F0 F1 F2 F3 ",
                            std::string(12, ' ')));
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MemCardPage, FailureBoxComesBeforeTheReturnCodeLine) {
    auto* log = Find<ResponseLogEdit>(&mainWindow, "SLE4436Respon");
    boxes.Watch([log] { return log->Lines().size(); });
    std::vector<bool> mainWindowEnabled;
    boxes.WhileOpen([&] { mainWindowEnabled.push_back(mainWindow.isEnabled()); });
    EXPECT_CALL(library, CardSLE4436Reload(kCard, std::uint8_t{7})).WillOnce(Return(0x10u));
    Open(25);
    Retype(Edit("AddrEdit"), "7");
    PressOk();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "SLE4406/4436/5536 Reload Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(3u));
    EXPECT_THAT(log->Lines(),
                ElementsAre("SLE4406/4436/5536 Reload :", "     Starting Address : 0x07",
                            "     Receive Length = 0x01",
                            "SLE4406/4436/5536 Reload Fail, return code=0x0000000000000010",
                            std::string(12, ' ')));
    // The dialog is already hidden, which gave the main window back before the call.
    EXPECT_THAT(mainWindowEnabled, ElementsAre(true));
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(MemCardPage, ClearEmptiesOnlyItsOwnLog) {
    auto* i2c = Find<ResponseLogEdit>(&mainWindow, "I2CRespon");
    auto* sle4404 = Find<ResponseLogEdit>(&mainWindow, "SLE4404Respon");
    i2c->Model()->AppendLine("kept?");
    sle4404->Model()->AppendLine("kept");
    PageButton("I2CClear")->click();
    EXPECT_TRUE(i2c->Lines().empty());
    EXPECT_THAT(sle4404->Lines(), ElementsAre("kept"));
    PageButton("SLE4404Clear")->click();
    EXPECT_TRUE(sle4404->Lines().empty());
}

TEST(MemCardPagesAlone, ButtonsWaitForTheDialog) {
    ::testing::StrictMock<MockCardLibrary> library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session(library, cardLog);
    QWidget mainWindow;
    auto* tabs = new QTabWidget(&mainWindow);
    MemCardPages pages(session, boxes, tabs);
    mainWindow.findChild<QPushButton*>(QStringLiteral("SLE4442WriteM"))->click();
    EXPECT_EQ(pages.Params().MemOpCode, 0u);
    EXPECT_TRUE(mainWindow.isEnabled());
}

}  // namespace
