#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "AppFixture.h"
#include "app/InsightBar.h"
#include "gui/CardStatusForm.h"
#include "gui/SelectForm.h"
#include "gui/memcard/DataForm.h"

using ::testing::ElementsAre;

namespace {

class Tracking : public AppTest {
  protected:
    void SetUp() override { Start(); }

    bool StatusShows(const char* picture) {
        auto* image = windows->cardStatusDlg->findChild<QLabel*>(QString::fromLatin1(picture));
        // The picture is drawn when the window first shows it.
        return windows->cardStatusDlg->isVisible() &&
               image->isVisibleTo(windows->cardStatusDlg.get()) && !image->pixmap().isNull();
    }
    QString ProtocolText() { return Find<QLabel>("Protocol")->text(); }
    std::vector<std::string> LogAfterInit() {
        auto lines = Log("ScardRespon");
        lines.erase(lines.begin());
        return lines;
    }
};

TEST_F(Tracking, InsertingACardConnectsItOnTheNextTick) {
    Tick();
    EXPECT_TRUE(StatusShows("ImgInsertCard"));
    EXPECT_FALSE(StatusShows("ImgEjectCard"));

    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    EXPECT_FALSE(windows->cardStatusDlg->isVisible());
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Success", ""));
    EXPECT_EQ(ProtocolText(), QStringLiteral("T=1"));
    EXPECT_FALSE(Button("ConnectBtn")->isEnabled());
    EXPECT_TRUE(Button("DisconnectButton")->isEnabled());
    EXPECT_EQ(CurrentPage(), QStringLiteral("SCardSheet"));
    EXPECT_TRUE(Find<QLineEdit>("Le")->isVisibleTo(windows->mainForm.get()));

    Tick();
    EXPECT_EQ(LogAfterInit().size(), 2u) << "a connected card is only watched";
}

TEST_F(Tracking, AT0CardShapesTheFieldsAndTakesTheFocusToCla) {
    windows->mainForm->activateWindow();
    Find<QTabWidget>("PageCtrl")->setCurrentIndex(1);
    card.InsertCard(0, SimCardKind::CpuT0);
    Tick();
    EXPECT_EQ(ProtocolText(), QStringLiteral("T=0"));
    EXPECT_EQ(CurrentPage(), QStringLiteral("SCardSheet"));
    EXPECT_EQ(Find<QLabel>("Lc_P3Label")->text(), QStringLiteral("P&3:"));
    EXPECT_FALSE(Find<QLineEdit>("Le")->isVisibleTo(windows->mainForm.get()));
    EXPECT_FALSE(Find<QLabel>("LeLabel")->isVisibleTo(windows->mainForm.get()));
    EXPECT_EQ(windows->mainForm->focusWidget(), Find<QLineEdit>("CLA"));
}

TEST_F(Tracking, AMemoryCardLeavesThePageAsItIs) {
    Find<QTabWidget>("PageCtrl")->setCurrentIndex(1);
    card.InsertCard(0, SimCardKind::SLE4442);
    Tick();
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Success", ""));
    EXPECT_EQ(ProtocolText(), QStringLiteral("Memory Card"));
    EXPECT_EQ(CurrentPage(), QStringLiteral("SLE4442Sheet"));
}

TEST_F(Tracking, ARefusedCardGetsThreeTriesThenSilenceUntilRemoved) {
    card.InsertCard(0, SimCardKind::CpuT1);
    card.RefuseNextConnects(100);
    for (int i = 0; i < 6; ++i) {
        Tick();
    }
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Fail", "Connect Fail", "Connect Fail"));
    EXPECT_FALSE(windows->cardStatusDlg->isVisible());

    // Connect by hand now writes the failure without a new attempt.
    const int connects = card.CallCount("CardConnect");
    Button("ConnectBtn")->click();
    EXPECT_EQ(card.CallCount("CardConnect"), connects);
    EXPECT_EQ(LogAfterInit().size(), 5u);
    EXPECT_EQ(LogAfterInit()[3], "Connect Fail");
    EXPECT_EQ(LogAfterInit()[4], "");

    card.RemoveCard(0);
    Tick();
    EXPECT_TRUE(StatusShows("ImgInsertCard"));
    card.InsertCard(0, SimCardKind::CpuT1);
    for (int i = 0; i < 4; ++i) {
        Tick();
    }
    EXPECT_EQ(LogAfterInit().size(), 8u) << "three more tries after a new insertion";
}

TEST_F(Tracking, AfterDisconnectTheCardMustBeEjected) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    Button("DisconnectButton")->click();
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Success", "", "Disconnect Card Success", ""));
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
    EXPECT_FALSE(Button("DisconnectButton")->isEnabled());

