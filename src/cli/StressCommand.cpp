#include "cli/StressCommand.h"

#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QTextStream>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "core/session/LockedCardLibrary.h"
#include "core/stress/ApduWorkload.h"
#include "core/stress/StressRun.h"
#include "insight/PcscCodeNames.h"
#include "pcsc/PcscCardLibrary.h"
#include "report/ExchangeCsvLog.h"
#include "report/StressReport.h"
#include "sim/SimCardLibrary.h"

namespace {

constexpr int kExitFailures = 1;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);
const std::vector<std::string> kSimulatedReaders = {"ZP Simulated Reader 0",
                                                    "ZP Simulated Reader 1"};

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
    interrupted = true;
}

// SIGINT sets the flag while the run goes; the previous handler comes back afterwards. The
// handler serves once: a second SIGINT ends the program at once.
class InterruptGuard {
  public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }

  private:
    struct sigaction previous_ {};
};

struct Options {
    StressWorkloadFactory workload;
    QJsonObject settingsJson;
    StressSettings settings;
    std::vector<std::string> readers;
    CardLibraryFactory libraries;
    std::shared_ptr<SimCardLibrary> simulated;  // one library for every worker, as the service
    std::uint64_t maxFailures = 0;
    QString jsonPath;
    QString csvPath;
};

bool ParseCount(const QCommandLineParser& parser, const QString& name, std::uint64_t& value,
                bool zeroAllowed, QString& error) {
    if (!parser.isSet(name)) {
        return true;
    }
    bool ok = false;
    value = parser.value(name).toULongLong(&ok);
    if (!ok || (!zeroAllowed && value == 0)) {
        error = QStringLiteral("--%1 wants a %2 number, not '%3'")
                    .arg(name, zeroAllowed ? QStringLiteral("whole") : QStringLiteral("positive"),
                         parser.value(name));
        return false;
    }
    return true;
}

// The readers named by --reader (a name or an index into the list), all with --all-readers,
// or the only one attached.
bool ChooseReaders(const QCommandLineParser& parser, const std::vector<std::string>& attached,
                   std::vector<std::string>& chosen, QString& error) {
    if (parser.isSet(QStringLiteral("all-readers"))) {
        chosen = attached;
        return true;
    }
    const QStringList wanted = parser.values(QStringLiteral("reader"));
    if (wanted.isEmpty()) {
        if (attached.size() == 1) {
            chosen = attached;
            return true;
        }
        error = QStringLiteral("%1 readers attached; choose with --reader or --all-readers")
                    .arg(attached.size());
        return false;
    }
    for (const QString& name : wanted) {
        const auto found = ChooseReader(attached, name, error);
        if (!found) {
            return false;
        }
        chosen.push_back(*found);
    }
    return true;
}

