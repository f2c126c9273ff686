#pragma once

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

// Makes `button` the page's cancel button: Esc presses it while `page` is showing, wherever
// the focus is in its window. A held Esc presses it once.
inline void MakeCancelButton(QWidget* page, QPushButton* button) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), page);
    escape->setContext(Qt::WindowShortcut);
    escape->setAutoRepeat(false);
    QObject::connect(escape, &QShortcut::activated, button, &QPushButton::click);
}
