#include "gui/Mnemonics.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QLabel>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

// Index of the letter after the caption's last single "&", or -1.
qsizetype ActingMark(const QString& caption) {
    qsizetype acting = -1;
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) {
            continue;
        }
        if (caption[i + 1] != QLatin1Char('&')) {
            acting = i + 1;
        }
        ++i;  // the marked letter, or the second "&" of "&&"
    }
    return acting;
}

}  // namespace

int MnemonicKey(const QString& caption) {
    const qsizetype mark = ActingMark(caption);
    if (mark < 0) {
        return 0;
    }
    const QChar letter = caption[mark].toUpper();
    return letter.isPrint() ? static_cast<int>(letter.unicode()) : 0;
}

QString WithoutMnemonics(const QString& caption) {
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
        }
        text += caption[i];
    }
    return text;
}

QString WithActingMnemonic(const QString& caption) {
    const qsizetype acting = ActingMark(caption);
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            if (caption[i + 1] == QLatin1Char('&')) {
                text += QStringLiteral("&&");
                ++i;
                continue;
            }
            if (i + 1 == acting) {
                text += QLatin1Char('&');
            }
            continue;
        }
        text += caption[i];
    }
    return text;
}

void LabelField(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    field->setAccessibleName(WithoutMnemonics(label->text()).trimmed());
}

void SetHint(QAbstractButton* button, const QString& hint) {
    button->setToolTip(hint);
    button->setAccessibleDescription(hint);
}

// QAbstractButton takes its shortcut from the caption's first mark; only the acting letter
// may press the button.
MnemonicButton::MnemonicButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    const int key = MnemonicKey(caption);
    setShortcut(key != 0 ? QKeySequence(Qt::ALT | static_cast<Qt::Key>(key)) : QKeySequence());
}

void MnemonicButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = WithActingMnemonic(text());
    painter.drawControl(QStyle::CE_PushButton, option);
}
