// zp-readertest: the tester on the platform's PC/SC service.
#include <QApplication>

#include "app/Platform.h"
#include "app/QtMessageBoxes.h"
#include "app/StartUp.h"
#include "msr/PcscMsrLibrary.h"
#include "sam/PcscSamLibrary.h"
#include "session/PcscCardLibrary.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PcscCardLibrary card;
    PcscSamLibrary sam;
    PcscMsrLibrary msr;
    QtMessageBoxes boxes;
    const Platform platform{card, sam, msr, boxes};
    return RunProgram(app, platform);
}
