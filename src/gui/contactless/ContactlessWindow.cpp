#include "gui/contactless/ContactlessWindow.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/MessageBoxes.h"
#include "gui/ResponseLogEdit.h"
#include "gui/contactless/ContactlessWorker.h"

namespace {

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QTableWidget* Table(const char* name, const QStringList& headers, QWidget* parent) {
    auto* table = Named(new QTableWidget(0, static_cast<int>(headers.size()), parent), name);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return table;
}

QLineEdit* HexEdit(const char* name, int bytes, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setPlaceholderText(QStringLiteral("%1 bytes, hex").arg(bytes));
    return edit;
}

ContactlessFileChooser SaveDialog(QWidget* parent) {
    return [parent](const QString& caption, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
    };
}

ContactlessFileChooser OpenDialog(QWidget* parent) {
    return [parent](const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
}

}  // namespace

ContactlessWindow::ContactlessWindow(CardLibraryFactory libraries, MessageBoxes& boxes,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window),
      worker_(std::make_unique<ContactlessWorker>(std::move(libraries))),
      boxes_(boxes),
      chooseSave_(SaveDialog(this)),
      chooseOpen_(OpenDialog(this)) {
    setObjectName(QStringLiteral("ContactlessWindow"));
    setWindowTitle(tr("Contactless"));
    CreateWidgets();
    ConnectWidgets();
    SetBusy(false);
}

ContactlessWindow::~ContactlessWindow() {
    worker_.reset();  // ends the job under way before the widgets go
}

void ContactlessWindow::CreateWidgets() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateCardBox());

    auto* buttons = new QHBoxLayout;
    readCard_ = Named(new QPushButton(tr("&Read card"), this), "ReadCardBtn");
    keyFile_ = Named(new QPushButton(tr("&Key file…"), this), "KeyFileBtn");
    probe_ = Named(new QPushButton(tr("&Probe reader"), this), "ProbeBtn");
    saveDump_ = Named(new QPushButton(tr("Save &dump…"), this), "SaveDumpBtn");
    loadDump_ = Named(new QPushButton(tr("&Load dump…"), this), "LoadDumpBtn");
    writeDump_ = Named(new QPushButton(tr("Write dump &back"), this), "WriteDumpBtn");
    for (QPushButton* button : {readCard_, keyFile_, probe_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    for (QPushButton* button : {saveDump_, loadDump_, writeDump_}) {
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    auto* splitter = Named(new QSplitter(Qt::Vertical, this), "ContactlessSplitter");
    tabs_ = Named(new QTabWidget(splitter), "ContactlessTabs");
    tabs_->addTab(CreateClassicPage(), tr("MIFARE Classic"));
    tabs_->addTab(CreatePagesPage(), tr("Ultralight / NTAG"));
    tabs_->addTab(CreateProbePage(), tr("Reader"));
    log_ = new ResponseLogEdit(QStringLiteral("ContactlessLog"), splitter);
    splitter->addWidget(tabs_);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    logTimer_ = Named(new QTimer(this), "LogTimer");
    logTimer_->setInterval(kLogRefreshMs);
    resize(1000, 820);
}

QWidget* ContactlessWindow::CreateCardBox() {
    auto* box = Named(new QGroupBox(tr("Card"), this), "CardBox");
    auto* form = new QGridLayout(box);
    readerLabel_ = Named(new QLabel(box), "ReaderLabel");
    uid_ = Named(new QLabel(box), "UidLabel");
    ats_ = Named(new QLabel(box), "AtsLabel");
    sak_ = Named(new QLabel(box), "SakLabel");
    atqa_ = Named(new QLabel(box), "AtqaLabel");
    cardName_ = Named(new QLabel(box), "CardNameLabel");
    layout_ = Named(new QLabel(box), "LayoutLabel");
    const std::pair<QString, QLabel*> rows[] = {{tr("Reader:"), readerLabel_},
                                                {tr("Card:"), cardName_},
                                                {tr("Memory:"), layout_},
                                                {tr("UID:"), uid_},
                                                {tr("ATS:"), ats_},
                                                {tr("SAK:"), sak_},
                                                {tr("ATQA:"), atqa_}};
    int row = 0;
    for (const auto& [caption, label] : rows) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int column = row < 3 ? 0 : 2;
        form->addWidget(new QLabel(caption, box), row < 3 ? row : row - 3, column);
        form->addWidget(label, row < 3 ? row : row - 3, column + 1);
        ++row;
    }
    form->setColumnStretch(1, 2);
    form->setColumnStretch(3, 1);
    return box;
}

QWidget* ContactlessWindow::CreateClassicPage() {
    auto* page = new QWidget(this);
    auto* layout = new QGridLayout(page);

    auto* keys = new QGroupBox(tr("Keys"), page);
    keyList_ = Named(new QListWidget(keys), "KeyList");
    keyList_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* keysLayout = new QVBoxLayout(keys);
    keysLayout->addWidget(keyList_);
    sectorGrid_ = Table("SectorGrid", {tr("Sector"), tr("Blocks"), tr("Opened by")}, page);
    blockTable_ = Table("BlockTable", {tr("Block"), tr("Hex"), tr("Text"), tr("Meaning")}, page);
    accessTable_ = Table("AccessTable", {tr("Block"), tr("C1 C2 C3"), tr("Conditions")}, page);
    accessCheck_ = Named(new QLabel(page), "AccessCheckLabel");

    auto* write = new QGroupBox(tr("Write"), page);
    block_ = Named(new QSpinBox(write), "BlockSpin");
    blockData_ = HexEdit("BlockDataEdit", 16, write);
    writeBlock_ = Named(new QPushButton(tr("&Write block"), write), "WriteBlockBtn");
    value_ = Named(new QLineEdit(write), "ValueEdit");
    storeValue_ = Named(new QPushButton(tr("&Store"), write), "StoreValueBtn");
    increment_ = Named(new QPushButton(tr("&Increment"), write), "IncrementBtn");
    decrement_ = Named(new QPushButton(tr("D&ecrement"), write), "DecrementBtn");
    keyA_ = HexEdit("KeyAEdit", 6, write);
    accessBits_ = HexEdit("AccessBitsEdit", 4, write);
    keyB_ = HexEdit("KeyBEdit", 6, write);
    writeTrailer_ = Named(new QPushButton(tr("Write &trailer"), write), "WriteTrailerBtn");
    auto* writeLayout = new QGridLayout(write);
    writeLayout->addWidget(new QLabel(tr("Block:"), write), 0, 0);
    writeLayout->addWidget(block_, 0, 1);
    writeLayout->addWidget(blockData_, 0, 2, 1, 3);
    writeLayout->addWidget(writeBlock_, 0, 5);
    writeLayout->addWidget(new QLabel(tr("Value:"), write), 1, 0);
    writeLayout->addWidget(value_, 1, 1, 1, 2);
    writeLayout->addWidget(storeValue_, 1, 3);
    writeLayout->addWidget(increment_, 1, 4);
    writeLayout->addWidget(decrement_, 1, 5);
    writeLayout->addWidget(new QLabel(tr("Trailer:"), write), 2, 0);
    writeLayout->addWidget(keyA_, 2, 1, 1, 2);
    writeLayout->addWidget(accessBits_, 2, 3);
    writeLayout->addWidget(keyB_, 2, 4);
    writeLayout->addWidget(writeTrailer_, 2, 5);

    layout->addWidget(keys, 0, 0);
    layout->addWidget(sectorGrid_, 1, 0);
    layout->addWidget(blockTable_, 0, 1, 2, 1);
    layout->addWidget(accessTable_, 2, 0);
    layout->addWidget(accessCheck_, 3, 0);
    layout->addWidget(write, 2, 1, 2, 1);
    layout->setColumnStretch(1, 2);
    return page;
}

QWidget* ContactlessWindow::CreatePagesPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    pageTable_ = Table("PageTable", {tr("Page"), tr("Hex"), tr("Text"), tr("Meaning")}, page);
    ndefTable_ = Table("NdefTable", {tr("Record"), tr("Type"), tr("Value")}, page);
    page_ = Named(new QSpinBox(page), "PageSpin");
    pageData_ = HexEdit("PageDataEdit", 4, page);
    writePage_ = Named(new QPushButton(tr("Write &page"), page), "WritePageBtn");
    auto* write = new QHBoxLayout;
    write->addWidget(new QLabel(tr("Page:"), page));
    write->addWidget(page_);
    write->addWidget(pageData_, 1);
    write->addWidget(writePage_);
    layout->addWidget(pageTable_, 2);
    layout->addWidget(new QLabel(tr("NDEF message:"), page));
    layout->addWidget(ndefTable_, 1);
    layout->addLayout(write);
    return page;
}

