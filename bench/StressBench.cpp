// zp-bench-stress: what the stress runs cost, measured side by side in one program.
//
//   zp-bench-stress overhead --reader NAME --count N --rounds R
//       N exchanges of 00 84 00 00 08 by a raw SCardTransmit loop and by the stress engine on
//       the same reader and card, R rounds taken in turn; the medians and their ratio
//   zp-bench-stress memory --count N
//       the resident size before and after N exchanges of the engine on a simulated reader
//   zp-bench-stress responsiveness --readers K --seconds S
//       the Stress Test window running K simulated readers at full speed for S seconds; the
//       longest stall of its event loop, seen by a 10 ms probe timer
//   zp-bench-stress throughput --reader NAME [--reader NAME ...] --seconds S
//       one worker per --reader (a name may repeat) for S seconds; units per second
//   zp-bench-stress screenshot --file PNG --seconds S
//       the window after S seconds of two simulated readers with latency, jitter and
//       failures, grabbed into PNG (for the README)
#include <unistd.h>
#include <winscard.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/stress/ApduWorkload.h"
#include "core/stress/StressRun.h"
#include "gui/stress/StressWindow.h"
#include "pcsc/PcscCardLibrary.h"
#include "sim/SimCardLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::vector<std::uint8_t> kGetChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};

double ProcessorSecondsNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "zp-bench-stress: %s\n", what.c_str());
    std::exit(1);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

StressWorkloadFactory GetChallenge() {
    return [] { return std::make_unique<ApduWorkload>(kGetChallenge); };
}

// Seconds of N raw SCardTransmit calls on one shared connection.
double RawLoop(const std::string& reader, std::uint64_t count) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        Fail("no PC/SC context: is pcscd running?");
    }
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    if (SCardConnect(context, reader.c_str(), SCARD_SHARE_SHARED,
                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol) != SCARD_S_SUCCESS) {
        Fail("raw loop: connect failed");
    }
    const SCARD_IO_REQUEST pci{protocol, sizeof(SCARD_IO_REQUEST)};
    std::uint8_t reply[MAX_BUFFER_SIZE];
    const auto start = Clock::now();
    for (std::uint64_t i = 0; i < count; ++i) {
        DWORD length = sizeof(reply);
        if (SCardTransmit(card, &pci, kGetChallenge.data(), kGetChallenge.size(), nullptr, reply,
                          &length) != SCARD_S_SUCCESS) {
            Fail("raw loop: transmit failed");
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    SCardReleaseContext(context);
    return seconds;
}

// Runs the engine over `readers` and answers each reader's snapshot.
std::vector<ReaderSnapshot> RunEngine(CardLibraryFactory libraries,
                                      const std::vector<std::string>& readers,
                                      StressSettings settings) {
    StressRun run(std::move(libraries), GetChallenge(), settings);
    run.Start(readers);
    run.Wait();
    std::vector<ReaderSnapshot> snapshots;
    for (std::size_t i = 0; i < readers.size(); ++i) {
        snapshots.push_back(run.Snapshot(i));
        if (snapshots.back().stats.failed != 0 || !snapshots.back().end ||
            (snapshots.back().end->kind != RunEnd::Kind::Completed)) {
            Fail("the engine's run did not complete cleanly on " + readers[i]);
        }
    }
    return snapshots;
}

CardLibraryFactory PcscLibraries() {
    return [] { return std::make_unique<PcscCardLibrary>(); };
}

// Each worker its own simulated library, a T=1 card in each of its readers.
CardLibraryFactory SimLibraries(std::vector<std::string> names) {
    return [names] {
        auto library = std::make_unique<SimCardLibrary>(names);
        for (std::size_t i = 0; i < names.size(); ++i) {
            library->InsertCard(static_cast<int>(i), SimCardKind::CpuT1);
        }
        return library;
    };
}

int Overhead(const std::string& reader, std::uint64_t count, int rounds) {
    std::vector<double> raw;
    std::vector<double> engine;
    std::vector<double> rawCpu;
    std::vector<double> engineCpu;
    const double perExchange = 1e6 / static_cast<double>(count);
    // Rounds alternate which loop goes first, so that neither always meets a warmer service.
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const double cpu = ProcessorSecondsNow();
            if ((round + turn) % 2 == 0) {
                raw.push_back(RawLoop(reader, count) * perExchange);
                rawCpu.push_back((ProcessorSecondsNow() - cpu) * perExchange);
            } else {
                const auto snapshot = RunEngine(PcscLibraries(), {reader}, {.count = count});
                engine.push_back(snapshot[0].elapsedSeconds * perExchange);
                engineCpu.push_back((ProcessorSecondsNow() - cpu) * perExchange);
            }
        }
    }
    const double rawUs = Median(raw);
    const double engineUs = Median(engine);
    const double addedCpuUs = Median(engineCpu) - Median(rawCpu);
    std::printf(
        "loop overhead: raw SCardTransmit %.1f us/exchange, stress engine %.1f us/exchange,"
        " %+.2f%% on the clock; processor time in this process %.2f vs %.2f us/exchange,"
        " the engine adds %.2f us = %+.2f%% of the raw exchange (%llu exchanges x %d "
        "rounds, medians)\n",
        rawUs, engineUs, (engineUs / rawUs - 1) * 100, Median(rawCpu), Median(engineCpu),
        addedCpuUs, addedCpuUs / rawUs * 100, static_cast<unsigned long long>(count), rounds);
    return 0;
}

