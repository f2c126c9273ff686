#include "gui/apdu/CpuCardPage.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/apdu/CardExchange.h"
#include "core/apdu/CpuCardFields.h"
#include "core/session/ReaderSession.h"
#include "gui/Mnemonics.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/ApduConsole.h"
#include "gui/apdu/ApduEdits.h"
#include "gui/apdu/ClickableLabel.h"
#include "gui/apdu/FieldBinder.h"
#include "insight/InsightText.h"

namespace {

QLabel* CreateBuddyLabel(const QString& objectName, const QString& caption, QWidget* buddy,
                         QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    LabelField(label, buddy);
    return label;
}

// The fields' named handlers, in field order; CLA has no key handler.
constexpr std::array<FieldSlots<CpuCardPage>, 7> kFieldSlots{{
    {&CpuCardPage::CLAChange, nullptr, &CpuCardPage::CLAExit},
    {&CpuCardPage::INSChange, &CpuCardPage::INSKeyDown, &CpuCardPage::INSExit},
    {&CpuCardPage::P1Change, &CpuCardPage::P1KeyDown, &CpuCardPage::P1Exit},
    {&CpuCardPage::P2Change, &CpuCardPage::P2KeyDown, &CpuCardPage::P2Exit},
    {&CpuCardPage::LcChange, &CpuCardPage::LcKeyDown, &CpuCardPage::LcExit},
    {&CpuCardPage::DATAChange, &CpuCardPage::DATAKeyDown, &CpuCardPage::DATAExit},
    {&CpuCardPage::LeChange, &CpuCardPage::LeKeyDown, &CpuCardPage::LeExit},
}};

// Room for `characters` digits in the field's font.
void SetFieldWidth(QLineEdit* edit, int characters) {
    const int digit = edit->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    edit->setFixedWidth(digit * (characters + 1) + 12);
}

}  // namespace

CpuCardPage::CpuCardPage(ReaderSession& session, MessageBoxes& boxes, ResponseLogModel& scardLog,
                         QWidget* parent)
    : QWidget(parent), session_(session), boxes_(boxes), scardLog_(scardLog) {
    setObjectName(QStringLiteral("SCardSheet"));
    CreateWidgets();
    ConnectWidgets();
}

