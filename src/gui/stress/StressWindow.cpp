#include "gui/stress/StressWindow.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "core/session/ReaderList.h"
#include "core/stress/ApduWorkload.h"
#include "core/stress/StressRun.h"
#include "gui/MessageBoxes.h"
#include "insight/PcscCodeNames.h"
#include "report/ExchangeCsvLog.h"
#include "report/StressReport.h"

namespace {

constexpr int kWorkerNice = 10;

enum Column {
    ColReader,
    ColProgress,
    ColDone,
    ColFailed,
    ColRate,
    ColMin,
    ColMedian,
    ColP95,
    ColP99,
    ColMax,
    ColState,
    ColumnCount
};

QSpinBox* SpinBox(const char* name, int maximum, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(0, maximum);
    spin->setValue(value);
    return spin;
}

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void SetCell(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table->setItem(row, column, item);
    }
    item->setText(text);
}

StressFileChooser SaveDialog(QWidget* parent) {
    return [parent](const QString& caption, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
    };
}

StressFileChooser OpenDialog(QWidget* parent) {
    return [parent](const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
}

}  // namespace

StressWindow::StressWindow(StressSources sources, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window),
      sources_(std::move(sources)),
      boxes_(boxes),
      chooseSaveFile_(SaveDialog(this)),
      chooseOpenFile_(OpenDialog(this)) {
    setObjectName(QStringLiteral("StressWindow"));
    setWindowTitle(tr("Stress Test"));
    CreateWidgets();
    ConnectWidgets();
    SetRunning(false);
}

StressWindow::~StressWindow() {
    run_.reset();  // stops and joins the workers before the window's members go
}

void StressWindow::CreateWidgets() {
    auto* splitter = Named(new QSplitter(Qt::Vertical, this), "StressSplitter");
    auto* top = new QWidget(splitter);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->addWidget(CreateSettings());

    auto* buttons = new QHBoxLayout;
    start_ = Named(new QPushButton(tr("&Start"), top), "StartBtn");
    stop_ = Named(new QPushButton(tr("S&top"), top), "StopBtn");
    saveReport_ = Named(new QPushButton(tr("Save &Report…"), top), "SaveReportBtn");
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    buttons->addWidget(saveReport_);
    topLayout->addLayout(buttons);

    results_ = Named(new QTableWidget(0, ColumnCount, top), "ResultsTable");
    results_->setHorizontalHeaderLabels({tr("Reader"), tr("Progress"), tr("Done"), tr("Failed"),
                                         tr("cmd/s"), tr("min µs"), tr("median"), tr("p95"),
                                         tr("p99"), tr("max µs"), tr("State")});
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setSelectionMode(QAbstractItemView::SingleSelection);
    results_->verticalHeader()->hide();
    results_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    results_->horizontalHeader()->setStretchLastSection(true);
    topLayout->addWidget(results_, 1);
    splitter->addWidget(top);
    splitter->addWidget(CreateCharts());

    refreshTimer_ = Named(new QTimer(this), "RefreshTimer");
    refreshTimer_->setInterval(kRefreshMs);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(900, 760);
}

