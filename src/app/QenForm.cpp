#include "app/QenForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/About.h"
#include "app/InsightBar.h"
#include "app/KeyboardRouter.h"
#include "app/Platform.h"
#include "app/ProgramTitle.h"
#include "core/session/CardTracking.h"
#include "core/session/ReaderSession.h"
#include "gui/CardStatusForm.h"
#include "gui/MessageBoxes.h"
#include "gui/Mnemonics.h"
#include "gui/ReaderNameText.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "gui/apdu/CpuCardPage.h"
#include "gui/contactless/ContactlessAction.h"
#include "gui/memcard/MemCardPages.h"
#include "gui/msr/MsrPage.h"
#include "gui/properties/ReaderPropertiesForm.h"
#include "gui/qualify/QualifyActions.h"
#include "gui/reply/ReplyActions.h"
#include "gui/sam/SamPage.h"
#include "gui/script/ScriptActions.h"
#include "gui/stress/StressWindow.h"
#include "report/StressReport.h"

namespace {

constexpr int kConnectTimerInterval = 200;
// How often the reader-change notification is looked at.
constexpr int kReaderWatchInterval = 500;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    SetHint(button, QString::fromLatin1(hint));
    return button;
}

}  // namespace

TMainForm::TMainForm(const Platform& platform)
    : QMainWindow(nullptr),
      boxes_(platform.boxes),
      session_(platform.card, scardLog_),
      workerLibraries_(platform.workerLibraries) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(ProgramTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    CreateWidgets(platform);
    ConnectWidgets();
    session_.SetReaderGoneHandler([this](ReaderRecord& reader) {
        SAMSheet->ReaderGone(reader);
        PellikSheet1->ReaderGone(reader);
    });

    // The reader session opens with the window; one reader is tracked at once, two or
    // more wait for the selection dialog.
    if (const Outcome opened = session_.InitializeReaders(); !opened) {
        boxes_.ShowError(opened.errorBox);
    } else if (session_.ReaderCount() >= 2) {
        AutoConnect->setChecked(true);
    } else if (session_.ReaderCount() == 1) {
        TrackOnlyReader();
    }
    WatchReaders();
    insightBar_->ShowCard(session_);
    FormCreate();
}

TMainForm::~TMainForm() {
    session_.SetReaderGoneHandler(nullptr);
}

