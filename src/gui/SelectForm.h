#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class ReaderSession;

// "Select Reader": lists the readers attached when it is shown and sets the selected
// reader. Shown without a modal loop; the main window is disabled while it is visible and
// enabled on every way of hiding it.
class TSelectDlg : public QDialog {
    Q_OBJECT
  public:
    TSelectDlg(ReaderSession& session, QWidget* mainWindow);

  public slots:
    void FormShow();
    void OKButtonClick();
    void CancelButtonClick();
    void FormHide();

  signals:
    // OK chose a reader: the session has selected it; the main window names it and starts tracking.
    void ReaderChosen();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

  private:
    ReaderSession& session_;
    QWidget* mainWindow_;
    QGroupBox* RdoGupSelectReader;
    QVBoxLayout* readerItems_;
    QButtonGroup* readerButtons_;
    QLabel* LblNoReaderFound;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};
