#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "core/qualify/QualifyRunner.h"
#include "core/session/CardLibraryFactory.h"
#include "insight/ReaderReport.h"

class MessageBoxes;
class QChart;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QThread;
class QTimer;
class QualifyWorker;
class ReaderControlFactory;
class ResponseLogEdit;

// Asks for the file a report is saved to; an empty answer is a cancel.
using QualifyFileChooser = std::function<QString()>;

// "Qualify Reader": runs the qualification battery on one reader in a worker thread with a
// card library of its own, and shows the folded matrix in colour (a tooltip on each failing
// range), time against length of the case chosen, a progress bar and every exchange in its own log.
// The window takes the worker's news on its timer, four times a second; Save Report… writes JSON,
// JUnit or HTML by the file's suffix.
class QualifyWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 250;
    static constexpr int kLogLines = 200000;  // the oldest lines go beyond this

    // Without `controls` the reader's properties, limits and PIN pad are left out.
    QualifyWindow(CardLibraryFactory libraries, ReaderControlFactory* controls,
                  std::function<QString()> selectedReader, MessageBoxes& boxes);
    ~QualifyWindow() override;

    void SetSaveFileChooser(QualifyFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }

  public slots:
    void StartBtnClick();
    void StopBtnClick();
    void SaveReportBtnClick();
    void RefreshTimerTimer();

  signals:
    // The run has ended and its result is shown.
    void RunFinished();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateWidgets();
    QWidget* CreateSettings();
    void ConnectWidgets();
    void RefreshReaders();
    std::optional<QualifyPlan> ChosenPlan();
    // On the worker's thread: shows the prompt's box on the window's thread and waits for it.
    bool Prompt(QualifyPrompt prompt);
    void WorkerFinished();
    void EndThread();
    void ShowMatrix();
    void ShowTimings();
    void SetRunning(bool running);

    CardLibraryFactory libraries_;
    ReaderControlFactory* controls_;
    std::function<QString()> selectedReader_;
    MessageBoxes& boxes_;
    QualifyFileChooser chooseSaveFile_;

    QComboBox* reader_ = nullptr;
    QComboBox* protocol_ = nullptr;
    QRadioButton* quick_ = nullptr;
    QRadioButton* full_ = nullptr;
    QSpinBox* extendedStep_ = nullptr;
    QLineEdit* waitingTimes_ = nullptr;
    QCheckBox* pinPad_ = nullptr;
    QCheckBox* cardPull_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* saveReport_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* summary_ = nullptr;
    QTableWidget* matrix_ = nullptr;
    QComboBox* plotCase_ = nullptr;
    QChart* chart_ = nullptr;
    ResponseLogEdit* log_ = nullptr;
    QTimer* refreshTimer_ = nullptr;

    QThread* thread_ = nullptr;
    QualifyWorker* worker_ = nullptr;
    std::atomic<bool> closing_{false};  // the window goes: a waiting prompt gives up
    QString runReader_;
    QualifyPlan plan_;
    std::vector<QualifyCell> cells_;  // decided so far, or the finished run's every cell
    std::optional<QualifyResult> result_;
    std::optional<ReaderReport> properties_;
};