void TMainForm::CreateWidgets(const Platform& platform) {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    resize(900, 560);  // room for the eight page tabs side by side

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    SelectBtn = MakeButton(Panel1, "SelectBtn", "Select &Rdr", "Select Reader");
    ConnectBtn = MakeButton(Panel1, "ConnectBtn", "&Connect", "Connect Card");
    DisconnectButton = MakeButton(Panel1, "DisconnectButton", "&Disconnect", "Disconnect Card");
    GetRdrType = MakeButton(Panel1, "GetRdrType", "&Get Info", "Get Reader Information");
    AboutBtn = MakeButton(Panel1, "AboutBtn", "A&bout", "About ");
    ExitButton = MakeButton(Panel1, "ExitButton", "E&xit", "Exit");
    auto* buttonRow = new QHBoxLayout(Panel1);
    for (QPushButton* button :
         {SelectBtn, ConnectBtn, DisconnectButton, GetRdrType, AboutBtn, ExitButton}) {
        buttonRow->addWidget(button);
    }
    buttonRow->addStretch();
    QWidget::setTabOrder(SelectBtn, ConnectBtn);
    QWidget::setTabOrder(ConnectBtn, DisconnectButton);
    QWidget::setTabOrder(DisconnectButton, GetRdrType);
    QWidget::setTabOrder(GetRdrType, AboutBtn);
    QWidget::setTabOrder(AboutBtn, ExitButton);

    menuBar()->setObjectName(QStringLiteral("Menu"));
    Reader = menuBar()->addMenu(QStringLiteral("&Reader"));
    Reader->setObjectName(QStringLiteral("Reader"));
    AutoConnect = Reader->addAction(QStringLiteral("Auto Connect"));
    AutoConnect->setObjectName(QStringLiteral("AutoConnect"));
    AutoConnect->setCheckable(true);
    readerControl_ = platform.readerControl;
    if (readerControl_ != nullptr) {
        PropertiesItem = Reader->addAction(QStringLiteral("&Properties…"));
        PropertiesItem->setObjectName(QStringLiteral("PropertiesItem"));
    }
    StressTestItem = Reader->addAction(QStringLiteral("Stress Test…"));
    StressTestItem->setObjectName(QStringLiteral("StressTestItem"));
    ExitItem = Reader->addAction(QStringLiteral("Exit"));
    ExitItem->setObjectName(QStringLiteral("ExitItem"));
    Help = menuBar()->addMenu(QStringLiteral("&About"));
    Help->setObjectName(QStringLiteral("Help"));
    AboutItem = Help->addAction(QStringLiteral("About"));
    AboutItem->setObjectName(QStringLiteral("AboutItem"));

    PageCtrl = new QTabWidget(central);
    PageCtrl->setObjectName(QStringLiteral("PageCtrl"));

    SCardSheet = new CpuCardPage(session_, boxes_, scardLog_, PageCtrl);
    PageCtrl->addTab(SCardSheet, QStringLiteral("CPU card"));
    memCardPages_ = new MemCardPages(session_, boxes_, PageCtrl, this);
    SAMSheet = new SamPage(session_, platform.sam, boxes_, PageCtrl);
    PageCtrl->addTab(SAMSheet, QStringLiteral("SAM(Zorv200)"));
    PellikSheet1 = new MsrPage(session_, platform.msr, PageCtrl);
    PageCtrl->addTab(PellikSheet1, QStringLiteral("MSR(Pellik100)"));

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(Panel1);
    layout->addWidget(PageCtrl, 1);

    ConnectTimer = new QTimer(this);
    ConnectTimer->setObjectName(QStringLiteral("ConnectTimer"));
    ConnectTimer->setInterval(kConnectTimerInterval);

    insightBar_ = new InsightBar(this, platform.atrListPath);
    setStatusBar(insightBar_);
    // Ctrl+S is no caption's accelerator; it saves the log of the page in view.
    saveLog_ = new QAction(this);
    saveLog_->setObjectName(QStringLiteral("SaveLog"));
    saveLog_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveLog_->setShortcutContext(Qt::WindowShortcut);
    saveLog_->setAutoRepeat(false);
    addAction(saveLog_);

    // Reply Inspector… after Stress Test…, then Record Script…, Stop Recording and
    // Run Script…, before Exit.
    auto* replies = new ReplyActions(this);
    replies->AddToMenu(Reader, ExitItem);
    auto* scripts =
        new ScriptActions(session_, scardLog_, boxes_, platform.workerLibraries, this, insightBar_);
    scripts->AddToMenu(Reader, ExitItem);
    connect(SCardSheet, &CpuCardPage::CardApduSent, scripts, &ScriptActions::CardApduSent);
    connect(SCardSheet, &CpuCardPage::CardApduSent, replies->Feed(), &ReplyFeed::CardApduSent);
    connect(SAMSheet, &SamPage::SamApduSent, replies->Feed(), &ReplyFeed::SamApduSent);
    connect(scripts, &ScriptActions::ScriptReply, replies->Feed(), &ReplyFeed::ScriptReply);
    // Contactless… right after Stress Test….
    auto* contactless = new ContactlessAction(
        platform.workerLibraries, [this] { return ReaderNameText(session_.SelectedReaderName()); },
        boxes_, this);
    contactless->AddToMenu(Reader, StressTestItem);
    // Qualify Reader… right after Stress Test…, before Contactless….
    auto* qualify = new QualifyActions(
        platform.workerLibraries, platform.readerControl,
        [this] { return ReaderNameText(session_.SelectedReaderName()); }, boxes_, this);
    qualify->AddToMenu(Reader, StressTestItem);
}

