#include <QCommandLineParser>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "cli/ReaderCommandPlatform.h"
#include "insight/PcscCodeNames.h"
#include "report/ReaderPropertiesReport.h"

int RunInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index."),
                                    QStringLiteral("NAME|INDEX"));
    const QCommandLineOption simulated(QStringLiteral("simulated"),
                                       QStringLiteral("The built-in simulated reader."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Answer in JSON."));
    parser.addOptions({reader, simulated, json});
    const auto usage = [&err](const QString& why) {
        err << "usage: info [--simulated] [--reader NAME|INDEX] [--json]\n";
        if (!why.isEmpty()) {
            err << why << '\n';
        }
        return kExitUsage;
    };
    const QString word = QStringLiteral("info");
    if (const auto status = ParseCommandArguments(parser, word, args, out, usage)) {
        return *status;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usage(QString());
    }
    const auto platform = MakeReaderCommandPlatform(parser.isSet(simulated));
    QString error;
    const auto name = ChooseAttachedReader(platform->Cards(), parser.value(reader), error);
    if (!name) {
        return CommandUsageError(err, word, error);
    }
    const auto control = platform->Controls().Create();
    const ReaderReport report = ReadReaderReport(*control, *name);
    out << QString::fromStdString(parser.isSet(json) ? ReaderReportJson(report)
                                                     : ReaderReportText(report));
    if (report.openCode != 0) {
        err << "The reader could not be connected: "
            << QString::fromStdString(PcscCodeText(report.openCode)) << '\n';
        return kExitUsage;
    }
    return kExitSuccess;
}
