#pragma once

#include <QFile>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "core/apdu/CardExchange.h"
#include "gui/script/ScriptFiles.h"

class CardLibrary;
class MessageBoxes;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QWidget;
class ReaderSession;
class ResponseLog;
class ScriptResultsWindow;

// The Reader menu's script items: "Record Script…" writes every APDU sent from the CPU card
// page into a script, the reply as its expectation, until "Stop Recording"; the status bar
// shows that a recording runs. "Run Script…" runs a script against the card in the
// selected reader, in a worker thread with a card library of its own, and shows the
// results window.
class ScriptActions : public QObject {
    Q_OBJECT
  public:
    using CardLibraryFactory = std::function<std::unique_ptr<CardLibrary>()>;

    ScriptActions(ReaderSession& session, ResponseLog& cardLog, MessageBoxes& boxes,
                  CardLibraryFactory workerCard, QWidget* window, QStatusBar* statusBar);
    ~ScriptActions() override;

    // Puts the three items into `menu` before `before`.
    void AddToMenu(QMenu* menu, QAction* before);
    void SetFileChooser(ScriptFileChooser chooser) { chooseFile_ = std::move(chooser); }
    ScriptResultsWindow* ResultsWindow() { return results_.get(); }

  public slots:
    void RecordScriptClick();
    void StopRecordingClick();
    void RunScriptClick();
    // An exchange of the CPU card page, written into the recording if one runs.
    void CardApduSent(const std::vector<std::uint8_t>& command, const ApduReply& reply);

  signals:
    // The reply (data and status word) of each command of a run whose transmit succeeded.
    void ScriptReply(const std::vector<std::uint8_t>& reply);

  private:
    ReaderSession& session_;
    ResponseLog& cardLog_;
    MessageBoxes& boxes_;
    CardLibraryFactory workerCard_;
    QWidget* window_;
    ScriptFileChooser chooseFile_ = ScriptFileDialogs();
    QFile recording_;
    QLabel* recordingIndicator_ = nullptr;
    QAction* recordScript_ = nullptr;
    QAction* stopRecording_ = nullptr;
    QAction* runScript_ = nullptr;
    std::unique_ptr<ScriptResultsWindow> results_;
};
