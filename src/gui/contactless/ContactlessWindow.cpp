#include "gui/contactless/ContactlessWindow.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
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
#include <algorithm>

#include "core/common/Conversions.h"
#include "core/contactless/AccessBits.h"
#include "core/contactless/MfdDump.h"
#include "core/contactless/Ndef.h"
#include "gui/MessageBoxes.h"
#include "gui/ResponseLogEdit.h"
#include "insight/ContactlessNames.h"
#include "insight/PcscCodeNames.h"
#include "insight/StatusWords.h"
#include "report/ContactlessReport.h"

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
    table->setWordWrap(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

QString Hex(const std::uint8_t* bytes, std::size_t n) {
    return QString::fromStdString(BytesToHexText(bytes, static_cast<std::int32_t>(n))).trimmed();
}

QString Hex(const Bytes& bytes) {
    return Hex(bytes.data(), bytes.size());
}

// Printable ASCII as itself, every other byte as '.'.
QString Text(const std::uint8_t* bytes, std::size_t n) {
    QString text;
    for (std::size_t i = 0; i < n; ++i) {
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? QChar(bytes[i]) : QLatin1Char('.');
    }
    return text;
}

// Exactly `size` bytes of hex, blanks allowed between the pairs.
std::optional<Bytes> ParseHex(const QString& text, std::size_t size) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    if (digits.size() != static_cast<qsizetype>(size * 2) ||
        bytes.size() != static_cast<qsizetype>(size) ||
        bytes.toHex().compare(digits.toLatin1(), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return Bytes(bytes.begin(), bytes.end());
}

QString Given(const std::optional<Bytes>& item) {
    return item ? Hex(*item) : QObject::tr("not given by the reader");
}

QString CandidateText(const std::optional<KeyCandidate>& key) {
    if (!key) {
        return QStringLiteral("no key");
    }
    return QStringLiteral("key %1 %2")
        .arg(key->type == KeyType::A ? QLatin1Char('A') : QLatin1Char('B'))
        .arg(QString::fromStdString(KeyText(key->key)));
}

// What went wrong in a step: the refusal, the library's code or the status word.
std::string StepText(const CardStep& step) {
    if (!step.refusal.empty()) {
        return step.refusal;
    }
    if (step.code != 0) {
        return PcscCodeText(step.code);
    }
    return StatusWordText(static_cast<std::uint8_t>(step.status >> 8),
                          static_cast<std::uint8_t>(step.status & 0xFF));
}

void SetRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(cells[column]);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table->setItem(row, column, item);
    }
}

QString ConditionBits(AccessCondition condition) {
    return QStringLiteral("%1 %2 %3")
        .arg((condition >> 2) & 1)
        .arg((condition >> 1) & 1)
        .arg(condition & 1);
}

QString Right(KeyRight right) {
    return QString::fromStdString(KeyRightText(right));
}

QString DataConditions(AccessCondition condition) {
    const DataBlockRights rights = DataRightsOf(condition);
    return QObject::tr("read %1; write %2; increment %3; decrement, transfer, restore %4")
        .arg(Right(rights.read), Right(rights.write), Right(rights.increment),
             Right(rights.decrementTransferRestore));
}

QString TrailerConditions(AccessCondition condition) {
    const TrailerRights rights = TrailerRightsOf(condition);
    QString text =
        QObject::tr(
            "key A: write %1; access bits: read %2, write %3; "
            "key B: read %4, write %5")
            .arg(Right(rights.writeKeyA), Right(rights.readAccessBits),
                 Right(rights.writeAccessBits), Right(rights.readKeyB), Right(rights.writeKeyB));
    if (rights.keyBReadable) {
        text += QObject::tr("; key B is readable data and cannot authenticate");
    }
    return text;
}

QString CheckText(bool valid) {
    return valid ? QObject::tr("Inverted bits: check passed")
                 : QObject::tr("Inverted bits: check failed, the chip refuses this sector");
}

