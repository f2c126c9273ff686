#include "gui/memcard/DataForm.h"

#include <QApplication>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <utility>

#include "core/common/Conversions.h"
#include "core/memcard/DataEntryRules.h"
#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"
#include "gui/Mnemonics.h"
#include "gui/memcard/EntryValidator.h"
#include "gui/memcard/MemOperationRunner.h"

namespace {

constexpr int kDialogWidth = 345;
constexpr int kDialogHeight = 292;
constexpr int kI2CRowHeight = 64;
constexpr int kI2CColumn = 85;
constexpr int kMargin = 8;
constexpr int kLabelGap = 4;
constexpr int kEditOffset = 24;  // edit below its row's labels
constexpr int kAddressRowY = 16;
constexpr int kLengthRowY = 80;
constexpr int kDataRowY = 144;
constexpr int kButtonRowY = 240;
constexpr int kNumberEditWidth = 75;
constexpr int kEditHeight = 24;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 28;
constexpr int kNumberFieldLength = 5;
constexpr int kI2CFieldLength = 2;

const QColor kTeal(0, 128, 128);
const QColor kFieldName(0, 255, 255);
const QColor kConnecting(255, 0, 0);
const QColor kValue(255, 255, 0);

std::string Latin1(const QLineEdit* edit) {
    return edit->text().toLatin1().toStdString();
}

}  // namespace

TMemDataDlg::TMemDataDlg(MemOperationRunner& pages, ReaderSession& session, MessageBoxes& boxes,
                         QWidget* mainWindow)
    : QDialog(nullptr), pages_(pages), session_(session), boxes_(boxes), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("MemDataDlg"));
    setWindowTitle(QStringLiteral("Data Dialog"));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, kTeal);
    setPalette(background);
    setFixedSize(kDialogWidth, kDialogHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    CreateWidgets();
    ConnectWidgets();
    UpdateDataEntry();
}

QLabel* TMemDataDlg::MakeLabel(const char* name, const char* text, const QColor& colour) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(14);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
    label->adjustSize();
    return label;
}

QLineEdit* TMemDataDlg::MakeEdit(const char* name, const char* text, int maxLength,
                                 bool upperCase) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), this);
    edit->setObjectName(QString::fromLatin1(name));
    new EntryValidator(edit, maxLength, upperCase);
    return edit;
}

