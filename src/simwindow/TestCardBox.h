#pragma once

#include <QGroupBox>

#include "sim/SimTestCard.h"

class QCheckBox;
class QSpinBox;

// The test card's settings in the "Simulated Reader" window: its time unit and the fault
// switches of a faulty reader. Controls are named with the reader's index after them.
class TestCardBox : public QGroupBox {
    Q_OBJECT
  public:
    TestCardBox(int reader, QWidget* parent);

    SimTestCardSettings Settings() const;

  signals:
    // A setting was changed by the user.
    void Changed();

  private:
    QCheckBox* Check(const QString& caption, const char* name);
    QSpinBox* Spin(const char* name, int maximum, int value);

    int reader_;
    QSpinBox* timeUnitMs_ = nullptr;
    QCheckBox* cut_ = nullptr;
    QSpinBox* cutAbove_ = nullptr;
    QCheckBox* rewriteLe_ = nullptr;
    QCheckBox* drop_ = nullptr;
    QSpinBox* dropAbove_ = nullptr;
    QCheckBox* noExtended_ = nullptr;
    QCheckBox* late_ = nullptr;
};
