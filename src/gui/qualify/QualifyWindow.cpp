#include "gui/qualify/QualifyWindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <chrono>
#include <future>

#include "core/session/CardLibrary.h"
#include "core/session/ReaderList.h"
#include "gui/MessageBoxes.h"
#include "gui/ResponseLogEdit.h"
#include "gui/qualify/QualifyWorker.h"
#include "report/QualificationHtmlReport.h"
#include "report/QualificationMatrix.h"
#include "report/QualifyReport.h"
#include "report/ReportFile.h"

namespace {

constexpr int kFixedColumns = 2;  // case and lengths, then one column per protocol
const QColor kPassColour(0xC8, 0xF0, 0xC8);
const QColor kFailColour(0xFF, 0xB3, 0xB3);
const QColor kSkippedColour(0xE0, 0xE0, 0xE0);

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

const char* PromptText(QualifyPrompt prompt) {
    switch (prompt) {
        case QualifyPrompt::TypePin:
            return "Press OK, then type 1234 on the reader's PIN pad.";
        case QualifyPrompt::PullCard:
            return "Press OK, then pull the card out of the reader.";
    }
    return "";
}

}  // namespace

QualifyWindow::QualifyWindow(CardLibraryFactory libraries, ReaderControlFactory* controls,
                             std::function<QString()> selectedReader, MessageBoxes& boxes)
    : QWidget(nullptr, Qt::Window),
      libraries_(std::move(libraries)),
      controls_(controls),
      selectedReader_(std::move(selectedReader)),
      boxes_(boxes),
      chooseSaveFile_([this] {
          return QFileDialog::getSaveFileName(
              this, tr("Save Report"), QString(),
              tr("JSON (*.json);;JUnit XML (*.xml);;HTML (*.html *.htm)"));
      }) {
    setObjectName(QStringLiteral("QualifyWindow"));
    setWindowTitle(tr("Qualify Reader"));
    CreateWidgets();
    ConnectWidgets();
    SetRunning(false);
}

QualifyWindow::~QualifyWindow() {
    closing_ = true;
    if (worker_ != nullptr) {
        worker_->Stop();
        EndThread();
    }
}

void QualifyWindow::CreateWidgets() {
    auto* splitter = Named(new QSplitter(Qt::Vertical, this), "QualifySplitter");
    auto* top = new QWidget(splitter);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->addWidget(CreateSettings());
    auto* buttons = new QHBoxLayout;
    start_ = Named(new QPushButton(tr("&Start"), top), "StartBtn");
    stop_ = Named(new QPushButton(tr("S&top"), top), "StopBtn");
    progress_ = Named(new QProgressBar(top), "QualifyProgress");
    saveReport_ = Named(new QPushButton(tr("Save &Report…"), top), "SaveReportBtn");
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addWidget(progress_, 1);
    summary_ = Named(new QLabel(top), "SummaryLabel");
    buttons->addWidget(summary_);
    buttons->addWidget(saveReport_);
    topLayout->addLayout(buttons);

    auto* results = new QSplitter(Qt::Horizontal, top);
    matrix_ = Named(new QTableWidget(0, kFixedColumns, results), "MatrixTable");
    matrix_->verticalHeader()->hide();
    matrix_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    matrix_->horizontalHeader()->setStretchLastSection(true);
    auto* plot = new QWidget(results);
    auto* plotLayout = new QVBoxLayout(plot);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotCase_ = Named(new QComboBox(plot), "PlotCaseCombo");
    plotLayout->addWidget(plotCase_);
    chart_ = new QChart;
    chart_->setTitle(tr("Time against length"));
    auto* lengthAxis = new QValueAxis(chart_);
    lengthAxis->setTitleText(tr("length (bytes)"));
    lengthAxis->setLabelFormat(QStringLiteral("%d"));
    auto* timeAxis = new QValueAxis(chart_);
    timeAxis->setTitleText(tr("ms"));
    chart_->addAxis(lengthAxis, Qt::AlignBottom);
    chart_->addAxis(timeAxis, Qt::AlignLeft);
    auto* chartView = Named(new QChartView(chart_, plot), "TimingChart");
    chartView->setMinimumWidth(360);
    plotLayout->addWidget(chartView, 1);
    results->addWidget(matrix_);
    results->addWidget(plot);
    topLayout->addWidget(results, 1);
    splitter->addWidget(top);

    log_ = new ResponseLogEdit(QStringLiteral("QualifyRespon"), splitter);
    log_->setMaximumBlockCount(kLogLines);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);

    refreshTimer_ = Named(new QTimer(this), "RefreshTimer");
    refreshTimer_->setInterval(kRefreshMs);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(1000, 760);
}

