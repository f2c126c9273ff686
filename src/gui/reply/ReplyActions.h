#pragma once

#include <QObject>
#include <memory>

#include "gui/reply/ReplyFeed.h"

class QAction;
class QMenu;
class ReplyWindow;

// The Reader menu's "Reply Inspector…": opens the "Reply" window over the feed of last replies,
// which runs from the program's start.
class ReplyActions : public QObject {
    Q_OBJECT
  public:
    explicit ReplyActions(QObject* parent);
    ~ReplyActions() override;

    // Puts the item into `menu` before `before`.
    void AddToMenu(QMenu* menu, QAction* before);
    ReplyFeed* Feed() { return &feed_; }
    // The window, once the item has opened it.
    ReplyWindow* Window() { return window_.get(); }

  public slots:
    void ReplyInspectorItemClick();

  private:
    ReplyFeed feed_;
    QAction* item_ = nullptr;
    std::unique_ptr<ReplyWindow> window_;  // no parent: stays usable beside the main window
};
