#pragma once

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

// Makes `button` the page's cancel button: Esc presses it while the focus is anywhere on
// `page`.
inline void MakeCancelButton(QWidget* page, QPushButton* button) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), page);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, button, &QPushButton::click);
}
