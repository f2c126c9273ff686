#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QAbstractButton;
class QKeyEvent;
class QMainWindow;
class QTabWidget;
class QWidget;

// The main window's keyboard: Alt+letter acts once per press, on one owner chosen in this
// order: a visible, enabled control of the active page (a field's label before a button),
// then the button row, then the menu titles. A label's letter focuses its field, a button's
// presses it, a menu title's opens the menu. F10 opens the first menu. Enter asks the active
// page which button it presses. A held key acts once: repeated presses do nothing.
class KeyboardRouter : public QObject {
    Q_OBJECT
  public:
    // The button Enter presses with the focus on `focus`, or null to leave the key alone.
    using EnterButton = std::function<QAbstractButton*(QWidget* focus)>;

    // Watches the application's key events for `window`.
    KeyboardRouter(QMainWindow* window, QTabWidget* pages, QWidget* buttonRow);

    void SetEnterButton(QWidget* page, EnterButton enterButton);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The control or menu title Alt+key acts on; null when nothing owns the key.
    QObject* AltOwner(int key) const;
    void Act(QObject* owner) const;
    QAbstractButton* EnterTarget() const;
    void OpenFirstMenu() const;

    QMainWindow* window_;
    QTabWidget* pages_;
    QWidget* buttonRow_;
    std::vector<std::pair<QPointer<QWidget>, EnterButton>> enterButtons_;
};
