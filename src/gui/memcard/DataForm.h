#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "core/memcard/MemOperation.h"

class EntryValidator;
class MemOperationRunner;
class MessageBoxes;
class QLabel;
class QLineEdit;
class QPushButton;
class ReaderSession;

// The Data Dialog: collects the starting address, length, data bytes and I2C bytes of one
// memory-card operation within the operation's limits, stores them in the memory-operation
// fields and starts the operation. It is shown without a modal loop while the main window is
// disabled, so it must be created without a parent; every way of hiding it gives the main
// window back.
class TMemDataDlg : public QDialog {
    Q_OBJECT
  public:
    TMemDataDlg(MemOperationRunner& pages, ReaderSession& session, MessageBoxes& boxes,
                QWidget* mainWindow);

    // Configuration, in the order the operation buttons use it.
    void SetDataLabel(const QString& text);
    void ResetFields();
    void ApplyOperationRanges();
    void SetAddrRange(std::int32_t min, std::int32_t max);
    void SetLengthRange(std::int32_t min, std::int32_t max);
    void SetDialogMode(MemDlgMode mode);

    void ShowI2CFields();
    void HideI2CFields();
    void UpdateDataEntry();
    // MemAddress from the address field; 0 while the address row is hidden. False when the
    // shown field does not hold a decimal number.
    bool StoreAddress();

    bool I2CLayout() const { return I2CLayout_; }
    MemRange AddrRange() const { return {AddrMin, AddrMax}; }
    MemRange LengthRange() const { return {LenMin, LenMax}; }

  public slots:
    void AddrEditChange();
    void DataLenEditChange();
    void DataEditChange();
    void BitBtn1Click();
    void BitBtn2Click();
    void FormHide();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Esc and the close box cancel like BitBtn2.
    void reject() override;

  private:
    void CreateWidgets();
    void ConnectWidgets();
    QLabel* MakeLabel(const char* name, const char* text, const QColor& colour);
    QLineEdit* MakeEdit(const char* name, const char* text, int maxLength, bool upperCase);
    // Lays a row's labels side by side from the first label's position.
    static void FlowRow(std::initializer_list<QLabel*> labels);
    void FlowRows();
    // Sets a field's text and runs its change handler even when the text stays the same.
    static void Assign(QLineEdit* edit, const QString& text);
    void ApplyLayout(bool i2c, bool addressRow, bool dataRow, bool lengthEditable);
    // Live range check of a number field: empty counts as 0, a value outside [min, max] is
    // replaced by the nearer bound. Text that is not an integer is reported and left.
    void CheckRange(QLineEdit* edit, std::int32_t min, std::int32_t max);
    bool ReadHexByte(const QLineEdit* edit, std::uint8_t& out) const;
    bool DataRowShown() const;
    bool AddressRowShown() const;
    void Refuse(const char* message);

    MemOperationRunner& pages_;
    ReaderSession& session_;
    MessageBoxes& boxes_;
    QPointer<QWidget> mainWindow_;

    std::int32_t AddrMin = 0;
    std::int32_t AddrMax = 0;
    std::int32_t LenMin = 0;
    std::int32_t LenMax = 0;
    bool I2CLayout_ = false;

    QLabel* Label0 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* AddrRangeL = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* AddrRangeH = nullptr;
    QLabel* Label23 = nullptr;
    QLineEdit* AddrEdit = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label24 = nullptr;
    QLabel* LengthRangeL = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* LengthRangeH = nullptr;
    QLabel* Label26 = nullptr;
    QLineEdit* DataLenEdit = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label27 = nullptr;
    QLabel* DataCountLabel = nullptr;
    QLineEdit* DataEdit = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* CommandEdit = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* DummyEdit = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* AddrByteNumEdit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    EntryValidator* dataEditLimit_ = nullptr;
    std::array<QWidget*, 7> addressRow_{};
    std::array<QWidget*, 4> dataRow_{};
    std::array<QWidget*, 6> i2cRow_{};
    std::array<QWidget*, 20> belowI2CRow_{};  // moved down while the I2C row is shown
};
