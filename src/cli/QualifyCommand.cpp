#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <chrono>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "cli/ReaderCommandPlatform.h"
#include "core/qualify/QualifyMatrix.h"
#include "core/qualify/QualifyRunner.h"
#include "core/session/CardLibrary.h"
#include "insight/QualifyReaderFacts.h"
#include "insight/ReaderReport.h"
#include "report/QualificationHtmlReport.h"
#include "report/QualifyReport.h"
#include "report/ReportFile.h"
#include "report/StressReport.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimReaderControl.h"

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// The built-in simulated reader holding the test card, offering both protocols.
class SimTestCardPlatform : public ReaderCommandPlatform {
  public:
    SimTestCardPlatform() { cards_.InsertCard(0, SimCardKind::TestBoth); }
    CardLibrary& Cards() override { return cards_; }
    ReaderControlFactory& Controls() override { return controls_; }

  private:
    SimCardLibrary cards_;
    SimReaderControlFactory controls_{cards_};
};

struct QualifyOptions {
    QualifyPlan plan;
    QString jsonPath;
    QString junitPath;
    QString htmlPath;
};

std::optional<std::vector<std::uint32_t>> ParseProtocols(const QString& text) {
    if (text.compare(QLatin1String("T0"), Qt::CaseInsensitive) == 0) {
        return std::vector<std::uint32_t>{kProtocolT0};
    }
    if (text.compare(QLatin1String("T1"), Qt::CaseInsensitive) == 0) {
        return std::vector<std::uint32_t>{kProtocolT1};
    }
    if (text.compare(QLatin1String("both"), Qt::CaseInsensitive) == 0) {
        return std::vector<std::uint32_t>{kProtocolT0, kProtocolT1};
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint32_t>> ParseWaits(const QString& text) {
    std::vector<std::uint32_t> waits;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint value = item.trimmed().toUInt(&ok);
        if (!ok || value == 0 || value > 0xFF) {
            return std::nullopt;
        }
        waits.push_back(value);
    }
    return waits;
}

void PrintMatrix(const QualifyResult& result, QTextStream& out) {
    const std::vector<FoldedRow> rows = FoldCells(result.cells);
    for (const std::uint32_t protocol : {kProtocolT0, kProtocolT1}) {
        bool heading = false;
        for (const FoldedRow& row : rows) {
            if (row.protocol != protocol) {
                continue;
            }
            if (!heading) {
                out << ProtocolName(protocol) << '\n';
                heading = true;
            }
            out << "  " << QString::fromStdString(RowText(row)) << '\n';
        }
    }
    std::size_t passed = 0;
    std::size_t failed = 0;
    for (const QualifyCell& cell : result.cells) {
        passed += cell.outcome == CellOutcome::Pass ? 1 : 0;
        failed += cell.outcome == CellOutcome::Fail ? 1 : 0;
    }
    out << result.cells.size() << " cells, " << passed << " passed, " << failed << " failed, "
        << (result.cells.size() - passed - failed) << " skipped; " << result.exchanges
        << " exchanges in " << QString::number(static_cast<double>(result.micros) / 1e6, 'f', 3)
        << " s\n";
}

bool SaveReports(const QualifyOptions& options, const QString& reader,
                 const ReaderReport& properties, const QualifyResult& result, QTextStream& err) {
    bool saved = true;
    const auto save = [&](const QString& path, const QByteArray& bytes) {
        if (QString error; !path.isEmpty() && !SaveReportFile(path, bytes, error)) {
            err << "zp-readertest-cli qualify: cannot write " << path << ": " << error << '\n';
            saved = false;
        }
    };
    save(options.jsonPath,
         QJsonDocument(QualifyReportJson(QCoreApplication::applicationVersion(), reader,
                                         &properties, options.plan, result))
             .toJson(QJsonDocument::Indented));
    save(options.junitPath,
         QByteArray::fromStdString(QualifyJunitReport("qualify " + reader.toStdString(), result)));
    save(options.htmlPath,
         QualifyHtmlReport(QCoreApplication::applicationVersion(), reader, options.plan, result)
             .toUtf8());
    return saved;
}

}  // namespace

int RunQualifyCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index."),
                                    QStringLiteral("NAME|INDEX"));
    const QCommandLineOption simulated(
        QStringLiteral("simulated"), QStringLiteral("The built-in simulated reader's test card."));
    const QCommandLineOption protocol(QStringLiteral("protocol"),
                                      QStringLiteral("T0, T1 or both (the default)."),
                                      QStringLiteral("T0|T1|both"), QStringLiteral("both"));
    const QCommandLineOption full(QStringLiteral("full"),
                                  QStringLiteral("Every length, not only the boundaries."));
    const QCommandLineOption step(QStringLiteral("extended-step"),
                                  QStringLiteral("The step of the extended lengths (100)."),
                                  QStringLiteral("N"), QString::number(kDefaultExtendedStep));
    const QCommandLineOption waits(
        QStringLiteral("waiting-times"),
        QStringLiteral("The time requests' P2 values, comma-separated (1,2,5,30)."),
        QStringLiteral("LIST"), QStringLiteral("1,2,5,30"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Writes the JSON report."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption junit(QStringLiteral("junit"),
                                   QStringLiteral("Writes the JUnit report."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption html(QStringLiteral("html"),
                                  QStringLiteral("Writes the HTML page of the result."),
                                  QStringLiteral("FILE"));
    parser.addOptions({reader, simulated, protocol, full, step, waits, json, junit, html});
    const QString word = QStringLiteral("qualify");
    const auto usage = [&err, &word](const QString& why) {
        err << "usage: qualify [--simulated | --reader NAME|INDEX] [--protocol T0|T1|both] "
               "[--full] [--extended-step N] [--waiting-times LIST] [--json FILE] "
               "[--junit FILE] [--html FILE]\n";
        return why.isEmpty() ? kExitUsage : CommandUsageError(err, word, why);
    };
    if (const auto status = ParseCommandArguments(parser, word, args, out, usage)) {
        return *status;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usage(QString());
    }
    if (parser.isSet(simulated) && parser.isSet(reader)) {
        return usage(QStringLiteral("--simulated and --reader exclude each other"));
    }
    QualifyOptions options;
    const auto protocols = ParseProtocols(parser.value(protocol));
    if (!protocols) {
        return usage(QStringLiteral("--protocol takes T0, T1 or both"));
    }
    options.plan.protocols = *protocols;
    options.plan.full = parser.isSet(full);
    bool stepOk = false;
    options.plan.extendedStep = parser.value(step).toUInt(&stepOk);
    if (!stepOk || options.plan.extendedStep == 0 || options.plan.extendedStep > 65535) {
        return usage(QStringLiteral("--extended-step takes a number from 1 to 65535"));
    }
    const auto waitList = ParseWaits(parser.value(waits));
    if (!waitList) {
        return usage(QStringLiteral("--waiting-times takes numbers from 1 to 255"));
    }
    options.plan.waitingTimes = *waitList;
    options.jsonPath = parser.value(json);
    options.junitPath = parser.value(junit);
    options.htmlPath = parser.value(html);
    for (const QString& path : {options.jsonPath, options.junitPath, options.htmlPath}) {
        if (QString error; !path.isEmpty() && !CanSaveReport(path, error)) {
            return CommandUsageError(err, word,
                                     QStringLiteral("cannot write %1: %2").arg(path, error));
        }
    }

    const std::unique_ptr<ReaderCommandPlatform> platform =
        parser.isSet(simulated) ? std::make_unique<SimTestCardPlatform>()
                                : MakeReaderCommandPlatform(false);
    QString error;
    const auto name = ChooseAttachedReader(platform->Cards(), parser.value(reader), error);
    if (!name) {
        return CommandUsageError(err, word, error);
    }
    const auto control = platform->Controls().Create();
    const ReaderReport properties = ReadReaderReport(*control, *name);
    options.plan.readerLimits = ReadQualifyReaderFacts(*control, *name).limits;

    QualifyRunner runner(platform->Cards(), options.plan);
    QualifyObserver observer;
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    auto shown = std::chrono::steady_clock::time_point{};
    if (terminal) {
        observer.progress = [&out, &shown](std::size_t done, std::size_t total) {
            const auto now = std::chrono::steady_clock::now();
            if (now - shown >= kProgressInterval || done == total) {
                shown = now;
                out << "\rqualifying: " << done << " of " << total << " cells" << Qt::flush;
            }
        };
    }
    runner.SetObserver(observer);
    const QualifyResult result = runner.Run(*name);
    if (terminal) {
        out << "\r\x1b[K";
    }
    if (result.end != QualifyEnd::Completed) {
        return CommandUsageError(err, word, QualifyEndText(result));
    }
    out << "Reader: " << QString::fromStdString(*name) << '\n';
    PrintMatrix(result, out);
    const bool saved = SaveReports(options, QString::fromStdString(*name), properties, result, err);
    if (!saved) {
        return kExitUsage;
    }
    return result.AllPassed() ? kExitSuccess : kExitCheckFailed;
}
