#include "gui/properties/ReaderPropertiesForm.h"

#include <QClipboard>
#include <QDateTime>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <cstdio>

#include "core/common/Conversions.h"
#include "core/session/ReaderControl.h"
#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"
#include "gui/Mnemonics.h"
#include "gui/ReaderNameText.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/ApduEdits.h"
#include "gui/apdu/FieldBinder.h"
#include "insight/PcscCodeNames.h"
#include "insight/ReaderFeatures.h"
#include "report/ReaderPropertiesReport.h"

namespace {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* MakeLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    LabelField(label, buddy);
    return label;
}

}  // namespace

std::optional<std::string> ParseControlData(const std::string& text,
                                            std::vector<std::uint8_t>& data) {
    data.clear();
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        if (data.size() == ApduBufferSize) {
            return std::string("DATA Too Long!");
        }
        std::uint8_t byte = 0;
        if (!HexPairToByte(text.data() + i, byte)) {
            return std::string("DATA Input Error");
        }
        data.push_back(byte);
    }
    return std::nullopt;
}

ReaderPropertiesForm::ReaderPropertiesForm(ReaderControlFactory& controls, MessageBoxes& boxes,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), controls_(controls), boxes_(boxes) {
    setObjectName(QStringLiteral("ReaderProperties"));
    setWindowTitle(tr("Reader Properties"));
    CreateWidgets();
    ConnectWidgets();
}

ReaderPropertiesForm::~ReaderPropertiesForm() {
    if (worker_ != nullptr) {
        worker_->wait();
        delete worker_;
    }
}

void ReaderPropertiesForm::CreateWidgets() {
    resize(640, 640);
    readerLabel_ = new QLabel(this);
    readerLabel_->setObjectName(QStringLiteral("PropertiesReader"));
    readerLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("PropertiesStatus"));
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("PropertiesTable"));
    table_->setHorizontalHeaderLabels({tr("Section"), tr("Item"), tr("Value")});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAccessibleName(tr("Reader properties"));
    refresh_ = MakeButton("RefreshBtn", tr("&Refresh"), this);
    copy_ = MakeButton("CopyBtn", tr("&Copy"), this);
    save_ = MakeButton("SaveBtn", tr("&Save…"), this);

    auto* control = new QGroupBox(tr("Control"), this);
    control->setObjectName(QStringLiteral("ControlGroup"));
    code_ = CreateApduEdit(QStringLiteral("ControlCode"), control);
    code_->setToolTip(tr("A vendor function n (SCARD_CTL_CODE(n)) or a full control code"));
    data_ = CreateApduEdit(QStringLiteral("ControlData"), control);
    dataRules_ = new FieldBinder(
        FieldRules({{std::nullopt, std::nullopt, std::nullopt, FieldAdvance::Never}}), {data_},
        this);
    send_ = MakeButton("ControlSend", tr("Se&nd"), control);
    SetHint(send_, tr("Send the control command to the reader"));
    log_ = new ResponseLogEdit(QStringLiteral("ControlLog"), controlLog_, control);
    log_->setAccessibleName(tr("Control log"));
    log_->setTabChangesFocus(true);

    auto* grid = new QGridLayout(control);
    grid->addWidget(MakeLabel(tr("Control c&ode:"), code_, control), 0, 0);
    grid->addWidget(code_, 0, 1);
    grid->addWidget(MakeLabel(tr("&Data:"), data_, control), 1, 0);
    grid->addWidget(data_, 1, 1);
    grid->addWidget(send_, 1, 2);
    grid->addWidget(log_, 2, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh_);
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(readerLabel_);
    layout->addWidget(statusLabel_);
    layout->addWidget(table_, 3);
    layout->addLayout(buttons);
    layout->addWidget(control, 2);
}

void ReaderPropertiesForm::ConnectWidgets() {
    connect(refresh_, &QPushButton::clicked, this, &ReaderPropertiesForm::RefreshBtnClick);
    connect(copy_, &QPushButton::clicked, this, &ReaderPropertiesForm::CopyBtnClick);
    connect(save_, &QPushButton::clicked, this, &ReaderPropertiesForm::SaveBtnClick);
    connect(send_, &QPushButton::clicked, this, &ReaderPropertiesForm::ControlSendClick);
    connect(data_, &QLineEdit::returnPressed, send_, &QPushButton::click);
}

void ReaderPropertiesForm::ShowReader(const std::string& reader) {
    const bool otherReader = reader != reader_;
    reader_ = reader;
    readerLabel_->setText(tr("Reader: %1").arg(ReaderNameText(reader.c_str())));
    if (otherReader) {
        code_->clear();
    }
    show();
    raise();
    activateWindow();
    RefreshBtnClick();
}

