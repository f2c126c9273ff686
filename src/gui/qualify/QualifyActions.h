#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "core/session/CardLibraryFactory.h"

class MessageBoxes;
class QAction;
class QMenu;
class QualifyWindow;
class ReaderControlFactory;

// The Reader menu's "Qualify Reader…": opens the qualification window, created once without
// a parent so that it stays usable beside the main window.
class QualifyActions : public QObject {
    Q_OBJECT
  public:
    QualifyActions(CardLibraryFactory libraries, ReaderControlFactory* controls,
                   std::function<QString()> selectedReader, MessageBoxes& boxes, QObject* parent);
    ~QualifyActions() override;

    // Puts the item into `menu` right after `after`.
    void AddToMenu(QMenu* menu, QAction* after);
    QualifyWindow* Window() { return window_.get(); }

  public slots:
    void QualifyReaderItemClick();

  private:
    CardLibraryFactory libraries_;
    ReaderControlFactory* controls_;
    std::function<QString()> selectedReader_;
    MessageBoxes& boxes_;
    QAction* qualifyReader_ = nullptr;
    std::unique_ptr<QualifyWindow> window_;
};