QWidget* QualifyWindow::CreateSettings() {
    auto* box = new QGroupBox(tr("Battery"), this);
    reader_ = Named(new QComboBox(box), "ReaderCombo");
    reader_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    protocol_ = Named(new QComboBox(box), "ProtocolCombo");
    protocol_->addItems({tr("T=0"), tr("T=1"), tr("both")});
    protocol_->setCurrentIndex(2);
    quick_ = Named(new QRadioButton(tr("&Quick (boundaries)"), box), "QuickRadio");
    full_ = Named(new QRadioButton(tr("&Full (every length)"), box), "FullRadio");
    quick_->setChecked(true);
    extendedStep_ = Named(new QSpinBox(box), "ExtendedStepSpin");
    extendedStep_->setRange(1, 65535);
    extendedStep_->setValue(static_cast<int>(kDefaultExtendedStep));
    waitingTimes_ = Named(new QLineEdit(QStringLiteral("1, 2, 5, 30"), box), "WaitingTimesEdit");
    pinPad_ = Named(new QCheckBox(tr("Verify through the reader's PIN pad"), box), "PinPadCheck");
    cardPull_ =
        Named(new QCheckBox(tr("Pull the card during a long time request"), box), "CardPullCheck");

    auto* runKind = new QHBoxLayout;
    runKind->addWidget(quick_);
    runKind->addWidget(full_);
    runKind->addStretch();
    auto* layout = new QFormLayout(box);
    layout->addRow(tr("Reader:"), reader_);
    layout->addRow(tr("Protocols:"), protocol_);
    layout->addRow(tr("Lengths:"), runKind);
    layout->addRow(tr("Extended step:"), extendedStep_);
    layout->addRow(tr("Time requests (P2):"), waitingTimes_);
    layout->addRow(pinPad_);
    layout->addRow(cardPull_);
    return box;
}

void QualifyWindow::ConnectWidgets() {
    connect(start_, &QPushButton::clicked, this, &QualifyWindow::StartBtnClick);
    connect(stop_, &QPushButton::clicked, this, &QualifyWindow::StopBtnClick);
    connect(saveReport_, &QPushButton::clicked, this, &QualifyWindow::SaveReportBtnClick);
    connect(refreshTimer_, &QTimer::timeout, this, &QualifyWindow::RefreshTimerTimer);
    connect(plotCase_, &QComboBox::currentTextChanged, this, &QualifyWindow::ShowTimings);
}

void QualifyWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && worker_ == nullptr) {
        RefreshReaders();
    }
}

// Closing ends the run after the exchange in progress.
void QualifyWindow::closeEvent(QCloseEvent* event) {
    StopBtnClick();
    QWidget::closeEvent(event);
}

void QualifyWindow::RefreshReaders() {
    std::vector<std::string> names;
    if (libraries_) {
        if (const auto library = libraries_()) {
            ListAttachedReaders(*library, names);
        }
    }
    const QString chosen = reader_->currentText().isEmpty() && selectedReader_
                               ? selectedReader_()
                               : reader_->currentText();
    reader_->clear();
    for (const std::string& name : names) {
        reader_->addItem(QString::fromStdString(name));
    }
    reader_->setCurrentIndex(std::max(0, reader_->findText(chosen)));
}

std::optional<QualifyPlan> QualifyWindow::ChosenPlan() {
    QualifyPlan plan;
    switch (protocol_->currentIndex()) {
        case 0:
            plan.protocols = {kProtocolT0};
            break;
        case 1:
            plan.protocols = {kProtocolT1};
            break;
        default:
            plan.protocols = {kProtocolT0, kProtocolT1};
    }
    plan.full = full_->isChecked();
    plan.extendedStep = static_cast<std::uint32_t>(extendedStep_->value());
    plan.waitingTimes.clear();
    for (const QString& item : waitingTimes_->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint units = item.trimmed().toUInt(&ok);
        if (!ok || units > 0xFF) {
            boxes_.ShowError("Time requests: give P2 values from 0 to 255, separated by commas.");
            return std::nullopt;
        }
        plan.waitingTimes.push_back(units);
    }
    plan.cardPull = cardPull_->isChecked();
    return plan;
}

