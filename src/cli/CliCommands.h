#pragma once

#include <QStringList>
#include <memory>
#include <optional>

class CardLibrary;
class QCommandLineParser;
class QTextStream;

// The subcommands of zp-readertest-cli. Each is a function
//   int Run<Name>Command(const QStringList& args, QTextStream& out, QTextStream& err)
// in a file of its own; `args` starts with the subcommand's word, followed by its arguments.
// Results go to `out`, errors to `err`; the answer is the exit status.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCheckFailed = 1;  // an expectation or a transmit failed
inline constexpr int kExitUsage = 2;        // a usage error, a bad script, no reader or card

#define ZP_CLI_COMMAND(word, name, summary) \
    int Run##name##Command(const QStringList& args, QTextStream& out, QTextStream& err);
#include "cli/CliCommandList.h"
#undef ZP_CLI_COMMAND

// The program: dispatches to a subcommand, or answers --help and --version.
int RunCli(int argc, char** argv);

// Parses a subcommand's arguments with `parser` (given its options, with -h/--help added
// here). Answers the exit status when the command is done already: its help was printed,
// or a usage error was reported.
std::optional<int> ParseCommandArguments(QCommandLineParser& parser, const QStringList& args,
                                         QTextStream& out, QTextStream& err);

// The card library a subcommand works with: the platform's PC/SC service, or with
// `simulated` the built-in simulated reader holding its T=1 CPU card.
std::unique_ptr<CardLibrary> OpenCliCardLibrary(bool simulated);
