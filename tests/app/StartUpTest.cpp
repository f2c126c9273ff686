#include <gmock/gmock.h>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <algorithm>

#include "AppFixture.h"
#include "app/ProgramTitle.h"
#include "app/QtMessageBoxes.h"
#include "gui/CardStatusForm.h"
#include "gui/SelectForm.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

QLabel* ReaderNameLabel(const ProgramWindows& windows) {
    return windows.mainForm->findChild<QLabel*>(QStringLiteral("LblReaderName"));
}

std::vector<QRadioButton*> ReaderItems(const ProgramWindows& windows) {
    const QList<QRadioButton*> items =
        windows.selectDlg->findChild<QGroupBox*>(QStringLiteral("RdoGupSelectReader"))
            ->findChildren<QRadioButton*>();
    return {items.begin(), items.end()};
}

class OneReader : public AppTest {};

TEST_F(OneReader, SelectsTheReaderAndStartsTracking) {
    Start();
    // The instance pointers name the windows that the start-up sequence returned.
    ASSERT_NE(windows->mainForm, nullptr);
    EXPECT_EQ(MainForm, windows->mainForm.get());
    EXPECT_EQ(FrmAbout, windows->frmAbout.get());
    EXPECT_EQ(SelectDlg, windows->selectDlg.get());
    EXPECT_EQ(MemDataDlg, windows->memDataDlg.get());
    EXPECT_EQ(CardStatusDlg, windows->cardStatusDlg.get());
    EXPECT_EQ(windows->mainForm->windowTitle(),
              QStringLiteral("Zorv/Pellik PC/SC Series Smart Card Reader Testing Program v4.0"));
    EXPECT_TRUE(windows->mainForm->isVisible());
    EXPECT_TRUE(windows->mainForm->isEnabled());
    EXPECT_FALSE(windows->selectDlg->isVisible());
    EXPECT_TRUE(AutoConnect()->isChecked());
    EXPECT_TRUE(ConnectTimer()->isActive());
    EXPECT_EQ(ConnectTimer()->interval(), 200);
    EXPECT_EQ(ReaderNameLabel(*windows)->text(), QStringLiteral("Reader Name: Sim Reader 00 00"));
    EXPECT_EQ(CurrentPage(), QStringLiteral("SCardSheet"));
    EXPECT_THAT(Log("ScardRespon"), ElementsAre("Initialize Success"));
    EXPECT_THAT(boxes.Boxes(), IsEmpty());
}

TEST_F(OneReader, ButtonRowAndPagesAreInPlace) {
    Start();
    const char* names[] = {"SelectBtn",  "ConnectBtn", "DisconnectButton",
                           "GetRdrType", "AboutBtn",   "ExitButton"};
    const char* captions[] = {"Select &Rdr", "&Connect", "&Disconnect",
                              "&Get Info",   "A&bout",   "E&xit"};
    const char* hints[] = {"Select Reader",          "Connect Card", "Disconnect Card",
                           "Get Reader Information", "About ",       "Exit"};
    for (int i = 0; i < 6; ++i) {
        QPushButton* button = Button(names[i]);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(captions[i]));
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(hints[i]));
        EXPECT_TRUE(button->isEnabled());
        if (i > 0) {
            EXPECT_EQ(Button(names[i - 1])->nextInFocusChain(), button) << names[i];
        }
    }
    auto* pages = Find<QTabWidget>("PageCtrl");
    const char* pageNames[] = {"SCardSheet",   "SLE4442Sheet", "SLE4428Sheet", "SLE4404",
                               "SLE4436Sheet", "I2CSheet",     "SAMSheet",     "PellikSheet1"};
    const char* pageCaptions[] = {"CPU card",     "SLE4432/4442",      "SLE4418/4428",
                                  "SLE4404",      "SLE4406/4436/5536", "I2C",
                                  "SAM(Zorv200)", "MSR(Pellik100)"};
    ASSERT_EQ(pages->count(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), QString::fromLatin1(pageNames[i]));
        EXPECT_EQ(pages->tabText(i), QString::fromLatin1(pageCaptions[i]));
    }
    auto* menu = Find<QMenuBar>("Menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, windows->mainForm->menuBar());
    EXPECT_EQ(Find<QTimer>("MsrTimer")->interval(), 500);
    EXPECT_FALSE(Find<QTimer>("MsrTimer")->isActive());
}

