#include "gui/script/ScriptActions.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "core/script/ScriptParser.h"
#include "core/session/CardLibrary.h"
#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"
#include "gui/ReaderNameText.h"
#include "gui/script/ScriptResultsWindow.h"

ScriptActions::ScriptActions(ReaderSession& session, ResponseLog& cardLog, MessageBoxes& boxes,
                             CardLibraryFactory workerCard, QWidget* window, QStatusBar* statusBar)
    : QObject(window),
      session_(session),
      cardLog_(cardLog),
      boxes_(boxes),
      workerCard_(std::move(workerCard)),
      window_(window) {
    setObjectName(QStringLiteral("ScriptActions"));
    recordScript_ = new QAction(tr("Record Script…"), this);
    recordScript_->setObjectName(QStringLiteral("RecordScript"));
    stopRecording_ = new QAction(tr("Stop Recording"), this);
    stopRecording_->setObjectName(QStringLiteral("StopRecording"));
    stopRecording_->setEnabled(false);
    runScript_ = new QAction(tr("Run Script…"), this);
    runScript_->setObjectName(QStringLiteral("RunScript"));
    recordingIndicator_ = new QLabel(statusBar);
    recordingIndicator_->setObjectName(QStringLiteral("RecordingIndicator"));
    statusBar->addPermanentWidget(recordingIndicator_);
    recordingIndicator_->hide();
    connect(recordScript_, &QAction::triggered, this, &ScriptActions::RecordScriptClick);
    connect(stopRecording_, &QAction::triggered, this, &ScriptActions::StopRecordingClick);
    connect(runScript_, &QAction::triggered, this, &ScriptActions::RunScriptClick);
}

ScriptActions::~ScriptActions() = default;

void ScriptActions::AddToMenu(QMenu* menu, QAction* before) {
    menu->insertActions(before, {recordScript_, stopRecording_, runScript_});
    menu->insertSeparator(before);
}

void ScriptActions::RecordScriptClick() {
    const QString path = chooseFile_(window_, ScriptFileRole::Record);
    if (path.isEmpty()) {
        return;
    }
    StopRecordingClick();
    recording_.setFileName(path);
    if (!recording_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        boxes_.ShowError("Cannot record to " + path.toStdString() + ": " +
                         recording_.errorString().toStdString());
        return;
    }
    const QString header =
        QStringLiteral("# Recorded on %1 from %2\n")
            .arg(QDateTime::currentDateTime().toString(Qt::ISODate),
                 session_.SelectedReaderName() ? ReaderNameText(session_.SelectedReaderName())
                                               : QStringLiteral("no reader"));
    recording_.write(header.toUtf8());
    recording_.flush();
    recordingIndicator_->setText(tr("Recording script to %1").arg(QFileInfo(path).fileName()));
    recordingIndicator_->show();
    stopRecording_->setEnabled(true);
}

void ScriptActions::StopRecordingClick() {
    if (recording_.isOpen()) {
        recording_.close();
    }
    recordingIndicator_->hide();
    stopRecording_->setEnabled(false);
}

void ScriptActions::CardApduSent(const std::vector<std::uint8_t>& command, const ApduReply& reply) {
    if (!recording_.isOpen()) {
        return;
    }
    const std::uint32_t length = std::min(reply.length, ApduBufferSize);
    const std::string text = RecordedScriptText(
        command, reply.code,
        std::vector<std::uint8_t>(reply.bytes.begin(), reply.bytes.begin() + length));
    recording_.write(text.data(), static_cast<qint64>(text.size()));
    recording_.flush();
}

void ScriptActions::RunScriptClick() {
    if (results_ && results_->Running()) {
        results_->raise();
        return;
    }
    if (!workerCard_) {
        boxes_.ShowError("Scripts cannot run here: there is no card library for a worker.");
        return;
    }
    const char* reader = session_.SelectedReaderName();
    if (reader == nullptr) {
        boxes_.ShowError("No reader selected.");
        return;
    }
    const QString path = chooseFile_(window_, ScriptFileRole::Run);
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        boxes_.ShowError("Cannot read " + path.toStdString() + ": " +
                         file.errorString().toStdString());
        return;
    }
    const QByteArray text = file.readAll();
    const ParsedScript parsed = ParseScript(std::string_view(text.constData(), text.size()));
    if (parsed.error) {
        boxes_.ShowError(QFileInfo(path).fileName().toStdString() + ": " +
                         ScriptErrorText(*parsed.error));
        return;
    }
    if (!results_) {
        results_ = std::make_unique<ScriptResultsWindow>(cardLog_, boxes_, chooseFile_);
        connect(results_.get(), &ScriptResultsWindow::StepReply, this, &ScriptActions::ScriptReply);
    }
    results_->Start(parsed.script, QFileInfo(path).fileName(), reader, workerCard_);
    results_->show();
    results_->raise();
}