QWidget* StressWindow::CreateSettings() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* what = new QGroupBox(tr("What to send"), box);
    commandRadio_ = Named(new QRadioButton(tr("CPU card page's &command"), what), "CommandRadio");
    scriptRadio_ = Named(new QRadioButton(tr("Scr&ipt file:"), what), "ScriptRadio");
    connectCycleRadio_ =
        Named(new QRadioButton(tr("Connect c&ycle (connect, disconnect with reset)"), what),
              "ConnectCycleRadio");
    commandRadio_->setChecked(true);
    scriptPath_ = Named(new QLineEdit(what), "ScriptPathEdit");
    scriptBrowse_ = Named(new QPushButton(tr("…"), what), "ScriptBrowseBtn");
    auto* scriptRow = new QHBoxLayout;
    scriptRow->addWidget(scriptRadio_);
    scriptRow->addWidget(scriptPath_, 1);
    scriptRow->addWidget(scriptBrowse_);
    auto* whatLayout = new QVBoxLayout(what);
    whatLayout->addWidget(commandRadio_);
    whatLayout->addLayout(scriptRow);
    whatLayout->addWidget(connectCycleRadio_);
    exclusive_ = Named(new QCheckBox(tr("E&xclusive connection"), what), "ExclusiveCheck");
    whatLayout->addWidget(exclusive_);
    whatLayout->addStretch();

    auto* readers = new QGroupBox(tr("Readers"), box);
    readerList_ = Named(new QListWidget(readers), "ReaderList");
    refreshReaders_ = Named(new QPushButton(tr("Re&fresh"), readers), "RefreshReadersBtn");
    auto* readersLayout = new QVBoxLayout(readers);
    readersLayout->addWidget(readerList_);
    readersLayout->addWidget(refreshReaders_);

    auto* how = new QGroupBox(tr("How long"), box);
    countRadio_ = Named(new QRadioButton(tr("C&ount:"), how), "CountRadio");
    durationRadio_ = Named(new QRadioButton(tr("&Duration (s):"), how), "DurationRadio");
    untilStopRadio_ = Named(new QRadioButton(tr("&Until Stop"), how), "UntilStopRadio");
    countRadio_->setChecked(true);
    count_ = SpinBox("CountSpin", 1'000'000'000, 1000, how);
    count_->setMinimum(1);
    duration_ = SpinBox("DurationSpin", 7 * 24 * 3600, 60, how);
    duration_->setMinimum(1);
    stopAtFirstFailure_ =
        Named(new QCheckBox(tr("Stop at the first f&ailure"), how), "StopAtFirstFailureCheck");
    pause_ = SpinBox("PauseSpin", 3'600'000, 0, how);
    resetEvery_ = SpinBox("ResetEverySpin", 1'000'000'000, 0, how);
    resetEvery_->setSpecialValueText(tr("never"));
    csvLog_ = Named(new QCheckBox(tr("&Log every exchange to CSV"), how), "CsvLogCheck");
    auto* howLayout = new QFormLayout(how);
    howLayout->addRow(countRadio_, count_);
    howLayout->addRow(durationRadio_, duration_);
    howLayout->addRow(untilStopRadio_);
    howLayout->addRow(tr("&Pause (ms):"), pause_);
    howLayout->addRow(tr("R&eset every:"), resetEvery_);
    howLayout->addRow(stopAtFirstFailure_);
    howLayout->addRow(csvLog_);

    layout->addWidget(what, 1);
    layout->addWidget(readers, 1);
    layout->addWidget(how, 1);
    return box;
}

QWidget* StressWindow::CreateCharts() {
    auto* charts = new QWidget(this);
    auto* layout = new QHBoxLayout(charts);
    layout->setContentsMargins(0, 0, 0, 0);

    histogramChart_ = new QChart;
    histogramChart_->setTitle(tr("Latency histogram"));
    histogramChart_->legend()->hide();
    histogramSeries_ = new QLineSeries(histogramChart_);
    histogramChart_->addSeries(histogramSeries_);
    auto* latencyAxis = new QLogValueAxis(histogramChart_);
    latencyAxis->setTitleText(tr("µs"));
    latencyAxis->setLabelFormat(QStringLiteral("%g"));
    auto* countAxis = new QValueAxis(histogramChart_);
    countAxis->setTitleText(tr("commands"));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    histogramChart_->addAxis(latencyAxis, Qt::AlignBottom);
    histogramChart_->addAxis(countAxis, Qt::AlignLeft);
    histogramSeries_->attachAxis(latencyAxis);
    histogramSeries_->attachAxis(countAxis);
    auto* histogramView = Named(new QChartView(histogramChart_, charts), "HistogramChart");

    overTimeChart_ = new QChart;
    overTimeChart_->setTitle(tr("Latency over time"));
    overTimeChart_->legend()->hide();
    overTimeSeries_ = new QLineSeries(overTimeChart_);
    overTimeChart_->addSeries(overTimeSeries_);
    auto* timeAxis = new QValueAxis(overTimeChart_);
    timeAxis->setTitleText(tr("s"));
    auto* meanAxis = new QValueAxis(overTimeChart_);
    meanAxis->setTitleText(tr("mean µs"));
    meanAxis->setLabelFormat(QStringLiteral("%d"));
    overTimeChart_->addAxis(timeAxis, Qt::AlignBottom);
    overTimeChart_->addAxis(meanAxis, Qt::AlignLeft);
    overTimeSeries_->attachAxis(timeAxis);
    overTimeSeries_->attachAxis(meanAxis);
    auto* overTimeView = Named(new QChartView(overTimeChart_, charts), "OverTimeChart");

    layout->addWidget(histogramView);
    layout->addWidget(overTimeView);
    charts->setMinimumHeight(260);
    return charts;
}

void StressWindow::ConnectWidgets() {
    connect(refreshReaders_, &QPushButton::clicked, this, &StressWindow::RefreshReadersBtnClick);
    connect(scriptBrowse_, &QPushButton::clicked, this, &StressWindow::ScriptBrowseBtnClick);
    connect(start_, &QPushButton::clicked, this, &StressWindow::StartBtnClick);
    connect(stop_, &QPushButton::clicked, this, &StressWindow::StopBtnClick);
    connect(saveReport_, &QPushButton::clicked, this, &StressWindow::SaveReportBtnClick);
    connect(refreshTimer_, &QTimer::timeout, this, &StressWindow::RefreshTimerTimer);
    connect(results_, &QTableWidget::itemSelectionChanged, this, &StressWindow::ShowCharts);
    for (QRadioButton* radio : {commandRadio_, scriptRadio_, connectCycleRadio_}) {
        connect(radio, &QRadioButton::toggled, this, &StressWindow::ShowUnits);
    }
    ShowUnits();
}

void StressWindow::ShowUnits() {
    const QString units = scriptRadio_->isChecked()         ? tr("passes")
                          : connectCycleRadio_->isChecked() ? tr("cycles")
                                                            : tr("commands");
    count_->setSuffix(QLatin1Char(' ') + units);
    resetEvery_->setSuffix(QLatin1Char(' ') + units);
    pause_->setSuffix(tr(" between %1").arg(units));
}

void StressWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !run_) {
        RefreshReadersBtnClick();
    }
}

