#pragma once

#include <QValidator>

class QLineEdit;

// Entry rules of one line edit: refuses typing that would grow the text beyond a maximum
// length, but keeps text that is already longer (lowering the maximum never cuts it); of a
// paste it keeps the part that fits. Optionally turns typed letters into capitals where they
// stand, the cursor staying put.
class EntryValidator : public QValidator {
    Q_OBJECT
  public:
    // Installs itself on `edit`, which owns it.
    EntryValidator(QLineEdit* edit, int maxLength, bool upperCase);

    void SetMaxLength(int maxLength) { maxLength_ = maxLength; }
    int MaxLength() const { return maxLength_; }

    State validate(QString& input, int& pos) const override;

  private:
    int maxLength_;
    bool upperCase_;
    QString current_;  // the text the edit holds now
};