// Parses the options; answers nothing to go on, or the exit status after its help on `out`
// or a message on `err`.
std::optional<int> ParseOptions(const QStringList& args, const StressCommandHooks& hooks,
                                QTextStream& out, QTextStream& err, Options& options) {
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("apdu"), QStringLiteral("Send this command APDU (hex)."),
         QStringLiteral("HEX")},
        {QStringLiteral("script"), QStringLiteral("Run this script again and again."),
         QStringLiteral("FILE")},
        {QStringLiteral("connect-cycle"), QStringLiteral("Connect, then disconnect with a reset.")},
        {QStringLiteral("reader"), QStringLiteral("A reader by name or index (repeatable)."),
         QStringLiteral("NAME|INDEX")},
        {QStringLiteral("all-readers"), QStringLiteral("Every attached reader.")},
        {QStringLiteral("simulated"), QStringLiteral("The built-in simulated readers.")},
        {QStringLiteral("simulated-latency-ms"),
         QStringLiteral("Each simulated reader's latency per connect and command."),
         QStringLiteral("MS")},
        {QStringLiteral("count"),
         QStringLiteral("Commands per reader (with --script: passes of the script)."),
         QStringLiteral("N")},
        {QStringLiteral("duration"), QStringLiteral("Seconds per reader."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("reset-every"),
         QStringLiteral("Reset the card every K commands (with --script: every K passes)."),
         QStringLiteral("K")},
        {QStringLiteral("pause-ms"),
         QStringLiteral("Pause between commands (with --script: between passes)."),
         QStringLiteral("N")},
        {QStringLiteral("max-failures"), QStringLiteral("Failures allowed (default 0)."),
         QStringLiteral("N")},
        {QStringLiteral("exclusive"), QStringLiteral("Connect in exclusive mode.")},
        {QStringLiteral("json"), QStringLiteral("Write the report here."), QStringLiteral("FILE")},
        {QStringLiteral("csv"), QStringLiteral("Log every exchange here."), QStringLiteral("FILE")},
    });
    const QString word = QStringLiteral("stress");
    auto usage = [&err, &word](const QString& text) { return CommandUsageError(err, word, text); };
    if (const auto status = ParseCommandArguments(parser, word, args, out, usage)) {
        return status;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usage(QStringLiteral("unexpected argument ") + parser.positionalArguments()[0]);
    }
    const int kinds = parser.isSet(QStringLiteral("apdu")) +
                      parser.isSet(QStringLiteral("script")) +
                      parser.isSet(QStringLiteral("connect-cycle"));
    if (kinds != 1) {
        return usage(QStringLiteral("give one of --apdu, --script and --connect-cycle"));
    }
    QString error;
    if (parser.isSet(QStringLiteral("apdu"))) {
        std::string reason;
        const auto command =
            ParseHexApdu(parser.value(QStringLiteral("apdu")).toStdString(), reason);
        if (!command) {
            return usage(QStringLiteral("--apdu: ") + QString::fromStdString(reason));
        }
        options.workload = [bytes = *command] { return std::make_unique<ApduWorkload>(bytes); };
        options.settingsJson[QStringLiteral("apdu")] = parser.value(QStringLiteral("apdu"));
    } else if (parser.isSet(QStringLiteral("script"))) {
        const QString path = parser.value(QStringLiteral("script"));
        options.workload = hooks.scriptWorkload ? hooks.scriptWorkload(path, error)
                                                : LoadScriptWorkload(path, error);
        if (!options.workload) {
            return usage(QStringLiteral("--script: ") + error);
        }
        options.settingsJson[QStringLiteral("script")] = path;
    } else {
        options.workload = [] { return std::make_unique<ConnectCycleWorkload>(); };
        options.settingsJson[QStringLiteral("connectCycle")] = true;
    }

    std::uint64_t durationSeconds = 0;
    std::uint64_t resetEvery = 0;
    std::uint64_t pauseMs = 0;
    std::uint64_t latencyMs = 0;
    if (!ParseCount(parser, QStringLiteral("count"), options.settings.count, false, error) ||
        !ParseCount(parser, QStringLiteral("simulated-latency-ms"), latencyMs, true, error) ||
        !ParseCount(parser, QStringLiteral("duration"), durationSeconds, false, error) ||
        !ParseCount(parser, QStringLiteral("reset-every"), resetEvery, true, error) ||
        !ParseCount(parser, QStringLiteral("pause-ms"), pauseMs, true, error) ||
        !ParseCount(parser, QStringLiteral("max-failures"), options.maxFailures, true, error)) {
        return usage(error);
    }
    if (resetEvery > UINT32_MAX || pauseMs > UINT32_MAX || durationSeconds > UINT32_MAX ||
        latencyMs > UINT32_MAX / 1000) {
        return usage(QStringLiteral("a number is too large"));
    }
    if (parser.isSet(QStringLiteral("simulated-latency-ms")) &&
        !parser.isSet(QStringLiteral("simulated"))) {
        return usage(QStringLiteral("--simulated-latency-ms needs --simulated"));
    }
    options.settings.duration = std::chrono::seconds(durationSeconds);
    options.settings.resetEvery = static_cast<std::uint32_t>(resetEvery);
    options.settings.pauseMs = static_cast<std::uint32_t>(pauseMs);
    options.settings.exclusive = parser.isSet(QStringLiteral("exclusive"));
    options.jsonPath = parser.value(QStringLiteral("json"));
    options.csvPath = parser.value(QStringLiteral("csv"));
    options.settingsJson[QStringLiteral("count")] = static_cast<double>(options.settings.count);
    options.settingsJson[QStringLiteral("durationSeconds")] = static_cast<double>(durationSeconds);
    options.settingsJson[QStringLiteral("resetEvery")] = static_cast<double>(resetEvery);
    options.settingsJson[QStringLiteral("pauseMs")] = static_cast<double>(pauseMs);
    options.settingsJson[QStringLiteral("maxFailures")] = static_cast<double>(options.maxFailures);
    options.settingsJson[QStringLiteral("shareMode")] =
        options.settings.exclusive ? QStringLiteral("exclusive") : QStringLiteral("shared");

    std::vector<std::string> attached;
    if (parser.isSet(QStringLiteral("simulated"))) {
        attached = kSimulatedReaders;
        options.simulated = std::make_shared<SimCardLibrary>(kSimulatedReaders);
        for (std::size_t i = 0; i < kSimulatedReaders.size(); ++i) {
            const int reader = static_cast<int>(i);
            options.simulated->InsertCard(reader, SimCardKind::CpuT1);
            options.simulated->SetReaderTiming(
                reader, {.latencyUs = static_cast<std::uint32_t>(latencyMs * 1000)});
        }
        if (hooks.simulated) {
            hooks.simulated(*options.simulated);
        }
        options.libraries = [library = options.simulated] {
            return std::make_unique<LockedCardLibrary>(*library, library->SharedLock());
        };
        options.settingsJson[QStringLiteral("simulated")] = true;
        options.settingsJson[QStringLiteral("simulatedLatencyMs")] = static_cast<double>(latencyMs);
    } else {
        options.libraries = [] { return std::make_unique<PcscCardLibrary>(); };
        PcscCardLibrary library;
        const auto listed = AttachedReaders(library, error);
        if (!listed) {
            return usage(error);
        }
        attached = *listed;
    }
    if (!ChooseReaders(parser, attached, options.readers, error)) {
        return usage(error);
    }
    return std::nullopt;
}