// Closing ends every run within one command; the workers' last figures still arrive.
void StressWindow::closeEvent(QCloseEvent* event) {
    StopBtnClick();
    QWidget::closeEvent(event);
}

void StressWindow::RefreshReadersBtnClick() {
    std::vector<std::string> names;
    if (sources_.libraries) {
        if (const auto library = sources_.libraries()) {
            ListAttachedReaders(*library, names);
        }
    }
    QStringList checked;
    for (int i = 0; i < readerList_->count(); ++i) {
        if (readerList_->item(i)->checkState() == Qt::Checked) {
            checked.append(readerList_->item(i)->text());
        }
    }
    if (checked.isEmpty() && sources_.selectedReader) {
        checked.append(sources_.selectedReader());
    }
    readerList_->clear();
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), readerList_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
}

void StressWindow::ScriptBrowseBtnClick() {
    const QString path =
        chooseOpenFile_(tr("Script"), tr("Scripts (*.txt *.script);;All files (*)"));
    if (!path.isEmpty()) {
        scriptPath_->setText(path);
        scriptRadio_->setChecked(true);
    }
}

StressWorkloadFactory StressWindow::ChosenWorkload(QJsonObject& settings, QString& error) {
    if (connectCycleRadio_->isChecked()) {
        settings[QStringLiteral("connectCycle")] = true;
        return [] { return std::make_unique<ConnectCycleWorkload>(); };
    }
    if (scriptRadio_->isChecked()) {
        settings[QStringLiteral("script")] = scriptPath_->text();
        if (!sources_.scriptWorkload) {
            error = tr("Script runs are not available in this build.");
            return {};
        }
        auto factory = sources_.scriptWorkload(scriptPath_->text(), error);
        if (!factory && error.isEmpty()) {
            error = tr("The script cannot be run.");
        }
        return factory;
    }
    const auto command = sources_.currentCommand ? sources_.currentCommand(error) : std::nullopt;
    if (!command) {
        error = tr("The CPU card page's command: %1").arg(error);
        return {};
    }
    QStringList hex;
    for (const std::uint8_t byte : *command) {
        hex.append(QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
    }
    settings[QStringLiteral("apdu")] = hex.join(QLatin1Char(' '));
    return [bytes = *command] { return std::make_unique<ApduWorkload>(bytes); };
}

void StressWindow::StartBtnClick() {
    if (run_ && !run_->Finished()) {
        return;
    }
    std::vector<std::string> readers;
    for (int i = 0; i < readerList_->count(); ++i) {
        if (readerList_->item(i)->checkState() == Qt::Checked) {
            readers.push_back(readerList_->item(i)->text().toStdString());
        }
    }
    if (readers.empty()) {
        boxes_.ShowError("Check at least one reader.");
        return;
    }
    QJsonObject settingsJson;
    QString error;
    const StressWorkloadFactory workload = ChosenWorkload(settingsJson, error);
    if (!workload) {
        boxes_.ShowError(error.toStdString());
        return;
    }
    StressSettings settings;
    if (countRadio_->isChecked()) {
        settings.count = static_cast<std::uint64_t>(count_->value());
    } else if (durationRadio_->isChecked()) {
        settings.duration = std::chrono::seconds(duration_->value());
    }
    settings.stopAtFirstFailure = stopAtFirstFailure_->isChecked();
    settings.pauseMs = static_cast<std::uint32_t>(pause_->value());
    settings.resetEvery = static_cast<std::uint32_t>(resetEvery_->value());
    settings.exclusive = exclusive_->isChecked();
    settingsJson[QStringLiteral("count")] = static_cast<double>(settings.count);
    settingsJson[QStringLiteral("durationSeconds")] =
        static_cast<double>(durationRadio_->isChecked() ? duration_->value() : 0);
    settingsJson[QStringLiteral("stopAtFirstFailure")] = settings.stopAtFirstFailure;
    settingsJson[QStringLiteral("pauseMs")] = pause_->value();
    settingsJson[QStringLiteral("resetEvery")] = resetEvery_->value();
    settingsJson[QStringLiteral("shareMode")] =
        settings.exclusive ? QStringLiteral("exclusive") : QStringLiteral("shared");

    // The finished run stays, for Save Report, until a new one really starts.
    std::unique_ptr<ExchangeCsvLog> csv;
    if (csvLog_->isChecked()) {
        const QString path = chooseSaveFile_(tr("Log every exchange to CSV"), tr("CSV (*.csv)"));
        if (path.isEmpty()) {
            return;
        }
        csv = std::make_unique<ExchangeCsvLog>();
        std::string reason;
        if (!csv->Open(
                path.toStdString(), readers, [](std::uint32_t code) { return PcscCodeText(code); },
                reason)) {
            boxes_.ShowError("Cannot write " + path.toStdString() + ": " + reason);
            return;
        }
    }
    run_.reset();
    csv_ = std::move(csv);
    runSettings_ = settingsJson;
    run_ = std::make_unique<StressRun>(sources_.libraries, workload, settings);
    if (csv_) {
        run_->SetExchangeObserver([log = csv_.get()](const ExchangeRecord& r) { log->Write(r); });
    }
    // Workers yield the processors to this window: a simulated reader at full speed on a
    // small machine must not freeze the view.
    run_->SetWorkerStartObserver(
        [] { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice); });
    run_->SetFinishedObserver([this](std::size_t) {
        QMetaObject::invokeMethod(this, &StressWindow::ReaderFinished, Qt::QueuedConnection);
    });

    results_->setRowCount(0);
    results_->setRowCount(static_cast<int>(readers.size()));
    shown_.assign(readers.size(), ReaderSnapshot{});
    overTime_.assign(readers.size(), OverTime{});
    for (int row = 0; row < results_->rowCount(); ++row) {
        SetCell(results_, row, ColReader, QString::fromStdString(readers[row]));
        auto* bar = new QProgressBar(results_);
        bar->setObjectName(QStringLiteral("Progress%1").arg(row));
        bar->setRange(0, settings.count == 0 && settings.duration.count() == 0 ? 0 : 1000);
        results_->setCellWidget(row, ColProgress, bar);
    }
    results_->selectRow(0);
    run_->Start(readers);
    SetRunning(true);
    refreshTimer_->start();
}

