#pragma once

#include <QMainWindow>
#include <memory>

#include "core/common/ResponseLogModel.h"
#include "core/session/CardLibraryFactory.h"
#include "core/session/ReaderInfo.h"
#include "core/session/ReaderSession.h"
#include "gui/LogFile.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class CpuCardPage;
class StressWindow;
class InsightBar;
class MemCardPages;
class MessageBoxes;
class MsrPage;
class ReaderControlFactory;
class ReaderPropertiesForm;
class ResponseLogEdit;
class SamPage;
class TCardStatusDlg;
class TMemDataDlg;
class TSelectDlg;
class TFrmAbout;
struct Platform;

// The main window: the button row, the Reader and About menus, the eight pages and the
// card-tracking timer. It owns the reader session and its card log, constructed before the
// widgets; the session is opened when the window is built.
class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    explicit TMainForm(const Platform& platform);
    ~TMainForm() override;

    // The secondary windows, created after the main window by the start-up sequence.
    void AttachWindows(TFrmAbout* about, TSelectDlg* select, TMemDataDlg* memData,
                       TCardStatusDlg* cardStatus);

    ReaderSession& Session() { return session_; }
    // The Properties window, once Reader > Properties… has opened it.
    ReaderPropertiesForm* Properties() { return properties_.get(); }
    MemCardPages& MemoryCardPages() { return *memCardPages_; }
    // The "Stress Test" window, once Reader > Stress Test… has opened it.
    StressWindow* StressTest() { return stressWindow_.get(); }

    // Where "Save Log As…" and Ctrl+S ask for the file; the save-file dialog by default.
    void SetLogFileChooser(LogFileChooser chooser) { chooseLogFile_ = std::move(chooser); }

    // How a connect was made: by the Connect button, or by the tracking timer.
    enum class ConnectForm { Button, Timer };

  public slots:
    void FormCreate();
    void SelectBtnClick();
    void ConnectBtnClick();
    void DisconnectButtonClick();
    void GetRdrTypeClick();
    void AboutBtnClick();
    void AboutItemClick();
    void ExitButtonClick();
    void ExitItemClick();
    void AutoConnectClick();
    // Reader > Properties…: the selected reader's Properties window.
    void PropertiesItemClick();
    void StressTestItemClick();
    void PageCtrlChange();
    void ConnectTimerTimer();
    void ShowConnectedProtocol(TMainForm::ConnectForm form);
    // OK of the selection dialog: names the chosen reader and starts tracking.
    void UseChosenReader();
    // Looks for a change of the reader list; re-reads it and takes up a reader as the
    // user's choice allows.
    void ReaderWatchTimerTimer();
    // Ctrl+S: saves the response log of the page in view.
    void SaveLogOfPageInView();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateWidgets(const Platform& platform);
    void ConnectWidgets();
    void StartTracking();
    void TrackOnlyReader();
    void WatchReaders();
    void FormClose();
    void StopTimers();
    // Names the selected reader and lets the SAM page show its state.
    void ShowSelectedReader();
    void HideCardStatus();
    void SaveLog(ResponseLogEdit* log);

    MessageBoxes& boxes_;
    ResponseLogModel scardLog_;  // shown by ScardRespon on the CPU card page
    ReaderSession session_;
    ReaderTypeQuery readerType_;

    QWidget* Panel1 = nullptr;
    QPushButton* SelectBtn = nullptr;
    QPushButton* ConnectBtn = nullptr;
    QPushButton* DisconnectButton = nullptr;
    QPushButton* GetRdrType = nullptr;
    QPushButton* AboutBtn = nullptr;
    QPushButton* ExitButton = nullptr;
    QMenu* Reader = nullptr;
    QAction* AutoConnect = nullptr;
    QAction* StressTestItem = nullptr;
    QAction* ExitItem = nullptr;
    QAction* PropertiesItem = nullptr;
    ReaderControlFactory* readerControl_ = nullptr;
    std::unique_ptr<ReaderPropertiesForm> properties_;
    QMenu* Help = nullptr;
    QAction* AboutItem = nullptr;
    QTabWidget* PageCtrl = nullptr;
    QTimer* ConnectTimer = nullptr;
    QTimer* ReaderWatchTimer = nullptr;
    bool cardConnectedAtSelect_ = false;  // a card was connected when Select Rdr was pressed
    InsightBar* insightBar_ = nullptr;
    QAction* saveLog_ = nullptr;
    LogFileChooser chooseLogFile_ = SaveFileDialogChooser();

    CpuCardPage* SCardSheet = nullptr;
    MemCardPages* memCardPages_ = nullptr;
    SamPage* SAMSheet = nullptr;
    MsrPage* PellikSheet1 = nullptr;

    TFrmAbout* about_ = nullptr;
    TSelectDlg* selectDlg_ = nullptr;
    TCardStatusDlg* cardStatusDlg_ = nullptr;
    CardLibraryFactory workerLibraries_;
    std::unique_ptr<StressWindow> stressWindow_;  // no parent: stays usable beside the others
};
