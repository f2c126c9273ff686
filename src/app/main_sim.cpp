// zp-readertest-sim: the tester on the built-in simulated reader, with the
// "Simulated Reader" window beside it to insert cards, swipe stripes and inject faults.
#include <QApplication>
#include <QCommandLineParser>

#include "app/Platform.h"
#include "app/QtMessageBoxes.h"
#include "app/StartUp.h"
#include "cli/CommandLine.h"
#include "core/session/LockedCardLibrary.h"
#include "insight/AtrList.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimReaderControl.h"
#include "sim/SimSamLibrary.h"
#include "simwindow/SimulatorWindow.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(ZP_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the reader tester on a built-in simulated reader, with the\n"
        "\"Simulated Reader\" window beside it to insert cards, swipe a stripe and\n"
        "inject faults.\n"
        "Qt's own options, such as -platform and -style, work as in every Qt program."));
    if (const auto status = AnswerHelpOrVersion(argc, argv, parser)) {
        return *status;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("zp-readertest-sim"));
    SimCardLibrary card({SimCardLibrary::DefaultReaderName, SimCardLibrary::ContactlessReaderName});
    card.InsertCard(0, SimCardKind::CpuT1);
    card.InsertCard(1, SimCardKind::Mifare1K);
    SimSamLibrary sam(card);
    SimMsrLibrary msr(card);
    QtMessageBoxes boxes;
    SimReaderControlFactory readerControl(card);
    // The windows and the script and stress workers share the one simulated reader, a call
    // at a time.
    LockedCardLibrary shared(card, card.SharedLock());
    const Platform platform{
        shared,
        sam,
        msr,
        boxes,
        QString::fromLatin1(AtrList::kInstalledPath),
        &readerControl,
        [&card] { return std::make_unique<LockedCardLibrary>(card, card.SharedLock()); }};
    SimulatorWindow simulator(card, sam, msr);
    return RunProgram(app, platform, &simulator);
}
