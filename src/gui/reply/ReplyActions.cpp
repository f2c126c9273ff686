#include "gui/reply/ReplyActions.h"

#include <QAction>
#include <QMenu>

#include "gui/reply/ReplyWindow.h"

ReplyActions::ReplyActions(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ReplyActions"));
    item_ = new QAction(tr("Reply Inspector…"), this);
    item_->setObjectName(QStringLiteral("ReplyInspectorItem"));
    connect(item_, &QAction::triggered, this, &ReplyActions::ReplyInspectorItemClick);
}

ReplyActions::~ReplyActions() = default;

void ReplyActions::AddToMenu(QMenu* menu, QAction* before) {
    menu->insertAction(before, item_);
}

void ReplyActions::ReplyInspectorItemClick() {
    if (!window_) {
        window_ = std::make_unique<ReplyWindow>(feed_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}
