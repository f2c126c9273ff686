// The whole program on the platform's PC/SC service while the service is stopped and
// started again under it, and an exchange with a card pulled out the moment before.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>
#include "core/session/PcscCodes.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "VirtualCard.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/ReaderSession.h"
#include "gui/CardStatusForm.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscSamLibrary.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestAtrList.h"
#include "support/TimerTick.h"

using ::testing::ElementsAre;

namespace {
constexpr const char* kServicePidFile = "/run/pcscd/pcscd.pid";
constexpr int kServiceDeadlineMs = 20000;
const std::string kSeparator(12, ' ');

// Stops the service that names itself in its pid file and waits until it has ended. The
// process is pinned before it is checked to be the service, so a recycled id is never hit.
::testing::AssertionResult StopService() {
    std::ifstream pidFile(kServicePidFile);
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0) {
        return ::testing::AssertionFailure() << "no service named in " << kServicePidFile;
    }
    const auto process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (process < 0) {
        return ::testing::AssertionFailure() << "service " << pid << " is gone";
    }
    std::ifstream commFile("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    commFile >> name;
    pollfd ended{process, POLLIN, 0};
    const bool stopped = name == "pcscd" &&
                         syscall(SYS_pidfd_send_signal, process, SIGTERM, nullptr, 0) == 0 &&
                         poll(&ended, 1, kServiceDeadlineMs) == 1;
    close(process);
    if (!stopped) {
        return ::testing::AssertionFailure()
               << "process " << pid << " (" << name << ") not stopped";
    }
    return ::testing::AssertionSuccess();
}

// Starts the service in the background as a daemon; the command returns once the service
// takes clients. The daemon is left running for the tests that follow.
::testing::AssertionResult StartService(const QStringList& options = {}) {
    // The daemon outlives the test: it must not keep what the test holds open, such as the
    // lock that keeps real-stack runs apart. Only the standard streams are handed down.
    for (int fd = 3; fd < 1024; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags >= 0) {
            fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
        }
    }
    QProcess service;
    service.setProcessChannelMode(QProcess::MergedChannels);
    service.start(QStringLiteral("pcscd"), options);
    if (!service.waitForFinished(kServiceDeadlineMs) ||
        service.exitStatus() != QProcess::NormalExit || service.exitCode() != 0) {
        return ::testing::AssertionFailure()
               << "pcscd did not start: " << service.readAll().toStdString();
    }
    return ::testing::AssertionSuccess();
}

class ServiceRestart : public ::testing::Test {
  protected:
    void SetUp() override {
        // Only where the test environment started the service itself may it be stopped.
        if (!RealStackReady() || qEnvironmentVariable("ZP_PCSC_RESTARTABLE") != u"1") {
            GTEST_SKIP() << "the PC/SC service may not be restarted here (ZP_PCSC_RESTARTABLE)";
        }
        ASSERT_EQ(watcher_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    }

    void TearDown() override {
        windows_.reset();
        if (serviceStopped_) {
            EXPECT_TRUE(StartService());
        }
        if (vcard_.state() != QProcess::NotRunning) {
            vcard_.kill();
            vcard_.waitForFinished();
            WaitForCardState(watcher_, context_, kFirstReader, false);
        }
        if (context_ != 0) {
            watcher_.CardReleaseContext(context_);
        }
    }

    // A CPU card that stays in the first reader: zp-vcard attaches it again whenever the
    // reader driver comes back with the service.
    void InsertLastingCard() {
        vcard_.setProcessChannelMode(QProcess::MergedChannels);
        vcard_.start(QStringLiteral(ZP_VCARD_PATH),
                     {QStringLiteral("--slot"), QStringLiteral("0"), QStringLiteral("--card"),
                      QStringLiteral("cpu-t1")});
        ASSERT_TRUE(vcard_.waitForStarted());
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true))
            << vcard_.readAll().toStdString();
    }

    ResponseLogEdit* CardLogEdit() {
        return windows_->mainForm->findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"));
    }
    std::vector<std::string> CardLog() { return CardLogEdit()->Lines(); }
    void Tick() {
        TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
    }

    // GET CHALLENGE from the CPU card page.
    void SendGetChallenge() {
        const std::array<std::array<const char*, 2>, 7> fields = {{{"CLA", "00"},
                                                                   {"INS", "84"},
                                                                   {"P1", "00"},
                                                                   {"P2", "00"},
                                                                   {"Lc", "08"},
                                                                   {"DATA", ""},
                                                                   {"Le", ""}}};
        for (const auto& [name, text] : fields) {
            windows_->mainForm->findChild<QLineEdit*>(QString::fromLatin1(name))
                ->setText(QString::fromLatin1(text));
        }
        windows_->mainForm->findChild<QPushButton*>(QStringLiteral("SCardSend"))->click();
    }

    PcscCardLibrary cardLibrary_;
    PcscSamLibrary sam_;
    PcscMsrLibrary msr_;
    RecordingMessageBoxes boxes_;
    TestAtrList atrList_;
    Platform platform_{cardLibrary_, sam_, msr_, boxes_, atrList_.Path()};
    std::unique_ptr<ProgramWindows> windows_;
    PcscCardLibrary watcher_;  // its own context, to wait for the reader's state
    std::uint32_t context_ = 0;
    QProcess vcard_;
    bool serviceStopped_ = false;
};