    Tick();
    EXPECT_TRUE(StatusShows("ImgEjectCard"));
    EXPECT_FALSE(StatusShows("ImgInsertCard"));
    Button("ConnectBtn")->click();  // Auto Connect on: nothing until the card is out
    EXPECT_EQ(LogAfterInit().size(), 4u);

    card.RemoveCard(0);
    Tick();
    EXPECT_FALSE(windows->cardStatusDlg->isVisible());
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
    Tick();
    EXPECT_TRUE(StatusShows("ImgInsertCard"));
}

// The pulled card's handle is released without a line; the buttons stay as they were.
TEST_F(Tracking, APulledCardLeavesTheButtonsAsTheyWere) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    card.RemoveCard(0);
    Tick();
    EXPECT_TRUE(StatusShows("ImgInsertCard"));
    EXPECT_FALSE(Session().CardConnected());
    EXPECT_FALSE(Button("ConnectBtn")->isEnabled());
    EXPECT_EQ(card.CallCount("CardDisconnect"), 1);
    Button("DisconnectButton")->click();
    EXPECT_EQ(card.CallCount("CardDisconnect"), 1);
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Success", ""));
    card.InsertCard(0, SimCardKind::CpuT0);
    Tick();
    EXPECT_EQ(ProtocolText(), QStringLiteral("T=0"));
}

TEST_F(Tracking, AutoConnectAndTheStripePageSwitchTracking) {
    Tick();
    ASSERT_TRUE(windows->cardStatusDlg->isVisible());
    AutoConnect()->trigger();
    EXPECT_FALSE(AutoConnect()->isChecked());
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_FALSE(windows->cardStatusDlg->isVisible());
    AutoConnect()->trigger();
    EXPECT_TRUE(ConnectTimer()->isActive());

    auto* pages = Find<QTabWidget>("PageCtrl");
    Tick();
    pages->setCurrentIndex(7);
    EXPECT_FALSE(ConnectTimer()->isActive());
    EXPECT_FALSE(windows->cardStatusDlg->isVisible());
    pages->setCurrentIndex(0);
    EXPECT_TRUE(ConnectTimer()->isActive());

    AutoConnect()->trigger();
    pages->setCurrentIndex(7);
    pages->setCurrentIndex(2);
    EXPECT_FALSE(ConnectTimer()->isActive())
        << "without Auto Connect leaving the page starts nothing";
}

TEST_F(Tracking, ConnectButtonByHand) {
    AutoConnect()->trigger();  // off: the button alone connects
    Button("ConnectBtn")->click();
    EXPECT_EQ(LogAfterInit().size(), 0u) << "no card: nothing visible";

    card.InsertCard(0, SimCardKind::CpuT0);
    card.RefuseNextConnects(1);
    Button("ConnectBtn")->click();
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Fail", ""));
    Button("ConnectBtn")->click();
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Fail", "", "Connect Success", ""));
    EXPECT_EQ(ProtocolText(), QStringLiteral("T0"));
    EXPECT_FALSE(Button("ConnectBtn")->isEnabled());

    // Connected: another press does nothing.
    Button("ConnectBtn")->setEnabled(true);
    Button("ConnectBtn")->click();
    EXPECT_EQ(LogAfterInit().size(), 4u);

    // Disconnected with Auto Connect off: it connects again at once.
    Button("DisconnectButton")->click();
    Button("ConnectBtn")->click();
    EXPECT_EQ(LogAfterInit().back(), "");
    EXPECT_EQ(LogAfterInit()[LogAfterInit().size() - 2], "Connect Success");
}

TEST_F(Tracking, ARefusedDisconnectStillSwapsTheButtons) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    card.FailNext("CardDisconnect", 0x80100011);
    Button("DisconnectButton")->click();
    EXPECT_THAT(LogAfterInit(),
                ElementsAre("Connect Success", "",
                            "Disconnect Card Fail, return code=0x0000000080100011", ""));
    EXPECT_TRUE(Session().CardConnected());
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
    EXPECT_FALSE(Button("DisconnectButton")->isEnabled());
    Button("ConnectBtn")->click();
    EXPECT_EQ(LogAfterInit().size(), 4u) << "still connected: Connect does nothing";
}

