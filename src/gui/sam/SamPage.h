#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "core/common/ResponseLogModel.h"
#include "core/sam/SamSession.h"

class FieldBinder;
class QLabel;
class QLineEdit;
class QPushButton;
class ReaderSession;
class MessageBoxes;
class ResponseLogEdit;
class SamLibrary;

// The "SAM(Zorv200)" page: connect to the SAM slot of the selected reader, exchange APDUs
// typed in seven fields, disconnect. The fields are shown only while connected.
class SamPage : public QWidget {
    Q_OBJECT
  public:
    SamPage(ReaderSession& session, SamLibrary& sam, MessageBoxes& boxes,
            QWidget* parent = nullptr);

    // Connects the selected reader's SAM and lays the fields out; answers the library's code.
    std::uint32_t SAMConnectCard();
    // Shows or hides the protocol label, the field labels, the fields and Send.
    void EnabledSAMComponent(bool show);
    void ShowSamProtocol();
    void SendSamApdu();
    // Disconnects the selected reader's SAM; answers the library's code.
    std::uint32_t DisconnectSam();

    // Shows the fields while the selected reader's SAM is connected, hides them otherwise.
    void ShowSelectedReader();
    // A reader that has gone: a SAM connected there is disconnected as by the Disconnect
    // button, with its lines, and the fields are hidden if they were that reader's.
    void ReaderGone(ReaderRecord& reader);
    ResponseLogEdit* SAMRespon() const { return samRespon_; }
    // The button Enter presses with the focus on `focus`: Send from a command field (Send is
    // shown only while connected); Connect SAM from anywhere else on the page while
    // disconnected; none otherwise.
    QPushButton* EnterButton(const QWidget* focus) const;

  public slots:
    void SAMConnectBtnClick();
    void BitBtnSAMSendClick();
    void SAMDisconnectBtnClick();
    void SAMClearClick();

    void SAMCLAChange();
    void SAMINSChange();
    void SAMP1Change();
    void SAMP2Change();
    void SAMLcChange();
    void SAMDataChange();
    void SAMLeChange();

    // key is a Qt::Key; the key is never consumed.
    void SAMINSKeyDown(int key);
    void SAMP1KeyDown(int key);
    void SAMP2KeyDown(int key);
    void SAMLcKeyDown(int key);
    void SAMDataKeyDown(int key);
    void SAMLeKeyDown(int key);

    void SAMCLAExit();
    void SAMINSExit();
    void SAMP1Exit();
    void SAMP2Exit();
    void SAMLcExit();
    void SAMDataExit();
    void SAMLeExit();

  signals:
    // After every transmit: the reply's status word and its meaning, or the failed call's
    // PC/SC code name.
    void ExchangeStatus(const QString& text);
    // After every transmit, with the library's code and the reply.
    void SamApduSent(const ApduReply& reply);

  private:
    void CreateWidgets();
    void ConnectWidgets();
    // The selected reader's SAM slot; a slot of the page's own when none is selected.
    SamSlot& SelectedSlot();

    ReaderSession& session_;
    MessageBoxes& boxes_;
    ResponseLogModel samLog_;
    SamSession sam_;
    ResponseLogEdit* samRespon_ = nullptr;
    std::vector<QLineEdit*> edits_;     // SAMCLA, SAMINS, SAMP1, SAMP2, SAMLc, SAMData, SAMLe
    std::vector<QLabel*> fieldLabels_;  // in the order of edits_
    FieldBinder* binder_ = nullptr;
    QLabel* protocol_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* clear_ = nullptr;
    SamSlot noReader_;
    std::string shownReader_;  // the reader whose SAM the fields are shown for
};