class ThreeReaders : public AppTest {
  protected:
    ThreeReaders() : AppTest({"Reader A 00 00", "Reader B 00 00", "Reader C 00 00"}) {}
};

TEST_F(ThreeReaders, TheSelectionDialogIsUpAndTheMainWindowWaits) {
    Start();
    EXPECT_TRUE(windows->selectDlg->isVisible());
    EXPECT_FALSE(windows->mainForm->isEnabled());
    EXPECT_TRUE(windows->selectDlg->isEnabled())
        << "the dialog is not a child of the disabled main window";
    EXPECT_TRUE(AutoConnect()->isChecked());
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_EQ(ReaderNameLabel(*windows)->text(), QStringLiteral("Reader Name:"));
    const auto items = ReaderItems(*windows);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Reader A 00 00"));
    EXPECT_EQ(items[2]->text(), QStringLiteral("Reader C 00 00"));
    EXPECT_TRUE(items[0]->isChecked());

    EXPECT_EQ(windows->selectDlg->focusWidget(), items[0])
        << "the reader list is first in the tab order";
}

TEST_F(ThreeReaders, OkTakesTheChosenReaderAndStartsTracking) {
    Start();
    ReaderItems(*windows)[1]->setChecked(true);
    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Session().SelectedIndex(), 1);
    EXPECT_EQ(ReaderNameLabel(*windows)->text(), QStringLiteral("Reader Name: Reader B 00 00"));
    EXPECT_FALSE(windows->selectDlg->isVisible());
    EXPECT_TRUE(windows->mainForm->isEnabled());
    EXPECT_TRUE(ConnectTimer()->isActive());

    // Reopened through Select Rdr: tracking stops and the first reader is offered again.
    Button("SelectBtn")->click();
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_FALSE(windows->mainForm->isEnabled());
    EXPECT_TRUE(ReaderItems(*windows)[0]->isChecked());
    EXPECT_EQ(windows->selectDlg->focusWidget(), ReaderItems(*windows)[0]);
    EXPECT_EQ(ReaderItems(*windows).size(), 3u) << "the list is rebuilt, not appended to";

    // Cancel keeps the reader and leaves tracking stopped.
    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("CancelButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Session().SelectedIndex(), 1);
    EXPECT_EQ(ReaderNameLabel(*windows)->text(), QStringLiteral("Reader Name: Reader B 00 00"));
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_TRUE(windows->mainForm->isEnabled());
}

TEST_F(ThreeReaders, ClosingTheDialogGivesTheMainWindowBack) {
    Start();
    windows->selectDlg->close();
    EXPECT_FALSE(windows->selectDlg->isVisible());
    EXPECT_TRUE(windows->mainForm->isEnabled());
}

TEST_F(ThreeReaders, MinimisingTheDialogKeepsTheMainWindowWaitingAndTheChoice) {
    Start();
    ReaderItems(*windows)[2]->setChecked(true);
    windows->selectDlg->showMinimized();
    EXPECT_FALSE(windows->mainForm->isEnabled());
    windows->selectDlg->showNormal();
    EXPECT_FALSE(windows->mainForm->isEnabled());
    EXPECT_TRUE(ReaderItems(*windows)[2]->isChecked());
}

class NoReader : public AppTest {
  protected:
    NoReader() : AppTest({}) {}
};

TEST_F(NoReader, OpensOnTheCardPageWithoutTracking) {
    Start();
    EXPECT_TRUE(windows->mainForm->isEnabled());
    EXPECT_FALSE(windows->selectDlg->isVisible());
    EXPECT_FALSE(AutoConnect()->isChecked());
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_EQ(CurrentPage(), QStringLiteral("SCardSheet"));
    EXPECT_THAT(Log("ScardRespon"), ElementsAre("Initialize Success"));

    // Connect queries reader 0, which does not exist: nothing happens and nothing is logged.
    Button("ConnectBtn")->click();
    EXPECT_THAT(Log("ScardRespon"), ElementsAre("Initialize Success"));
    EXPECT_FALSE(Session().CardConnected());
}