TEST_F(Tracking, ClosingWithACardConnectedDisconnectsFirst) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    auto* log = Find<ResponseLogEdit>("ScardRespon");
    windows->mainForm->close();
    const auto lines = log->Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Disconnect Card Success");
    EXPECT_EQ(card.CallCount("CardReleaseContext"), 1);
    EXPECT_EQ(Session().Context(), 0u) << "the released context is not kept";
    for (const QTimer* timer : windows->mainForm->findChildren<QTimer*>()) {
        EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
    }
}

TEST_F(Tracking, ExitDisconnectsWithoutReleasingTheContext) {
    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    Button("ExitButton")->click();
    EXPECT_EQ(LogAfterInit().back(), "");
    EXPECT_EQ(card.CallCount("CardDisconnect"), 1);
    EXPECT_EQ(card.CallCount("CardReleaseContext"), 0);
}

TEST_F(Tracking, GetInfoShowsTheReaderType) {
    card.SetReaderTypeText("0123456789ABCDEFGHIJ");
    Button("GetRdrType")->click();  // no card handle yet
    ASSERT_EQ(boxes.Infos().size(), 1u);
    EXPECT_EQ(boxes.Infos()[0].rfind("Get Reader Type Fail,return code=0x", 0), 0u);

    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    Button("GetRdrType")->click();
    card.DeliverNextLength("CardReaderType", 0);
    Button("GetRdrType")->click();
    card.DeliverNextLength("CardReaderType", 20);
    Button("GetRdrType")->click();
    EXPECT_THAT(boxes.Infos(), ElementsAre(boxes.Infos()[0], "Reader Type : 0123456789ABCDEF",
                                           "Reader Type : ", "Reader Type : 0123456789ABCDEF"));
    EXPECT_EQ(LogAfterInit().size(), 2u) << "Get Info writes nothing into the log";
}

// The status bar beside the Parts' controls: the card, then every exchange's status word.
TEST_F(Tracking, TheStatusBarShowsTheCardAndEachExchangesStatusWord) {
    auto* cardText = Find<QLabel>("InsightCard");
    auto* status = Find<QLabel>("InsightStatus");
    EXPECT_EQ(cardText->text(), QStringLiteral("No card | Sim Reader 00 00"));

    card.InsertCard(0, SimCardKind::CpuT1);
    Tick();
    // The simulated cards are in no ATR list: the ATR alone.
    EXPECT_EQ(cardText->text(),
              QStringLiteral("ATR 3B 88 81 31 FE 45 5A 50 53 49 4D 2D 54 31 96 | T=1"));
    EXPECT_TRUE(cardText->toolTip().contains(QStringLiteral("TCK = 96: correct")));

    const auto send = [this] {
        const std::pair<const char*, const char*> fields[] = {
            {"CLA", "00"}, {"INS", "84"}, {"P1", "00"}, {"P2", "00"}, {"Le", "08"}};
        for (const auto& [name, text] : fields) {
            Find<QLineEdit>(name)->selectAll();
            QTest::keyClicks(Find<QLineEdit>(name), QString::fromLatin1(text));
        }
        QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
    };
    send();
    EXPECT_EQ(status->text(), QStringLiteral("90 00 Normal processing"));
    card.SetNextTransmitReply({0x6C, 0x08});
    send();
    EXPECT_EQ(status->text(), QStringLiteral("6C 08 Wrong Le: 8 bytes available"));

    card.RemoveCard(0);
    send();
    EXPECT_EQ(status->text(), QStringLiteral("SCARD_W_REMOVED_CARD"));
    Tick();
    EXPECT_EQ(cardText->text(), QStringLiteral("No card | Sim Reader 00 00"));
    EXPECT_TRUE(cardText->toolTip().isEmpty());

    // A memory operation's code is shown the same way; a new card starts with no status.
    Find<QTabWidget>("PageCtrl")->setCurrentIndex(1);
    card.InsertCard(0, SimCardKind::SLE4442);
    Tick();
    // Named from the test's own ATR list.
    EXPECT_TRUE(cardText->text().endsWith(QStringLiteral(" | memory card | ") +
                                          QString::fromLatin1(TestAtrList::kStorageCardName)))
        << cardText->text().toStdString();
    EXPECT_TRUE(status->text().isEmpty());
    QTest::mouseClick(Button("SLE4442ReadM"), Qt::LeftButton);
    auto* length = windows->memDataDlg->findChild<QLineEdit*>(QStringLiteral("DataLenEdit"));
    length->selectAll();
    QTest::keyClicks(length, QStringLiteral("4"));
    QTest::mouseClick(windows->memDataDlg->findChild<QPushButton*>(QStringLiteral("BitBtn1")),
                      Qt::LeftButton);
    EXPECT_EQ(status->text(), QStringLiteral("90 00 Normal processing"));
    EXPECT_THAT(boxes.Errors(), ElementsAre("Send Data To Card Fail!"));
}

