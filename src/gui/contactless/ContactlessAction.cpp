#include "gui/contactless/ContactlessAction.h"

#include <QAction>
#include <QMenu>

#include "gui/MessageBoxes.h"
#include "gui/contactless/ContactlessWindow.h"

ContactlessAction::ContactlessAction(CardLibraryFactory libraries,
                                     std::function<QString()> selectedReader, MessageBoxes& boxes,
                                     QObject* parent)
    : QObject(parent),
      libraries_(std::move(libraries)),
      selectedReader_(std::move(selectedReader)),
      boxes_(boxes) {
    item_ = new QAction(tr("Contactless…"), this);
    item_->setObjectName(QStringLiteral("ContactlessItem"));
    connect(item_, &QAction::triggered, this, &ContactlessAction::ContactlessItemClick);
}

ContactlessAction::~ContactlessAction() = default;

void ContactlessAction::AddToMenu(QMenu* menu, QAction* after) {
    const QList<QAction*> actions = menu->actions();
    const qsizetype next = actions.indexOf(after) + 1;
    menu->insertAction(next > 0 && next < actions.size() ? actions[next] : nullptr, item_);
}

void ContactlessAction::ContactlessItemClick() {
    const QString reader = selectedReader_ ? selectedReader_() : QString();
    if (reader.isEmpty()) {
        boxes_.ShowError("Select a reader first.");
        return;
    }
    if (!window_) {
        window_ = std::make_unique<ContactlessWindow>(libraries_, boxes_);
    }
    window_->SetReader(reader);
    window_->show();
    window_->raise();
    window_->activateWindow();
}