TEST_F(NoReader, TheSelectionDialogSaysSoAndOkReadsNoEntry) {
    Start();
    Button("SelectBtn")->click();
    EXPECT_TRUE(windows->selectDlg->isVisible());
    EXPECT_TRUE(
        windows->selectDlg->findChild<QLabel*>(QStringLiteral("LblNoReaderFound"))->isVisible());
    EXPECT_FALSE(windows->selectDlg->findChild<QGroupBox*>(QStringLiteral("RdoGupSelectReader"))
                     ->isVisible());
    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    EXPECT_FALSE(windows->selectDlg->isVisible());
    EXPECT_TRUE(windows->mainForm->isEnabled());
    EXPECT_EQ(Session().SelectedIndex(), -1);
    EXPECT_FALSE(ConnectTimer()->isActive());
}

TEST_F(OneReader, AFailedContextShowsItsBoxAndTheWindowStillOpens) {
    card.FailNext("CardEstablishContext", 0x8010001D);
    Start();
    EXPECT_THAT(boxes.Errors(), ElementsAre("Establish Context Fail!"));
    EXPECT_TRUE(windows->mainForm->isVisible());
    EXPECT_TRUE(windows->mainForm->isEnabled());
    EXPECT_FALSE(AutoConnect()->isChecked());
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_THAT(Log("ScardRespon"), IsEmpty());
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
}

}  // namespace

// ---- Readers that come and go ----
namespace {

class ReadersComeAndGo : public AppTest {
  protected:
    ReadersComeAndGo() : AppTest({"Reader A 00 00", "Reader B 00 00"}) {}

    // Select Rdr clicked, the listed reader `index` chosen by arrow keys and Enter.
    void ChooseReader(int index, bool openDialog = true) {
        if (openDialog) {
            QTest::mouseClick(Button("SelectBtn"), Qt::LeftButton);
        }
        QApplication::setActiveWindow(windows->selectDlg.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows->selectDlg.get()));
        for (int i = 0; i < index; ++i) {
            Press(Qt::Key_Down);
        }
        Press(Qt::Key_Return);
        ASSERT_FALSE(windows->selectDlg->isVisible());
    }
    QString ReaderLabel() { return ReaderNameLabel(*windows)->text(); }
    void WatchTick() {
        TickTimer(windows->mainForm->findChild<QTimer*>(QStringLiteral("ReaderWatchTimer")));
    }
};

TEST_F(ReadersComeAndGo, SwitchingReaderWhileConnectedDisconnectsAndConnectsTheNewCard) {
    card.InsertCard(0, SimCardKind::CpuT1);
    card.InsertCard(1, SimCardKind::CpuT0);
    Start();
    ChooseReader(0, false);
    Tick();
    ASSERT_TRUE(Session().CardConnected());

    ChooseReader(1);
    EXPECT_EQ(Session().SelectedIndex(), 1);
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
    EXPECT_FALSE(Button("DisconnectButton")->isEnabled());
    Tick();
    Button("DisconnectButton")->click();
    EXPECT_THAT(Log("ScardRespon"),
                ElementsAre("Initialize Success", "Connect Success", "", "Disconnect Card Success",
                            "", "Connect Success", "", "Disconnect Card Success", ""));
    EXPECT_EQ(Find<QLabel>("Protocol")->text(), QStringLiteral("T=0"));
}

