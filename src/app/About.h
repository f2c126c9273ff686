#pragma once

#include <QDialog>

// The About box, shown modally and centred on the screen.
class TFrmAbout : public QDialog {
    Q_OBJECT
  public:
    TFrmAbout();

  public slots:
    void FormCreate();
};
