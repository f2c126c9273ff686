// zp-bench: what the program's own code costs, without any hardware: the conversions, the
// response log on a real offscreen QPlainTextEdit, the exchange path and the tracking tick
// on the simulated card library. Prints its rows of the performance table.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTextDocument>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>

#include "BenchSupport.h"
#include "TableReporter.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/apdu/ApduFields.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/CardTracking.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/ApduConsole.h"
#include "insight/AtrList.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"

namespace {

constexpr int kRepetitions = 5;
constexpr int kLogWidth = 640;  // about the size of a page's log in the main window
constexpr int kLogHeight = 360;

// Counter values that Google Benchmark turns into a rate (per second) or, inverted, into
// a time per unit.
benchmark::Counter PerSecond(double unitsPerIteration) {
    return benchmark::Counter(unitsPerIteration, benchmark::Counter::kIsIterationInvariantRate);
}
benchmark::Counter NanosecondsPer(double unitsPerIteration) {
    return benchmark::Counter(
        unitsPerIteration * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
benchmark::Counter MicrosecondsPer(double unitsPerIteration) {
    return benchmark::Counter(
        unitsPerIteration * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A log that takes each line and keeps nothing, so that formatting is measured alone.
class DiscardingLog : public ResponseLog {
  public:
    void AppendLine(std::string_view line) override {
        benchmark::DoNotOptimize(line.data());
        ++lines;
    }
    void ClearLog() override {}
    std::size_t lines = 0;
};

std::vector<std::uint8_t> PatternBytes(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0x17});
    return bytes;
}

// ---- 1. Conversions ----

void BytesToHexTextRate(benchmark::State& state, std::size_t n) {
    const auto bytes = PatternBytes(n);
    for (auto _ : state) {
        std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(n));
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["v"] = PerSecond(static_cast<double>(n) / 1e6);
}

void ParseApdu(benchmark::State& state, const ApduTexts& texts) {
    ApduBuffer buffer{};
    std::int32_t n = 0;
    for (auto _ : state) {
        auto fault = ParseApduFields(texts, buffer, n);
        benchmark::DoNotOptimize(fault);
        benchmark::DoNotOptimize(buffer.data());
    }
    if (ParseApduFields(texts, buffer, n)) {
        state.SkipWithError("the command does not parse");
    }
    state.counters["v"] = NanosecondsPer(1);
}

void HexRows(benchmark::State& state) {
    const auto reply = PatternBytes(ApduBufferSize);
    DiscardingLog log;
    for (auto _ : state) {
        AppendHexRows(log, reply.data(), reply.size());
    }
    const double linesPerReply =
        static_cast<double>(log.lines) / static_cast<double>(state.iterations());
    state.counters["v"] = PerSecond(linesPerReply);
}

// ---- 2. Response log ----

// After each exchange, a benchmark either goes on at once (what the handler that writes
// the lines waits for) or lets the event loop make its pass, as after each press of Send:
// the lines go into the document, the view scrolls to them and is repainted.
enum class LogStage { Appended, Shown };

// Logs of the page's size, shown offscreen and filled with exchange lines, one per level.
class FilledLogs {
  public:
    // A log holding about `lines` lines: built anew once benchmarks have added a tenth more.
    ResponseLogEdit& At(std::size_t lines) {
        auto& log = logs_[lines];
        if (log && static_cast<std::size_t>(log->document()->blockCount()) > lines + lines / 10) {
            log.reset();
        }
        if (!log) {
            const std::size_t heapBefore = HeapInUse();
            log = std::make_unique<ResponseLogEdit>(QStringLiteral("ScardRespon"));
            log->resize(kLogWidth, kLogHeight);
            log->show();
            QCoreApplication::processEvents();
            // The lines go into the document after each exchange, as they do on the screen;
            // the rest of the event loop's pass (the repaint) only now and then, so that
            // filling a million lines does not take minutes.
            const std::size_t exchange = lines_.size();
            for (std::size_t i = 0; i < lines; ++i) {
                log->Model()->AppendLine(lines_[i % exchange]);
                if (i % exchange == exchange - 1) {
                    QCoreApplication::sendPostedEvents(log.get(), QEvent::MetaCall);
                }
                if (i % (exchange * 1000) == exchange * 1000 - 1) {
                    QCoreApplication::processEvents();
                }
            }
            QCoreApplication::processEvents();
            bytesPerLine_[lines] =
                static_cast<double>(HeapInUse() - heapBefore) / static_cast<double>(lines);
        }
        return *log;
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::map<std::size_t, double>& BytesPerLine() const { return bytesPerLine_; }
    // The widgets go before the application object does.
    void Release() { logs_.clear(); }

  private:
    std::vector<std::string> lines_ = ExchangeLines();
    std::map<std::size_t, std::unique_ptr<ResponseLogEdit>> logs_;
    std::map<std::size_t, double> bytesPerLine_;
};

FilledLogs& Logs() {
    static FilledLogs logs;
    return logs;
}

// Appends one exchange's six lines per iteration to a log holding about `level` lines,
// taking them as far as `stage` after each exchange.
void LogAppend(benchmark::State& state, std::size_t level, LogStage stage) {
    ResponseLogEdit& log = Logs().At(level);
    const auto& lines = Logs().Lines();
    for (auto _ : state) {
        for (const std::string& line : lines) {
            log.Model()->AppendLine(line);
        }
        if (stage == LogStage::Shown) {
            QCoreApplication::processEvents();
        }
    }
    QCoreApplication::processEvents();
    state.counters["v"] = NanosecondsPer(static_cast<double>(lines.size()));
}

// The lines of `exchanges` exchanges made in one handler, shown in the event loop's one pass
// after it, into a fresh log each time.
void LogBatch(benchmark::State& state, int exchanges) {
    const auto& lines = Logs().Lines();
    for (auto _ : state) {
        state.PauseTiming();
        auto log = std::make_unique<ResponseLogEdit>(QStringLiteral("ScardRespon"));
        log->resize(kLogWidth, kLogHeight);
        log->show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        for (int i = 0; i < exchanges; ++i) {
            for (const std::string& line : lines) {
                log->Model()->AppendLine(line);
            }
        }
        QCoreApplication::processEvents();
        state.PauseTiming();
        log.reset();
        state.ResumeTiming();
    }
    state.counters["v"] = NanosecondsPer(static_cast<double>(exchanges * lines.size()));
}

// ---- 3. Exchange path and 5. tracking tick, on the simulated library ----

// A session on the simulated reader with its CPU card connected, logging into `log`.
struct SimSession {
    explicit SimSession(ResponseLog& log) : session(card, log) {
        card.InsertCard(0, SimCardKind::CpuT1);
        session.InitializeReaders();
        session.TryConnectCard();
    }
    SimCardLibrary card;
    CountingBoxes boxes;
    ReaderSession session;
};

const ApduTexts kGetChallenge{"00", "84", "00", "00", "", "", "08"};

// Exchanges on the simulated reader. After every `passEvery` exchanges (0: never) the event
// loop makes its pass, inside the time: on a log on the screen the lines go into the
// document, the view scrolls and is repainted.
void SimExchange(benchmark::State& state, ResponseLog& log, int passEvery) {
    SimSession sim(log);
    int sincePass = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SendCardApdu(kGetChallenge, sim.session, sim.boxes, log));
        if (passEvery > 0 && ++sincePass == passEvery) {
            QCoreApplication::processEvents();
            sincePass = 0;
        }
    }
    if (!sim.session.CardConnected() || sim.boxes.errors != 0) {
        state.SkipWithError(("exchange failed: " + sim.boxes.last).c_str());
    }
    state.counters["v"] = MicrosecondsPer(1);
}

void SimExchangeOnScreenLog(benchmark::State& state, int passEvery) {
    ResponseLogModel model;
    ResponseLogEdit log(QStringLiteral("ScardRespon"), model);
    log.resize(kLogWidth, kLogHeight);
    log.show();
    QCoreApplication::processEvents();
    SimExchange(state, model, passEvery);
}

void SimExchangeListLog(benchmark::State& state) {
    MemoryResponseLog log;
    SimExchange(state, log, 0);
}

void SimTrackCard(benchmark::State& state) {
    MemoryResponseLog log;
    SimSession sim(log);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TrackCard(sim.session));
    }
    if (!sim.session.CardConnected()) {
        state.SkipWithError("the card is not connected");
    }
    state.counters["v"] = MicrosecondsPer(1);
}