void TMainForm::ConnectWidgets() {
    auto* keys = new KeyboardRouter(this, PageCtrl, Panel1);
    keys->SetEnterButton(SAMSheet, [this](QWidget* focus) { return SAMSheet->EnterButton(focus); });
    connect(SelectBtn, &QPushButton::clicked, this, &TMainForm::SelectBtnClick);
    connect(ConnectBtn, &QPushButton::clicked, this, &TMainForm::ConnectBtnClick);
    connect(DisconnectButton, &QPushButton::clicked, this, &TMainForm::DisconnectButtonClick);
    connect(GetRdrType, &QPushButton::clicked, this, &TMainForm::GetRdrTypeClick);
    connect(AboutBtn, &QPushButton::clicked, this, &TMainForm::AboutBtnClick);
    connect(ExitButton, &QPushButton::clicked, this, &TMainForm::ExitButtonClick);
    connect(AutoConnect, &QAction::triggered, this, &TMainForm::AutoConnectClick);
    connect(StressTestItem, &QAction::triggered, this, &TMainForm::StressTestItemClick);
    connect(ExitItem, &QAction::triggered, this, &TMainForm::ExitItemClick);
    if (PropertiesItem != nullptr) {
        connect(PropertiesItem, &QAction::triggered, this, &TMainForm::PropertiesItemClick);
    }
    connect(AboutItem, &QAction::triggered, this, &TMainForm::AboutItemClick);
    connect(PageCtrl, &QTabWidget::currentChanged, this, &TMainForm::PageCtrlChange);
    connect(ConnectTimer, &QTimer::timeout, this, &TMainForm::ConnectTimerTimer);
    connect(SCardSheet, &CpuCardPage::ExchangeStatus, insightBar_, &InsightBar::ShowExchangeStatus);
    connect(SAMSheet, &SamPage::ExchangeStatus, insightBar_, &InsightBar::ShowExchangeStatus);
    connect(memCardPages_, &MemCardPages::ExchangeStatus, insightBar_,
            &InsightBar::ShowExchangeStatus);
    connect(saveLog_, &QAction::triggered, this, &TMainForm::SaveLogOfPageInView);
    for (ResponseLogEdit* log : PageCtrl->findChildren<ResponseLogEdit*>()) {
        connect(log, &ResponseLogEdit::SaveRequested, this, [this, log] { SaveLog(log); });
    }
}

void TMainForm::AttachWindows(TFrmAbout* about, TSelectDlg* select, TMemDataDlg* memData,
                              TCardStatusDlg* cardStatus) {
    about_ = about;
    selectDlg_ = select;
    cardStatusDlg_ = cardStatus;
    memCardPages_->AttachDataDialog(memData);
    connect(selectDlg_, &TSelectDlg::ReaderChosen, this, &TMainForm::UseChosenReader);
}

void TMainForm::FormCreate() {
    PageCtrl->setCurrentWidget(SCardSheet);
}

// The only reader attached is selected, named and tracked with Auto Connect on.
void TMainForm::TrackOnlyReader() {
    AutoConnect->setChecked(true);
    session_.SelectReader(0);
    ShowSelectedReader();
    if (PageCtrl->currentWidget() != PellikSheet1) {
        StartTracking();
    }
}

void TMainForm::ShowSelectedReader() {
    SCardSheet->SetReaderNameCaption(
        ReaderNameText(ReaderNameCaption(session_.SelectedReaderName()).c_str()));
    SAMSheet->ShowSelectedReader();
    insightBar_->ShowCard(session_);
}

// The reader-change notification is looked at now and then, and the reader list read again
// when it reports a change, so that every reader's record follows its reader and a reader
// that has gone gives its handles back.
void TMainForm::WatchReaders() {
    ReaderWatchTimer = new QTimer(this);
    ReaderWatchTimer->setObjectName(QStringLiteral("ReaderWatchTimer"));
    ReaderWatchTimer->setInterval(kReaderWatchInterval);
    connect(ReaderWatchTimer, &QTimer::timeout, this, &TMainForm::ReaderWatchTimerTimer);
    ReaderWatchTimer->start();
}

