#include "gui/sam/SamPage.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "core/common/ResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/CancelButton.h"
#include "gui/Mnemonics.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/ApduConsole.h"
#include "gui/apdu/ApduEdits.h"
#include "gui/apdu/FieldBinder.h"
#include "insight/InsightText.h"

namespace {

// Field names and their labels; LblSAMP2 belongs to SAMP1 and LblSAMP1 to SAMP2.
struct SamFieldNames {
    const char* field;
    const char* label;
    const char* caption;
};
constexpr SamFieldNames kSamFields[] = {
    {"SAMCLA", "LblSAMCLA", "CL&A:"}, {"SAMINS", "LblSAMINS", "&INS:"},
    {"SAMP1", "LblSAMP2", "P&1:"},    {"SAMP2", "LblSAMP1", "P&2:"},
    {"SAMLc", "LblSAMLc", "&Lc:"},    {"SAMData", "LblSAMData", "Da&ta:"},
    {"SAMLe", "LblSAMLe", "L&e:"},
};

// The fields' named handlers, in field order; SAMCLA has no key handler.
constexpr std::array<FieldSlots<SamPage>, 7> kFieldSlots{{
    {&SamPage::SAMCLAChange, nullptr, &SamPage::SAMCLAExit},
    {&SamPage::SAMINSChange, &SamPage::SAMINSKeyDown, &SamPage::SAMINSExit},
    {&SamPage::SAMP1Change, &SamPage::SAMP1KeyDown, &SamPage::SAMP1Exit},
    {&SamPage::SAMP2Change, &SamPage::SAMP2KeyDown, &SamPage::SAMP2Exit},
    {&SamPage::SAMLcChange, &SamPage::SAMLcKeyDown, &SamPage::SAMLcExit},
    {&SamPage::SAMDataChange, &SamPage::SAMDataKeyDown, &SamPage::SAMDataExit},
    {&SamPage::SAMLeChange, &SamPage::SAMLeKeyDown, &SamPage::SAMLeExit},
}};

QPushButton* CreateButton(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    return button;
}

}  // namespace

SamPage::SamPage(ReaderSession& session, SamLibrary& sam, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent),
      session_(session),
      boxes_(boxes),
      sam_(sam, samLog_),
      samRespon_(new ResponseLogEdit(QStringLiteral("SAMRespon"), samLog_, this)) {
    setObjectName(QStringLiteral("SAMSheet"));
    CreateWidgets();
    ConnectWidgets();
    EnabledSAMComponent(false);
}

