#include "gui/script/ScriptResultsWindow.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QThread>

#include "core/common/Conversions.h"
#include "core/common/ResponseLog.h"
#include "core/session/CardLibrary.h"
#include "gui/MessageBoxes.h"
#include "gui/reply/TlvView.h"
#include "gui/script/ScriptRunWorker.h"
#include "report/ScriptReport.h"

namespace {

enum Column { ColLine, ColCommand, ColExpected, ColGot, ColVerdict, ColMicros, ColumnCount };

const char* const kDifferingStyle = "background-color:#ffb3b3;font-weight:bold";

QString Hex(const std::vector<std::uint8_t>& bytes) {
    return QString::fromStdString(
               BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size())))
        .trimmed();
}

// The reply as rich text with the differing bytes marked.
QString MarkedReply(const StepResult& result) {
    QStringList bytes;
    for (std::size_t i = 0; i < result.reply.size(); ++i) {
        const QString hex = QString::fromStdString(HexNumberText(result.reply[i], 2));
        const bool differs = std::ranges::find(result.differing, i) != result.differing.end();
        bytes.append(differs ? QStringLiteral("<span style=\"%1\">%2</span>")
                                   .arg(QLatin1String(kDifferingStyle), hex)
                             : hex);
    }
    return QStringLiteral("<tt>%1</tt>").arg(bytes.join(QLatin1Char(' ')));
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

ScriptResultsWindow::ScriptResultsWindow(ResponseLog& cardLog, MessageBoxes& boxes,
                                         const ScriptFileChooser& chooseFile)
    : cardLog_(cardLog), boxes_(boxes), chooseFile_(chooseFile) {
    CreateWidgets();
    ConnectWidgets();
}

ScriptResultsWindow::~ScriptResultsWindow() {
    if (worker_ != nullptr) {
        worker_->Stop();
        EndThread();
    }
}

void ScriptResultsWindow::CreateWidgets() {
    setObjectName(QStringLiteral("ScriptResultsWindow"));
    setWindowTitle(tr("Script Results"));
    scriptName_ = new QLabel(this);
    scriptName_->setObjectName(QStringLiteral("ScriptName"));
    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("ScriptResults"));
    table_->setHorizontalHeaderLabels(
        {tr("Line"), tr("Command"), tr("Expected"), tr("Got"), tr("Verdict"), tr("µs")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    replyView_ = new TlvView(this);
    replyView_->setObjectName(QStringLiteral("ScriptReplyView"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ScriptProgress"));
    summaryLabel_ = new QLabel(this);
    summaryLabel_->setObjectName(QStringLiteral("ScriptSummary"));
    continueAfterFailures_ = new QCheckBox(tr("Continue after failures"), this);
    continueAfterFailures_->setObjectName(QStringLiteral("ContinueAfterFailures"));
    stop_ = new QPushButton(tr("Stop"), this);
    stop_->setObjectName(QStringLiteral("ScriptStop"));
    runAgain_ = new QPushButton(tr("Run Again"), this);
    runAgain_->setObjectName(QStringLiteral("ScriptRunAgain"));
    saveResults_ = new QPushButton(tr("Save Results…"), this);
    saveResults_->setObjectName(QStringLiteral("ScriptSaveResults"));
    close_ = new QPushButton(tr("Close"), this);
    close_->setObjectName(QStringLiteral("ScriptClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(continueAfterFailures_);
    buttons->addStretch();
    for (QPushButton* button : {stop_, runAgain_, saveResults_, close_}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scriptName_);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(replyView_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
    layout->addWidget(progress_);
    layout->addWidget(summaryLabel_);
    layout->addLayout(buttons);
    resize(860, 600);
}

void ScriptResultsWindow::ConnectWidgets() {
    connect(stop_, &QPushButton::clicked, this, &ScriptResultsWindow::ScriptStopClick);
    connect(runAgain_, &QPushButton::clicked, this, &ScriptResultsWindow::ScriptRunAgainClick);
    connect(saveResults_, &QPushButton::clicked, this,
            &ScriptResultsWindow::ScriptSaveResultsClick);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            &ScriptResultsWindow::ScriptResultsSelectionChange);
}

bool ScriptResultsWindow::Start(const Script& script, const QString& name,
                                const std::string& reader, CardLibraryFactory newLibrary) {
    if (worker_ != nullptr) {
        return false;
    }
    script_ = script;
    name_ = name;
    reader_ = reader;
    newLibrary_ = std::move(newLibrary);
    results_.clear();
    rowResults_.clear();
    summary_ = {};
    table_->setRowCount(0);
    replyView_->Clear();
    const auto commands =
        std::ranges::count(script_.steps, ScriptStep::Kind::Command, &ScriptStep::kind);
    progress_->setRange(0, static_cast<int>(std::max<std::ptrdiff_t>(commands, 1)));
    progress_->setValue(0);
    scriptName_->setText(tr("%1 on %2").arg(name_, QString::fromStdString(reader_)));
    summaryLabel_->setText(tr("Running…"));

    thread_ = new QThread(this);
    worker_ = new ScriptRunWorker(
        newLibrary_(), script_,
        {reader_, kProtocolT0 | kProtocolT1, continueAfterFailures_->isChecked()});
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::started, worker_, &ScriptRunWorker::Run);
    connect(worker_, &ScriptRunWorker::StepDone, this, &ScriptResultsWindow::StepDone);
    connect(worker_, &ScriptRunWorker::Finished, this, &ScriptResultsWindow::Finished);
    stop_->setEnabled(true);
    runAgain_->setEnabled(false);
    saveResults_->setEnabled(false);
    thread_->start();
    return true;
}

void ScriptResultsWindow::StepDone(const StepResult& result) {
    results_.push_back(result);
    for (const std::string& line : result.logLines) {
        AppendLogLine(cardLog_, line);
    }
    if (result.kind != ScriptStep::Kind::Command) {
        return;
    }
    if (result.code == 0) {
        emit StepReply(result.reply);
    }
    const ScriptStep& step = script_.steps[result.index];
    const int row = table_->rowCount();
    rowResults_.push_back(results_.size() - 1);
    table_->insertRow(row);
    QTableWidgetItem* line = Cell(QString::number(result.line));
    if (!step.warning.empty()) {
        // Sent as written all the same; the line says what is odd about it.
        line->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
        line->setToolTip(QString::fromStdString(step.warning));
    }
    table_->setItem(row, ColLine, line);
    table_->setItem(row, ColCommand, Cell(Hex(result.command)));
    table_->setItem(row, ColExpected, Cell(QString::fromStdString(ExpectationText(step))));
    QTableWidgetItem* got =
        Cell(result.code == 0 ? Hex(result.reply)
                              : QStringLiteral("return code=0x") +
                                    QString::fromStdString(HexNumberText(result.code, 16)));
    QVariantList differing;
    for (const std::size_t i : result.differing) {
        differing.append(static_cast<int>(i));
    }
    got->setData(Qt::UserRole, differing);
    got->setToolTip(QString::fromStdString(StepStatusText(result)));
    table_->setItem(row, ColGot, got);
    if (!result.differing.empty()) {
        got->setText(QString());  // the label below shows it, marked
        got->setToolTip(Hex(result.reply));
        auto* marked = new QLabel(MarkedReply(result));
        marked->setObjectName(QStringLiteral("MarkedReply"));
        marked->setToolTip(QString::fromStdString(StepStatusText(result)));
        table_->setCellWidget(row, ColGot, marked);
    }
    QTableWidgetItem* verdict = Cell(QString::fromLatin1(VerdictText(result.verdict)));
    if (!result.checkFailures.empty()) {
        verdict->setText(verdict->text() + QStringLiteral(", ") +
                         QString::fromStdString(CheckFailuresText(result)));
    }
    if (result.verdict != Verdict::NoExpectation) {
        verdict->setBackground(result.verdict == Verdict::Pass ? QColor(0xC8, 0xF0, 0xC8)
                                                               : QColor(0xFF, 0xB3, 0xB3));
    }
    table_->setItem(row, ColVerdict, verdict);
    table_->setItem(row, ColMicros, Cell(QString::number(result.micros)));
    table_->scrollToBottom();
    progress_->setValue(progress_->value() + 1);
}

void ScriptResultsWindow::Finished(const ScriptRunSummary& summary) {
    summary_ = summary;
    EndThread();
    progress_->setValue(progress_->maximum());
    summaryLabel_->setText(QString::fromStdString(SummaryText(summary_)));
    stop_->setEnabled(false);
    runAgain_->setEnabled(true);
    saveResults_->setEnabled(true);
    emit RunFinished();
}

void ScriptResultsWindow::EndThread() {
    thread_->quit();
    thread_->wait();
    delete worker_;
    worker_ = nullptr;
    delete thread_;
    thread_ = nullptr;
}

void ScriptResultsWindow::ScriptStopClick() {
    if (worker_ != nullptr) {
        worker_->Stop();
    }
}

void ScriptResultsWindow::ScriptRunAgainClick() {
    Start(script_, name_, reader_, newLibrary_);
}

void ScriptResultsWindow::ScriptSaveResultsClick() {
    const QString path = chooseFile_(this, ScriptFileRole::SaveResults);
    if (path.isEmpty()) {
        return;
    }
    const std::string text = path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive)
                                 ? JunitReport(name_.toStdString(), script_, results_, summary_)
                                 : TextReport(script_, results_, summary_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        boxes_.ShowError("Cannot save the results to " + path.toStdString() + ": " +
                         file.errorString().toStdString());
    }
}

void ScriptResultsWindow::ScriptResultsSelectionChange() {
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty()) {
        replyView_->Clear();
        return;
    }
    const StepResult& result =
        results_[rowResults_[static_cast<std::size_t>(selected.front()->row())]];
    if (result.code != 0) {
        replyView_->Clear();  // a failed transmit has no reply
        return;
    }
    replyView_->ShowReply(result.reply);
}
