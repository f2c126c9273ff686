#include "gui/msr/MsrPage.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/session/ReaderSession.h"
#include "gui/CancelButton.h"
#include "gui/Mnemonics.h"
#include "gui/ResponseLogEdit.h"

namespace {
constexpr int kPollIntervalMs = 500;
}

MsrPage::MsrPage(ReaderSession& session, MsrLibrary& msr, QWidget* parent)
    : QWidget(parent),
      session_(session),
      log_(new ResponseLogEdit(QStringLiteral("MsrRespon"), msrLog_, this)),
      reading_(msr, msrLog_) {
    setObjectName(QStringLiteral("PellikSheet1"));
    CreateWidgets();
    ConnectWidgets();
}

void MsrPage::CreateWidgets() {
    readButton_ = new QPushButton(tr("Start Reading &MSR"), this);
    readButton_->setObjectName(QStringLiteral("BitBtnReadMSR"));
    disableButton_ = new QPushButton(tr("Dis&able Reading MSR"), this);
    disableButton_->setObjectName(QStringLiteral("BitBtnDisableReadMSR"));
    // The caption marks C and l; l acts, leaving Alt+C to Connect.
    clearButton_ = new MnemonicButton(tr("&C&lear"), this);
    clearButton_->setObjectName(QStringLiteral("BitBtnMSRClear"));

    log_->setAccessibleName(tr("MSR response"));
    // Track rows keep their width; the horizontal bar reaches a long one.
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setTabChangesFocus(true);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("MsrTimer"));
    timer_->setInterval(kPollIntervalMs);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(readButton_);
    buttons->addWidget(disableButton_);
    buttons->addStretch();
    auto* clearRow = new QHBoxLayout;
    clearRow->addStretch();
    clearRow->addWidget(clearButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(log_, 1);
    layout->addLayout(clearRow);

    setTabOrder(readButton_, disableButton_);
    setTabOrder(disableButton_, log_);
    setTabOrder(log_, clearButton_);
}

void MsrPage::ConnectWidgets() {
    connect(readButton_, &QPushButton::clicked, this, &MsrPage::BitBtnReadMSRClick);
    connect(disableButton_, &QPushButton::clicked, this, &MsrPage::BitBtnDisableReadMSRClick);
    connect(clearButton_, &QPushButton::clicked, this, &MsrPage::BitBtnMSRClearClick);
    connect(timer_, &QTimer::timeout, this, &MsrPage::MsrTimerTimer);
    MakeCancelButton(this, clearButton_);
}

void MsrPage::BitBtnReadMSRClick() {
    StartMsrReading();
}

void MsrPage::BitBtnDisableReadMSRClick() {
    StopMsrReading();
}

void MsrPage::BitBtnMSRClearClick() {
    msrLog_.ClearLog();
}

MsrSlot& MsrPage::SelectedSlot() {
    ReaderRecord* record = session_.SelectedRecord();
    return record != nullptr ? record->Msr : noReader_;
}

std::vector<MsrSlot*> MsrPage::WaitingSlots() {
    std::vector<MsrSlot*> waiting;
    for (int i = 0; ReaderRecord* record = session_.Record(i); ++i) {
        if (record->Msr.Waiting) {
            waiting.push_back(&record->Msr);
        }
    }
    if (noReader_.Waiting) {
        waiting.push_back(&noReader_);
    }
    return waiting;
}

void MsrPage::StopTimerWhenIdle() {
    if (WaitingSlots().empty()) {
        timer_->stop();
    }
}

// A press while already waiting opens again and tries a new first read; the timer,
// already running, keeps running.
void MsrPage::StartMsrReading() {
    if (reading_.StartMsrReading(SelectedSlot(), session_.SelectedReaderName())) {
        timer_->start();
    }
}

// Each reader waiting for a swipe is polled, wherever the re-read reader list has put it.
void MsrPage::MsrTimerTimer() {
    for (MsrSlot* slot : WaitingSlots()) {
        reading_.PollMsr(*slot);
    }
    StopTimerWhenIdle();
}

void MsrPage::StopMsrReading() {
    reading_.StopMsrReading(SelectedSlot());
    StopTimerWhenIdle();
}

void MsrPage::ReaderGone(ReaderRecord& reader) {
    if (reader.Msr.Waiting) {
        reading_.StopMsrReading(reader.Msr);
        StopTimerWhenIdle();
    }
}

void MsrPage::ShowMsrData() {
    reading_.ShowMsrData(SelectedSlot());
}
