#include "gui/memcard/EntryValidator.h"

#include <QLineEdit>

#include "gui/EntryLimit.h"

EntryValidator::EntryValidator(QLineEdit* edit, int maxLength, bool upperCase)
    : QValidator(edit), maxLength_(maxLength), upperCase_(upperCase), current_(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { current_ = text; });
    edit->setValidator(this);
}

QValidator::State EntryValidator::validate(QString& input, int& pos) const {
    if (upperCase_) {
        for (QChar& c : input) {
            c = c.toUpper();
        }
    }
    return FitInsertion(current_, input, pos, maxLength_) ? Acceptable : Invalid;
}