QString Micros(std::uint64_t value) {
    return QString::number(value);
}

void PrintSummary(const std::vector<ReaderSnapshot>& readers, QTextStream& out) {
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9  %10\n")
               .arg(QStringLiteral("Reader"), -24)
               .arg(QStringLiteral("Done"), 9)
               .arg(QStringLiteral("Failed"), 7)
               .arg(QStringLiteral("cmd/s"), 8)
               .arg(QStringLiteral("min"), 7)
               .arg(QStringLiteral("median"), 7)
               .arg(QStringLiteral("p95"), 7)
               .arg(QStringLiteral("p99"), 7)
               .arg(QStringLiteral("max µs"), 8)
               .arg(QStringLiteral("End"));
    for (const ReaderSnapshot& reader : readers) {
        const LatencyHistogram& latency = reader.stats.latency;
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9  %10\n")
                   .arg(QString::fromStdString(reader.reader), -24)
                   .arg(reader.stats.done, 9)
                   .arg(reader.stats.failed, 7)
                   .arg(reader.UnitsPerSecond(), 8, 'f', 1)
                   .arg(Micros(latency.Min()), 7)
                   .arg(Micros(latency.Percentile(50)), 7)
                   .arg(Micros(latency.Percentile(95)), 7)
                   .arg(Micros(latency.Percentile(99)), 7)
                   .arg(Micros(latency.Max()), 8)
                   .arg(reader.end ? RunEndDescription(*reader.end) : QString());
        for (const auto& [cause, tally] : reader.stats.causes) {
            QStringList first;
            for (const FailureSample& sample : tally.first) {
                first.append(QStringLiteral("#%1").arg(sample.index));
            }
            out << QStringLiteral("    %1: %2 (first %3)")
                       .arg(FailureCauseText(cause))
                       .arg(tally.count)
                       .arg(first.join(QLatin1Char(' ')));
            if (tally.firstMismatch) {
                out << "; " << MismatchDetailText(*tally.firstMismatch);
            }
            out << '\n';
        }
    }
    out.flush();
}

