// zp-readertest-cli: the reader tester's console program for test stations and CI; Qt Core
// only. `zp-readertest-cli --help` lists its commands.
#include <QCoreApplication>

#include "cli/CliCommands.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(ZP_VERSION));
    return RunCli(argc, argv);
}