QWidget* ContactlessWindow::CreateProbePage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    probeReport_ = Named(new QPlainTextEdit(page), "ProbeReport");
    probeReport_->setReadOnly(true);
    probeReport_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    saveProbe_ = Named(new QPushButton(tr("Sa&ve"), page), "SaveProbeBtn");
    layout->addWidget(probeReport_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(saveProbe_);
    layout->addLayout(row);
    return page;
}

void ContactlessWindow::ConnectWidgets() {
    const std::pair<QPushButton*, void (ContactlessWindow::*)()> clicks[] = {
        {readCard_, &ContactlessWindow::ReadCardBtnClick},
        {keyFile_, &ContactlessWindow::KeyFileBtnClick},
        {probe_, &ContactlessWindow::ProbeBtnClick},
        {saveProbe_, &ContactlessWindow::SaveProbeBtnClick},
        {writeBlock_, &ContactlessWindow::WriteBlockBtnClick},
        {storeValue_, &ContactlessWindow::StoreValueBtnClick},
        {increment_, &ContactlessWindow::IncrementBtnClick},
        {decrement_, &ContactlessWindow::DecrementBtnClick},
        {writeTrailer_, &ContactlessWindow::WriteTrailerBtnClick},
        {writePage_, &ContactlessWindow::WritePageBtnClick},
        {saveDump_, &ContactlessWindow::SaveDumpBtnClick},
        {loadDump_, &ContactlessWindow::LoadDumpBtnClick},
        {writeDump_, &ContactlessWindow::WriteDumpBtnClick}};
    for (const auto& [button, handler] : clicks) {
        connect(button, &QPushButton::clicked, this, handler);
    }
    connect(logTimer_, &QTimer::timeout, this, &ContactlessWindow::LogTimerTimer);
}