void StressWindow::StopBtnClick() {
    if (run_) {
        run_->Stop();
    }
}

void StressWindow::ReaderFinished() {
    if (!run_ || !run_->Finished() || !refreshTimer_->isActive()) {
        return;
    }
    run_->Wait();
    refreshTimer_->stop();
    RefreshTimerTimer();
    if (csv_) {
        std::string reason;
        if (!csv_->Close(reason)) {
            boxes_.ShowError("The exchange log could not be written: " + reason);
        }
    }
    SetRunning(false);
}

void StressWindow::RefreshTimerTimer() {
    if (!run_) {
        return;
    }
    const StressSettings& settings = run_->Settings();
    for (std::size_t i = 0; i < run_->ReaderCount(); ++i) {
        ReaderSnapshot reader = run_->Snapshot(i);
        const int row = static_cast<int>(i);
        auto* bar = static_cast<QProgressBar*>(results_->cellWidget(row, ColProgress));
        double fraction = 0;
        if (settings.count != 0) {
            fraction = static_cast<double>(reader.stats.done) / static_cast<double>(settings.count);
        } else if (settings.duration.count() != 0) {
            fraction =
                reader.elapsedSeconds * 1000.0 / static_cast<double>(settings.duration.count());
        }
        if (reader.end) {
            bar->setRange(0, 1000);
            fraction = reader.end->kind == RunEnd::Kind::Completed ? 1.0 : fraction;
        }
        bar->setValue(static_cast<int>(std::min(fraction, 1.0) * 1000));

        OverTime& overTime = overTime_[i];
        const LatencyHistogram& latency = reader.stats.latency;
        const double sum = latency.Mean() * static_cast<double>(latency.Count());
        if (latency.Count() > overTime.count) {
            overTime.points.emplace_back(
                reader.elapsedSeconds,
                (sum - overTime.sum) / static_cast<double>(latency.Count() - overTime.count));
            if (overTime.points.size() > kOverTimePoints) {
                overTime.points.pop_front();
            }
        }
        overTime.count = latency.Count();
        overTime.sum = sum;
        ShowRow(row, reader);
        shown_[i] = std::move(reader);
    }
    ShowCharts();
}

