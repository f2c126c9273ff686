// zp-readertest: the tester on the platform's PC/SC service.
#include <QApplication>
#include <QCommandLineParser>

#include "app/Platform.h"
#include "app/QtMessageBoxes.h"
#include "app/StartUp.h"
#include "cli/CommandLine.h"
#include "insight/AtrList.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscReaderControl.h"
#include "pcsc/PcscSamLibrary.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(ZP_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exercises a smart-card reader and the card in it by hand, through the\n"
        "platform's PC/SC service (pcscd).\n"
        "Qt's own options, such as -platform and -style, work as in every Qt program."));
    if (const auto status = AnswerHelpOrVersion(argc, argv, parser)) {
        return *status;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("zp-readertest"));
    PcscCardLibrary card;
    PcscSamLibrary sam;
    PcscMsrLibrary msr;
    QtMessageBoxes boxes;
    PcscReaderControlFactory readerControl;
    // Each worker of a script or stress run gets a PC/SC context of its own.
    const Platform platform{
        card, sam, msr, boxes, QString::fromLatin1(AtrList::kInstalledPath), &readerControl, [] {
            return std::make_unique<PcscCardLibrary>();
        }};
    return RunProgram(app, platform);
}
