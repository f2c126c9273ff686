// zp-readertest-sim: the tester on the built-in simulated reader, with the
// "Simulated Reader" window beside it to insert cards, swipe stripes and inject faults.
#include <QApplication>

#include "app/Platform.h"
#include "app/QtMessageBoxes.h"
#include "app/StartUp.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "sim/SimulatorWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SimCardLibrary card;
    card.InsertCard(0, SimCardKind::CpuT1);
    SimSamLibrary sam(card);
    SimMsrLibrary msr(card);
    QtMessageBoxes boxes;
    const Platform platform{card, sam, msr, boxes};
    SimulatorWindow simulator(card, sam, msr);
    return RunProgram(app, platform, &simulator);
}
