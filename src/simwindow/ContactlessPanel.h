#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QTableWidget;
class SimCardLibrary;

// The "Contactless" tab of the simulated reader's window: a contactless card chosen, for a
// MIFARE Classic card its keys per sector (key A, key B), and put into a reader or taken out.
class ContactlessPanel : public QWidget {
    Q_OBJECT
  public:
    ContactlessPanel(SimCardLibrary& cards, QWidget* parent = nullptr);

  private:
    void ShowSectors();
    void InsertCard();
    void RemoveCard();
    void ShowStatus();

    SimCardLibrary& cards_;
    QComboBox* reader_ = nullptr;
    QComboBox* kind_ = nullptr;
    QTableWidget* keys_ = nullptr;
    QLabel* status_ = nullptr;
};