void PrintProgress(const StressRun& run, QTextStream& out) {
    QStringList parts;
    for (std::size_t i = 0; i < run.ReaderCount(); ++i) {
        const ReaderSnapshot reader = run.Snapshot(i);
        parts.append(QStringLiteral("%1: %2 done, %3 failed, %4/s")
                         .arg(i)
                         .arg(reader.stats.done)
                         .arg(reader.stats.failed)
                         .arg(reader.UnitsPerSecond(), 0, 'f', 0));
    }
    out << '\r' << parts.join(QStringLiteral(" | ")) << "\x1b[K";
    out.flush();
}

}  // namespace

int RunStressCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                     const StressCommandHooks& hooks) {
    Options options;
    if (const auto status = ParseOptions(args, hooks, out, err, options)) {
        return *status;
    }
    // A report that could not be saved at the end of a long run is known now.
    if (QString error; !options.jsonPath.isEmpty() && !CanSaveReport(options.jsonPath, error)) {
        err << "zp-readertest-cli stress: cannot write " << options.jsonPath << ": " << error
            << Qt::endl;
        return kExitUsage;
    }
    ExchangeCsvLog csv;
    std::string csvError;
    if (!options.csvPath.isEmpty() &&
        !csv.Open(
            options.csvPath.toStdString(), options.readers,
            [](std::uint32_t code) { return PcscCodeText(code); }, csvError)) {
        err << "zp-readertest-cli stress: cannot write " << options.csvPath << ": "
            << QString::fromStdString(csvError) << Qt::endl;
        return kExitUsage;
    }

    const InterruptGuard interruptGuard;
    std::mutex mutex;
    std::condition_variable finished;
    StressRun run(options.libraries, options.workload, options.settings);
    if (!options.csvPath.isEmpty()) {
        run.SetExchangeObserver([&csv](const ExchangeRecord& record) { csv.Write(record); });
    }
    run.SetFinishedObserver([&](std::size_t) {
        std::lock_guard lock(mutex);
        finished.notify_all();
    });
    run.Start(options.readers);
    if (hooks.started) {
        hooks.started();
    }
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    {
        std::unique_lock lock(mutex);
        while (!finished.wait_for(lock, kProgressInterval, [&] { return run.Finished(); })) {
            if (interrupted) {
                run.Stop();
            }
            if (terminal) {
                lock.unlock();
                PrintProgress(run, out);
                lock.lock();
            }
        }
    }
    run.Wait();
    if (terminal) {
        out << "\r\x1b[K";
    }

    std::vector<ReaderSnapshot> readers;
    std::uint64_t failures = 0;
    bool noConnection = false;
    bool cardFailed = false;  // a card that did not answer its reset ended a reader's run
    for (std::size_t i = 0; i < run.ReaderCount(); ++i) {
        readers.push_back(run.Snapshot(i));
        failures += readers.back().stats.failed;
        noConnection |= readers.back().end->kind == RunEnd::Kind::ConnectFailed;
        cardFailed |= readers.back().end->kind == RunEnd::Kind::ResetFailed;
    }
    PrintSummary(readers, out);

    int status = noConnection                                   ? kExitUsage
                 : cardFailed || failures > options.maxFailures ? kExitFailures
                                                                : 0;
    if (!csv.Close(csvError)) {
        err << "zp-readertest-cli stress: writing " << options.csvPath << " failed" << Qt::endl;
        status = kExitUsage;
    }
    if (!options.jsonPath.isEmpty()) {
        QString error;
        const QJsonObject report =
            StressReportJson(QCoreApplication::applicationVersion(), options.settingsJson, readers);
        if (!SaveStressReport(options.jsonPath, report, error)) {
            err << "zp-readertest-cli stress: cannot write " << options.jsonPath << ": " << error
                << Qt::endl;
            status = kExitUsage;
        }
    }
    return status;
}

int RunStressCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    return RunStressCommand(args, out, err, {});
}
