#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "insight/TlvDictionary.h"

class HexView;
class QAction;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// A reply's data as BER-TLV: a tree of tags, names and shown values beside the bytes in hex.
// Selecting a node marks its bytes, tag and length apart from the value; "Copy path" (a
// button, and an action of the tree's context menu) puts the node's path on the clipboard.
// Bytes that are not BER-TLV, or no bytes, are said to be so on a line in the tree's place.
class TlvView : public QWidget {
    Q_OBJECT
  public:
    explicit TlvView(QWidget* parent = nullptr);

    // Decodes and shows `data`, a reply without its status word.
    void ShowData(const std::vector<std::uint8_t>& data);
    // Shows the data of `reply`, the bytes before its status word.
    void ShowReply(const std::vector<std::uint8_t>& reply);
    void Clear() { ShowData({}); }

  public slots:
    void TlvTreeSelectionChange();
    void CopyPathClick();

  private:
    void CreateWidgets();
    void ConnectWidgets();
    void AddNodes(const std::vector<TlvNode>& nodes, QTreeWidgetItem* parent,
                  std::vector<std::uint32_t>& parents);

    TlvDictionary dictionary_;
    QTreeWidget* tree_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* dictionaryErrors_ = nullptr;
    HexView* hex_ = nullptr;
    QPushButton* copyPath_ = nullptr;
    QAction* copyPathAction_ = nullptr;
};
