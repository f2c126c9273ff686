#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/apdu/CardExchange.h"

class ClickableLabel;
class FieldBinder;
class QLabel;
class QLineEdit;
class QPushButton;
class MessageBoxes;
class ReaderSession;
class ResponseLogEdit;
class ResponseLogModel;

// The "CPU card" page: seven APDU fields, Send, and the view of the response log that the
// reader session writes into as well.
class CpuCardPage : public QWidget {
    Q_OBJECT
  public:
    // scardLog is the card log, which the main window holds beside the session.
    CpuCardPage(ReaderSession& session, MessageBoxes& boxes, ResponseLogModel& scardLog,
                QWidget* parent = nullptr);

    // Shapes the length fields by the active protocol: 1 (T=0) "P&3:", Lc of 2 characters,
    // no Le; 2 (T=1) "&Lc:", Lc of 6 characters, Le shown; any other value changes nothing.
    void ApplyProtocolLayout(std::uint32_t protocol);
    void SetProtocolText(const QString& text);
    void SetReaderNameCaption(const QString& text);
    void FocusCla();
    // The command the fields hold now, parsed as Send parses it, or nothing and the reason.
    std::optional<std::vector<std::uint8_t>> CurrentCommand(QString& error) const;

  public slots:
    void SCardSendClick();
    void ScardClearClick();
    // Presets the command header 00 86 00 00 08 and empties Data and Le.
    void LblReaderNameClick();

    void CLAChange();
    void INSChange();
    void P1Change();
    void P2Change();
    void LcChange();
    void DATAChange();
    void LeChange();

    // key is a Qt::Key; the key is never consumed.
    void INSKeyDown(int key);
    void P1KeyDown(int key);
    void P2KeyDown(int key);
    void LcKeyDown(int key);
    void DATAKeyDown(int key);
    void LeKeyDown(int key);

    void CLAExit();
    void INSExit();
    void P1Exit();
    void P2Exit();
    void LcExit();
    void DATAExit();
    void LeExit();

  signals:
    // After every transmit: the reply's status word and its meaning, or the failed call's
    // PC/SC code name.
    void ExchangeStatus(const QString& text);
    // After every transmit from Send: the command as sent and the card's answer.
    void CardApduSent(const std::vector<std::uint8_t>& command, const ApduReply& reply);

  private:
    void CreateWidgets();
    void ConnectWidgets();

    ReaderSession& session_;
    MessageBoxes& boxes_;
    ResponseLogModel& scardLog_;
    ResponseLogEdit* scardRespon_ = nullptr;
    std::vector<QLineEdit*> edits_;  // CLA, INS, P1, P2, Lc, DATA, Le
    FieldBinder* binder_ = nullptr;
    QLabel* lcLabel_ = nullptr;
    QLabel* leLabel_ = nullptr;
    QLabel* protocol_ = nullptr;
    ClickableLabel* readerName_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* clear_ = nullptr;
};
