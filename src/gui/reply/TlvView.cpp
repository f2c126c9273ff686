#include "gui/reply/TlvView.h"

#include <QAction>
#include <QBoxLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>

#include "core/tlv/BerTlv.h"
#include "gui/reply/HexView.h"

namespace {

enum Column { ColTag, ColName, ColValue };
// Per item: the node's offset, head length, size and path.
enum Role { RoleOffset = Qt::UserRole, RoleHead, RoleSize, RolePath };

}  // namespace

TlvView::TlvView(QWidget* parent) : QWidget(parent) {
    std::vector<std::string> errors;
    dictionary_ = LoadTlvDictionary({}, errors);
    CreateWidgets();
    ConnectWidgets();
    if (!errors.empty()) {
        QStringList lines;
        for (const std::string& error : errors) {
            lines.append(QString::fromStdString(error));
        }
        dictionaryErrors_->setText(lines.join(QLatin1Char('\n')));
        dictionaryErrors_->show();
    }
}

void TlvView::CreateWidgets() {
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("TlvTree"));
    tree_->setColumnCount(3);
    tree_->setHeaderLabels({tr("Tag"), tr("Name"), tr("Value")});
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
    copyPathAction_ = new QAction(tr("Copy path"), tree_);
    copyPathAction_->setObjectName(QStringLiteral("CopyPathAction"));
    tree_->addAction(copyPathAction_);
    notice_ = new QLabel;
    notice_->setObjectName(QStringLiteral("TlvNotice"));
    notice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice_->hide();
    dictionaryErrors_ = new QLabel;
    dictionaryErrors_->setObjectName(QStringLiteral("TlvDictionaryErrors"));
    dictionaryErrors_->hide();
    hex_ = new HexView;
    hex_->setObjectName(QStringLiteral("TlvHex"));
    copyPath_ = new QPushButton(tr("Copy path"));
    copyPath_->setObjectName(QStringLiteral("CopyPath"));

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(tree_, 1);
    leftLayout->addWidget(notice_, 1);
    leftLayout->addWidget(dictionaryErrors_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copyPath_);
    buttons->addStretch();
    leftLayout->addLayout(buttons);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(hex_);
    splitter->setStretchFactor(0, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    TlvTreeSelectionChange();
}

void TlvView::ConnectWidgets() {
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &TlvView::TlvTreeSelectionChange);
    connect(copyPath_, &QPushButton::clicked, this, &TlvView::CopyPathClick);
    connect(copyPathAction_, &QAction::triggered, this, &TlvView::CopyPathClick);
}

void TlvView::ShowData(const std::vector<std::uint8_t>& data) {
    const TlvTree decoded = DecodeBerTlv(data);
    tree_->clear();
    hex_->SetBytes(data);
    std::vector<std::uint32_t> parents;
    const bool shown = decoded.IsTlv() && !decoded.nodes.empty();
    if (shown) {
        AddNodes(decoded.nodes, nullptr, parents);
        tree_->expandAll();
    } else if (data.empty()) {
        notice_->setText(tr("No data"));
    } else {
        notice_->setText(
            QString::fromStdString(dictionary_.Describe(decoded.nodes.front(), parents).name));
    }
    tree_->setVisible(shown);
    notice_->setVisible(!shown);
    TlvTreeSelectionChange();
}

void TlvView::ShowReply(const std::vector<std::uint8_t>& reply) {
    const std::size_t data = reply.size() >= 2 ? reply.size() - 2 : 0;
    ShowData(std::vector<std::uint8_t>(reply.begin(),
                                       reply.begin() + static_cast<std::ptrdiff_t>(data)));
}

void TlvView::AddNodes(const std::vector<TlvNode>& nodes, QTreeWidgetItem* parent,
                       std::vector<std::uint32_t>& parents) {
    for (const TlvNode& node : nodes) {
        const TlvDescription description = dictionary_.Describe(node, parents);
        auto* item = new QTreeWidgetItem;
        if (node.kind == TlvNodeKind::Object) {
            item->setText(ColTag, QString::fromStdString(TlvTagText(node.tag)));
        }
        item->setText(ColName, QString::fromStdString(description.name));
        item->setText(ColValue, QString::fromStdString(description.value));
        item->setToolTip(ColValue, item->text(ColValue));
        item->setData(ColTag, RoleOffset, static_cast<qulonglong>(node.offset));
        item->setData(ColTag, RoleHead, static_cast<qulonglong>(node.header.size()));
        item->setData(ColTag, RoleSize, static_cast<qulonglong>(node.Size()));
        item->setData(ColTag, RolePath, QString::fromStdString(node.path));
        if (parent != nullptr) {
            parent->addChild(item);
        } else {
            tree_->addTopLevelItem(item);
        }
        parents.push_back(node.tag);
        AddNodes(node.children, item, parents);
        parents.pop_back();
    }
}

void TlvView::TlvTreeSelectionChange() {
    const QTreeWidgetItem* item = tree_->currentItem();
    const bool selected = item != nullptr && item->isSelected();
    const bool hasPath = selected && !item->data(ColTag, RolePath).toString().isEmpty();
    copyPath_->setEnabled(hasPath);
    copyPathAction_->setEnabled(hasPath);
    if (!selected) {
        hex_->ClearMark();
        return;
    }
    hex_->Mark(item->data(ColTag, RoleOffset).toULongLong(),
               item->data(ColTag, RoleHead).toULongLong(),
               item->data(ColTag, RoleSize).toULongLong());
}

void TlvView::CopyPathClick() {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return;
    }
    QGuiApplication::clipboard()->setText(item->data(ColTag, RolePath).toString());
}
