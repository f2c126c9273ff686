#pragma once

#include <QPushButton>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// Accelerator marks in captions: "&x" marks x, "&&" shows one ampersand. A caption that
// marks more than one letter ("&C&lear") acts on its last mark, and only that one is drawn
// underlined.

// The Qt::Key of the caption's accelerator letter, or 0 when the caption marks none.
int MnemonicKey(const QString& caption);

// The caption as read out: every mark removed, "&&" shown as one ampersand.
QString WithoutMnemonics(const QString& caption);

// The caption with only its acting mark left.
QString WithActingMnemonic(const QString& caption);

// Makes `label` the label of `field`: its accelerator focuses the field, and its text
// without the mark is the field's accessible name. Called again after the label's
// caption changes.
void LabelField(QLabel* label, QWidget* field);

// The button's hint as its tooltip and its accessible description.
void SetHint(QAbstractButton* button, const QString& hint);

// A push button whose caption marks more than one letter and whose accelerator, shortcut
// and underline are the acting letter's alone. Its caption is set once.
class MnemonicButton : public QPushButton {
    Q_OBJECT
  public:
    MnemonicButton(const QString& caption, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