// The main window's slot, through the real start-up sequence on the simulated reader.
void SimConnectTimerTimer(benchmark::State& state, bool cardInReader) {
    SimCardLibrary card;
    if (cardInReader) {
        card.InsertCard(0, SimCardKind::CpuT1);
    }
    SimSamLibrary sam(card);
    SimMsrLibrary msr(card);
    CountingBoxes boxes;
    const Platform platform{card, sam, msr, boxes, QString::fromLatin1(AtrList::kInstalledPath)};
    const auto windows = CreateWindows(platform);
    MainForm->ConnectTimerTimer();  // connects the card, if there is one
    QCoreApplication::processEvents();
    for (auto _ : state) {
        MainForm->ConnectTimerTimer();
    }
    if (MainForm->Session().CardConnected() != cardInReader || boxes.errors != 0) {
        state.SkipWithError("the card is not where it should be");
    }
    state.counters["v"] = MicrosecondsPer(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TableReporter table;
    const auto underOneMillisecond = [](double us) { return us < 1000; };

    const std::string conversions = "1 conversions";
    table.Add(
        "BytesToHexText16", [](benchmark::State& s) { BytesToHexTextRate(s, 16); },
        RowLayout(conversions, "`BytesToHexText`, 16-byte rows", "MB/s", 0), kRepetitions);
    table.Add(
        "BytesToHexText1024", [](benchmark::State& s) { BytesToHexTextRate(s, 1024); },
        RowLayout(conversions, "`BytesToHexText`, 1,024 bytes", "MB/s", 0), kRepetitions);
    table.Add(
        "ParseApduFieldsShort", [](benchmark::State& s) { ParseApdu(s, kGetChallenge); },
        RowLayout(conversions, "`ParseApduFields`, 00 84 00 00 08", "ns/command", 0), kRepetitions);
    const ApduTexts longCommand{"00", "D6", "00", "00", "FF", std::string(510, 'A'), "00"};
    table.Add(
        "ParseApduFieldsLong", [longCommand](benchmark::State& s) { ParseApdu(s, longCommand); },
        RowLayout(conversions, "`ParseApduFields`, 261 bytes (Lc FF, 255 data bytes, Le)",
                  "ns/command", 0),
        kRepetitions);
    table.Add(
        "HexRows", HexRows,
        RowLayout(conversions, "hex rows of a 1,024-byte reply (`AppendHexRows`)", "lines/s", 0),
        kRepetitions);

    const std::string log = "2 response log";
    constexpr int kExchangesPerRun = 500;
    const std::pair<LogStage, std::string> stages[] = {
        {LogStage::Appended, "one line appended (what the handler waits for)"},
        {LogStage::Shown,
         "one line appended and shown (an exchange's six lines, then the event loop's pass: "
         "into the document, scrolled, repainted)"}};
    for (const auto& [stage, words] : stages) {
        const std::string kind = "Log" + std::to_string(static_cast<int>(stage)) + "_";
        for (const std::size_t level : {1'000UL, 100'000UL, 1'000'000UL}) {
            RowLayout layout(
                log,
                words + ", " + FormatNumber(static_cast<double>(level), 0) + " lines in the log",
                "ns/line", 0);
            if (level != 1'000) {
                layout
                    .Target("flat: <= 1.5x the cost at 1,000 lines",
                            [](double x) { return x <= 1.5; })
                    .RelativeTo(kind + "1000");
            }
            table.Add(
                kind + std::to_string(level),
                [level, stage](benchmark::State& s) { LogAppend(s, level, stage); }, layout,
                kRepetitions, kExchangesPerRun);
        }
    }

    table.Add(
        "LogBatch", [](benchmark::State& s) { LogBatch(s, 1000); },
        RowLayout(log, "one line of 1,000 exchanges made in one handler, shown in one pass",
                  "ns/line", 0),
        kRepetitions);

    const std::string exchange = "3 exchange (simulated library)";
    table.Add(
        "SimExchangeShownEvery1000", [](benchmark::State& s) { SimExchangeOnScreenLog(s, 1000); },
        RowLayout(exchange,
                  "`SendCardApdu`, 00 84 00 00 08, log on screen (`ResponseLogEdit`), lines shown "
                  "after every 1,000 exchanges",
                  "us/exchange", 2),
        kRepetitions);
    table.Add(
        "SimExchangeShownEach", [](benchmark::State& s) { SimExchangeOnScreenLog(s, 1); },
        RowLayout(exchange,
                  "the same, lines shown after each exchange (the event loop's pass, repaint "
                  "included)",
                  "us/exchange", 2),
        kRepetitions);
    table.Add("SimExchangeListLog", SimExchangeListLog,
              RowLayout(exchange, "`SendCardApdu`, 00 84 00 00 08, log as a list of lines",
                        "us/exchange", 2),
              kRepetitions);

    const std::string tick = "5 tracking tick (simulated library)";
    table.Add("SimTrackCard", SimTrackCard,
              RowLayout(tick, "`TrackCard`, card connected", "us/tick", 2)
                  .Target("< 1,000 us", underOneMillisecond),
              kRepetitions);
    table.Add(
        "SimConnectTimerTimerCard", [](benchmark::State& s) { SimConnectTimerTimer(s, true); },
        RowLayout(tick, "`TMainForm::ConnectTimerTimer` via `CreateWindows`, card connected",
                  "us/tick", 2)
            .Target("< 1,000 us", underOneMillisecond),
        kRepetitions);
    table.Add(
        "SimConnectTimerTimerNoCard", [](benchmark::State& s) { SimConnectTimerTimer(s, false); },
        RowLayout(tick, "`TMainForm::ConnectTimerTimer` via `CreateWindows`, no card", "us/tick", 2)
            .Target("< 1,000 us", underOneMillisecond),
        kRepetitions);

    benchmark::RunSpecifiedBenchmarks(&table);
    const auto& bytesPerLine = Logs().BytesPerLine();
    if (const auto full = bytesPerLine.find(1'000'000); full != bytesPerLine.end()) {
        TableRow row;
        row.section = log;
        row.measurement = "heap per line, filled to 1,000,000 lines";
        row.value = full->second;
        row.unit = "bytes/line";
        row.decimals = 0;
        PrintRow(row);
    }
    Logs().Release();
    benchmark::Shutdown();
    return 0;
}
