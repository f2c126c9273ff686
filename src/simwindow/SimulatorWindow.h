#pragma once

#include <QWidget>

class SimCardLibrary;
class SimMsrLibrary;
class SimSamLibrary;

// The "Simulated Reader" window shown beside the tester: one tab per simulated reader to
// insert and remove cards and the SAM, refuse connects, and swipe a stripe card; a tab
// "Contactless" puts contactless cards with their sector keys into a reader.
class SimulatorWindow : public QWidget {
    Q_OBJECT
  public:
    SimulatorWindow(SimCardLibrary& cards, SimSamLibrary& sam, SimMsrLibrary& msr,
                    QWidget* parent = nullptr);
};
