#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "cli/CliCommands.h"
#include "core/stress/StressWorkload.h"

class QTextStream;
class SimCardLibrary;

// What the console program plugs into the stress command.
struct StressCommandHooks {
    // The workload of --script FILE, or an empty factory and the reason in `error`; without
    // this hook the file is read and parsed as a script.
    std::function<StressWorkloadFactory(const QString& path, QString& error)> scriptWorkload;
    // Called once the run has started and SIGINT stops it (for tests).
    std::function<void()> started;
    // Called with the library of --simulated before the run, to set it up (for tests).
    std::function<void(SimCardLibrary&)> simulated;
};

// `zp-readertest-cli stress`: stress runs over one reader or several from the command line,
// with `hooks` plugged in. `args` are the options after the word "stress". Prints a progress line
// while standard output is a terminal and a summary table at the end. Answers the exit status: 0
// when the failures stay within --max-failures, 1 when there are more or a card did not answer its
// reset, 2 for what prevents the start: a usage error (a report path that cannot be written
// among them), or no service, reader or card. SIGINT stops the run; a second one ends the
// program at once.
int RunStressCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                     const StressCommandHooks& hooks);