void QualifyWindow::StartBtnClick() {
    if (worker_ != nullptr) {
        return;
    }
    if (reader_->currentText().isEmpty()) {
        boxes_.ShowError("No reader to qualify.");
        return;
    }
    std::optional<QualifyPlan> plan = ChosenPlan();
    if (!plan) {
        return;
    }
    std::unique_ptr<CardLibrary> library = libraries_ ? libraries_() : nullptr;
    if (!library) {
        boxes_.ShowError("Qualification needs a card library of its own, which this build lacks.");
        return;
    }
    plan_ = *plan;
    runReader_ = reader_->currentText();
    cells_.clear();
    result_.reset();
    properties_.reset();
    log_->Model()->ClearLog();
    matrix_->setRowCount(0);
    plotCase_->clear();
    progress_->setRange(0, 0);
    progress_->setValue(0);
    summary_->setText(tr("Running…"));

    thread_ = new QThread(this);
    worker_ = new QualifyWorker({std::move(library), controls_, plan_, pinPad_->isChecked(),
                                 runReader_.toStdString(),
                                 [this](QualifyPrompt prompt) { return Prompt(prompt); },
                                 static_cast<std::size_t>(kLogLines)});
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::started, worker_, &QualifyWorker::Run);
    connect(worker_, &QualifyWorker::Finished, this, &QualifyWindow::WorkerFinished,
            Qt::QueuedConnection);
    SetRunning(true);
    refreshTimer_->start();
    thread_->start();
}

void QualifyWindow::StopBtnClick() {
    if (worker_ != nullptr) {
        worker_->Stop();
    }
}

bool QualifyWindow::Prompt(QualifyPrompt prompt) {
    auto answered = std::make_shared<std::promise<void>>();
    std::future<void> shown = answered->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, prompt, answered] {
            boxes_.ShowInfo(PromptText(prompt));
            answered->set_value();
        },
        Qt::QueuedConnection);
    // The window's thread may be waiting for this one to end: give up when the window goes.
    while (shown.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (closing_) {
            return false;
        }
    }
    return true;
}

void QualifyWindow::RefreshTimerTimer() {
    if (worker_ == nullptr) {
        return;
    }
    QualifyWorker::News news = worker_->Take();
    if (news.lines.size() >= static_cast<std::size_t>(kLogLines)) {
        log_->Model()->ClearLog();  // every line shown before would go
    }
    for (const std::string& line : news.lines) {
        log_->Model()->AppendLine(line);
    }
    if (news.total != 0) {
        progress_->setRange(0, static_cast<int>(news.total));
        progress_->setValue(static_cast<int>(news.done));
    }
    if (!news.cells.empty()) {
        cells_.insert(cells_.end(), std::make_move_iterator(news.cells.begin()),
                      std::make_move_iterator(news.cells.end()));
        ShowMatrix();
        ShowTimings();
    }
}

void QualifyWindow::WorkerFinished() {
    if (worker_ == nullptr) {
        return;
    }
    refreshTimer_->stop();
    RefreshTimerTimer();  // the last lines and cells
    result_ = worker_->Result();
    plan_ = worker_->Plan();
    properties_ = worker_->Properties();
    EndThread();
    cells_ = result_->cells;
    progress_->setRange(0, 1);
    progress_->setValue(1);
    summary_->setText(tr("%1: %2 exchanges in %3 s")
                          .arg(QualifyEndText(*result_))
                          .arg(result_->exchanges)
                          .arg(static_cast<double>(result_->micros) / 1e6, 0, 'f', 1));
    ShowMatrix();
    ShowTimings();
    SetRunning(false);
    if (result_->end != QualifyEnd::Completed && result_->end != QualifyEnd::Stopped) {
        boxes_.ShowError("The reader could not be qualified: " +
                         QualifyEndText(*result_).toStdString());
    }
    emit RunFinished();
}

void QualifyWindow::EndThread() {
    thread_->quit();
    thread_->wait();
    delete worker_;
    worker_ = nullptr;
    delete thread_;
    thread_ = nullptr;
}

