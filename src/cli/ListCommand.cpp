// zp-readertest-cli list [--simulated]: the attached readers, one a line, with the ATR of
// any card present.
#include <QCommandLineParser>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "core/common/Conversions.h"
#include "core/script/CardConnection.h"
#include "core/session/CardLibrary.h"

int RunListCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the attached readers as \"[index] name: ATR\" (\"no card\" without one)."));
    const QCommandLineOption simulated(QStringLiteral("simulated"),
                                       QStringLiteral("Use the built-in simulated reader."));
    parser.addOption(simulated);
    const QString word = QStringLiteral("list");
    if (const auto status = ParseCommandArguments(
            parser, word, args, out,
            [&](const QString& message) { return CommandUsageError(err, word, message); })) {
        return *status;
    }
    const auto library = OpenCliCardLibrary(parser.isSet(simulated));
    CardConnection connection(*library);
    std::vector<std::string> readers;
    std::uint32_t code = connection.Establish();
    if (code == 0) {
        code = ListReaderNames(*library, connection.Context(), readers);
    }
    if (code != 0 || readers.empty()) {
        return CommandUsageError(err, word, ReaderListErrorText(code));
    }
    for (std::size_t i = 0; i < readers.size(); ++i) {
        std::vector<std::uint8_t> atr;
        ReadCardAtr(*library, connection.Context(), readers[i], atr);
        std::string text = BytesToHexText(atr.data(), static_cast<std::int32_t>(atr.size()));
        if (!text.empty()) {
            text.pop_back();
        }
        out << '[' << i << "] " << QString::fromStdString(readers[i]) << ": "
            << (atr.empty() ? QStringLiteral("no card") : QString::fromStdString(text)) << '\n';
    }
    return kExitSuccess;
}
