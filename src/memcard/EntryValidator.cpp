#include "memcard/EntryValidator.h"

#include <QLineEdit>

EntryValidator::EntryValidator(QLineEdit* edit, int maxLength, bool upperCase)
    : QValidator(edit),
      maxLength_(maxLength),
      upperCase_(upperCase),
      currentLength_(edit->text().size()) {
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { currentLength_ = text.size(); });
    edit->setValidator(this);
}

QValidator::State EntryValidator::validate(QString& input, int& /*pos*/) const {
    if (input.size() > maxLength_ && input.size() > currentLength_) {
        return Invalid;
    }
    if (upperCase_) {
        for (QChar& c : input) {
            c = c.toUpper();
        }
    }
    return Acceptable;
}
