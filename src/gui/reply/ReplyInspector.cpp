#include "gui/reply/ReplyInspector.h"

#include <QAction>
#include <QMenu>

#include "gui/reply/ReplyWindow.h"

ReplyInspector::ReplyInspector(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ReplyInspector"));
    item_ = new QAction(tr("Reply Inspector…"), this);
    item_->setObjectName(QStringLiteral("ReplyInspectorItem"));
    connect(item_, &QAction::triggered, this, &ReplyInspector::ReplyInspectorItemClick);
}

ReplyInspector::~ReplyInspector() = default;

void ReplyInspector::AddToMenu(QMenu* menu, QAction* before) {
    menu->insertAction(before, item_);
}

void ReplyInspector::ReplyInspectorItemClick() {
    if (!window_) {
        window_ = std::make_unique<ReplyWindow>(feed_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}