void CpuCardPage::CreateWidgets() {
    for (const char* name : {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"}) {
        edits_.push_back(CreateApduEdit(QString::fromLatin1(name), this));
    }
    binder_ = new FieldBinder(CpuCardFieldRules(), edits_, this);
    for (ApduField field : {FieldCla, FieldIns, FieldP1, FieldP2}) {
        SetFieldWidth(edits_[field], 3);
    }
    SetFieldWidth(edits_[FieldLc], 6);
    SetFieldWidth(edits_[FieldLe], 6);

    auto* label1 = CreateBuddyLabel(QStringLiteral("Label1"), tr("CL&A:"), edits_[FieldCla], this);
    auto* label2 = CreateBuddyLabel(QStringLiteral("Label2"), tr("&INS:"), edits_[FieldIns], this);
    auto* label3 = CreateBuddyLabel(QStringLiteral("Label3"), tr("P&1:"), edits_[FieldP1], this);
    auto* label4 = CreateBuddyLabel(QStringLiteral("Label4"), tr("P&2:"), edits_[FieldP2], this);
    lcLabel_ = CreateBuddyLabel(QStringLiteral("Lc_P3Label"), tr("&Lc:"), edits_[FieldLc], this);
    auto* label6 =
        CreateBuddyLabel(QStringLiteral("Label6"), tr("Da&ta:"), edits_[FieldData], this);
    leLabel_ = CreateBuddyLabel(QStringLiteral("LeLabel"), tr("L&e:"), edits_[FieldLe], this);

    readerName_ = new ClickableLabel(tr("Reader Name:"), this);
    readerName_->setObjectName(QStringLiteral("LblReaderName"));
    QPalette palette = readerName_->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    readerName_->setPalette(palette);
    protocol_ = new QLabel(this);
    protocol_->setObjectName(QStringLiteral("Protocol"));

    send_ = new QPushButton(tr("&Send"), this);
    send_->setObjectName(QStringLiteral("SCardSend"));
    SetHint(send_, tr("Send APDU command to Card"));
    clear_ = new QPushButton(tr("Clear"), this);
    clear_->setObjectName(QStringLiteral("ScardClear"));
    scardRespon_ = new ResponseLogEdit(QStringLiteral("ScardRespon"), scardLog_, this);
    scardRespon_->setAccessibleName(tr("CPU card response"));
    scardRespon_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scardRespon_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scardRespon_->setTabChangesFocus(true);

    auto* top = new QHBoxLayout;
    top->addWidget(readerName_);
    top->addStretch();
    top->addWidget(new QLabel(tr("Protocol :"), this));
    top->addWidget(protocol_);

    auto* header = new QHBoxLayout;
    for (auto [label, field] : {std::pair<QLabel*, ApduField>{label1, FieldCla},
                                {label2, FieldIns},
                                {label3, FieldP1},
                                {label4, FieldP2},
                                {lcLabel_, FieldLc}}) {
        header->addWidget(label);
        header->addWidget(edits_[field]);
        header->addSpacing(8);
    }
    header->addStretch();

    auto* data = new QHBoxLayout;
    data->addWidget(label6);
    data->addWidget(edits_[FieldData], 1);

    auto* le = new QHBoxLayout;
    le->addWidget(leLabel_);
    le->addWidget(edits_[FieldLe]);
    le->addStretch();
    le->addWidget(send_);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(clear_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(header);
    layout->addLayout(data);
    layout->addLayout(le);
    layout->addWidget(new QLabel(tr("Response:"), this));
    layout->addWidget(scardRespon_, 1);
    layout->addLayout(bottom);

    QWidget* previous = edits_.front();
    for (QWidget* next : std::initializer_list<QWidget*>{
             edits_[FieldIns], edits_[FieldP1], edits_[FieldP2], edits_[FieldLc], edits_[FieldData],
             edits_[FieldLe], send_, scardRespon_, clear_}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void CpuCardPage::ConnectWidgets() {
    RouteFieldEvents(*binder_, this, kFieldSlots);
    connect(send_, &QPushButton::clicked, this, &CpuCardPage::SCardSendClick);
    connect(clear_, &QPushButton::clicked, this, &CpuCardPage::ScardClearClick);
    connect(readerName_, &ClickableLabel::clicked, this, &CpuCardPage::LblReaderNameClick);
}

void CpuCardPage::ApplyProtocolLayout(std::uint32_t protocol) {
    bool showLe = true;
    if (protocol == kProtocolT0) {
        lcLabel_->setText(tr("P&3:"));
        LabelField(lcLabel_, edits_[FieldLc]);
        binder_->SetMaxLength(FieldLc, kLcMaxLengthT0);
        showLe = false;
    } else if (protocol == kProtocolT1) {
        lcLabel_->setText(tr("&Lc:"));
        LabelField(lcLabel_, edits_[FieldLc]);
        binder_->SetMaxLength(FieldLc, kLcMaxLengthT1);
    } else {
        return;
    }
    leLabel_->setVisible(showLe);
    edits_[FieldLe]->setVisible(showLe);
}

void CpuCardPage::SetProtocolText(const QString& text) {
    protocol_->setText(text);
}

void CpuCardPage::SetReaderNameCaption(const QString& text) {
    readerName_->setText(text);
}

std::optional<std::vector<std::uint8_t>> CpuCardPage::CurrentCommand(QString& error) const {
    ApduBuffer command{};
    std::int32_t n = 0;
    if (const auto fault = ParseApduFields(ReadApduTexts(edits_), command, n)) {
        error = QString::fromStdString(*fault);
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(command.begin(), command.begin() + n);
}

void CpuCardPage::FocusCla() {
    edits_[FieldCla]->setFocus();
}

void CpuCardPage::SCardSendClick() {
    if (session_.CardBusy()) {
        return;
    }
    const ApduTexts texts = ReadApduTexts(edits_);
    SendCardApdu(texts, session_, boxes_, scardLog_, [this, &texts](const ApduReply& reply) {
        emit ExchangeStatus(ExchangeStatusText(reply.code, reply.bytes.data(),
                                               std::min(reply.length, ApduBufferSize)));
        ApduBuffer command{};
        std::int32_t n = 0;
        if (!ParseApduFields(texts, command, n)) {
            emit CardApduSent(std::vector<std::uint8_t>(command.begin(), command.begin() + n),
                              reply);
        }
    });
}

void CpuCardPage::ScardClearClick() {
    scardLog_.ClearLog();
}

void CpuCardPage::LblReaderNameClick() {
    edits_[FieldCla]->setText(QStringLiteral("00"));
    edits_[FieldIns]->setText(QStringLiteral("86"));
    edits_[FieldP1]->setText(QStringLiteral("00"));
    edits_[FieldP2]->setText(QStringLiteral("00"));
    edits_[FieldLc]->setText(QStringLiteral("08"));
    edits_[FieldData]->setText(QString());
    edits_[FieldLe]->setText(QString());
}

void CpuCardPage::CLAChange() {
    binder_->Change(FieldCla);
}
void CpuCardPage::INSChange() {
    binder_->Change(FieldIns);
}
void CpuCardPage::P1Change() {
    binder_->Change(FieldP1);
}
void CpuCardPage::P2Change() {
    binder_->Change(FieldP2);
}
void CpuCardPage::LcChange() {
    binder_->Change(FieldLc);
}
void CpuCardPage::DATAChange() {
    binder_->Change(FieldData);
}
void CpuCardPage::LeChange() {
    binder_->Change(FieldLe);
}

void CpuCardPage::INSKeyDown(int key) {
    binder_->KeyDown(FieldIns, key);
}
void CpuCardPage::P1KeyDown(int key) {
    binder_->KeyDown(FieldP1, key);
}
void CpuCardPage::P2KeyDown(int key) {
    binder_->KeyDown(FieldP2, key);
}
void CpuCardPage::LcKeyDown(int key) {
    binder_->KeyDown(FieldLc, key);
}
void CpuCardPage::DATAKeyDown(int key) {
    binder_->KeyDown(FieldData, key);
}
void CpuCardPage::LeKeyDown(int key) {
    binder_->KeyDown(FieldLe, key);
}

void CpuCardPage::CLAExit() {
    binder_->Exit(FieldCla);
}
void CpuCardPage::INSExit() {
    binder_->Exit(FieldIns);
}
void CpuCardPage::P1Exit() {
    binder_->Exit(FieldP1);
}
void CpuCardPage::P2Exit() {
    binder_->Exit(FieldP2);
}
void CpuCardPage::LcExit() {
    binder_->Exit(FieldLc);
}
void CpuCardPage::DATAExit() {
    binder_->Exit(FieldData);
}
void CpuCardPage::LeExit() {
    binder_->Exit(FieldLe);
}
