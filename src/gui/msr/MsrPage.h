#pragma once

#include <QWidget>
#include <vector>

#include "core/common/ResponseLogModel.h"
#include "core/msr/MsrReading.h"

class QPushButton;
class QTimer;
class ReaderSession;
class ResponseLogEdit;

// The "MSR(Pellik100)" page: starts reading the stripe reader of the selected reader,
// polls every reader waiting for a swipe every 500 ms until the swipe arrives, and shows the three
// tracks in MsrRespon.
class MsrPage : public QWidget {
    Q_OBJECT
  public:
    MsrPage(ReaderSession& session, MsrLibrary& msr, QWidget* parent = nullptr);

    // A reader that has gone: reading on its stripe reader is disabled as by the Disable
    // button, with its line.
    void ReaderGone(ReaderRecord& reader);

  public slots:
    void BitBtnReadMSRClick();
    void BitBtnDisableReadMSRClick();
    void BitBtnMSRClearClick();
    void MsrTimerTimer();

    void StartMsrReading();
    void StopMsrReading();
    void ShowMsrData();

  private:
    void CreateWidgets();
    void ConnectWidgets();
    // The selected reader's stripe slot; a slot of the page's own when none is selected.
    MsrSlot& SelectedSlot();
    // The stripe slots waiting for a swipe, of every reader listed.
    std::vector<MsrSlot*> WaitingSlots();
    // Stops the timer when no reader waits for a swipe any more.
    void StopTimerWhenIdle();

    ReaderSession& session_;
    ResponseLogModel msrLog_;
    QPushButton* readButton_ = nullptr;
    QPushButton* disableButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    ResponseLogEdit* log_ = nullptr;
    QTimer* timer_ = nullptr;
    MsrReading reading_;
    MsrSlot noReader_;
};