// The user chose B and turned Auto Connect off. B drops off the bus: A, alone now, is not
// taken. B back under its name is chosen again, Auto Connect as the user left it.
TEST_F(ReadersComeAndGo, TheChosenReaderUnpluggedAndBackIsChosenAgain) {
    card.InsertCard(0, SimCardKind::CpuT1);
    card.InsertCard(1, SimCardKind::CpuT1);
    Start();
    ChooseReader(1, false);
    Tick();
    ASSERT_TRUE(Session().CardConnected());
    AutoConnect()->trigger();
    ASSERT_FALSE(ConnectTimer()->isActive());

    card.DetachReader(1);
    WatchTick();
    EXPECT_EQ(card.CallCount("CardDisconnect"), 1) << "the card's handle is released";
    WatchTick();
    EXPECT_EQ(Session().SelectedReaderName(), nullptr);
    EXPECT_FALSE(AutoConnect()->isChecked());
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_EQ(card.CallCount("CardConnect"), 1) << "reader A's card is left alone";

    card.AttachReader("Reader B 00 00");
    WatchTick();
    EXPECT_STREQ(Session().SelectedReaderName(), "Reader B 00 00");
    EXPECT_TRUE(Session().ReaderInUse());
    EXPECT_EQ(ReaderLabel(), QStringLiteral("Reader Name: Reader B 00 00"));
    EXPECT_FALSE(AutoConnect()->isChecked()) << "the user's setting stays";
    EXPECT_FALSE(ConnectTimer()->isActive());

    AutoConnect()->trigger();
    Tick();
    EXPECT_TRUE(Session().CardConnected());
    EXPECT_THAT(Log("ScardRespon"),
                ElementsAre("Initialize Success", "Connect Success", "", "Connect Success", ""));
}

// B was chosen and has gone; the dialog offers A alone, and Cancel takes nothing.
TEST_F(ReadersComeAndGo, CancelWithALoneOtherReaderTakesNothing) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Start();
    ChooseReader(1, false);
    card.DetachReader(1);
    QTest::mouseClick(Button("SelectBtn"), Qt::LeftButton);
    const auto items = ReaderItems(*windows);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Reader A 00 00"));
    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("CancelButton")),
                      Qt::LeftButton);
    WatchTick();
    WatchTick();
    AutoConnect()->trigger();  // Auto Connect off and on again restarts tracking
    AutoConnect()->trigger();
    ASSERT_TRUE(ConnectTimer()->isActive());
    Tick();
    Button("ConnectBtn")->click();
    EXPECT_EQ(Session().SelectedReaderName(), nullptr);
    EXPECT_EQ(ReaderLabel(), QStringLiteral("Reader Name: Reader B 00 00"));
    EXPECT_EQ(card.CallCount("CardConnect"), 0);
    EXPECT_THAT(Log("ScardRespon"), ElementsAre("Initialize Success"));
}

// A SAM connected on A and one on B; A is unplugged, so B moves to A's place in the list.
// A's SAM handle is released with the Disconnect lines; Send and Disconnect reach B's SAM.
TEST_F(ReadersComeAndGo, TheSamFollowsItsReaderWhenTheListMoves) {
    SimSamLibrary& sams = sam;
    Start();
    ChooseReader(0, false);
    Button("SAMConnectBtn")->click();
    ChooseReader(1);
    Button("SAMConnectBtn")->click();
    ASSERT_EQ(sams.OpenConnectionCount(), 2);

    card.DetachReader(0);
    WatchTick();
    EXPECT_EQ(Session().SelectedIndex(), 0);
    EXPECT_EQ(sams.OpenConnectionCount(), 1) << "the gone reader's SAM handle is released";
    EXPECT_TRUE(Button("BitBtnSAMSend")->isVisibleTo(Find<QWidget>("SAMSheet")))
        << "B's SAM is still connected";

    const char* names[] = {"SAMCLA", "SAMINS", "SAMP1", "SAMP2", "SAMLc", "SAMData", "SAMLe"};
    const char* texts[] = {"80", "CA", "00", "01", "", "", "08"};
    for (int i = 0; i < 7; ++i) {
        Find<QLineEdit>(names[i])->setText(QString::fromLatin1(texts[i]));
    }
    Button("BitBtnSAMSend")->click();
    Button("SAMDisconnectBtn")->click();
    EXPECT_EQ(sams.OpenConnectionCount(), 0);
    const auto log = Log("SAMRespon");
    EXPECT_THAT(std::vector<std::string>(log.begin(), log.begin() + 6),
                ElementsAre("Connect SAM0 Success", "", "Connect SAM0 Success", "",
                            "Disconnect SAM0 Success", ""));
    EXPECT_NE(std::find(log.begin(), log.end(), "53 41 4D 00 20 26 00 02 90 00 "), log.end())
        << "B's serial number";
    EXPECT_EQ(log[log.size() - 2], "Disconnect SAM0 Success");
}