void ContactlessWindow::SetReader(const QString& reader) {
    reader_ = reader;
    readerLabel_->setText(reader);
    setWindowTitle(tr("Contactless — %1").arg(reader));
}

void ContactlessWindow::LogTimerTimer() {
    ResponseLogModel* model = log_->Model();
    for (const std::string& line : worker_->Log().Take()) {
        model->AppendLine(line);
    }
}

void ContactlessWindow::SetBusy(bool busy) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             readCard_, keyFile_, probe_, saveDump_, loadDump_, writeDump_, writeBlock_,
             storeValue_, increment_, decrement_, writeTrailer_, writePage_}) {
        control->setEnabled(!busy);
    }
    if (busy) {
        logTimer_->start();
    } else {
        logTimer_->stop();
        LogTimerTimer();
    }
}

void ContactlessWindow::ReadCardBtnClick() {}
void ContactlessWindow::KeyFileBtnClick() {}
void ContactlessWindow::ProbeBtnClick() {}
void ContactlessWindow::SaveProbeBtnClick() {}
void ContactlessWindow::WriteBlockBtnClick() {}
void ContactlessWindow::StoreValueBtnClick() {}
void ContactlessWindow::IncrementBtnClick() {}
void ContactlessWindow::DecrementBtnClick() {}
void ContactlessWindow::WriteTrailerBtnClick() {}
void ContactlessWindow::WritePageBtnClick() {}
void ContactlessWindow::SaveDumpBtnClick() {}
void ContactlessWindow::LoadDumpBtnClick() {}
void ContactlessWindow::WriteDumpBtnClick() {}