void SamPage::CreateWidgets() {
    samRespon_->setAccessibleName(tr("SAM response"));
    samRespon_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    samRespon_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    samRespon_->setTabChangesFocus(true);

    for (const SamFieldNames& names : kSamFields) {
        QLineEdit* edit = CreateApduEdit(QString::fromLatin1(names.field), this);
        auto* label = new QLabel(tr(names.caption), this);
        label->setObjectName(QString::fromLatin1(names.label));
        LabelField(label, edit);
        edits_.push_back(edit);
        fieldLabels_.push_back(label);
    }
    binder_ = new FieldBinder(SamFieldRules(), edits_, this);

    connect_ = CreateButton(QStringLiteral("SAMConnectBtn"), tr("Connect S&AM"), this);
    connect_->setDefault(true);
    disconnect_ = CreateButton(QStringLiteral("SAMDisconnectBtn"), tr("Disconnect SA&M"), this);
    send_ = CreateButton(QStringLiteral("BitBtnSAMSend"), tr("&Send"), this);
    send_->setDefault(true);
    clear_ = CreateButton(QStringLiteral("SAMClear"), tr("Clear"), this);
    protocol_ = new QLabel(tr("Protocol :"), this);
    protocol_->setObjectName(QStringLiteral("LblSAMProtocol"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(connect_);
    buttons->addWidget(disconnect_);
    buttons->addSpacing(16);
    buttons->addWidget(protocol_);
    buttons->addStretch();

    auto* header = new QHBoxLayout;
    for (ApduField field : {FieldCla, FieldIns, FieldP1, FieldP2, FieldLc}) {
        header->addWidget(fieldLabels_[field]);
        header->addWidget(edits_[field]);
    }
    auto* data = new QHBoxLayout;
    data->addWidget(fieldLabels_[FieldData]);
    data->addWidget(edits_[FieldData], 1);
    data->addWidget(fieldLabels_[FieldLe]);
    data->addWidget(edits_[FieldLe]);
    data->addWidget(send_);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(clear_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(header);
    layout->addLayout(data);
    layout->addWidget(samRespon_, 1);
    layout->addLayout(bottom);

    std::vector<QWidget*> order{connect_, disconnect_};
    order.insert(order.end(), edits_.begin(), edits_.end());
    order.insert(order.end(), {send_, samRespon_, clear_});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void SamPage::ConnectWidgets() {
    RouteFieldEvents(*binder_, this, kFieldSlots);
    connect(connect_, &QPushButton::clicked, this, &SamPage::SAMConnectBtnClick);
    connect(disconnect_, &QPushButton::clicked, this, &SamPage::SAMDisconnectBtnClick);
    connect(send_, &QPushButton::clicked, this, &SamPage::BitBtnSAMSendClick);
    connect(clear_, &QPushButton::clicked, this, &SamPage::SAMClearClick);
    MakeCancelButton(this, disconnect_);
}

SamSlot& SamPage::SelectedSlot() {
    ReaderRecord* record = session_.SelectedRecord();
    return record != nullptr ? record->Sam : noReader_;
}

std::uint32_t SamPage::SAMConnectCard() {
    const char* reader = session_.SelectedReaderName();
    const std::uint32_t code = sam_.Connect(reader, SelectedSlot());
    if (code == 0) {
        shownReader_ = reader != nullptr ? reader : "";
        EnabledSAMComponent(true);
        edits_[FieldCla]->setFocus();
        ShowSamProtocol();
    } else {
        EnabledSAMComponent(false);
    }
    AppendLogLine(samLog_, "");
    return code;
}

void SamPage::EnabledSAMComponent(bool show) {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        fieldLabels_[i]->setVisible(show);
        edits_[i]->setVisible(show);
    }
    protocol_->setVisible(show);
    send_->setVisible(show);
}

void SamPage::ShowSamProtocol() {
    const SamProtocolLayout layout = SamLayoutForProtocols(SelectedSlot().Protocols);
    protocol_->setText(QString::fromLatin1(layout.protocolCaption));
    if (layout.lcCaption) {
        fieldLabels_[FieldLc]->setText(QString::fromLatin1(*layout.lcCaption));
        LabelField(fieldLabels_[FieldLc], edits_[FieldLc]);
    }
    if (layout.lcMaxLength) {
        binder_->SetMaxLength(FieldLc, layout.lcMaxLength);
    }
    if (layout.leVisible) {
        fieldLabels_[FieldLe]->setVisible(*layout.leVisible);
        edits_[FieldLe]->setVisible(*layout.leVisible);
    }
}

void SamPage::SendSamApdu() {
    ::SendSamApdu(ReadApduTexts(edits_), sam_, SelectedSlot(), boxes_,
                  [this](const ApduReply& reply) {
                      emit ExchangeStatus(ExchangeStatusText(
                          reply.code, reply.bytes.data(), std::min(reply.length, ApduBufferSize)));
                      emit SamApduSent(reply);
                  });
}

std::uint32_t SamPage::DisconnectSam() {
    const std::uint32_t code = sam_.Disconnect(SelectedSlot());
    protocol_->clear();
    AppendLogLine(samLog_, "");
    return code;
}

void SamPage::ShowSelectedReader() {
    const ReaderRecord* record = session_.SelectedRecord();
    const bool connected = record != nullptr && record->Sam.Connected;
    shownReader_ = connected ? record->Name : "";
    EnabledSAMComponent(connected);
    if (connected) {
        ShowSamProtocol();
    }
}

void SamPage::ReaderGone(ReaderRecord& reader) {
    if (!reader.Sam.Connected) {
        return;
    }
    sam_.Disconnect(reader.Sam);
    AppendLogLine(samLog_, "");
    if (reader.Name == shownReader_) {
        protocol_->clear();
        EnabledSAMComponent(false);
        shownReader_.clear();
    }
}

QPushButton* SamPage::EnterButton(const QWidget* focus) const {
    if (focus == nullptr || !isAncestorOf(focus)) {
        return nullptr;
    }
    if (std::find(edits_.begin(), edits_.end(), focus) != edits_.end()) {
        return send_->isVisibleTo(this) ? send_ : nullptr;
    }
    return send_->isVisibleTo(this) ? nullptr : connect_;
}

void SamPage::SAMConnectBtnClick() {
    SAMConnectCard();
}

void SamPage::BitBtnSAMSendClick() {
    SendSamApdu();
}

void SamPage::SAMDisconnectBtnClick() {
    DisconnectSam();
    EnabledSAMComponent(false);
    shownReader_.clear();
}

void SamPage::SAMClearClick() {
    samLog_.ClearLog();
}

void SamPage::SAMCLAChange() {
    binder_->Change(FieldCla);
}
void SamPage::SAMINSChange() {
    binder_->Change(FieldIns);
}
void SamPage::SAMP1Change() {
    binder_->Change(FieldP1);
}
void SamPage::SAMP2Change() {
    binder_->Change(FieldP2);
}
void SamPage::SAMLcChange() {
    binder_->Change(FieldLc);
}
void SamPage::SAMDataChange() {
    binder_->Change(FieldData);
}
void SamPage::SAMLeChange() {
    binder_->Change(FieldLe);
}

void SamPage::SAMINSKeyDown(int key) {
    binder_->KeyDown(FieldIns, key);
}
void SamPage::SAMP1KeyDown(int key) {
    binder_->KeyDown(FieldP1, key);
}
void SamPage::SAMP2KeyDown(int key) {
    binder_->KeyDown(FieldP2, key);
}
void SamPage::SAMLcKeyDown(int key) {
    binder_->KeyDown(FieldLc, key);
}
void SamPage::SAMDataKeyDown(int key) {
    binder_->KeyDown(FieldData, key);
}
void SamPage::SAMLeKeyDown(int key) {
    binder_->KeyDown(FieldLe, key);
}

void SamPage::SAMCLAExit() {
    binder_->Exit(FieldCla);
}
void SamPage::SAMINSExit() {
    binder_->Exit(FieldIns);
}
void SamPage::SAMP1Exit() {
    binder_->Exit(FieldP1);
}
void SamPage::SAMP2Exit() {
    binder_->Exit(FieldP2);
}
void SamPage::SAMLcExit() {
    binder_->Exit(FieldLc);
}
void SamPage::SAMDataExit() {
    binder_->Exit(FieldData);
}
void SamPage::SAMLeExit() {
    binder_->Exit(FieldLe);
}
