#include "gui/qualify/QualifyActions.h"

#include <QAction>
#include <QMenu>

#include "gui/qualify/QualifyWindow.h"

QualifyActions::QualifyActions(CardLibraryFactory libraries, ReaderControlFactory* controls,
                               std::function<QString()> selectedReader, MessageBoxes& boxes,
                               QObject* parent)
    : QObject(parent),
      libraries_(std::move(libraries)),
      controls_(controls),
      selectedReader_(std::move(selectedReader)),
      boxes_(boxes) {
    qualifyReader_ = new QAction(QStringLiteral("Qualify Reader…"), this);
    qualifyReader_->setObjectName(QStringLiteral("QualifyReaderItem"));
    connect(qualifyReader_, &QAction::triggered, this, &QualifyActions::QualifyReaderItemClick);
}

QualifyActions::~QualifyActions() = default;

void QualifyActions::AddToMenu(QMenu* menu, QAction* after) {
    const QList<QAction*> actions = menu->actions();
    const qsizetype next = actions.indexOf(after) + 1;
    menu->insertAction(next > 0 && next < actions.size() ? actions[next] : nullptr, qualifyReader_);
}

void QualifyActions::QualifyReaderItemClick() {
    if (!window_) {
        window_ = std::make_unique<QualifyWindow>(libraries_, controls_, selectedReader_, boxes_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}
