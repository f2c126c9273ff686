#pragma once

#include <QWidget>

#include "core/common/ResponseLogModel.h"
#include "core/msr/MsrReading.h"

class QPushButton;
class QTimer;
class ReaderSession;
class ResponseLogEdit;

// The "MSR(Pellik100)" page: starts reading the stripe reader of the selected reader,
// polls it every 500 ms until a swipe arrives, and shows the three tracks in MsrRespon.
class MsrPage : public QWidget {
    Q_OBJECT
  public:
    MsrPage(ReaderSession& session, MsrLibrary& msr, QWidget* parent = nullptr);

    // MsrHandles and MsrTracks, one slot per reader.
    const MsrReading& Reading() const { return reading_; }

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

    ReaderSession& session_;
    ResponseLogModel msrLog_;
    QPushButton* readButton_ = nullptr;
    QPushButton* disableButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    ResponseLogEdit* log_ = nullptr;
    QTimer* timer_ = nullptr;
    MsrReading reading_;
};
