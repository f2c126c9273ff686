#pragma once

#include <QObject>
#include <cstddef>
#include <optional>
#include <vector>

#include "apdu/FieldRules.h"

class QLineEdit;

// Attaches FieldRules to a row of edit fields: the change rule on every text change (typed
// or set by the program), the Backspace rule on key-down, the leading-zero rule when a
// field loses the focus, upper-case entry and the maximum lengths. The fields keep a text
// longer than a lowered maximum; only growth past the maximum is refused.
class FieldBinder : public QObject {
    Q_OBJECT
  public:
    // The edits in the order of the rules; they stay owned by their page.
    FieldBinder(FieldRules rules, std::vector<QLineEdit*> edits, QObject* parent = nullptr);

    void Change(std::size_t field);
    // qtKey is a Qt::Key; the key is never consumed.
    void KeyDown(std::size_t field, int qtKey);
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
    // Set while a field that is losing the focus gets its leading zero: the focus is
    // already on its way to where the user sent it, and stays on that way.
    bool leaving_ = false;
};
