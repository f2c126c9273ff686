#pragma once

#include <QProcess>
#include <QStringList>

#include <string>

// zp-readertest-cli run as a process, as a test station runs it: its exit status (-1 when it
// crashed or did not end in time) and what it wrote on each stream.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun RunCliProcess(const QStringList& args, int deadlineMs = 120000) {
    QProcess cli;
    cli.start(QStringLiteral(ZP_CLI_PATH), args);
    CliRun run;
    if (!cli.waitForFinished(deadlineMs)) {
        cli.kill();
        cli.waitForFinished();
        return run;
    }
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = cli.readAllStandardError().toStdString();
    return run;
}
