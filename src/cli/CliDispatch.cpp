#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/CommandLine.h"
#include "core/session/CardLibrary.h"
#include "pcsc/PcscCardLibrary.h"
#include "sim/SimCardLibrary.h"

namespace {

// The subcommands, one line each.
constexpr CliCommand kCommands[] = {
    {"list", RunListCommand, "Lists the readers, with the ATR of any card in them."},
    {"run", RunRunCommand, "Runs a script against the card in a reader and checks the replies."},
    {"stress", RunStressCommand,
     "Repeats a command, a script or a connect cycle on readers and measures them."},
    {"info", RunInfoCommand, "Shows a reader's attributes, features and state; no card needed."},
    {"control", RunControlCommand,
     "Sends an escape command (SCardControl) to a reader; no card needed."},
    {"contactless", RunContactlessCommand,
     "Reads a contactless card: UID, MIFARE Classic sectors with their keys, NDEF."},
    {"qualify", RunQualifyCommand, "Runs every APDU case at every length on a test card."},
};

const CliCommand* FindCommand(const QString& word) {
    for (const CliCommand& command : kCommands) {
        if (word == QLatin1String(command.word)) {
            return &command;
        }
    }
    return nullptr;
}

QString Description() {
    QString text = QStringLiteral(
        "Exercises smart-card readers and cards from the command line, for test stations\n"
        "and CI. Exit status: 0 success, 1 a check failed, 2 a usage or environment error.\n"
        "\nCommands (COMMAND --help describes each):\n");
    for (const CliCommand& command : kCommands) {
        text += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromLatin1(command.word).leftJustified(8),
                         QString::fromLatin1(command.summary));
    }
    return text;
}

}  // namespace

std::span<const CliCommand> CliCommandTable() {
    return kCommands;
}

std::optional<int> ParseCommandArguments(QCommandLineParser& parser, const QString& word,
                                         const QStringList& args, QTextStream& out,
                                         const std::function<int(const QString&)>& usage) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    if (!parser.parse(QStringList{word} + args)) {
        return usage(parser.errorText());
    }
    if (!parser.isSet(help)) {
        return std::nullopt;
    }
    if (parser.applicationDescription().isEmpty()) {
        if (const CliCommand* command = FindCommand(word)) {
            parser.setApplicationDescription(QString::fromLatin1(command->summary));
        }
    }
    // The usage line names the subcommand after the program.
    QString text = parser.helpText();
    if (const auto options = text.indexOf(QLatin1String(" [options]")); options >= 0) {
        text.insert(options, u' ' + word);
    }
    out << text;
    return kExitSuccess;
}

int CommandUsageError(QTextStream& err, const QString& word, const QString& message) {
    err << "zp-readertest-cli " << word << ": " << message << Qt::endl;
    return kExitUsage;
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
    if (const CliCommand* command = FindCommand(word)) {
        const QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return command->run(QCoreApplication::arguments().mid(2), out, err);
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