void ReaderPropertiesForm::RefreshBtnClick() {
    if (Busy()) {
        refreshPending_ = true;
        return;
    }
    statusLabel_->setText(tr("Reading the reader…"));
    auto control = std::shared_ptr<ReaderControl>(controls_.Create());
    auto report = std::make_shared<ReaderReport>();
    const std::string reader = reader_;
    RunJob([control, report, reader] { *report = ReadReaderReport(*control, reader); },
           [this, report] {
               report_ = std::move(*report);
               ShowReport();
           });
}

void ReaderPropertiesForm::ShowReport() {
    table_->setRowCount(0);
    if (report_.openCode != 0) {
        statusLabel_->setText(
            tr("Connect failed: %1").arg(QString::fromStdString(PcscCodeText(report_.openCode))));
    } else {
        statusLabel_->setText(report_.access == ReaderAccess::Shared
                                  ? tr("Connected shared: a card is in the reader.")
                                  : tr("Connected directly: no card in the reader."));
    }
    for (const ReaderReportRow& row : report_.rows) {
        const int at = table_->rowCount();
        table_->insertRow(at);
        table_->setItem(at, 0, new QTableWidgetItem(QString::fromStdString(row.section)));
        table_->setItem(at, 1, new QTableWidgetItem(QString::fromStdString(row.name)));
        table_->setItem(at, 2, new QTableWidgetItem(QString::fromStdString(row.value)));
    }
    table_->resizeColumnsToContents();
    if (code_->text().isEmpty() && report_.openCode == 0) {
        code_->setText(report_.escapeCode
                           ? QString::fromStdString(ControlCodeText(*report_.escapeCode))
                           : QString::number(kCcidEscapeFunction));
    }
}

void ReaderPropertiesForm::CopyBtnClick() {
    QGuiApplication::clipboard()->setText(QString::fromStdString(ReaderReportText(report_)));
}

void ReaderPropertiesForm::SaveBtnClick() {
    const QString path =
        chooseFile_(this, SuggestedLogPath(tr("Reader Properties"), QDateTime::currentDateTime()));
    if (path.isEmpty()) {
        return;
    }
    std::vector<std::string> lines;
    const QStringList text = QString::fromStdString(ReaderReportText(report_)).split(u'\n');
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {  // the text ends with a line break
        lines.push_back(text[i].toStdString());
    }
    if (const auto failure = SaveLogFile(path, lines)) {
        boxes_.ShowError(*failure);
    }
}

void ReaderPropertiesForm::ControlSendClick() {
    if (Busy()) {
        return;
    }
    const auto number = ParseControlCodeNumber(code_->text().trimmed().toStdString());
    if (!number) {
        boxes_.ShowError("Control Code Input Error");
        return;
    }
    auto data = std::make_shared<std::vector<std::uint8_t>>();
    if (const auto fault = ParseControlData(data_->text().toLatin1().toStdString(), *data)) {
        boxes_.ShowError(*fault);
        return;
    }
    auto control = std::shared_ptr<ReaderControl>(controls_.Create());
    const std::uint32_t code = ResolveControlCode(*control, *number);
    auto exchange = std::make_shared<ControlExchange>();
    const std::string reader = reader_;
    RunJob([control, exchange, reader, code,
            data] { *exchange = RunControlExchange(*control, reader, code, *data); },
           [this, exchange, data] { ShowControlExchange(*exchange, *data); });
}

void ReaderPropertiesForm::ShowControlExchange(const ControlExchange& exchange,
                                               const std::vector<std::uint8_t>& data) {
    AppendControlCommand(controlLog_, exchange.code, data);
    if (exchange.result != 0) {
        boxes_.ShowError(ControlRefusalText(exchange, report_.usb));
    }
    AppendControlOutcome(controlLog_, exchange);
}

void ReaderPropertiesForm::RunJob(std::function<void()> work, std::function<void()> done) {
    worker_ = QThread::create(std::move(work));
    worker_->setObjectName(QStringLiteral("ReaderPropertiesWorker"));
    connect(worker_, &QThread::finished, this, [this, done = std::move(done)] {
        worker_->deleteLater();
        worker_ = nullptr;
        done();
        UpdateButtons();
        emit JobFinished();
        if (refreshPending_) {
            refreshPending_ = false;
            RefreshBtnClick();
        }
    });
    UpdateButtons();
    worker_->start();
}

void ReaderPropertiesForm::UpdateButtons() {
    refresh_->setEnabled(!Busy());
    send_->setEnabled(!Busy());
}