int Memory(std::uint64_t count) {
    const std::vector<std::string> names = {"ZP Simulated Reader 0"};
    RunEngine(SimLibraries(names), names, {.count = 10'000});  // warm-up: threads, allocator
    const std::size_t before = ResidentBytes(getpid());
    const auto snapshot = RunEngine(SimLibraries(names), names, {.count = count});
    const std::size_t after = ResidentBytes(getpid());
    std::printf(
        "memory: %llu exchanges, resident %.2f MB before, %.2f MB after, growth %.2f MB "
        "(%.0f exchanges/s)\n",
        static_cast<unsigned long long>(snapshot[0].stats.done), before / 1048576.0,
        after / 1048576.0, (static_cast<double>(after) - before) / 1048576.0,
        snapshot[0].UnitsPerSecond());
    return 0;
}

int Responsiveness(int argc, char** argv, int readers, int seconds, const QString& screenshot) {
    QApplication app(argc, argv);
    std::vector<std::string> names;
    for (int i = 0; i < readers; ++i) {
        names.push_back("ZP Simulated Reader " + std::to_string(i));
    }
    CountingBoxes boxes;
    StressSources sources;
    sources.libraries = SimLibraries(names);
    if (!screenshot.isEmpty()) {
        sources.libraries = [names] {
            auto library = SimLibraries(names)();
            auto* sim = static_cast<SimCardLibrary*>(library.get());
            sim->SetReaderTiming(0, {.latencyUs = 900, .jitterUs = 400});
            sim->SetReaderTiming(1, {.latencyUs = 1500, .jitterUs = 900, .failEvery = 97});
            return library;
        };
    }
    sources.currentCommand = [](QString&) { return std::optional(kGetChallenge); };
    StressWindow window(std::move(sources), boxes);
    window.show();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("ReaderList"));
    for (int i = 0; i < list->count(); ++i) {
        list->item(i)->setCheckState(Qt::Checked);
    }
    window.findChild<QRadioButton*>(QStringLiteral("UntilStopRadio"))->setChecked(true);
    window.findChild<QPushButton*>(QStringLiteral("StartBtn"))->click();

    constexpr int kProbeMs = 10;
    QTimer probe;
    probe.setInterval(kProbeMs);
    auto last = Clock::now();
    double worstMs = 0;
    std::uint64_t ticks = 0;
    // The first second (first paint, fonts) is start-up, not the run.
    const auto measureFrom = Clock::now() + std::chrono::seconds(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (now >= measureFrom) {
            worstMs =
                std::max(worstMs, std::chrono::duration<double, std::milli>(now - last).count());
            ++ticks;
        }
        last = now;
    });
    probe.start();
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        if (!screenshot.isEmpty() && !window.grab().save(screenshot)) {
            Fail("cannot save " + screenshot.toStdString());
        }
        window.findChild<QPushButton*>(QStringLiteral("StopBtn"))->click();
        QTimer::singleShot(500, &app, &QApplication::quit);
    });
    app.exec();
    std::printf(
        "responsiveness: %d simulated readers at full speed for %d s, %llu probe ticks "
        "of %d ms, longest gap %.1f ms (stall %.1f ms), %d error boxes\n",
        readers, seconds, static_cast<unsigned long long>(ticks), kProbeMs, worstMs,
        std::max(0.0, worstMs - kProbeMs), boxes.errors);
    return boxes.errors == 0 ? 0 : 1;
}

int Throughput(const std::vector<std::string>& readers, int seconds) {
    const auto snapshots =
        RunEngine(PcscLibraries(), readers, {.duration = std::chrono::seconds(seconds)});
    double total = 0;
    std::printf("throughput with %zu workers:", readers.size());
    for (const ReaderSnapshot& reader : snapshots) {
        total += reader.UnitsPerSecond();
        std::printf(" [%s %.0f/s, median %llu us]", reader.reader.c_str(), reader.UnitsPerSecond(),
                    static_cast<unsigned long long>(reader.stats.latency.Percentile(50)));
    }
    std::printf(" total %.0f exchanges/s\n", total);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Fail(
            "usage: zp-bench-stress overhead|memory|responsiveness|throughput|screenshot "
            "[options]");
    }
    const std::string mode = argv[1];
    std::vector<std::string> readers;
    std::uint64_t count = 1000;
    int rounds = 5;
    int seconds = 5;
    int readerCount = 4;
    QString screenshot;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--reader") {
            readers.push_back(value);
        } else if (option == "--count") {
            count = std::stoull(value);
        } else if (option == "--rounds") {
            rounds = std::stoi(value);
        } else if (option == "--seconds") {
            seconds = std::stoi(value);
        } else if (option == "--file") {
            screenshot = QString::fromStdString(value);
        } else if (option == "--readers") {
            readerCount = std::stoi(value);
        } else {
            Fail("unknown option " + option);
        }
    }
    if (mode == "overhead" && readers.size() == 1) {
        return Overhead(readers[0], count, rounds);
    }
    if (mode == "memory") {
        return Memory(count);
    }
    if (mode == "responsiveness") {
        return Responsiveness(argc, argv, readerCount, seconds, {});
    }
    if (mode == "screenshot" && !screenshot.isEmpty()) {
        return Responsiveness(argc, argv, 2, seconds, screenshot);
    }
    if (mode == "throughput" && !readers.empty()) {
        return Throughput(readers, seconds);
    }
    Fail("usage: zp-bench-stress overhead|memory|responsiveness|throughput [options]");
}
