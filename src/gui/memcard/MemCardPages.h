#pragma once

#include <QObject>
#include <array>
#include <cstdint>

#include "core/common/ResponseLogModel.h"
#include "gui/memcard/MemOperationRunner.h"

class MessageBoxes;
class QTabWidget;
class QWidget;
class ReaderSession;
class TMemDataDlg;

// The five memory-card pages: their operation buttons, response logs and Clear buttons, and
// the memory-operation fields that the Data Dialog fills and the operations read.
class MemCardPages : public QObject, public MemOperationRunner {
    Q_OBJECT
  public:
    // Appends the five pages to `pageCtrl` in page order.
    MemCardPages(ReaderSession& session, MessageBoxes& boxes, QTabWidget* pageCtrl,
                 QObject* parent = nullptr);

    MemOperationParams& Params() override { return params_; }
    const MemCardLogs& Logs() const { return logs_; }
    // The Data Dialog is created after the pages; the buttons do nothing until it is attached.
    void AttachDataDialog(TMemDataDlg* dialog) { dialog_ = dialog; }
    // Runs the operation of Params().MemOpCode; called by the Data Dialog's OK.
    void RunMemOperation() override;
    // What every operation button does: configures and shows the Data Dialog for `code`
    // and disables the main window.
    void OpenOperation(std::uint32_t code);

  public slots:
    void SLE4442ReadMClick();
    void SLE4442ReadPClick();
    void SLE4442ReadSClick();
    void SLE4442WriteMClick();
    void SLE4442WritePClick();
    void SLE4442WriteSClick();
    void SLE4442VerifyClick();
    void SLE4428ReadMClick();
    void SLE4428ReadPClick();
    void SLE4428WriteMClick();
    void SLE4428WritePClick();
    void SLE4428WritePBClick();
    void SLE4428PSCClick();
    void SLE4404ReadMClick();
    void SLE4404ReadUClick();
    void SLE4404WriteMClick();
    void SLE4404WriteUClick();
    void SLE4404EraseMClick();
    void SLE4404VerifyUClick();
    void SLE4404VerifyMClick();
    void SLE4436ReadMClick();
    void SLE4436ReadCClick();
    void SLE4436WriteMClick();
    void SLE4436WriteCClick();
    void SLE4436ReloadClick();
    void SLE4436VerifyClick();
    void I2CReadMClick();
    void I2CWriteMClick();
    void SLE4442ClearClick();
    void SLE4428ClearClick();
    void SLE4404ClearClick();
    void SLE4436ClearClick();
    void I2CClearClick();

  signals:
    // After every operation that reached the library: the meaning of its code, a card's
    // status word or a PC/SC code name.
    void ExchangeStatus(const QString& text);

  private:
    void CreatePage(MemPage page);
    void ClearLog(MemPage page);

    ReaderSession& session_;
    MessageBoxes& boxes_;
    QTabWidget* pageCtrl_;
    std::array<ResponseLogModel, kMemPageCount> logModels_;
    TMemDataDlg* dialog_ = nullptr;
    MemOperationParams params_;
    MemCardLogs logs_;
};
