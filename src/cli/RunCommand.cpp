// zp-readertest-cli run SCRIPT: runs a script against the card in a reader, printing each
// exchange as the CPU card page logs it, then the summary.
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/script/CardConnection.h"
#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "core/session/CardLibrary.h"
#include "core/tlv/BerTlv.h"
#include "insight/TlvDictionary.h"
#include "report/ScriptReport.h"

namespace {

QString Words(const std::string& text) {
    return QString::fromStdString(text);
}

std::optional<std::uint32_t> ProtocolsNamed(const QString& name) {
    if (name.compare(QStringLiteral("T0"), Qt::CaseInsensitive) == 0) {
        return kProtocolT0;
    }
    if (name.compare(QStringLiteral("T1"), Qt::CaseInsensitive) == 0) {
        return kProtocolT1;
    }
    if (name.compare(QStringLiteral("any"), Qt::CaseInsensitive) == 0) {
        return kProtocolT0 | kProtocolT1;
    }
    return std::nullopt;
}

}  // namespace

int RunRunCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs a script (scriptor's format, with [data] (SW1 SW2) expectations) against the\n"
        "card in a reader. Prints each exchange as the CPU card page logs it, then the\n"
        "summary. Exit status: 0 every expectation met, 1 an expectation or a transmit\n"
        "failed, 2 a usage error, a bad script, or no reader, card or service."));
    parser.addPositionalArgument(QStringLiteral("script"), QStringLiteral("The script file."));
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index (default: 0)."),
                                    QStringLiteral("name|index"));
    const QCommandLineOption protocol(QStringLiteral("protocol"),
                                      QStringLiteral("The protocols offered: T0, T1 or any."),
                                      QStringLiteral("T0|T1|any"), QStringLiteral("any"));
    const QCommandLineOption junit(QStringLiteral("junit"),
                                   QStringLiteral("Also write the results as JUnit XML."),
                                   QStringLiteral("file"));
    const QCommandLineOption keepGoing(QStringLiteral("continue"),
                                       QStringLiteral("Go on after a failed transmit."));
    const QCommandLineOption simulated(
        QStringLiteral("simulated"),
        QStringLiteral("Use the built-in simulated reader with its T=1 card."));
    const QCommandLineOption decode(
        QStringLiteral("decode"),
        QStringLiteral("Print each reply's BER-TLV objects, named and decoded, as a tree."));
    const QCommandLineOption tags(
        QStringLiteral("tags"),
        QStringLiteral("With --decode: also name the tags of this file (TAG PARENT FORMAT NAME)."),
        QStringLiteral("file"));
    parser.addOptions({reader, protocol, junit, keepGoing, simulated, decode, tags});
    const QString word = QStringLiteral("run");
    const auto fail = [&](const QString& message) { return CommandUsageError(err, word, message); };
    if (const auto status = ParseCommandArguments(parser, word, args, out, fail)) {
        return *status;
    }
    if (parser.positionalArguments().size() != 1) {
        return fail(QStringLiteral("give one script file"));
    }
    const auto protocols = ProtocolsNamed(parser.value(protocol));
    if (!protocols) {
        return fail(
            QStringLiteral("unknown protocol %1 (T0, T1 or any)").arg(parser.value(protocol)));
    }
    if (parser.isSet(tags) && !parser.isSet(decode)) {
        return fail(QStringLiteral("--tags goes with --decode"));
    }
    std::optional<TlvDictionary> dictionary;
    if (parser.isSet(decode)) {
        std::vector<std::string> errors;
        dictionary = LoadTlvDictionary(parser.value(tags).toStdString(), errors);
        if (!errors.empty()) {
            return fail(Words(errors.front()));
        }
    }
    const QString path = parser.positionalArguments().front();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(path + QStringLiteral(": ") + file.errorString());
    }
    const QByteArray text = file.readAll();
    const ParsedScript parsed = ParseScript(std::string_view(text.constData(), text.size()));
    if (parsed.error) {
        return fail(path + QStringLiteral(": ") + Words(ScriptErrorText(*parsed.error)));
    }

    const auto library = OpenCliCardLibrary(parser.isSet(simulated));
    QString error;
    const auto readerName = ChooseAttachedReader(*library, parser.value(reader), error);
    if (!readerName) {
        return fail(error);
    }

    ScriptRunner runner(*library, {*readerName, *protocols, parser.isSet(keepGoing)});
    std::vector<StepResult> results;
    const ScriptRunSummary summary = runner.Run(parsed.script, [&](const StepResult& result) {
        for (const std::string& line : result.logLines) {
            out << Words(line) << '\n';
        }
        if (dictionary && result.code == 0 && result.reply.size() > 2) {
            const std::vector<std::uint8_t> data(result.reply.begin(), result.reply.end() - 2);
            for (const std::string& line : TlvTreeLines(DecodeBerTlv(data), *dictionary)) {
                out << "  " << Words(line) << '\n';
            }
        }
        const ScriptStep& step = parsed.script.steps[result.index];
        if (!step.warning.empty()) {
            out << "line " << result.line << ": warning, " << Words(step.warning) << '\n';
        }
        if (result.kind == ScriptStep::Kind::Command && result.verdict == Verdict::Fail &&
            result.code == 0) {
            std::string got =
                BytesToHexText(result.reply.data(), static_cast<std::int32_t>(result.reply.size()));
            out << "line " << result.line << ": FAIL, expected " << Words(ExpectationText(step))
                << ", got " << Words(got).trimmed() << '\n';
            for (const std::string& failure : result.checkFailures) {
                out << "line " << result.line << ": " << Words(failure) << '\n';
            }
        }
        out.flush();
        results.push_back(result);
    });
    out << Words(SummaryText(summary)) << '\n';
    if (parser.isSet(junit)) {
        QFile report(parser.value(junit));
        const std::string xml =
            JunitReport(QFileInfo(path).fileName().toStdString(), parsed.script, results, summary);
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            report.write(xml.data(), static_cast<qint64>(xml.size())) !=
                static_cast<qint64>(xml.size())) {
            return fail(parser.value(junit) + QStringLiteral(": ") + report.errorString());
        }
    }
    if (summary.error) {
        return fail(Words(*summary.error));
    }
    return summary.failures > 0 ? kExitCheckFailed : kExitSuccess;
}