TEST_F(ServiceRestart, TrackingRidesOutTheStoppedServiceAndConnectsTheCardAgain) {
    InsertLastingCard();
    windows_ = CreateWindows(platform_);
    QTest::mouseClick(windows_->selectDlg->findChild<QPushButton*>(QStringLiteral("OKButton")),
                      Qt::LeftButton);  // the first reader
    Tick();
    ASSERT_THAT(CardLog(), ElementsAre("Initialize Success", "Connect Success", ""));

    ASSERT_TRUE(StopService());
    serviceStopped_ = true;
    // Every state query fails: the flags stay, the ticks write nothing and show nothing.
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    EXPECT_EQ(CardLog().size(), 3u);
    EXPECT_TRUE(windows_->mainForm->Session().CardConnected());
    EXPECT_FALSE(windows_->cardStatusDlg->isVisible());
    EXPECT_TRUE(boxes_.Boxes().empty());
    // The card's exchange fails with nothing delivered, whatever the service left behind.
    std::array<std::uint8_t, ApduBufferSize> answer{};
    std::uint32_t length = ApduBufferSize;
    IoRequest pci{kProtocolT1, 8};
    const std::uint8_t command[] = {0x00, 0x84, 0x00, 0x00, 0x08};
    EXPECT_EQ(cardLibrary_.CardTransmit(windows_->mainForm->Session().SelectedCardHandle(), &pci,
                                        command, 5, &pci, answer.data(), &length),
              pcsc_codes::kNoService);
    EXPECT_EQ(length, 0u);
    SendGetChallenge();
    EXPECT_THAT(boxes_.Errors(), ElementsAre("Send Data To Card Fail!"));
    EXPECT_THAT(CardLog(),
                ElementsAre("Initialize Success", "Connect Success", "",
                            "Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                            "Send Data Fail, return code=0x000000008010001D", kSeparator));

    ASSERT_TRUE(StartService());
    serviceStopped_ = false;
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true))
        << vcard_.readAll().toStdString();
    CardLogEdit()->Model()->ClearLog();
    // The session's context number reaches the new service; the old card is reported lost
    // once and the card in the reader is connected anew on the same tick.
    Tick();
    EXPECT_THAT(CardLog(), ElementsAre("Connect Success", ""));
    EXPECT_TRUE(windows_->mainForm->Session().CardConnected());
    Tick();
    EXPECT_FALSE(windows_->cardStatusDlg->isVisible());
    EXPECT_EQ(CardLog().size(), 2u);

    SendGetChallenge();
    const std::vector<std::string> lines = CardLog();
    ASSERT_EQ(lines.size(), 8u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[4], "Send Data Success");
    EXPECT_EQ(lines[6].substr(24), "90 00 ");
    EXPECT_EQ(boxes_.Boxes().size(), 1u);
}

// A service with no reader at start: the program starts quietly and says "No Reader
// Found"; the readers of the service started later are found without a restart.
TEST_F(ServiceRestart, StartWithoutAReaderIsQuietAndLaterReadersCanBeChosen) {
    ASSERT_TRUE(StopService());
    serviceStopped_ = true;
    QTemporaryDir noReaders;  // a reader configuration that names no reader
    ASSERT_TRUE(StartService({QStringLiteral("-c"), noReaders.path()}));
    windows_ = CreateWindows(platform_);
    EXPECT_TRUE(boxes_.Boxes().empty());
    EXPECT_THAT(CardLog(), ElementsAre("Initialize Success"));
    auto* selectBtn = windows_->mainForm->findChild<QPushButton*>(QStringLiteral("SelectBtn"));
    QTest::mouseClick(selectBtn, Qt::LeftButton);
    EXPECT_TRUE(
        windows_->selectDlg->findChild<QLabel*>(QStringLiteral("LblNoReaderFound"))->isVisible());
    QTest::keyClick(windows_->selectDlg.get(), Qt::Key_Escape);
    ASSERT_FALSE(windows_->selectDlg->isVisible());
    TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ReaderWatchTimer")));

    ASSERT_TRUE(StopService());
    ASSERT_TRUE(StartService());
    serviceStopped_ = false;
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    TickTimer(windows_->mainForm->findChild<QTimer*>(
        QStringLiteral("ReaderWatchTimer")));  // the notification reports the change
    EXPECT_EQ(windows_->mainForm->Session().ReaderCount(), 2u);
    QTest::mouseClick(selectBtn, Qt::LeftButton);
    EXPECT_EQ(windows_->selectDlg->findChildren<QRadioButton*>().size(), 2);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

// The card is taken out and the exchange sent at once, before the service has noticed.
TEST(CardPulledRealStack, ExchangeRightAfterThePullFailsAndDeliversNothing) {
    if (!RealStackReady()) {
        GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
    }
    PcscCardLibrary library;
    std::uint32_t context = 0;
    ASSERT_EQ(library.CardEstablishContext(0, nullptr, nullptr, &context), 0u);
    ASSERT_TRUE(WaitForCardState(library, context, kFirstReader, false));
    VirtualCard card(kFirstReaderPort);
    ASSERT_TRUE(card.Insert()) << card.Output();
    ASSERT_TRUE(WaitForCardState(library, context, kFirstReader, true)) << card.Output();
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library.CardConnect(context, kFirstReader, 2, 3, &handle, &protocol), 0u);

    card.Remove();
    const std::array<std::uint8_t, 5> command = {0x00, 0x84, 0x00, 0x00, 0x08};
    std::array<std::uint8_t, ApduBufferSize> answer{};
    answer.fill(0xEE);
    std::uint32_t length = ApduBufferSize;
    IoRequest pci{protocol, 8};
    EXPECT_NE(library.CardTransmit(handle, &pci, command.data(), 5, &pci, answer.data(), &length),
              0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(answer[0], 0xEE);
    library.CardDisconnect(handle, 0);
    EXPECT_TRUE(WaitForCardState(library, context, kFirstReader, false));
    library.CardReleaseContext(context);
}

}  // namespace
