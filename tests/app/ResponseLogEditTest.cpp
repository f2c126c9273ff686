#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <string>

#include "AppFixture.h"
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

// Each line is held once: by the model until a view shows it, by the view meanwhile, and
// by the model again when the view goes first.
TEST(ResponseLogModelTest, LinesMoveIntoTheViewAndBack) {
    ResponseLogModel model;
    model.AppendLine("before");
    {
        ResponseLogEdit view(QStringLiteral("ScardRespon"), model);
        model.AppendLine("during");
        EXPECT_THAT(view.Lines(), ElementsAre("before", "during"));
        EXPECT_THAT(model.Lines(), ElementsAre("before", "during"));
    }
    model.AppendLine("after");
    EXPECT_THAT(model.Lines(), ElementsAre("before", "during", "after"));
}

// Saving a page's log from the main window: the file-name choice is answered by the test.
class LogSaving : public AppTest {
  protected:
    void SetUp() override {
        Start();
        windows->mainForm->SetLogFileChooser([this](QWidget*, const QString& suggested) {
            suggestedPaths.push_back(suggested);
            return chosenPath;
        });
        QApplication::setActiveWindow(windows->mainForm.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows->mainForm.get()));
    }

    // Opens the log's context menu with a right click and triggers the named entry.
    void ChooseFromContextMenu(ResponseLogEdit* log, const char* entry) {
        QTimer::singleShot(0, [entry] {
            QWidget* popup = QApplication::activePopupWidget();
            ASSERT_NE(popup, nullptr);
            auto* action = popup->findChild<QAction*>(QString::fromLatin1(entry));
            popup->close();
            ASSERT_NE(action, nullptr) << entry;
            action->trigger();
        });
        // Through the window, as the platform delivers a click: a right press there is what
        // opens a context menu.
        QWidget* window = log->window();
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                          log->viewport()->mapTo(window, log->viewport()->rect().center()));
    }

    static QByteArray Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir folder;
    QString chosenPath;
    std::vector<QString> suggestedPaths;
};

TEST_F(LogSaving, CtrlSWritesTheLinesShownOfThePageInViewAs8BitText) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    auto* log = Find<ResponseLogEdit>("ScardRespon");
    QApplication::processEvents();
    log->setFocus();
    log->moveCursor(QTextCursor::End);
    QTest::keyClicks(log, QStringLiteral("caf"));
    QTest::sendKeyEvent(QTest::Click, log, Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier);
    chosenPath = folder.filePath(QStringLiteral("card.log"));
    QTest::keyClick(windows->mainForm.get(), Qt::Key_S, Qt::ControlModifier);

    ASSERT_EQ(suggestedPaths.size(), 1u);
    const QFileInfo suggested(suggestedPaths[0]);
    EXPECT_EQ(
        suggested.absolutePath(),
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).absolutePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^CPU-card-\\d{8}-\\d{6}\\.log$"))
                    .match(suggested.fileName())
                    .hasMatch())
        << suggested.fileName().toStdString();
    EXPECT_EQ(Contents(chosenPath), QByteArray("Initialize Success\nConnect Success\ncaf\xe9\n"));
    EXPECT_TRUE(boxes.Boxes().empty());

    // The stripe page's log, by its context menu; "Copy All" takes the same lines.
    Find<QTabWidget>("PageCtrl")->setCurrentIndex(7);
    auto* stripeLog = Find<QTabWidget>("PageCtrl")->currentWidget()->findChild<ResponseLogEdit*>();
    ASSERT_NE(stripeLog, nullptr);
    chosenPath = folder.filePath(QStringLiteral("stripe.log"));
    ChooseFromContextMenu(stripeLog, "SaveLogAs");
    ASSERT_EQ(suggestedPaths.size(), 2u);
    EXPECT_TRUE(
        QFileInfo(suggestedPaths[1]).fileName().startsWith(QStringLiteral("MSR(Pellik100)-")));
    EXPECT_EQ(Contents(chosenPath), QByteArray());
    Find<QTabWidget>("PageCtrl")->setCurrentIndex(0);
    ChooseFromContextMenu(log, "CopyAll");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Initialize Success\nConnect Success\ncaf\u00e9"));
}

// One character beyond Latin-1 makes the whole file UTF-8; nothing typed turns into '?'.
TEST_F(LogSaving, ALineBeyondLatin1IsSavedAsUtf8AndReadsBackAsShown) {
    auto* log = Find<ResponseLogEdit>("ScardRespon");
    QApplication::processEvents();
    log->setFocus();
    log->moveCursor(QTextCursor::End);
    QTest::keyClick(log, Qt::Key_Return);
    for (const QChar c : QStringLiteral("\u00e9\u20ac\u03a9")) {  // é, the euro sign, omega
        QTest::sendKeyEvent(QTest::Click, log, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    chosenPath = folder.filePath(QStringLiteral("typed.log"));
    QTest::keyClick(windows->mainForm.get(), Qt::Key_S, Qt::ControlModifier);

    const QString shown = QStringLiteral("Initialize Success\n\u00e9\u20ac\u03a9");
    EXPECT_EQ(Contents(chosenPath), (shown + QLatin1Char('\n')).toUtf8());
    EXPECT_THAT(log->Model()->Lines(), ElementsAre("Initialize Success", "\u00e9\u20ac\u03a9"));
    ChooseFromContextMenu(log, "CopyAll");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), shown);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LogSaving, AFailedSaveNamesThePathAndLeavesTheLogAndNoFileBehind) {
    auto* log = Find<ResponseLogEdit>("ScardRespon");
    // Cancelling the choice does nothing.
    QTest::keyClick(windows->mainForm.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(suggestedPaths.size(), 1u);
    EXPECT_TRUE(boxes.Boxes().empty());

    // A folder under the chosen name: the save refuses rather than write somewhere else.
    chosenPath = folder.path();
    QTest::keyClick(windows->mainForm.get(), Qt::Key_S, Qt::ControlModifier);
    // A folder that is a file: nothing can be written there, whoever runs the test.
    QFile notAFolder(folder.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QString unwritable = folder.filePath(QStringLiteral("plain/card.log"));
    chosenPath = unwritable;
    ChooseFromContextMenu(log, "SaveLogAs");

    const auto errors = boxes.Errors();
    ASSERT_EQ(errors.size(), 2u);
    for (const auto& [error, path] :
         {std::pair{errors[0], folder.path()}, {errors[1], unwritable}}) {
        EXPECT_EQ(error.rfind("Cannot save the log to " + path.toStdString() + ": ", 0), 0u)
            << error;
    }
    EXPECT_THAT(log->Lines(), ElementsAre("Initialize Success"));
    EXPECT_THAT(
        QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
        ElementsAre("plain"));
}

}  // namespace
