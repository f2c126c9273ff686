#pragma once

#include <QWidget>

class QLabel;

// "Card Tracking": a small stay-on-top window asking for a card to be inserted or taken
// out. Only the main window shows and hides it.
class TCardStatusDlg : public QWidget {
    Q_OBJECT
  public:
    TCardStatusDlg();

    void ShowInsertCard();
    void ShowEjectCard();

  private:
    QLabel* ImgInsertCard;
    QLabel* ImgEjectCard;
};
