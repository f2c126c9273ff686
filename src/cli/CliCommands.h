#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class CardLibrary;
class QCommandLineParser;
class QTextStream;

// The subcommands of zp-readertest-cli. Each is a function of one signature, in a file of its
// own: `args` are the words after the subcommand's word; results go to `out`, errors to
// `err`; the answer is the exit status.
using CliCommandFunction = int (*)(const QStringList& args, QTextStream& out, QTextStream& err);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCheckFailed = 1;  // an expectation or a transmit failed
inline constexpr int kExitUsage = 2;        // a usage error, a bad script, no reader or card

// `list [--simulated]`: the attached readers, one a line, with the ATR of any card present.
int RunListCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `run SCRIPT`: runs a script against the card in a reader, printing each exchange as the CPU
// card page logs it, then the summary.
int RunRunCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `stress`: stress runs over one reader or several (cli/StressCommand.h).
int RunStressCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `info [--simulated] [--reader NAME|INDEX] [--json]`: the reader's properties, as the
// Properties window shows them, as text or JSON. Exit status 0 when the reader was read, 2
// for a usage error or a reader that cannot be found or reached.
int RunInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `control [--simulated] [--reader NAME|INDEX] --code N HEX`: sends one control command to
// the reader (N a vendor function number, giving SCARD_CTL_CODE(N), or a full code; HEX the
// data, blanks allowed) and prints the exchange in the program's log lines. Exit status 0
// when the reader answered, 1 when it refused the command (the reason on `err`), 2 for a
// usage error or a reader that cannot be found or reached.
int RunControlCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `contactless [--simulated] [--reader NAME|INDEX] [--keys FILE] [--dump FILE] [--json FILE]`:
// the contactless card in a reader, its MIFARE Classic sectors with the key that opened each,
// or a Type 2 tag's NDEF message; with --probe the reader probe's report instead. Exit status 0
// when every sector opened, 1 when some did not, 2 for a usage error or with no reader or no card.
int RunContactlessCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// `qualify [--simulated | --reader NAME|INDEX] [--protocol T0|T1|both] [--full] ...`: the
// qualification battery on a test card, its folded matrix printed at the end. Exit status 0
// when every cell passed, 1 when one failed, 2 for a usage error, no reader, no card or
// neither test applet.
int RunQualifyCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// One line of the table of subcommands.
struct CliCommand {
    const char* word;
    CliCommandFunction run;
    const char* summary;
};

// Every subcommand, in the order --help lists them.
std::span<const CliCommand> CliCommandTable();

// The program: dispatches to a subcommand, or answers --help and --version.
int RunCli(int argc, char** argv);

// Parses the arguments of the subcommand `word` with `parser` (given its options, with
// -h/--help added here). Answers the exit status when the command is done already: its help
// was printed to `out` (0), or `usage` reported the parse error (its answer).
std::optional<int> ParseCommandArguments(QCommandLineParser& parser, const QString& word,
                                         const QStringList& args, QTextStream& out,
                                         const std::function<int(const QString&)>& usage);

// Writes "zp-readertest-cli WORD: MESSAGE" to `err`; answers kExitUsage.
int CommandUsageError(QTextStream& err, const QString& word, const QString& message);

// The card library a subcommand works with: the platform's PC/SC service, or with
// `simulated` the built-in simulated reader holding its T=1 CPU card.
std::unique_ptr<CardLibrary> OpenCliCardLibrary(bool simulated);
