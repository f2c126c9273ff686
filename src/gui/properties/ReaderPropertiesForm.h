#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "core/common/ResponseLogModel.h"
#include "gui/LogFile.h"
#include "insight/ReaderReport.h"

class FieldBinder;
class MessageBoxes;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QThread;
class ReaderControlFactory;
class ResponseLogEdit;

// The Properties window of one reader: its attributes, Part 10 features, TLV and PIN
// properties and state in one table, with Copy and Save; and a Control section that sends
// a control code (a vendor function number or a full code) with hex data and logs the
// exchange. It reaches the reader through connections of its own, made on a worker thread,
// so that the window never waits on the reader; it works without a card (direct mode).
class ReaderPropertiesForm : public QWidget {
    Q_OBJECT
  public:
    ReaderPropertiesForm(ReaderControlFactory& controls, MessageBoxes& boxes,
                         QWidget* parent = nullptr);
    ~ReaderPropertiesForm() override;

    // Shows the window for `reader` and reads it afresh.
    void ShowReader(const std::string& reader);
    // Where "Save…" asks for the file; the save-file dialog by default.
    void SetFileChooser(LogFileChooser chooser) { chooseFile_ = std::move(chooser); }

    const ReaderReport& Report() const { return report_; }
    bool Busy() const { return worker_ != nullptr; }

  signals:
    // A read or a control exchange has come back and been shown.
    void JobFinished();

  public slots:
    void RefreshBtnClick();
    void CopyBtnClick();
    void SaveBtnClick();
    void ControlSendClick();

  private:
    void CreateWidgets();
    void ConnectWidgets();
    void ShowReport();
    void ShowControlExchange(const ControlExchange& exchange,
                             const std::vector<std::uint8_t>& data);
    // Runs `work` on a worker thread and then `done` on the window's thread.
    void RunJob(std::function<void()> work, std::function<void()> done);
    void UpdateButtons();

    ReaderControlFactory& controls_;
    MessageBoxes& boxes_;
    std::string reader_;
    ReaderReport report_;
    ResponseLogModel controlLog_;
    LogFileChooser chooseFile_ = SaveFileDialogChooser();
    QThread* worker_ = nullptr;
    bool refreshPending_ = false;  // another reader was asked for while a job ran

    QLabel* readerLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* save_ = nullptr;
    QLineEdit* code_ = nullptr;
    QLineEdit* data_ = nullptr;
    FieldBinder* dataRules_ = nullptr;
    QPushButton* send_ = nullptr;
    ResponseLogEdit* log_ = nullptr;
};

// The control data as typed: hex pairs, an odd last character ignored, as the APDU console
// reads its DATA field. Empty when the text is sound, else the error box's text.
std::optional<std::string> ParseControlData(const std::string& text,
                                            std::vector<std::uint8_t>& data);
