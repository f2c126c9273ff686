#include "simwindow/ContactlessPanel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <mutex>

#include "sim/SimCardFactory.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimSectorKey.h"

namespace {
const QString kFactoryKey = QStringLiteral("FF FF FF FF FF FF");

int SectorsOf(SimCardKind kind) {
    const auto size = SimMifareClassic::SizeOf(kind);
    return size ? SimMifareClassic::SectorCount(*size) : 0;
}
}  // namespace

ContactlessPanel::ContactlessPanel(SimCardLibrary& cards, QWidget* parent)
    : QWidget(parent), cards_(cards) {
    reader_ = new QComboBox(this);
    reader_->setObjectName(QStringLiteral("SimClReader"));
    const std::vector<std::string>& readers = cards_.Readers();
    for (const std::string& name : readers) {
        reader_->addItem(QString::fromStdString(name));
    }
    const int contactless =
        reader_->findText(QString::fromLatin1(SimCardLibrary::ContactlessReaderName));
    reader_->setCurrentIndex(contactless >= 0 ? contactless : reader_->count() - 1);

    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("SimClKind"));
    for (const SimCardKind kind : kContactlessSimCardKinds) {
        kind_->addItem(QString::fromLatin1(SimCardKindName(kind)), static_cast<int>(kind));
    }
    kind_->setCurrentIndex(kind_->findData(static_cast<int>(SimCardKind::Mifare1K)));

    keys_ = new QTableWidget(0, 2, this);
    keys_->setObjectName(QStringLiteral("SimClKeys"));
    keys_->setHorizontalHeaderLabels({tr("Key A"), tr("Key B")});
    keys_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto* insert = new QPushButton(tr("Insert"), this);
    insert->setObjectName(QStringLiteral("SimClInsert"));
    auto* remove = new QPushButton(tr("Remove"), this);
    remove->setObjectName(QStringLiteral("SimClRemove"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("SimClStatus"));

    auto* form = new QFormLayout;
    form->addRow(tr("Reader:"), reader_);
    form->addRow(tr("Card:"), kind_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(insert);
    buttons->addWidget(remove);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("Sector keys (MIFARE Classic):"), this));
    layout->addWidget(keys_, 1);
    layout->addLayout(buttons);

    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { ShowSectors(); });
    connect(reader_, &QComboBox::currentIndexChanged, this, [this] { ShowStatus(); });
    connect(insert, &QPushButton::clicked, this, [this] { InsertCard(); });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveCard(); });
    ShowSectors();
    ShowStatus();
}

// One row per sector, each key as the factory gives it; keys already typed stay.
void ContactlessPanel::ShowSectors() {
    const int sectors = SectorsOf(static_cast<SimCardKind>(kind_->currentData().toInt()));
    const int before = keys_->rowCount();
    keys_->setRowCount(sectors);
    for (int row = before; row < sectors; ++row) {
        keys_->setVerticalHeaderItem(row, new QTableWidgetItem(tr("Sector %1").arg(row)));
        keys_->setItem(row, 0, new QTableWidgetItem(kFactoryKey));
        keys_->setItem(row, 1, new QTableWidgetItem(kFactoryKey));
    }
    keys_->setEnabled(sectors > 0);
}

void ContactlessPanel::InsertCard() {
    const auto kind = static_cast<SimCardKind>(kind_->currentData().toInt());
    auto card = MakeSimCard(kind);
    for (int row = 0; row < keys_->rowCount(); ++row) {
        for (int column = 0; column < 2; ++column) {
            const QChar type = column == 0 ? QLatin1Char('A') : QLatin1Char('B');
            QString digits = keys_->item(row, column)->text();
            digits.remove(QLatin1Char(' '));
            const auto key = ParseSimSectorKey(
                QStringLiteral("%1:%2:%3").arg(row).arg(type).arg(digits).toStdString());
            if (!key) {
                status_->setText(tr("Sector %1 key %2 is not 6 hex bytes").arg(row).arg(type));
                return;
            }
            ApplySimSectorKey(*card, *key);
        }
    }
    {
        std::lock_guard lock(cards_.SharedLock());
        cards_.InsertCard(reader_->currentIndex(), std::move(card));
    }
    ShowStatus();
}

void ContactlessPanel::RemoveCard() {
    {
        std::lock_guard lock(cards_.SharedLock());
        cards_.RemoveCard(reader_->currentIndex());
    }
    ShowStatus();
}

void ContactlessPanel::ShowStatus() {
    std::lock_guard lock(cards_.SharedLock());
    const SimCard* card = cards_.CardIn(reader_->currentIndex());
    status_->setText(
        card == nullptr
            ? tr("No card")
            : tr("Inserted: %1").arg(QString::fromLatin1(SimCardKindName(card->Kind()))));
}
