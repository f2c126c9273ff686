#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/script/ScriptRunner.h"
#include "gui/script/ScriptFiles.h"

class CardLibrary;
class MessageBoxes;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class ResponseLog;
class ScriptRunWorker;
class TlvView;

// The "Script Results" window: one row per command of a run (line, command, expected, got,
// verdict, microseconds), the bytes that differ highlighted, a warning sign on the line of
// a command sent against its own Lc, a summary, a progress bar and Stop. The run goes on in a
// worker thread with a card library of its own; every step's lines go into the card log as they
// arrive. The reply of the selected row is shown decoded below the table. Shown without a
// parent, beside the main window.
class ScriptResultsWindow : public QWidget {
    Q_OBJECT
  public:
    using CardLibraryFactory = std::function<std::unique_ptr<CardLibrary>()>;

    ScriptResultsWindow(ResponseLog& cardLog, MessageBoxes& boxes,
                        const ScriptFileChooser& chooseFile);
    ~ScriptResultsWindow() override;

    // Runs `script` (named `name`) against the card in `reader`; false while a run goes on.
    bool Start(const Script& script, const QString& name, const std::string& reader,
               CardLibraryFactory newLibrary);
    bool Running() const { return worker_ != nullptr; }

  public slots:
    void ScriptStopClick();
    void ScriptRunAgainClick();
    void ScriptSaveResultsClick();
    void ScriptResultsSelectionChange();

  signals:
    void RunFinished();
    // The reply (data and status word) of each command whose transmit succeeded.
    void StepReply(const std::vector<std::uint8_t>& reply);

  private:
    void CreateWidgets();
    void ConnectWidgets();
    void StepDone(const StepResult& result);
    void Finished(const ScriptRunSummary& summary);
    void EndThread();

    ResponseLog& cardLog_;
    MessageBoxes& boxes_;
    const ScriptFileChooser& chooseFile_;
    Script script_;
    QString name_;
    std::string reader_;
    CardLibraryFactory newLibrary_;
    std::vector<StepResult> results_;
    std::vector<std::size_t> rowResults_;  // the index in results_ of each table row
    ScriptRunSummary summary_;

    QThread* thread_ = nullptr;
    ScriptRunWorker* worker_ = nullptr;

    QLabel* scriptName_ = nullptr;
    QTableWidget* table_ = nullptr;
    TlvView* replyView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* summaryLabel_ = nullptr;
    QCheckBox* continueAfterFailures_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* runAgain_ = nullptr;
    QPushButton* saveResults_ = nullptr;
    QPushButton* close_ = nullptr;
};