// The image's bytes and sectors are those of its card type: what a loaded file must hold.
bool Consistent(const ClassicImage& image) {
    const ClassicLayout layout(image.type);
    if (image.bytes.size() != layout.ByteSize() ||
        image.sectors.size() != static_cast<std::size_t>(layout.SectorCount())) {
        return false;
    }
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        if (image.sectors[static_cast<std::size_t>(sector)].blockRead.size() !=
            static_cast<std::size_t>(layout.BlocksInSector(sector))) {
            return false;
        }
    }
    return true;
}

bool IsJson(const QString& path) {
    return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

bool WriteText(const QString& path, const std::string& text, std::string& error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.flush()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

std::optional<std::string> ReadText(const QString& path, std::string& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return std::nullopt;
    }
    return file.readAll().toStdString();
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
    stop_ = true;
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
    tabs_->addTab(CreateProbePage(), tr("Reader probe"));
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
    keyA_->setPlaceholderText(tr("key A, 6 bytes"));
    accessBits_->setPlaceholderText(tr("access bits, 4 bytes"));
    keyB_->setPlaceholderText(tr("key B, 6 bytes"));
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

    keyList_->setMaximumHeight(110);
    sectorGrid_->setMinimumWidth(380);
    accessTable_->setMinimumHeight(140);
    for (int column = 1; column < 5; ++column) {
        writeLayout->setColumnStretch(column, 1);
    }
    layout->addWidget(keys, 0, 0);
    layout->addWidget(sectorGrid_, 1, 0, 3, 1);
    layout->addWidget(blockTable_, 0, 1, 2, 1);
    layout->addWidget(accessTable_, 2, 1);
    layout->addWidget(accessCheck_, 3, 1);
    layout->addWidget(write, 4, 0, 1, 2);
    layout->setColumnStretch(1, 3);
    layout->setRowStretch(1, 3);
    layout->setRowStretch(2, 1);
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
    connect(sectorGrid_, &QTableWidget::currentCellChanged, this,
            [this](int row) { ShowSector(row); });
    ShowKeys();
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

void ContactlessWindow::RunJob(ContactlessWorker::Job job, std::function<void()> then) {
    SetBusy(true);
    worker_->Run(reader_.toStdString(), std::move(job), this,
                 [this, then = std::move(then)](const std::string& error) {
                     SetBusy(false);
                     if (!error.empty()) {
                         boxes_.ShowError(error);
                         return;
                     }
                     then();
                 });
}

void ContactlessWindow::ReadCardBtnClick() {
    struct Read {
        CardFacts facts;
        std::optional<ClassicImage> classic;
        std::optional<TagImage> tag;
    };
    auto read = std::make_shared<Read>();
    RunJob(
        [read, keys = keys_, dialect = dialect_, stop = &stop_](ContactlessChannel& channel) {
            read->facts = ReadCardFacts(channel);
            if (const auto type = ClassicTypeOfFamily(read->facts.family)) {
                ClassicCard card(channel, dialect);
                read->classic = card.ReadCard(ClassicLayout(*type), keys, stop);
            } else if (read->facts.family == CardFamily::Ultralight) {
                read->tag = ReadTag(channel, read->facts.parsed->cardName);
            }
        },
        [this, read] {
            facts_ = read->facts;
            classic_ = read->classic;
            tag_ = read->tag;
            readKeys_.clear();
            if (classic_) {
                for (const SectorRead& sector : classic_->sectors) {
                    readKeys_.push_back(sector.openedBy);
                }
            }
            ShowFacts();
            ShowClassic();
            ShowTag();
            if (classic_ || tag_) {
                tabs_->setCurrentIndex(classic_ ? 0 : 1);
            }
            if (classic_ && classic_->failureCode != 0) {
                boxes_.ShowError("The card was not read to its end: " +
                                 PcscCodeText(classic_->failureCode));
            }
        });
}

void ContactlessWindow::ShowFacts() {
    const CardFacts& facts = *facts_;
    uid_->setText(Given(facts.uid));
    ats_->setText(Given(facts.ats));
    sak_->setText(Given(facts.sak));
    atqa_->setText(Given(facts.atqa));
    const auto summary = ContactlessSummary(facts.atr.data(), facts.atr.size());
    cardName_->setText(summary ? QString::fromStdString(*summary)
                               : tr("ATR %1: not a contactless card").arg(Hex(facts.atr)));
    if (classic_) {
        const ClassicLayout layout(classic_->type);
        layout_->setText(tr("%1: %2 sectors, %3 blocks, %4 bytes")
                             .arg(QString::fromUtf8(layout.Name()))
                             .arg(layout.SectorCount())
                             .arg(layout.BlockCount())
                             .arg(layout.ByteSize()));
    } else if (tag_) {
        const TagLayout& layout = tag_->layout;
        layout_->setText(tr("%1: %2 pages, user memory pages %3 to %4")
                             .arg(QString::fromUtf8(TagTypeName(layout.type)))
                             .arg(layout.pages)
                             .arg(layout.userFirst)
                             .arg(layout.userLast));
    } else {
        layout_->setText(tr("no memory layout known for this card"));
    }
}

void ContactlessWindow::ShowKeys() {
    keyList_->clear();
    for (const MifareKey& key : DefaultKeys()) {
        keyList_->addItem(tr("%1  default").arg(QString::fromStdString(KeyText(key))));
    }
    for (const MifareKey& key : keys_.keys) {
        keyList_->addItem(tr("%1  key file").arg(QString::fromStdString(KeyText(key))));
    }
    for (const KeyFile::SectorKey& key : keys_.sectorKeys) {
        keyList_->addItem(
            tr("%1  key file, sector %2 key %3")
                .arg(QString::fromStdString(KeyText(key.candidate.key)))
                .arg(key.sector)
                .arg(key.candidate.type == KeyType::A ? QLatin1Char('A') : QLatin1Char('B')));
    }
}

void ContactlessWindow::ShowClassic() {
    sectorGrid_->setRowCount(0);
    blockTable_->setRowCount(0);
    accessTable_->setRowCount(0);
    accessCheck_->clear();
    if (!classic_) {
        return;
    }
    const ClassicLayout layout(classic_->type);
    sectorGrid_->setRowCount(layout.SectorCount());
    blockTable_->setRowCount(layout.BlockCount());
    block_->setRange(0, layout.BlockCount() - 1);
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        const int first = layout.FirstBlock(sector);
        const SectorRead& read = classic_->sectors[static_cast<std::size_t>(sector)];
        SetRow(sectorGrid_, sector,
               {QString::number(sector),
                QStringLiteral("%1 to %2").arg(first).arg(layout.TrailerBlock(sector)),
                CandidateText(read.openedBy)});
        for (int block = first; block <= layout.TrailerBlock(sector); ++block) {
            const auto index = static_cast<std::size_t>(block - first);
            if (index >= read.blockRead.size() || !read.blockRead[index]) {
                SetRow(blockTable_, block, {QString::number(block), {}, {}, tr("not read")});
                continue;
            }
            const std::uint8_t* bytes =
                classic_->bytes.data() + static_cast<std::size_t>(block) * kClassicBlockSize;
            QString meaning = tr("data");
            if (ClassicLayout::IsManufacturerBlock(block)) {
                meaning = tr("manufacturer block: UID and maker's data");
            } else if (layout.IsTrailer(block)) {
                const AccessBits bits = DecodeAccessBits(bytes[6], bytes[7], bytes[8]);
                meaning = tr("trailer: key A (the card never returns it), access bits %1 (%2), "
                             "key B")
                              .arg(Hex(bytes + 6, 4),
                                   bits.inversionValid ? tr("check passed") : tr("check failed"));
            } else if (const auto value = DecodeValueBlock(bytes)) {
                meaning = tr("value %1, address %2").arg(value->value).arg(value->address);
            }
            SetRow(blockTable_, block,
                   {QString::number(block), Hex(bytes, kClassicBlockSize),
                    Text(bytes, kClassicBlockSize), meaning});
        }
    }
    sectorGrid_->setCurrentCell(0, 0);
    ShowSector(0);
}

void ContactlessWindow::ShowSector(int sector) {
    accessTable_->setRowCount(0);
    accessCheck_->clear();
    if (!classic_ || sector < 0 || sector >= static_cast<int>(classic_->sectors.size())) {
        return;
    }
    const ClassicLayout layout(classic_->type);
    const int trailer = layout.TrailerBlock(sector);
    block_->setValue(layout.FirstBlock(sector) == 0 ? 1 : layout.FirstBlock(sector));
    blockTable_->scrollToItem(blockTable_->item(layout.FirstBlock(sector), 0));
    const std::vector<bool>& read = classic_->sectors[static_cast<std::size_t>(sector)].blockRead;
    if (read.empty() || !read.back()) {
        accessCheck_->setText(tr("Trailer not read"));
        return;
    }
    const std::uint8_t* bytes =
        classic_->bytes.data() + static_cast<std::size_t>(trailer) * kClassicBlockSize;
    keyA_->setText(Hex(bytes, 6));
    accessBits_->setText(Hex(bytes + 6, 4));
    keyB_->setText(Hex(bytes + 10, 6));
    const AccessBits bits = DecodeAccessBits(bytes[6], bytes[7], bytes[8]);
    const int perGroup = layout.BlocksInSector(sector) == 4 ? 1 : 5;
    accessTable_->setRowCount(4);
    for (int group = 0; group < 3; ++group) {
        const int first = layout.FirstBlock(sector) + group * perGroup;
        SetRow(accessTable_, group,
               {perGroup == 1 ? tr("block %1").arg(first)
                              : tr("blocks %1 to %2").arg(first).arg(first + perGroup - 1),
                ConditionBits(bits.groups[group]), DataConditions(bits.groups[group])});
    }
    SetRow(accessTable_, 3,
           {tr("trailer %1").arg(trailer), ConditionBits(bits.groups[3]),
            TrailerConditions(bits.groups[3])});
    accessCheck_->setText(CheckText(bits.inversionValid));
}

void ContactlessWindow::ShowTag() {
    pageTable_->setRowCount(0);
    ndefTable_->setRowCount(0);
    if (!tag_) {
        return;
    }
    const TagLayout& layout = tag_->layout;
    page_->setRange(0, layout.pages - 1);
    page_->setValue(layout.userFirst);
    const int pages = std::min(tag_->pagesRead, static_cast<int>(tag_->bytes.size() / 4));
    pageTable_->setRowCount(pages);
    for (int page = 0; page < pages; ++page) {
        const std::uint8_t* bytes = tag_->bytes.data() + static_cast<std::size_t>(page) * 4;
        SetRow(pageTable_, page,
               {QString::number(page), Hex(bytes, 4), Text(bytes, 4),
                QString::fromUtf8(PageRoleName(RoleOfPage(layout, page)))});
    }
    std::string error;
    const auto tlv = FindNdefTlv(tag_->UserMemory(), error);
    NdefMessage message;
    if (tlv) {
        message = DecodeNdefMessage(*tlv);
    }
    static const QString kinds[] = {tr("URI"), tr("Text"), tr("MIME"), tr("other")};
    for (const NdefRecord& record : message.records) {
        const int row = ndefTable_->rowCount();
        ndefTable_->insertRow(row);
        SetRow(ndefTable_, row,
               {QString::number(row + 1), kinds[static_cast<int>(record.kind)],
                QString::fromStdString(RecordText(record))});
    }
    if (message.error) {
        error = *message.error;
    }
    if (!tlv && error.empty()) {
        error = "no NDEF message";
    }
    if (!error.empty()) {
        const int row = ndefTable_->rowCount();
        ndefTable_->insertRow(row);
        SetRow(ndefTable_, row, {{}, {}, QString::fromStdString(error)});
    }
}

void ContactlessWindow::KeyFileBtnClick() {
    const QString path =
        chooseOpen_(tr("Key file"), tr("Key files (*.keys *.dic *.txt);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    const auto text = ReadText(path, error);
    if (!text) {
        boxes_.ShowError("Cannot read " + path.toStdString() + ": " + error);
        return;
    }
    KeyFile keys = ParseKeyFile(*text);
    if (!keys.errors.empty()) {
        const KeyFileError& first = keys.errors.front();
        boxes_.ShowError(path.toStdString() + ", line " + std::to_string(first.line) + ": " +
                         first.message);
        return;
    }
    keys_ = std::move(keys);
    ShowKeys();
}

std::optional<KeyCandidate> ContactlessWindow::KeyForSector(int sector) const {
    const auto index = static_cast<std::size_t>(sector);
    if (index < readKeys_.size() && readKeys_[index]) {
        return readKeys_[index];
    }
    if (classic_ && index < classic_->sectors.size()) {
        return classic_->sectors[index].openedBy;
    }
    return std::nullopt;
}

std::optional<ContactlessWindow::BlockTarget> ContactlessWindow::ChosenBlock() {
    if (!classic_) {
        boxes_.ShowError("Read a MIFARE Classic card first.");
        return std::nullopt;
    }
    const ClassicLayout layout(classic_->type);
    const int block = block_->value();
    const int sector = layout.SectorOfBlock(block);
    const auto key = KeyForSector(sector);
    if (!key) {
        boxes_.ShowError("No key opened sector " + std::to_string(sector) +
                         ": load its key and read the card again.");
        return std::nullopt;
    }
    return BlockTarget{layout, block, *key};
}

void ContactlessWindow::ChangeBlock(const BlockTarget& target, const QString& what,
                                    std::function<CardStep(ClassicCard& card)> change) {
    struct Outcome {
        CardStep step;
        std::optional<BlockBytes> readBack;
    };
    auto outcome = std::make_shared<Outcome>();
    RunJob(
        [outcome, target, change = std::move(change),
         dialect = dialect_](ContactlessChannel& channel) {
            ClassicCard card(channel, dialect);
            outcome->step = change(card);
            BlockBytes bytes{};
            if (outcome->step.Ok() && card.ReadBlock(target.block, target.key, bytes).Ok()) {
                outcome->readBack = bytes;
            }
        },
        [this, outcome, target, what] {
            if (!outcome->step.Ok()) {
                boxes_.ShowError(tr("%1 not written: ").arg(what).toStdString() +
                                 StepText(outcome->step));
                return;
            }
            if (outcome->readBack && classic_ && classic_->type == target.layout.Type()) {
                const auto offset = static_cast<std::size_t>(target.block) * kClassicBlockSize;
                std::copy(outcome->readBack->begin(), outcome->readBack->end(),
                          classic_->bytes.begin() + static_cast<std::ptrdiff_t>(offset));
                const int sector = target.layout.SectorOfBlock(target.block);
                classic_->sectors[static_cast<std::size_t>(sector)]
                    .blockRead[static_cast<std::size_t>(target.block -
                                                        target.layout.FirstBlock(sector))] = true;
                const int row = sectorGrid_->currentRow();
                ShowClassic();
                sectorGrid_->setCurrentCell(row, 0);
            }
        });
}

void ContactlessWindow::WriteBlockBtnClick() {
    const auto target = ChosenBlock();
    if (!target) {
        return;
    }
    const auto data = ParseHex(blockData_->text(), kClassicBlockSize);
    if (!data) {
        boxes_.ShowError("The block's data must be 16 bytes in hex.");
        return;
    }
    BlockBytes bytes{};
    std::copy(data->begin(), data->end(), bytes.begin());
    ChangeBlock(*target, tr("Block %1").arg(target->block), [target, bytes](ClassicCard& card) {
        return card.WriteBlock(target->layout, target->block, target->key, bytes);
    });
}

void ContactlessWindow::ChangeValue(ValueOp op) {
    const auto target = ChosenBlock();
    if (!target) {
        return;
    }
    bool ok = false;
    const int value = value_->text().trimmed().toInt(&ok);
    if (!ok) {
        boxes_.ShowError("The value must be a whole number from -2147483648 to 2147483647.");
        return;
    }
    ChangeBlock(*target, tr("Value block %1").arg(target->block),
                [target, op, value](ClassicCard& card) {
                    return card.ChangeValue(target->layout, target->block, target->key, op, value);
                });
}

void ContactlessWindow::StoreValueBtnClick() {
    ChangeValue(ValueOp::Store);
}

void ContactlessWindow::IncrementBtnClick() {
    ChangeValue(ValueOp::Increment);
}

void ContactlessWindow::DecrementBtnClick() {
    ChangeValue(ValueOp::Decrement);
}

void ContactlessWindow::WriteTrailerBtnClick() {
    auto target = ChosenBlock();
    if (!target) {
        return;
    }
    const int sector = target->layout.SectorOfBlock(target->block);
    target->block = target->layout.TrailerBlock(sector);
    const auto keyA = ParseHex(keyA_->text(), 6);
    const auto access = ParseHex(accessBits_->text(), 4);
    const auto keyB = ParseHex(keyB_->text(), 6);
    if (!keyA || !access || !keyB) {
        boxes_.ShowError(
            "A trailer is key A (6 bytes), the access bits (4 bytes) and key B "
            "(6 bytes), in hex.");
        return;
    }
    BlockBytes trailer{};
    std::copy(keyA->begin(), keyA->end(), trailer.begin());
    std::copy(access->begin(), access->end(), trailer.begin() + 6);
    std::copy(keyB->begin(), keyB->end(), trailer.begin() + 10);
    const std::string where = "the trailer of sector " + std::to_string(sector);
    if (const auto refusal = TrailerWriteRefusal(trailer[6], trailer[7], trailer[8])) {
        boxes_.ShowError("Not writing " + where + ": " + *refusal);
        return;
    }
    if (!boxes_.AskYesNo("Write " + where + " (block " + std::to_string(target->block) +
                         ")?\nKey A " +
                         KeyText(MifareKey{trailer[0], trailer[1], trailer[2], trailer[3],
                                           trailer[4], trailer[5]}) +
                         ", access bits " + Hex(trailer.data() + 6, 4).toStdString() + ", key B " +
                         Hex(trailer.data() + 10, 6).toStdString() +
                         ".\nThe sector opens only with these keys afterwards.")) {
        return;
    }
    ChangeBlock(*target, tr("The trailer of sector %1").arg(sector),
                [target, sector, trailer](ClassicCard& card) {
                    return card.WriteTrailer(target->layout, sector, target->key, trailer);
                });
}

void ContactlessWindow::WritePageBtnClick() {
    if (!tag_) {
        boxes_.ShowError("Read an Ultralight or NTAG tag first.");
        return;
    }
    const int page = page_->value();
    if (const auto refusal = PageWriteRefusal(tag_->layout, page)) {
        boxes_.ShowError("Page " + std::to_string(page) + " not written: " + *refusal);
        return;
    }
    const auto data = ParseHex(pageData_->text(), 4);
    if (!data) {
        boxes_.ShowError("A page is 4 bytes in hex.");
        return;
    }
    auto exchange = std::make_shared<Exchange>();
    RunJob(
        [exchange, page, data = *data](ContactlessChannel& channel) {
            *exchange = WritePage(channel, page, data.data());
        },
        [this, exchange, page, data = *data] {
            if (!exchange->Ok()) {
                const std::uint16_t status = exchange->Status();
                boxes_.ShowError("Page " + std::to_string(page) + " not written: " +
                                 (exchange->code != 0
                                      ? PcscCodeText(exchange->code)
                                      : StatusWordText(static_cast<std::uint8_t>(status >> 8),
                                                       static_cast<std::uint8_t>(status & 0xFF))));
                return;
            }
            if (page < tag_->pagesRead) {
                std::copy(data.begin(), data.end(),
                          tag_->bytes.begin() + static_cast<std::ptrdiff_t>(page) * 4);
                ShowTag();
            }
        });
}

void ContactlessWindow::SaveDumpBtnClick() {
    if (!classic_) {
        boxes_.ShowError("Read a MIFARE Classic card first.");
        return;
    }
    const QString path =
        chooseSave_(tr("Save dump"), tr("MIFARE dump (*.mfd);;JSON with the keys (*.json)"));
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    const bool saved = IsJson(path) ? WriteText(path, ClassicImageJson(*classic_), error)
                                    : SaveMfd(path.toStdString(), *classic_, error);
    if (!saved) {
        boxes_.ShowError("Cannot save the dump to " + path.toStdString() + ": " + error);
    }
}

void ContactlessWindow::LoadDumpBtnClick() {
    const QString path =
        chooseOpen_(tr("Load dump"), tr("MIFARE dumps (*.mfd *.json);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    std::optional<ClassicImage> image;
    if (IsJson(path)) {
        if (const auto text = ReadText(path, error)) {
            image = ClassicImageFromJson(*text, error);
        }
    } else {
        image = LoadMfd(path.toStdString(), error);
    }
    if (image && !Consistent(*image)) {
        image.reset();
        error = "its blocks do not make up a whole card";
    }
    if (!image) {
        boxes_.ShowError("Cannot load the dump " + path.toStdString() + ": " + error);
        return;
    }
    classic_ = std::move(image);
    ShowClassic();
    tabs_->setCurrentIndex(0);
}

void ContactlessWindow::WriteDumpBtnClick() {
    if (!classic_) {
        boxes_.ShowError("Load a dump first.");
        return;
    }
    const ClassicLayout layout(classic_->type);
    std::vector<std::optional<KeyCandidate>> keys;
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        const std::uint8_t* trailer =
            classic_->bytes.data() +
            static_cast<std::size_t>(layout.TrailerBlock(sector)) * kClassicBlockSize;
        keys.push_back(KeyForSector(sector));
        if (!keys.back()) {
            continue;  // a sector no key opens is left alone
        }
        if (const auto refusal = TrailerWriteRefusal(trailer[6], trailer[7], trailer[8])) {
            boxes_.ShowError("Not writing the dump: the trailer of sector " +
                             std::to_string(sector) + ": " + *refusal);
            return;
        }
    }
    if (!boxes_.AskYesNo("Write the dump back to the card in " + reader_.toStdString() +
                         "?\nEvery sector a key opens is written, its trailer included.")) {
        return;
    }
    auto writes = std::make_shared<std::vector<DumpWrite>>();
    RunJob(
        [writes, dump = *classic_, keys, dialect = dialect_](ContactlessChannel& channel) {
            ClassicCard card(channel, dialect);
            *writes = WriteClassicImage(card, dump, keys);
        },
        [this, writes] {
            std::string failed;
            int written = 0;
            for (const DumpWrite& write : *writes) {
                if (write.step.Ok()) {
                    ++written;
                } else if (failed.size() < 400) {
                    failed +=
                        "\nblock " + std::to_string(write.block) + ": " + StepText(write.step);
                }
            }
            if (!failed.empty()) {
                boxes_.ShowError(std::to_string(written) +
                                 " blocks written; not written:" + failed);
            } else {
                boxes_.ShowInfo(std::to_string(written) + " blocks written.");
            }
        });
}

void ContactlessWindow::ProbeBtnClick() {
    auto report = std::make_shared<ProbeReport>();
    RunJob([report](ContactlessChannel& channel) { *report = ProbeReader(channel); },
           [this, report] {
               lastProbe_ = *report;
               dialect_ = report->dialect;
               probeReport_->setPlainText(QString::fromStdString(ProbeReportText(*report)));
               tabs_->setCurrentIndex(2);
           });
}

void ContactlessWindow::SaveProbeBtnClick() {
    if (!lastProbe_) {
        boxes_.ShowError("Probe the reader first.");
        return;
    }
    const QString path =
        chooseSave_(tr("Save the probe's report"), tr("Text (*.txt);;JSON (*.json)"));
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!WriteText(path, IsJson(path) ? ProbeReportJson(*lastProbe_) : ProbeReportText(*lastProbe_),
                   error)) {
        boxes_.ShowError("Cannot save the report to " + path.toStdString() + ": " + error);
    }
}
