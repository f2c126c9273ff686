#pragma once

#include <QLabel>

// A label that reports a click of the left mouse button released over it.
class ClickableLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickableLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