// Reader names come from the service as UTF-8, and every window shows them decoded so. The
// caption shows the name's first 114 bytes: a character cut there is left out.
class Utf8ReaderName : public AppTest {
  protected:
    Utf8ReaderName()
        : AppTest({"Lecteur \xc3\xa0 puce 00 00", std::string(113, 'x') + "\xc3\xa9"}) {}
};

TEST_F(Utf8ReaderName, EveryWindowShowsTheNameAlike) {
    Start();
    const QString name = QStringLiteral("Lecteur \u00e0 puce 00 00");
    QList<QRadioButton*> items = windows->selectDlg->findChildren<QRadioButton*>();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), name);
    EXPECT_EQ(items[1]->text(), QString(113, QLatin1Char('x')) + QStringLiteral("\u00e9"));

    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Find<QLabel>("LblReaderName")->text(), QStringLiteral("Reader Name: ") + name);
    EXPECT_EQ(Find<QLabel>("InsightCard")->text(), QStringLiteral("No card | ") + name);

    Button("SelectBtn")->click();
    items = windows->selectDlg->findChildren<QRadioButton*>();
    items[1]->setChecked(true);
    QTest::mouseClick(windows->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Find<QLabel>("LblReaderName")->text(),
              QStringLiteral("Reader Name: ") + QString(113, QLatin1Char('x')));
}

}  // namespace

// A connect refused for sharing names the programs that use PC/SC, found in the process
// table; the log and the boxes are those of any refused connect.
TEST_F(Tracking, ASharingViolationNamesTheProgramsUsingPcsc) {
    QTemporaryDir proc;
    const auto process = [&proc](const char* pid, const char* comm, const char* maps) {
        QDir(proc.path()).mkpath(QString::fromLatin1(pid));
        for (const auto& [file, text] : {std::pair{"comm", comm}, std::pair{"maps", maps}}) {
            QFile out(proc.filePath(QStringLiteral("%1/%2").arg(pid, file)));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(text);
        }
    };
    process("1234", "scdaemon\n", "7f00-7f10 r-xp 0 08:01 5 /usr/lib/libpcsclite.so.1.0.0\n");
    process("99", "gnome-shell\n",
            "7f00-7f10 r-xp 0 08:01 5 /usr/lib/x86_64/libpcsclite_real.so.1\n");
    process("77", "bash\n", "7f00-7f10 r-xp 0 08:01 5 /usr/lib/libc.so.6\n");
    process("self", "ignored\n", "libpcsclite\n");
    Find<InsightBar>("InsightBar")->SetProcessRoot(proc.path());

    auto* status = Find<QLabel>("InsightStatus");
    AutoConnect()->trigger();  // off: each press of Connect tries once
    card.InsertCard(0, SimCardKind::CpuT1);
    card.RefuseNextConnects(1, 0x8010000B);
    Button("ConnectBtn")->click();
    EXPECT_EQ(
        status->text(),
        QStringLiteral("SCARD_E_SHARING_VIOLATION: held by gnome-shell (99), scdaemon (1234)"));
    EXPECT_THAT(LogAfterInit(), ElementsAre("Connect Fail", ""));
    EXPECT_TRUE(boxes.Boxes().empty());

    // Other refusals name nobody; with nobody to name, the bar says so.
    status->clear();
    card.RefuseNextConnects(1);
    Button("ConnectBtn")->click();
    EXPECT_TRUE(status->text().isEmpty());
    QDir(proc.path()).removeRecursively();
    card.RefuseNextConnects(1, 0x8010000B);
    Button("ConnectBtn")->click();
    EXPECT_EQ(status->text(),
              QStringLiteral("SCARD_E_SHARING_VIOLATION: no other program using PC/SC found"));
}
