#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/CommandLine.h"
#include "cli/ControlCommand.h"
#include "cli/InfoCommand.h"
#include "cli/StressCommand.h"
#include "core/session/CardLibrary.h"
#include "pcsc/PcscCardLibrary.h"
#include "sim/SimCardLibrary.h"

namespace {

struct Subcommand {
    const char* word;
    int (*run)(const QStringList&, QTextStream&, QTextStream&);
    const char* summary;
};

constexpr Subcommand kSubcommands[] = {
#define ZP_CLI_COMMAND(word, name, summary) {word, Run##name##Command, summary},
#include "cli/CliCommandList.h"
#undef ZP_CLI_COMMAND
    // Commands whose arguments start after their word.
    {"stress",
     [](const QStringList& args, QTextStream& out, QTextStream& err) {
         return RunStressCommand(args.mid(1), out, err);
     },
     "Repeats a command, a script or a connect cycle on readers and measures them."},
    {"info",
     [](const QStringList& args, QTextStream& out, QTextStream& err) {
         return RunInfoCommand(args.mid(1), out, err);
     },
     "Shows a reader's attributes, features and state; no card needed."},
    {"control",
     [](const QStringList& args, QTextStream& out, QTextStream& err) {
         return RunControlCommand(args.mid(1), out, err);
     },
     "Sends an escape command (SCardControl) to a reader; no card needed."},
};

QString Description() {
    QString text = QStringLiteral(
        "Exercises smart-card readers and cards from the command line, for test stations\n"
        "and CI. Exit status: 0 success, 1 a check failed, 2 a usage or environment error.\n"
        "\nCommands (COMMAND --help describes each):\n");
    for (const Subcommand& command : kSubcommands) {
        text += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromLatin1(command.word).leftJustified(8),
                         QString::fromLatin1(command.summary));
    }
    return text;
}

}  // namespace

std::optional<int> ParseCommandArguments(QCommandLineParser& parser, const QStringList& args,
                                         QTextStream& out, QTextStream& err) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    if (!parser.parse(args)) {
        err << "zp-readertest-cli " << args.value(0) << ": " << parser.errorText() << '\n';
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out << parser.helpText();
        return kExitSuccess;
    }
    return std::nullopt;
}

std::unique_ptr<CardLibrary> OpenCliCardLibrary(bool simulated) {
    if (!simulated) {
        return std::make_unique<PcscCardLibrary>();
    }
    auto sim = std::make_unique<SimCardLibrary>();
    sim->InsertCard(0, SimCardKind::CpuT1);
    return sim;
}

int RunCli(int argc, char** argv) {
    const QString word = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Subcommand& command : kSubcommands) {
        if (word == QLatin1String(command.word)) {
            const QCoreApplication app(argc, argv);
            QTextStream out(stdout);
            QTextStream err(stderr);
            return command.run(QCoreApplication::arguments().mid(1), out, err);
        }
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(Description());
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."),
                                 QStringLiteral("command [arguments]"));
    if (const auto status = AnswerHelpOrVersion(argc, argv, parser)) {
        return *status;
    }
    std::fprintf(stderr, "zp-readertest-cli: %s\n(zp-readertest-cli --help lists the commands)\n",
                 word.isEmpty() ? "no command given"
                                : qPrintable(QStringLiteral("unknown command ") + word));
    return kExitUsage;
}
