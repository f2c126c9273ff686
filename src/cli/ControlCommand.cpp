#include <QCommandLineParser>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "cli/ReaderCommandPlatform.h"
#include "core/common/ResponseLogModel.h"
#include "core/session/ReaderControl.h"
#include "insight/ReaderFeatures.h"
#include "insight/ReaderReport.h"

namespace {

int Usage(QTextStream& err, const QString& why) {
    err << "usage: control [--simulated] [--reader NAME|INDEX] --code N HEX\n";
    if (!why.isEmpty()) {
        err << why << '\n';
    }
    return kExitUsage;
}

}  // namespace

int RunControlCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index."),
                                    QStringLiteral("NAME|INDEX"));
    const QCommandLineOption simulated(QStringLiteral("simulated"),
                                       QStringLiteral("The built-in simulated reader."));
    const QCommandLineOption codeOption(QStringLiteral("code"),
                                        QStringLiteral("Function number or full control code."),
                                        QStringLiteral("N"));
    parser.addOptions({reader, simulated, codeOption});
    parser.addPositionalArgument(QStringLiteral("HEX"),
                                 QStringLiteral("The data, hex pairs; blanks allowed."));
    const QString word = QStringLiteral("control");
    if (const auto status = ParseCommandArguments(
            parser, word, args, out, [&err](const QString& why) { return Usage(err, why); })) {
        return *status;
    }
    const auto number = ParseControlCodeNumber(parser.value(codeOption).toStdString());
    if (!parser.isSet(codeOption) || !number) {
        return Usage(err, QStringLiteral("--code needs a number."));
    }
    const QByteArray hex = parser.positionalArguments().join(QString()).remove(u' ').toLatin1();
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (hex.size() % 2 != 0 || bytes.toHex().compare(hex, Qt::CaseInsensitive) != 0) {
        return Usage(err, QStringLiteral("The data must be hex pairs."));
    }

    const auto platform = MakeReaderCommandPlatform(parser.isSet(simulated));
    QString error;
    const auto name = ChooseAttachedReader(platform->Cards(), parser.value(reader), error);
    if (!name) {
        return CommandUsageError(err, word, error);
    }
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    const auto control = platform->Controls().Create();
    const ControlExchange exchange =
        RunControlExchange(*control, *name, ResolveControlCode(*control, *number), data);

    ResponseLogModel log;
    AppendControlCommand(log, exchange.code, data);
    AppendControlOutcome(log, exchange);
    for (const std::string& line : log.Lines()) {
        out << QString::fromStdString(line) << '\n';
    }
    if (exchange.result != 0) {
        // Whether the reader is on USB decides the CCID advice; reading it needs a connection.
        bool usb = false;
        if (exchange.opened) {
            usb = ReadReaderReport(*platform->Controls().Create(), *name).usb;
        }
        err << QString::fromStdString(ControlRefusalText(exchange, usb)) << '\n';
        return exchange.opened ? kExitCheckFailed : kExitUsage;
    }
    return kExitSuccess;
}
