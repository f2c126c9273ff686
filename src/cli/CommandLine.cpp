#include "cli/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, QCommandLineParser& parser) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    // Qt's options are single-dash words (-platform, -reverse): read as words, their letters
    // are never taken for -h or -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(arguments);
    if (!parser.isSet(version) && !parser.isSet(help)) {
        return std::nullopt;
    }
    const QCoreApplication core(argc, argv);  // names the program in both answers
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
    } else {
        std::fputs(qPrintable(parser.helpText()), stdout);
    }
    return 0;
}
