#include <gmock/gmock.h>

#include <QApplication>
#include <QScrollBar>
#include <QTextDocument>
#include <string>

#include "gui/ResponseLogEdit.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A log on the screen (offscreen), short enough to scroll after a few lines.
class ResponseLogEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log.resize(400, 120);
        log.show();
        QApplication::processEvents();
    }

    void AppendNumbered(int count) {
        for (int i = 0; i < count; ++i) {
            model.AppendLine("line " + std::to_string(i));
        }
    }

    QScrollBar* Bar() { return log.verticalScrollBar(); }

    ResponseLogModel model;
    ResponseLogEdit log{QStringLiteral("ScardRespon"), model};
};

TEST_F(ResponseLogEditTest, LinesAreThereAtOnceAndTheDocumentTakesThemAfterTheHandler) {
    model.AppendLine("");
    model.AppendLine("Send Data Success");
    model.AppendLine("");
    // The handler that appended has not returned yet: the document has not been touched.
    EXPECT_TRUE(log.document()->isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(log.document()->blockCount(), 3);
    EXPECT_EQ(log.toPlainText(), QStringLiteral("\nSend Data Success\n"));
    EXPECT_THAT(log.Lines(), ElementsAre("", "Send Data Success", ""));
}

TEST_F(ResponseLogEditTest, LinesReadBeforeTheEventLoopKeepTheirOrderWithLaterOnes) {
    model.AppendLine("first");
    EXPECT_THAT(log.Lines(), ElementsAre("first"));
    model.AppendLine("second");
    QApplication::processEvents();
    model.AppendLine("third");
    EXPECT_THAT(log.Lines(), ElementsAre("first", "second", "third"));
    QApplication::processEvents();
    EXPECT_THAT(log.Lines(), ElementsAre("first", "second", "third"));
}

TEST_F(ResponseLogEditTest, ClearDropsLinesStillWaiting) {
    model.AppendLine("kept?");
    QApplication::processEvents();
    model.AppendLine("waiting");
    model.ClearLog();
    QApplication::processEvents();
    EXPECT_THAT(log.Lines(), IsEmpty());
    EXPECT_TRUE(log.document()->isEmpty());
    model.AppendLine("");
    EXPECT_THAT(log.Lines(), ElementsAre(""));
}

TEST_F(ResponseLogEditTest, FollowsTheEndWhileTheViewShowsIt) {
    AppendNumbered(50);
    QApplication::processEvents();
    ASSERT_GT(Bar()->maximum(), 0);
    EXPECT_EQ(Bar()->value(), Bar()->maximum());
    const int before = Bar()->maximum();
    AppendNumbered(6);
    QApplication::processEvents();
    EXPECT_GT(Bar()->maximum(), before);
    EXPECT_EQ(Bar()->value(), Bar()->maximum());
}

TEST_F(ResponseLogEditTest, StaysWhereTheUserScrolledTo) {
    AppendNumbered(50);
    QApplication::processEvents();
    Bar()->setValue(3);
    AppendNumbered(6);
    QApplication::processEvents();
    EXPECT_EQ(Bar()->value(), 3);
    EXPECT_EQ(log.Lines().size(), 56u);
}

TEST_F(ResponseLogEditTest, TypedTextStaysBeforeLinesAppendedAfterIt) {
    model.AppendLine("Connect Success");
    QApplication::processEvents();
    log.moveCursor(QTextCursor::End);
    log.insertPlainText(QStringLiteral(" typed"));
    model.AppendLine("");
    EXPECT_THAT(log.Lines(), ElementsAre("Connect Success typed", ""));
}

}  // namespace