void StressWindow::ShowRow(int row, const ReaderSnapshot& reader) {
    const LatencyHistogram& latency = reader.stats.latency;
    SetCell(results_, row, ColDone, QString::number(reader.stats.done));
    SetCell(results_, row, ColFailed, QString::number(reader.stats.failed));
    SetCell(results_, row, ColRate, QString::number(reader.UnitsPerSecond(), 'f', 1));
    SetCell(results_, row, ColMin, QString::number(latency.Min()));
    SetCell(results_, row, ColMedian, QString::number(latency.Percentile(50)));
    SetCell(results_, row, ColP95, QString::number(latency.Percentile(95)));
    SetCell(results_, row, ColP99, QString::number(latency.Percentile(99)));
    SetCell(results_, row, ColMax, QString::number(latency.Max()));
    QString state = reader.end ? RunEndDescription(*reader.end) : tr("running");
    for (const auto& [cause, tally] : reader.stats.causes) {
        state += QStringLiteral("; %1 ×%2").arg(FailureCauseText(cause)).arg(tally.count);
    }
    SetCell(results_, row, ColState, state);
}

void StressWindow::ShowCharts() {
    const int row = results_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size()) {
        histogramSeries_->clear();
        overTimeSeries_->clear();
        return;
    }
    QList<QPointF> histogram;
    double highest = 1;
    double lowest = 1e12;
    double highestLatency = 10;
    for (const LatencyHistogram::Bucket& bucket : shown_[row].stats.latency.NonEmptyBuckets()) {
        const double middle = std::max(1.0, (bucket.low + bucket.high) / 2.0);
        histogram.append(QPointF(middle, static_cast<double>(bucket.count)));
        highest = std::max(highest, static_cast<double>(bucket.count));
        lowest = std::min(lowest, middle);
        highestLatency = std::max(highestLatency, middle);
    }
    histogramSeries_->replace(histogram);
    histogramChart_->axes(Qt::Horizontal)
        .constFirst()
        ->setRange(histogram.isEmpty() ? 1.0 : lowest * 0.9, highestLatency * 1.1);
    histogramChart_->axes(Qt::Vertical).constFirst()->setRange(0, highest * 1.1);

    const std::deque<QPointF>& points = overTime_[row].points;
    overTimeSeries_->replace(QList<QPointF>(points.begin(), points.end()));
    double top = 1;
    for (const QPointF& point : points) {
        top = std::max(top, point.y());
    }
    overTimeChart_->axes(Qt::Horizontal)
        .constFirst()
        ->setRange(points.empty() ? 0.0 : points.front().x(),
                   points.empty() ? 1.0 : points.back().x());
    overTimeChart_->axes(Qt::Vertical).constFirst()->setRange(0, top * 1.1);
}

void StressWindow::SaveReportBtnClick() {
    if (!run_) {
        boxes_.ShowError("No run to report yet.");
        return;
    }
    const QString path = chooseSaveFile_(tr("Save Report"), tr("JSON (*.json)"));
    if (path.isEmpty()) {
        return;
    }
    std::vector<ReaderSnapshot> readers;
    for (std::size_t i = 0; i < run_->ReaderCount(); ++i) {
        readers.push_back(run_->Snapshot(i));
    }
    QString error;
    if (!SaveStressReport(
            path, StressReportJson(QCoreApplication::applicationVersion(), runSettings_, readers),
            error)) {
        boxes_.ShowError("Cannot save the report to " + path.toStdString() + ": " +
                         error.toStdString());
    }
}

void StressWindow::SetRunning(bool running) {
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    saveReport_->setEnabled(run_ != nullptr);
    for (QWidget* setting : std::initializer_list<QWidget*>{
             commandRadio_, scriptRadio_, connectCycleRadio_, scriptPath_, scriptBrowse_,
             readerList_, refreshReaders_, exclusive_, countRadio_, durationRadio_, untilStopRadio_,
             count_, duration_, stopAtFirstFailure_, pause_, resetEvery_, csvLog_}) {
        setting->setEnabled(!running);
    }
}