void TMemDataDlg::CreateWidgets() {
    Label0 = MakeLabel("Label0", "Starting Address", kFieldName);
    Label21 = MakeLabel("Label21", "(", kConnecting);
    AddrRangeL = MakeLabel("AddrRangeL", "0", kValue);
    Label22 = MakeLabel("Label22", "to", kConnecting);
    AddrRangeH = MakeLabel("AddrRangeH", "255", kValue);
    Label23 = MakeLabel("Label23", ") in decimal :", kConnecting);
    AddrEdit = MakeEdit("AddrEdit", "0", kNumberFieldLength, false);

    Label1 = MakeLabel("Label1", "Data Length", kFieldName);
    Label24 = MakeLabel("Label24", "(", kConnecting);
    LengthRangeL = MakeLabel("LengthRangeL", "1", kValue);
    Label25 = MakeLabel("Label25", "to", kConnecting);
    LengthRangeH = MakeLabel("LengthRangeH", "256", kValue);
    Label26 = MakeLabel("Label26", "] in decimal :", kConnecting);
    DataLenEdit = MakeEdit("DataLenEdit", "0", kNumberFieldLength, false);

    Label2 = MakeLabel("Label2", "Data To Send", kFieldName);
    Label27 = MakeLabel("Label27", "in byte :", kConnecting);
    DataCountLabel = MakeLabel("DataCountLabel", "0x00", kValue);
    DataEdit = new QLineEdit(this);
    DataEdit->setObjectName(QStringLiteral("DataEdit"));
    dataEditLimit_ = new EntryValidator(DataEdit, 0, true);

    Label3 = MakeLabel("Label3", "Command", kFieldName);
    CommandEdit = MakeEdit("CommandEdit", "", kI2CFieldLength, true);
    Label4 = MakeLabel("Label4", "Dummy", kFieldName);
    DummyEdit = MakeEdit("DummyEdit", "", kI2CFieldLength, true);
    Label5 = MakeLabel("Label5", "# of Address Bytes ", kFieldName);
    AddrByteNumEdit = MakeEdit("AddrByteNumEdit", "", kI2CFieldLength, true);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    Label0->move(kMargin, kAddressRowY);
    AddrEdit->setGeometry(kMargin, kAddressRowY + kEditOffset, kNumberEditWidth, kEditHeight);
    Label1->move(kMargin, kLengthRowY);
    DataLenEdit->setGeometry(kMargin, kLengthRowY + kEditOffset, kNumberEditWidth, kEditHeight);
    Label2->move(kMargin, kDataRowY);
    DataEdit->setGeometry(kMargin, kDataRowY + kEditOffset, kDialogWidth - 2 * kMargin,
                          kEditHeight);
    FlowRows();
    for (QLineEdit* edit : {CommandEdit, DummyEdit, AddrByteNumEdit}) {
        edit->resize(kNumberEditWidth, kEditHeight);
    }
    for (auto [label, field] : {std::pair{Label0, AddrEdit},
                                {Label1, DataLenEdit},
                                {Label2, DataEdit},
                                {Label3, CommandEdit},
                                {Label4, DummyEdit},
                                {Label5, AddrByteNumEdit}}) {
        LabelField(label, field);
    }
    const int buttonsLeft = (kDialogWidth - 2 * kButtonWidth - 3 * kMargin) / 2;
    BitBtn1->setGeometry(buttonsLeft, kButtonRowY, kButtonWidth, kButtonHeight);
    BitBtn2->setGeometry(buttonsLeft + kButtonWidth + 3 * kMargin, kButtonRowY, kButtonWidth,
                         kButtonHeight);

    addressRow_ = {Label0, Label21, AddrRangeL, Label22, AddrRangeH, Label23, AddrEdit};
    dataRow_ = {DataEdit, Label2, Label27, DataCountLabel};
    i2cRow_ = {Label3, CommandEdit, Label4, DummyEdit, Label5, AddrByteNumEdit};
    belowI2CRow_ = {Label0, Label21, AddrRangeL,     Label22,  AddrRangeH,   Label23, AddrEdit,
                    Label1, Label24, LengthRangeL,   Label25,  LengthRangeH, Label26, DataLenEdit,
                    Label2, Label27, DataCountLabel, DataEdit, BitBtn1,      BitBtn2};
    for (QWidget* control : i2cRow_) {
        control->hide();
    }

    setTabOrder(CommandEdit, DummyEdit);
    setTabOrder(DummyEdit, AddrByteNumEdit);
    setTabOrder(AddrByteNumEdit, AddrEdit);
    setTabOrder(AddrEdit, DataLenEdit);
    setTabOrder(DataLenEdit, DataEdit);
    setTabOrder(DataEdit, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

void TMemDataDlg::ConnectWidgets() {
    connect(AddrEdit, &QLineEdit::textChanged, this, &TMemDataDlg::AddrEditChange);
    connect(DataLenEdit, &QLineEdit::textChanged, this, &TMemDataDlg::DataLenEditChange);
    connect(DataEdit, &QLineEdit::textChanged, this, &TMemDataDlg::DataEditChange);
    connect(BitBtn1, &QPushButton::clicked, this, &TMemDataDlg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMemDataDlg::BitBtn2Click);
}

void TMemDataDlg::FlowRow(std::initializer_list<QLabel*> labels) {
    const QLabel* previous = nullptr;
    for (QLabel* label : labels) {
        label->adjustSize();
        if (previous != nullptr) {
            label->move(previous->x() + previous->width() + kLabelGap, previous->y());
        }
        previous = label;
    }
}

void TMemDataDlg::FlowRows() {
    FlowRow({Label0, Label21, AddrRangeL, Label22, AddrRangeH, Label23});
    FlowRow({Label1, Label24, LengthRangeL, Label25, LengthRangeH, Label26});
    FlowRow({Label2, Label27, DataCountLabel});
}

void TMemDataDlg::SetDataLabel(const QString& text) {
    Label2->setText(text);
    LabelField(Label2, DataEdit);
    FlowRows();
}

void TMemDataDlg::Assign(QLineEdit* edit, const QString& text) {
    if (edit->text() == text) {
        emit edit->textChanged(text);
    } else {
        edit->setText(text);
    }
}

void TMemDataDlg::ResetFields() {
    Assign(AddrEdit, QStringLiteral("0"));
    Assign(DataLenEdit, QStringLiteral("0"));
    Assign(DataEdit, QString());
}

void TMemDataDlg::ApplyOperationRanges() {
    if (const MemOperationEntry* entry = FindMemOperation(pages_.Params().MemOpCode)) {
        SetAddrRange(entry->address.min, entry->address.max);
        SetLengthRange(entry->length.min, entry->length.max);
    }
}

void TMemDataDlg::SetAddrRange(std::int32_t min, std::int32_t max) {
    AddrMin = min;
    AddrMax = max;
    AddrRangeL->setText(QString::number(min));
    AddrRangeH->setText(QString::number(max));
    FlowRows();
}

void TMemDataDlg::SetLengthRange(std::int32_t min, std::int32_t max) {
    LenMin = min;
    LenMax = max;
    LengthRangeL->setText(QString::number(min));
    LengthRangeH->setText(QString::number(max));
    FlowRows();
    Assign(DataLenEdit, min == max ? QString::number(min) : QStringLiteral("0"));
    UpdateDataEntry();
}

void TMemDataDlg::SetDialogMode(MemDlgMode mode) {
    switch (mode) {
        case MemDlgMode::mdRead:
            ApplyLayout(false, true, false, true);
            break;
        case MemDlgMode::mdWrite:
            ApplyLayout(false, true, true, true);
            break;
        case MemDlgMode::mdVerify:
            ApplyLayout(false, false, true, false);
            break;
        case MemDlgMode::mdFixedRead:
            ApplyLayout(false, true, false, false);
            break;
        case MemDlgMode::mdI2CRead:
            ApplyLayout(true, true, false, true);
            break;
        case MemDlgMode::mdI2CWrite:
            ApplyLayout(true, true, true, true);
            break;
    }
}

void TMemDataDlg::ApplyLayout(bool i2c, bool addressRow, bool dataRow, bool lengthEditable) {
    if (i2c) {
        ShowI2CFields();
    } else {
        HideI2CFields();
    }
    for (QWidget* control : addressRow_) {
        control->setVisible(addressRow);
    }
    for (QWidget* control : dataRow_) {
        control->setVisible(dataRow);
    }
    DataLenEdit->setReadOnly(!lengthEditable);
}

void TMemDataDlg::ShowI2CFields() {
    if (I2CLayout_) {
        return;
    }
    setFixedSize(width(), height() + kI2CRowHeight);
    const std::array<QWidget*, 3> labels{Label3, Label4, Label5};
    const std::array<QWidget*, 3> edits{CommandEdit, DummyEdit, AddrByteNumEdit};
    for (std::size_t column = 0; column < labels.size(); ++column) {
        const QPoint shift(kI2CColumn * static_cast<int>(column), 0);
        labels[column]->move(Label0->pos() + shift);
        edits[column]->move(AddrEdit->pos() + shift);
    }
    for (QWidget* control : i2cRow_) {
        control->show();
    }
    for (QWidget* control : belowI2CRow_) {
        control->move(control->pos() + QPoint(0, kI2CRowHeight));
    }
    I2CLayout_ = true;
}

void TMemDataDlg::HideI2CFields() {
    if (!I2CLayout_) {
        return;
    }
    for (QWidget* control : i2cRow_) {
        control->hide();
    }
    setFixedSize(width(), height() - kI2CRowHeight);
    for (QWidget* control : belowI2CRow_) {
        control->move(control->pos() - QPoint(0, kI2CRowHeight));
    }
    I2CLayout_ = false;
}

void TMemDataDlg::UpdateDataEntry() {
    const std::string text = Latin1(DataLenEdit);
    std::int32_t length = 0;
    if (!DecimalTextToInt(text.data(), static_cast<std::uint32_t>(text.size()), length)) {
        return;
    }
    const bool enabled = length > 0;
    DataEdit->setEnabled(enabled);
    BitBtn1->setEnabled(enabled);
    QPalette colours = DataEdit->palette();
    colours.setColor(QPalette::Base, enabled ? QApplication::palette().color(QPalette::Base)
                                             : QApplication::palette().color(QPalette::Disabled,
                                                                             QPalette::WindowText));
    DataEdit->setPalette(colours);
    if (enabled) {
        dataEditLimit_->SetMaxLength(2 * length);
    }
}

void TMemDataDlg::CheckRange(QLineEdit* edit, std::int32_t min, std::int32_t max) {
    const std::string text = Latin1(edit);
    std::int32_t value = 0;
    if (!text.empty() && !SignedDecimalTextToInt(text, value)) {
        boxes_.ShowError(NotValidIntegerText(text));
        return;
    }
    if (max < value) {
        edit->setText(QString::number(max));
    } else if (value < min) {
        edit->setText(QString::number(min));
    }
}

void TMemDataDlg::AddrEditChange() {
    CheckRange(AddrEdit, AddrMin, AddrMax);
}

void TMemDataDlg::DataLenEditChange() {
    UpdateDataEntry();
    CheckRange(DataLenEdit, LenMin, LenMax);
}

void TMemDataDlg::DataEditChange() {
    DataCountLabel->setText(QString::fromStdString(DataCountText(DataEdit->text().size())));
    DataCountLabel->adjustSize();
}

bool TMemDataDlg::DataRowShown() const {
    return DataEdit->isVisibleTo(this);
}

bool TMemDataDlg::AddressRowShown() const {
    return AddrEdit->isVisibleTo(this);
}

bool TMemDataDlg::StoreAddress() {
    MemOperationParams& params = pages_.Params();
    if (!AddressRowShown()) {
        params.MemAddress = 0;
        return true;
    }
    const std::string text = Latin1(AddrEdit);
    std::int32_t address = 0;
    if (!DecimalTextToInt(text.data(), static_cast<std::uint32_t>(text.size()), address) ||
        address < 0) {
        return false;
    }
    params.MemAddress = static_cast<std::uint32_t>(address);
    return true;
}

bool TMemDataDlg::ReadHexByte(const QLineEdit* edit, std::uint8_t& out) const {
    const std::string text = Latin1(edit);
    return text.size() >= 2 && HexPairToByte(text.data(), out);
}

void TMemDataDlg::Refuse(const char* message) {
    boxes_.ShowError(message);
}

void TMemDataDlg::BitBtn1Click() {
    if (session_.CardBusy()) {
        Refuse("The Data Bus is busy!");
        return;
    }
    MemOperationParams& params = pages_.Params();
    if (I2CLayout_) {
        if (!ReadHexByte(CommandEdit, params.I2CCommand)) {
            Refuse("Command Input Error!");
            return;
        }
        if (!ReadHexByte(DummyEdit, params.I2CDummy)) {
            Refuse("Dummy Input Error!");
            return;
        }
        if (!ReadHexByte(AddrByteNumEdit, params.I2CAddrBytes)) {
            Refuse("Address Byte Number Input Error!");
            return;
        }
    }
    const std::string lengthText = Latin1(DataLenEdit);
    std::int32_t length = 0;
    if (!DecimalTextToInt(lengthText.data(), static_cast<std::uint32_t>(lengthText.size()),
                          length) ||
        length < 0) {
        Refuse("DATA Length Input Error!");
        return;
    }
    const auto count = static_cast<std::size_t>(length);
    if (DataRowShown()) {
        const std::string data = Latin1(DataEdit);
        if (data.size() != 2 * count) {
            Refuse("DATA Bytes are not enough!");
            return;
        }
        // An address that does not parse must not leave the previous operation's address
        // in place: the operation would run where nobody asked.
        if (!StoreAddress()) {
            Refuse("Starting Address Input Error!");
            return;
        }
        params.MemData.assign(count, 0);
        params.MemDataLen = static_cast<std::uint32_t>(length);
        for (std::size_t i = 0; i < count; ++i) {
            if (!HexPairToByte(data.data() + 2 * i, params.MemData[i])) {
                Refuse("DATA Input Error!");
                return;
            }
        }
    } else {
        if (!StoreAddress()) {
            Refuse("Starting Address Input Error!");
            return;
        }
        params.MemReadLen = static_cast<std::uint32_t>(length);
    }
    hide();
    pages_.RunMemOperation();
    FormHide();
}

void TMemDataDlg::BitBtn2Click() {
    hide();
    FormHide();
}

void TMemDataDlg::reject() {
    BitBtn2Click();
}

void TMemDataDlg::FormHide() {
    if (mainWindow_ != nullptr) {
        mainWindow_->setEnabled(true);
    }
}

void TMemDataDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The buttons' icons are loaded when the dialog is first shown: start-up builds the dialog
    // but need not wait for them.
    if (BitBtn1->icon().isNull()) {
        BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
        BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    }
}

void TMemDataDlg::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        FormHide();
    }
}