// While no reader is in use, the list read again decides: the reader the user chose comes
// back under its name and is chosen again, Auto Connect as the user left it; a lone reader
// is taken as at start only when none has been chosen in this run; any other reader waits
// for the user in the selection dialog.
void TMainForm::ReaderWatchTimerTimer() {
    // The open dialog reads the list itself; a change seen meanwhile waits for its close.
    if (selectDlg_ != nullptr && selectDlg_->isVisible()) {
        return;
    }
    if (!session_.FollowReaderChanges()) {
        return;
    }
    if (session_.ReaderInUse()) {
        SAMSheet->ShowSelectedReader();
    } else if (session_.RetakeChosenReader()) {
        ShowSelectedReader();
    } else if (!session_.ReaderEverChosen() && session_.ReaderCount() == 1) {
        TrackOnlyReader();
    } else {
        SAMSheet->ShowSelectedReader();
    }
    insightBar_->ShowCard(session_);
}

void TMainForm::SelectBtnClick() {
    cardConnectedAtSelect_ = session_.CardConnected();
    ConnectTimer->stop();
    HideCardStatus();
    selectDlg_->show();
    setEnabled(false);
}

void TMainForm::UseChosenReader() {
    // Choosing another reader disconnected the card of the reader left behind: the buttons
    // follow as after Disconnect.
    if (cardConnectedAtSelect_ && !session_.CardConnected()) {
        DisconnectButton->setEnabled(false);
        ConnectBtn->setEnabled(true);
    }
    cardConnectedAtSelect_ = false;
    ShowSelectedReader();
    StartTracking();
}

void TMainForm::StartTracking() {
    ConnectTimer->start();
}

void TMainForm::ConnectBtnClick() {
    const ReaderSession::ConnectResult result = session_.ConnectByButton(AutoConnect->isChecked());
    if (result == ReaderSession::ConnectResult::Connected) {
        ConnectBtn->setEnabled(false);
        DisconnectButton->setEnabled(true);
        ShowConnectedProtocol(ConnectForm::Button);
    }
    insightBar_->ShowCard(session_);
}

void TMainForm::DisconnectButtonClick() {
    if (session_.DisconnectByButton()) {
        DisconnectButton->setEnabled(false);
        ConnectBtn->setEnabled(true);
    }
    insightBar_->ShowCard(session_);
}

void TMainForm::GetRdrTypeClick() {
    boxes_.ShowInfo(readerType_.Run(session_.Library(), session_.SelectedCardHandle()));
}

void TMainForm::AboutBtnClick() {
    about_->exec();
}

void TMainForm::AboutItemClick() {
    about_->exec();
}

void TMainForm::ExitButtonClick() {
    if (session_.CardConnected()) {
        session_.DisconnectCard();
    }
    // Ends the program without releasing the context; closing the window releases it.
    StopTimers();
    QApplication::exit(0);
}

void TMainForm::ExitItemClick() {
    ExitButtonClick();
}

void TMainForm::StressTestItemClick() {
    if (!stressWindow_) {
        StressSources sources;
        sources.libraries = workerLibraries_;
        sources.selectedReader = [this] { return ReaderNameText(session_.SelectedReaderName()); };
        sources.currentCommand = [this](QString& error) {
            return SCardSheet->CurrentCommand(error);
        };
        sources.scriptWorkload = LoadScriptWorkload;
        stressWindow_ = std::make_unique<StressWindow>(std::move(sources), boxes_);
    }
    stressWindow_->show();
    stressWindow_->raise();
    stressWindow_->activateWindow();
}

void TMainForm::AutoConnectClick() {
    // The action has already toggled its check mark.
    if (AutoConnect->isChecked()) {
        StartTracking();
    } else {
        ConnectTimer->stop();
    }
    HideCardStatus();
}

void TMainForm::PropertiesItemClick() {
    const char* reader = session_.SelectedReaderName();
    if (reader == nullptr) {
        boxes_.ShowError("No reader is selected.");
        return;
    }
    // A window of its own, not a child: it stays usable while the main window is disabled.
    if (!properties_) {
        properties_ = std::make_unique<ReaderPropertiesForm>(*readerControl_, boxes_);
    }
    properties_->ShowReader(reader);
}

