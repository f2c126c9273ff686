#pragma once

#include <QJsonObject>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/session/CardLibraryFactory.h"
#include "core/stress/StressStats.h"
#include "core/stress/StressWorkload.h"

class ExchangeCsvLog;
class MessageBoxes;
class QCheckBox;
class QChart;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class StressRun;

// What the stress window draws on, from the program around it.
struct StressSources {
    CardLibraryFactory libraries;
    // The reader selected in the main window (checked by default).
    std::function<QString()> selectedReader;
    // The CPU card page's current command, or nothing and the reason.
    std::function<std::optional<std::vector<std::uint8_t>>(QString& error)> currentCommand;
    // The workload of a script file, or an empty factory and the reason (refused with a box).
    std::function<StressWorkloadFactory(const QString& path, QString& error)> scriptWorkload;
};

// Asks for a file: the caption and the name filter; an empty answer is a cancel.
using StressFileChooser = std::function<QString(const QString& caption, const QString& filter)>;

// "Stress Test": repeats a command, a script or a connect cycle on the checked readers, each
// in a worker thread of its own, and shows live per-reader figures (at most four updates a
// second), the latency histogram and latency over time of the selected row, and saves the
// report. The window's thread never waits on a card: it reads the workers' figures on its
// timer and learns of each reader's end through a queued call.
class StressWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 250;
    static constexpr std::size_t kOverTimePoints = 1200;  // five minutes of ticks

    StressWindow(StressSources sources, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~StressWindow() override;

    void SetSaveFileChooser(StressFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }
    void SetOpenFileChooser(StressFileChooser chooser) { chooseOpenFile_ = std::move(chooser); }

  public slots:
    void RefreshReadersBtnClick();
    void ScriptBrowseBtnClick();
    void StartBtnClick();
    void StopBtnClick();
    void SaveReportBtnClick();
    void RefreshTimerTimer();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateWidgets();
    void ConnectWidgets();
    QWidget* CreateSettings();
    QWidget* CreateCharts();
    StressWorkloadFactory ChosenWorkload(QJsonObject& settings, QString& error);
    void ReaderFinished();
    void ShowRow(int row, const ReaderSnapshot& reader);
    void ShowCharts();
    void SetRunning(bool running);
    // The count, the reset interval and the pause count what the chosen work repeats:
    // commands, script passes or connect cycles.
    void ShowUnits();

    StressSources sources_;
    MessageBoxes& boxes_;
    StressFileChooser chooseSaveFile_;
    StressFileChooser chooseOpenFile_;

    QRadioButton* commandRadio_ = nullptr;
    QRadioButton* scriptRadio_ = nullptr;
    QRadioButton* connectCycleRadio_ = nullptr;
    QLineEdit* scriptPath_ = nullptr;
    QPushButton* scriptBrowse_ = nullptr;
    QListWidget* readerList_ = nullptr;
    QPushButton* refreshReaders_ = nullptr;
    QCheckBox* exclusive_ = nullptr;
    QRadioButton* countRadio_ = nullptr;
    QRadioButton* durationRadio_ = nullptr;
    QRadioButton* untilStopRadio_ = nullptr;
    QSpinBox* count_ = nullptr;
    QSpinBox* duration_ = nullptr;
    QCheckBox* stopAtFirstFailure_ = nullptr;
    QSpinBox* pause_ = nullptr;
    QSpinBox* resetEvery_ = nullptr;
    QCheckBox* csvLog_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* saveReport_ = nullptr;
    QTableWidget* results_ = nullptr;
    QChart* histogramChart_ = nullptr;
    QLineSeries* histogramSeries_ = nullptr;
    QChart* overTimeChart_ = nullptr;
    QLineSeries* overTimeSeries_ = nullptr;
    QTimer* refreshTimer_ = nullptr;

    // Latency over time per reader: the mean of each tick, bounded.
    struct OverTime {
        std::deque<QPointF> points;
        std::uint64_t count = 0;
        double sum = 0;
    };
    std::unique_ptr<ExchangeCsvLog> csv_;
    std::unique_ptr<StressRun> run_;
    std::vector<ReaderSnapshot> shown_;
    std::vector<OverTime> overTime_;
    QJsonObject runSettings_;
};
