#include "gui/apdu/FieldBinder.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>
#include <utility>

#include "gui/EntryLimit.h"

namespace {

// Turns typed letters into capitals where they stand and refuses growth past the field's
// maximum length, keeping a longer text the field already holds; of a paste it keeps the
// part that fits.
class FieldValidator : public QValidator {
  public:
    FieldValidator(const FieldRules& rules, std::size_t field, QLineEdit* edit)
        : QValidator(edit), rules_(rules), field_(field), previous_(edit->text()) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { previous_ = text; });
    }

    State validate(QString& input, int& pos) const override {
        for (QChar& c : input) {
            c = c.toUpper();
        }
        if (rules_.AllowsLength(field_, static_cast<std::size_t>(input.size()))) {
            return Acceptable;
        }
        const std::size_t maxLength = *rules_.MaxLength(field_);
        return FitInsertion(previous_, input, pos, static_cast<qsizetype>(maxLength)) ? Acceptable
                                                                                      : Invalid;
    }

  private:
    const FieldRules& rules_;
    std::size_t field_;
    QString previous_;  // the text the edit holds now
};

}  // namespace

FieldBinder::FieldBinder(FieldRules rules, std::vector<QLineEdit*> edits, QObject* parent)
    : QObject(parent),
      rules_(std::move(rules)),
      edits_(std::move(edits)),
      handlers_(edits_.size()) {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        QLineEdit* edit = edits_[i];
        edit->setValidator(new FieldValidator(rules_, i, edit));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, i] {
            if (handlers_[i].change) {
                handlers_[i].change();
            } else {
                Change(i);
            }
        });
    }
}

void FieldBinder::SetHandlers(std::size_t field, Handlers handlers) {
    handlers_.at(field) = std::move(handlers);
}

void FieldBinder::Change(std::size_t field) {
    const auto length = static_cast<std::size_t>(edits_.at(field)->text().size());
    const std::optional<std::size_t> next = rules_.Changed(field, length);
    if (next && !leaving_) {
        FocusField(*next, Qt::TabFocusReason);
    }
}

void FieldBinder::KeyDown(std::size_t field, int qtKey) {
    const int key = qtKey == Qt::Key_Backspace ? kBackspaceKey : qtKey;
    if (const std::optional<std::size_t> previous = rules_.KeyDown(field, key)) {
        FocusField(*previous, Qt::BacktabFocusReason);
    }
}

void FieldBinder::Exit(std::size_t field) {
    QLineEdit* edit = edits_.at(field);
    const QString text = edit->text();
    if (FieldRules::TakesLeadingZero(static_cast<std::size_t>(text.size()))) {
        leaving_ = true;
        edit->setText(QLatin1Char('0') + text);
        leaving_ = false;
    }
}

void FieldBinder::SetMaxLength(std::size_t field, std::optional<std::size_t> maxLength) {
    rules_.SetMaxLength(field, maxLength);
}

bool FieldBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::FocusOut) {
        return false;
    }
    const std::optional<std::size_t> field = IndexOf(watched);
    if (!field) {
        return false;
    }
    const Handlers& handlers = handlers_[*field];
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (handlers.keyDown) {
            handlers.keyDown(key);
        } else if (!handlers.change) {  // no handlers handed in: the rules directly
            KeyDown(*field, key);
        }
        return false;
    }
    // Another window, a context menu, or Alt taking the focus into the menu bar is not
    // leaving the field.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::MenuBarFocusReason) {
        if (handlers.exit) {
            handlers.exit();
        } else {
            Exit(*field);
        }
    }
    return false;
}

std::optional<std::size_t> FieldBinder::IndexOf(const QObject* watched) const {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (edits_[i] == watched) {
            return i;
        }
    }
    return std::nullopt;
}

void FieldBinder::FocusField(std::size_t field, Qt::FocusReason reason) {
    edits_.at(field)->setFocus(reason);
}