void TMainForm::PageCtrlChange() {
    if (PageCtrl->currentWidget() == PellikSheet1) {
        ConnectTimer->stop();
        HideCardStatus();
    } else if (AutoConnect->isChecked()) {
        StartTracking();
    }
}

void TMainForm::ConnectTimerTimer() {
    const TrackingTick tick = TrackCard(session_);
    switch (tick.statusWindow) {
        case TrackingTick::StatusWindow::ShowInsertCard:
            if (cardStatusDlg_ != nullptr) {
                cardStatusDlg_->ShowInsertCard();
            }
            break;
        case TrackingTick::StatusWindow::ShowEjectCard:
            if (cardStatusDlg_ != nullptr) {
                cardStatusDlg_->ShowEjectCard();
            }
            break;
        case TrackingTick::StatusWindow::Hide:
            HideCardStatus();
            break;
        case TrackingTick::StatusWindow::Unchanged:
            break;
    }
    if (tick.rearmed) {
        ConnectBtn->setEnabled(true);
    }
    if (tick.connected) {
        ConnectBtn->setEnabled(false);
        DisconnectButton->setEnabled(true);
        ShowConnectedProtocol(ConnectForm::Timer);
    }
    insightBar_->ShowCard(session_);
}

void TMainForm::ShowConnectedProtocol(ConnectForm form) {
    const std::uint32_t protocol = session_.SelectedProtocol();
    const bool byTimer = form == ConnectForm::Timer;
    // The button tests the value itself, the timer its bits.
    const bool t0 = byTimer ? (protocol & kProtocolT0) != 0 : protocol == kProtocolT0;
    const bool t1 = !t0 && (byTimer ? (protocol & kProtocolT1) != 0 : protocol == kProtocolT1);
    if (t0 || t1) {
        SCardSheet->SetProtocolText(byTimer ? (t0 ? QStringLiteral("T=0") : QStringLiteral("T=1"))
                                            : (t0 ? QStringLiteral("T0") : QStringLiteral("T1")));
        PageCtrl->setCurrentWidget(SCardSheet);
        if (byTimer) {
            SCardSheet->FocusCla();
        }
        SCardSheet->ApplyProtocolLayout(t0 ? kProtocolT0 : kProtocolT1);
        PageCtrl->setCurrentWidget(SCardSheet);
    } else if (protocol == kProtocolMemoryCard) {
        SCardSheet->SetProtocolText(QStringLiteral("Memory Card"));
    } else {
        SCardSheet->SetProtocolText(QString());
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QMainWindow::closeEvent(event);
    // Closing the main window ends the program, whichever other windows are still up.
    QApplication::quit();
}

void TMainForm::FormClose() {
    StopTimers();
    if (session_.CardConnected()) {
        session_.DisconnectCard();
    }
    session_.ReleaseReaders();
}

// Tracking, the reader watch and the stripe poll: nothing ticks on a closed window.
void TMainForm::StopTimers() {
    for (QTimer* timer : findChildren<QTimer*>()) {
        timer->stop();
    }
}

void TMainForm::HideCardStatus() {
    if (cardStatusDlg_ != nullptr) {
        cardStatusDlg_->hide();
    }
}

void TMainForm::SaveLogOfPageInView() {
    if (QWidget* page = PageCtrl->currentWidget()) {
        if (auto* log = page->findChild<ResponseLogEdit*>()) {
            SaveLog(log);
        }
    }
}

void TMainForm::SaveLog(ResponseLogEdit* log) {
    QString caption;
    for (int i = 0; i < PageCtrl->count(); ++i) {
        if (PageCtrl->widget(i)->isAncestorOf(log)) {
            caption = PageCtrl->tabText(i);
        }
    }
    const QString path =
        chooseLogFile_(this, SuggestedLogPath(caption, QDateTime::currentDateTime()));
    if (path.isEmpty()) {
        return;
    }
    if (const auto failure = SaveLogFile(path, log->Lines())) {
        boxes_.ShowError(*failure);
    }
}
