#pragma once

#include <QObject>
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/apdu/FieldRules.h"

class QLineEdit;

// Attaches FieldRules to a row of edit fields: the change rule on every text change (typed
// or set by the program), the Backspace rule on key-down, the leading-zero rule when a
// field loses the focus, upper-case entry and the maximum lengths. The fields keep a text
// longer than a lowered maximum; only growth past the maximum is refused, and a paste keeps
// the part that fits.
//
// A page hands in its named handlers; the fields' events run them, and they apply the rules
// through Change, KeyDown and Exit. A field without handlers runs the rules directly.
class FieldBinder : public QObject {
    Q_OBJECT
  public:
    struct Handlers {
        std::function<void()> change;
        std::function<void(int)> keyDown;  // empty: the field has no key handler
        std::function<void()> exit;
    };

    // The edits in the order of the rules; they stay owned by their page.
    FieldBinder(FieldRules rules, std::vector<QLineEdit*> edits, QObject* parent = nullptr);

    void SetHandlers(std::size_t field, Handlers handlers);

    void Change(std::size_t field);
    // qtKey is a Qt::Key; the key is never consumed.
    void KeyDown(std::size_t field, int qtKey);
    // The leading-zero rule. The focus is on its way elsewhere, so the change it makes does
    // not move it.
    void Exit(std::size_t field);

    void SetMaxLength(std::size_t field, std::optional<std::size_t> maxLength);
    const FieldRules& Rules() const { return rules_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::optional<std::size_t> IndexOf(const QObject* watched) const;
    void FocusField(std::size_t field, Qt::FocusReason reason);

    FieldRules rules_;
    std::vector<QLineEdit*> edits_;
    std::vector<Handlers> handlers_;
    // Set while a field that is losing the focus gets its leading zero: the focus is
    // already on its way to where the user sent it, and stays on that way.
    bool leaving_ = false;
};

// One field's named handlers on its page; keyDown is null for a field without a key handler.
template <typename Page>
struct FieldSlots {
    void (Page::*change)();
    void (Page::*keyDown)(int);
    void (Page::*exit)();
};

// Routes every field's change, key-down and exit events to the page's named handlers.
template <typename Page, std::size_t N>
void RouteFieldEvents(FieldBinder& binder, Page* page,
                      const std::array<FieldSlots<Page>, N>& table) {
    for (std::size_t i = 0; i < N; ++i) {
        const FieldSlots<Page> handler = table[i];
        FieldBinder::Handlers handlers;
        handlers.change = [page, handler] { (page->*handler.change)(); };
        if (handler.keyDown != nullptr) {
            handlers.keyDown = [page, handler](int key) { (page->*handler.keyDown)(key); };
        }
        handlers.exit = [page, handler] { (page->*handler.exit)(); };
        binder.SetHandlers(i, std::move(handlers));
    }
}
