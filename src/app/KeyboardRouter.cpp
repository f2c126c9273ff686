#include "app/KeyboardRouter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "gui/Mnemonics.h"

namespace {

bool Usable(const QWidget* widget) {
    return widget->isVisible() && widget->isEnabled();
}

// Alt alone held with the key; the keypad flag does not count.
bool IsAltKey(const QKeyEvent* key) {
    return (key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier &&
           key->key() > Qt::Key_Space && key->key() < Qt::Key_Delete;
}

bool IsPlainKey(const QKeyEvent* key, std::initializer_list<int> keys) {
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    for (int k : keys) {
        if (key->key() == k) {
            return true;
        }
    }
    return false;
}

QObject* FieldOwner(const QWidget* page, int key) {
    for (QLabel* label : page->findChildren<QLabel*>()) {
        QWidget* field = label->buddy();
        if (field != nullptr && Usable(label) && Usable(field) &&
            MnemonicKey(label->text()) == key) {
            return label;
        }
    }
    return nullptr;
}

QObject* ButtonOwner(const QWidget* parent, int key) {
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        if (Usable(button) && MnemonicKey(button->text()) == key) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace

KeyboardRouter::KeyboardRouter(QMainWindow* window, QTabWidget* pages, QWidget* buttonRow)
    : QObject(window), window_(window), pages_(pages), buttonRow_(buttonRow) {
    qApp->installEventFilter(this);
}

void KeyboardRouter::SetEnterButton(QWidget* page, EnterButton enterButton) {
    enterButtons_.emplace_back(page, std::move(enterButton));
}

bool KeyboardRouter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) {
        return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_ || !window_->isEnabled()) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsAltKey(key)) {
        QObject* owner = AltOwner(key->key());
        if (owner == nullptr) {
            return false;
        }
        // Taking the override keeps the shortcut map, which would cycle through every
        // owner of the letter, out of it; the key press then comes here.
        event->accept();
        if (type == QEvent::KeyPress && !key->isAutoRepeat()) {
            Act(owner);
        }
        return true;
    }
    if (type != QEvent::KeyPress) {
        return false;
    }
    // A held key acts on its first press; the presses the keyboard repeats are swallowed.
    if (IsPlainKey(key, {Qt::Key_F10})) {
        if (!key->isAutoRepeat()) {
            OpenFirstMenu();
        }
        return true;
    }
    if (IsPlainKey(key, {Qt::Key_Return, Qt::Key_Enter})) {
        if (QAbstractButton* button = EnterTarget()) {
            if (!key->isAutoRepeat()) {
                button->click();
            }
            return true;
        }
    }
    return false;
}

QObject* KeyboardRouter::AltOwner(int key) const {
    if (const QWidget* page = pages_->currentWidget()) {
        if (QObject* field = FieldOwner(page, key)) {
            return field;
        }
        if (QObject* button = ButtonOwner(page, key)) {
            return button;
        }
    }
    if (QObject* button = ButtonOwner(buttonRow_, key)) {
        return button;
    }
    for (QAction* title : window_->menuBar()->actions()) {
        if (title->menu() != nullptr && title->isVisible() && title->isEnabled() &&
            MnemonicKey(title->text()) == key) {
            return title;
        }
    }
    return nullptr;
}

// A button is clicked at once rather than animated: two presses in quick succession are
// two clicks.
void KeyboardRouter::Act(QObject* owner) const {
    if (auto* button = qobject_cast<QAbstractButton*>(owner)) {
        button->click();
    } else if (auto* label = qobject_cast<QLabel*>(owner)) {
        label->buddy()->setFocus(Qt::ShortcutFocusReason);
    } else if (auto* title = qobject_cast<QAction*>(owner)) {
        window_->menuBar()->setActiveAction(title);
    }
}

QAbstractButton* KeyboardRouter::EnterTarget() const {
    const QWidget* page = pages_->currentWidget();
    for (const auto& [owner, enterButton] : enterButtons_) {
        if (owner == page) {
            return enterButton(QApplication::focusWidget());
        }
    }
    return nullptr;
}

void KeyboardRouter::OpenFirstMenu() const {
    for (QAction* title : window_->menuBar()->actions()) {
        if (title->menu() != nullptr && title->isVisible() && title->isEnabled()) {
            window_->menuBar()->setActiveAction(title);
            return;
        }
    }
}