class NoReaderAtStart : public AppTest {
  protected:
    NoReaderAtStart() : AppTest({}) {}
};

TEST_F(NoReaderAtStart, AReaderPluggedInLaterIsTrackedAsAtStart) {
    Start();
    TickTimer(windows->mainForm->findChild<QTimer*>(QStringLiteral("ReaderWatchTimer")));
    EXPECT_FALSE(ConnectTimer()->isActive());
    card.AttachReader("Late Reader 00 00");
    card.InsertCard(0, SimCardKind::CpuT1);
    TickTimer(windows->mainForm->findChild<QTimer*>(QStringLiteral("ReaderWatchTimer")));
    EXPECT_EQ(ReaderNameLabel(*windows)->text(), QStringLiteral("Reader Name: Late Reader 00 00"));
    EXPECT_TRUE(AutoConnect()->isChecked());
    Tick();
    EXPECT_THAT(Log("ScardRespon"), ElementsAre("Initialize Success", "Connect Success", ""));
}

// The service was not there at start: opening the dialog establishes the context and lists
// the readers attached now.
TEST_F(ReadersComeAndGo, TheDialogEstablishesAMissingContextAndListsTheReadersOfNow) {
    card.FailNext("CardEstablishContext", 0x8010001D);
    Start();
    card.AttachReader("Reader C 00 00");
    QTest::mouseClick(Button("SelectBtn"), Qt::LeftButton);
    const auto items = ReaderItems(*windows);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2]->text(), QStringLiteral("Reader C 00 00"));
    ChooseReader(2, false);
    EXPECT_EQ(ReaderLabel(), QStringLiteral("Reader Name: Reader C 00 00"));
    EXPECT_THAT(boxes.Errors(), ElementsAre("Establish Context Fail!"));
}

// The real boxes, read and closed with their OK button as soon as they show.
TEST(QtMessageBoxesTest, ErrorAndInformationBoxes) {
    struct Case {
        void (QtMessageBoxes::*show)(const std::string&);
        QString caption;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {&QtMessageBoxes::ShowError, QString(), QMessageBox::Critical},
        {&QtMessageBoxes::ShowInfo, QString::fromLatin1(ProgramTitle), QMessageBox::Information},
    };
    QtMessageBoxes boxes;
    for (const Case& c : cases) {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                caption = box->windowTitle();
                text = box->text();
                icon = box->icon();
                buttons = box->standardButtons();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        (boxes.*c.show)("Send Data Fail!");
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(text, QStringLiteral("Send Data Fail!"));
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, QMessageBox::Ok);
    }
}

}  // namespace

// The "Simulated Reader" window goes beside the main window where the row fits on the
// screen, and overlaps it otherwise; either way it stays on the screen.
TEST(PlaceBesideOn, SideBySideOnlyWhereItFits) {
    struct Row {
        int screenWidth;
        QPoint main;
        QPoint beside;
    };
    const QSize main(900, 600);
    const QSize beside(400, 400);
    const Row rows[] = {
        {1920, QPoint(306, 50), QPoint(1214, 50)},  // centred as one row
        {1308, QPoint(0, 50), QPoint(908, 50)},     // exactly fits
        {1280, QPoint(190, 50), QPoint(690, 50)},   // overlaps the main window's right part
        {1000, QPoint(50, 50), QPoint(550, 50)},
        {800, QPoint(0, 50), QPoint(400, 50)},  // the main window wider than the screen
    };
    for (const Row& row : rows) {
        const BesidePlacement place =
            PlaceBesideOn(QRect(0, 0, row.screenWidth, 1000), main, beside, 50);
        EXPECT_EQ(place.main, row.main) << row.screenWidth;
        EXPECT_EQ(place.beside, row.beside) << row.screenWidth;
        EXPECT_LE(place.beside.x() + beside.width(), row.screenWidth) << row.screenWidth;
    }
    EXPECT_EQ(PlaceBesideOn(QRect(100, 0, 1280, 1000), main, beside, 0).beside, QPoint(790, 0))
        << "an area that does not start at 0";
}