void QualifyWindow::ShowMatrix() {
    const std::vector<MatrixColumn> columns = MatrixColumnsOf(cells_);
    const std::vector<MatrixRow> rows = MatrixRows(columns);
    QStringList headers{tr("Case"), tr("Lengths")};
    for (const MatrixColumn& column : columns) {
        headers.append(column.protocol);
    }
    matrix_->setColumnCount(static_cast<int>(headers.size()));
    matrix_->setHorizontalHeaderLabels(headers);
    matrix_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const MatrixRow& row = rows[r];
        matrix_->setItem(r, 0, Cell(row.caseName));
        matrix_->setItem(r, 1, Cell(RowLengthsText(row)));
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const MatrixRange* range = row.cells[c];
            QTableWidgetItem* item = Cell(range == nullptr ? QStringLiteral("–") : range->outcome);
            if (range != nullptr) {
                item->setBackground(range->result == CellOutcome::Pass   ? kPassColour
                                    : range->result == CellOutcome::Fail ? kFailColour
                                                                         : kSkippedColour);
                item->setToolTip(range->detail);
            }
            matrix_->setItem(r, kFixedColumns + static_cast<int>(c), item);
        }
    }
}

// The curves of the chosen case, one per protocol; the list offers every case with a curve.
void QualifyWindow::ShowTimings() {
    const std::vector<TimingCurve> curves = TimingCurvesOf(cells_);
    const QString chosen = plotCase_->currentText();
    {
        const QSignalBlocker quiet(plotCase_);
        for (const TimingCurve& curve : curves) {
            if (plotCase_->findText(curve.caseName) < 0) {
                plotCase_->addItem(curve.caseName);
            }
        }
        plotCase_->setCurrentIndex(std::max(0, plotCase_->findText(chosen)));
    }
    chart_->removeAllSeries();
    double longest = 1;
    double slowest = 0.1;
    QAbstractAxis* lengthAxis = chart_->axes(Qt::Horizontal).constFirst();
    QAbstractAxis* timeAxis = chart_->axes(Qt::Vertical).constFirst();
    for (const TimingCurve& curve : curves) {
        if (curve.caseName != plotCase_->currentText()) {
            continue;
        }
        auto* series = new QLineSeries(chart_);
        series->setName(curve.protocol);
        for (const auto& [length, micros] : curve.points) {
            series->append(length, micros / 1000.0);
            longest = std::max(longest, length);
            slowest = std::max(slowest, micros / 1000.0);
        }
        chart_->addSeries(series);
        series->attachAxis(lengthAxis);
        series->attachAxis(timeAxis);
    }
    lengthAxis->setRange(0, longest);
    timeAxis->setRange(0, slowest * 1.1);
}

void QualifyWindow::SaveReportBtnClick() {
    if (!result_) {
        boxes_.ShowError("No finished run to report yet.");
        return;
    }
    const QString path = chooseSaveFile_();
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString version = QCoreApplication::applicationVersion();
    QByteArray bytes;
    if (suffix == QLatin1String("json")) {
        bytes =
            QJsonDocument(QualifyReportJson(version, runReader_,
                                            properties_ ? &*properties_ : nullptr, plan_, *result_))
                .toJson();
    } else if (suffix == QLatin1String("xml")) {
        bytes = QByteArray::fromStdString(QualifyJunitReport(runReader_.toStdString(), *result_));
    } else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
        bytes = QualifyHtmlReport(version, runReader_, plan_, *result_).toUtf8();
    } else {
        boxes_.ShowError("Choose a report file ending in .json, .xml or .html.");
        return;
    }
    QString error;
    if (!SaveReportFile(path, bytes, error)) {
        boxes_.ShowError("Cannot save the report to " + path.toStdString() + ": " +
                         error.toStdString());
    }
}

void QualifyWindow::SetRunning(bool running) {
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    saveReport_->setEnabled(!running && result_.has_value());
    for (QWidget* setting : std::initializer_list<QWidget*>{
             reader_, protocol_, quick_, full_, extendedStep_, waitingTimes_, cardPull_}) {
        setting->setEnabled(!running);
    }
    pinPad_->setEnabled(!running && controls_ != nullptr);
}
