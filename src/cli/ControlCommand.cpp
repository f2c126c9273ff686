#include "cli/ControlCommand.h"

#include <QCommandLineParser>
#include <QTextStream>

#include "cli/InfoCommand.h"
#include "core/common/ResponseLogModel.h"
#include "core/session/ReaderControl.h"
#include "insight/ReaderFeatures.h"
#include "insight/ReaderReport.h"

namespace {

int Usage(QTextStream& err, const QString& why) {
    err << "usage: control [--reader NAME|INDEX | --simulated] --code N HEX\n";
    if (!why.isEmpty()) {
        err << why << '\n';
    }
    return 2;
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
    if (!parser.parse(QStringList{QStringLiteral("control")} + args)) {
        return Usage(err, parser.errorText());
    }
    if (parser.isSet(reader) && parser.isSet(simulated)) {
        return Usage(err, QStringLiteral("--reader and --simulated exclude each other."));
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
    std::string error;
    const std::string name = ChooseReader(platform->Cards(), parser.value(reader), error);
    if (name.empty()) {
        err << QString::fromStdString(error) << '\n';
        return 2;
    }
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    const auto control = platform->Controls().Create();
    const ControlExchange exchange =
        RunControlExchange(*control, name, ResolveControlCode(*control, *number), data);

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
            usb = ReadReaderReport(*platform->Controls().Create(), name).usb;
        }
        err << QString::fromStdString(ControlRefusalText(exchange, usb)) << '\n';
        return exchange.opened ? 1 : 2;
    }
    return 0;
}
