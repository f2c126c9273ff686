#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "core/session/CardLibraryFactory.h"

class ContactlessWindow;
class MessageBoxes;
class QAction;
class QMenu;

// The Reader menu's "Contactless…": opens the contactless window for the reader selected in
// the main window. The window has no parent, so that it stays usable while the main window
// is disabled, and lives as long as this item.
class ContactlessAction : public QObject {
    Q_OBJECT
  public:
    ContactlessAction(CardLibraryFactory libraries, std::function<QString()> selectedReader,
                      MessageBoxes& boxes, QObject* parent);
    ~ContactlessAction() override;

    // Puts the item into `menu` right after `after`.
    void AddToMenu(QMenu* menu, QAction* after);

  public slots:
    void ContactlessItemClick();

  private:
    CardLibraryFactory libraries_;
    std::function<QString()> selectedReader_;
    MessageBoxes& boxes_;
    QAction* item_ = nullptr;
    std::unique_ptr<ContactlessWindow> window_;
};
