// zp-readertest-cli run SCRIPT: runs a script against the card in a reader, printing each
// exchange as the CPU card page logs it, then the summary.
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/script/CardConnection.h"
#include "core/script/ScriptParser.h"
#include "core/script/ScriptRunner.h"
#include "core/session/CardLibrary.h"
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

// The reader named, or the one at that index; the first reader when none is named.
std::optional<std::string> ChooseReader(const std::vector<std::string>& readers,
                                        const QString& wanted) {
    if (wanted.isEmpty()) {
        return readers.empty() ? std::nullopt : std::optional(readers.front());
    }
    for (const std::string& name : readers) {
        if (Words(name) == wanted) {
            return name;
        }
    }
    bool isIndex = false;
    const int index = wanted.toInt(&isIndex);
    if (isIndex && index >= 0 && static_cast<std::size_t>(index) < readers.size()) {
        return readers[index];
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
    parser.addOptions({reader, protocol, junit, keepGoing, simulated});
    if (const auto status = ParseCommandArguments(parser, args, out, err)) {
        return *status;
    }
    const auto fail = [&](const QString& message) {
        err << "zp-readertest-cli run: " << message << '\n';
        return kExitUsage;
    };
    if (parser.positionalArguments().size() != 1) {
        return fail(QStringLiteral("give one script file"));
    }
    const auto protocols = ProtocolsNamed(parser.value(protocol));
    if (!protocols) {
        return fail(
            QStringLiteral("unknown protocol %1 (T0, T1 or any)").arg(parser.value(protocol)));
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
    std::optional<std::string> readerName;
    {
        CardConnection lister(*library);
        std::vector<std::string> readers;
        std::uint32_t code = lister.Establish();
        if (code == 0) {
            code = ListReaderNames(*library, lister.Context(), readers);
        }
        if (code != 0) {
            return fail(Words(ReturnCodeText("no readers, return code=0x", code)));
        }
        readerName = ChooseReader(readers, parser.value(reader));
        if (!readerName) {
            return fail(readers.empty() ? QStringLiteral("no readers attached")
                                        : QStringLiteral("no reader %1").arg(parser.value(reader)));
        }
    }

    ScriptRunner runner(*library, {*readerName, *protocols, parser.isSet(keepGoing)});
    std::vector<StepResult> results;
    const ScriptRunSummary summary = runner.Run(parsed.script, [&](const StepResult& result) {
        for (const std::string& line : result.logLines) {
            out << Words(line) << '\n';
        }
        if (result.kind == ScriptStep::Kind::Command && result.verdict == Verdict::Fail &&
            result.code == 0) {
            const ScriptStep& step = parsed.script.steps[result.index];
            std::string got =
                BytesToHexText(result.reply.data(), static_cast<std::int32_t>(result.reply.size()));
            out << "line " << result.line << ": FAIL, expected " << Words(ExpectationText(step))
                << ", got " << Words(got).trimmed() << '\n';
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
        err << "zp-readertest-cli run: " << Words(*summary.error) << '\n';
        return kExitUsage;
    }
    return summary.failures > 0 ? kExitCheckFailed : kExitSuccess;
}
