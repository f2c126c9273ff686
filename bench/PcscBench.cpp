// zp-bench-pcsc: the program on the real PC/SC stack against a card that answers at once,
// next to what the stack itself costs. Prints its rows of the performance table.
//
//   zp-bench-pcsc --reader NAME --wait present|absent SECONDS
//       waits until the reader holds a card (or none); exit status 0 when it did in time
//   zp-bench-pcsc --reader NAME --ticks-without-card
//       the tracking tick on the empty reader
//   zp-bench-pcsc --reader NAME --count N --rounds R
//       N exchanges of 00 84 00 00 08 by the raw PC/SC loop, by the program's exchange path
//       and by scriptor, R rounds taken in turn; then the tracking tick with the card in
#include <fcntl.h>
#include <reader.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <winscard.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "BenchSupport.h"
#include "BenchTable.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/CardTracking.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/ApduConsole.h"
#include "insight/AtrList.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscMsrLibrary.h"
#include "pcsc/PcscSamLibrary.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kGetChallenge[] = {0x00, 0x84, 0x00, 0x00, 0x08};
const ApduTexts kGetChallengeTexts{"00", "84", "00", "00", "", "", "08"};
constexpr int kTicks = 2000;
constexpr double kExchangeTarget = 1.10;  // times the raw loop
constexpr double kTickTargetUs = 1000;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "zp-bench-pcsc: %s\n", what.c_str());
    std::exit(1);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A PC/SC context of its own, released on every way out.
class NativeContext {
  public:
    NativeContext() {
        if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context_) !=
            SCARD_S_SUCCESS) {
            Fail("no PC/SC context: is pcscd running?");
        }
    }
    ~NativeContext() { SCardReleaseContext(context_); }
    NativeContext(const NativeContext&) = delete;
    NativeContext& operator=(const NativeContext&) = delete;
    SCARDCONTEXT Get() const { return context_; }

  private:
    SCARDCONTEXT context_ = 0;
};

bool CardPresent(const std::string& reader) {
    NativeContext context;
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    if (SCardGetStatusChange(context.Get(), 0, &state, 1) != SCARD_S_SUCCESS) {
        return false;
    }
    return (state.dwEventState & SCARD_STATE_PRESENT) != 0;
}

// Polls the reader's state until it is `present` or the deadline has passed.
int WaitForCard(const std::string& reader, bool present, double seconds) {
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        if (CardPresent(reader) == present) {
            return 0;
        }
        usleep(20'000);
    }
    return 1;
}

// ---- The three ways of sending N commands ----

// A run of N exchanges: its whole time, each exchange's time, and the time of the event
// loop's last pass, which shows the lines of a run that made none before.
struct Run {
    double seconds = 0;
    std::vector<double> exchanges;
    double finalPass = 0;
};

// SCardTransmit in a loop on one connection: what the stack and the card cost by themselves.
Run RawLoop(const std::string& reader, int count) {
    NativeContext context;
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    if (SCardConnect(context.Get(), reader.c_str(), SCARD_SHARE_SHARED,
                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol) != SCARD_S_SUCCESS) {
        Fail("raw loop: connect failed");
    }
    const SCARD_IO_REQUEST pci{protocol, sizeof(SCARD_IO_REQUEST)};
    std::uint8_t reply[MAX_BUFFER_SIZE];
    Run run;
    run.exchanges.reserve(static_cast<std::size_t>(count));
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto exchange = Clock::now();
        DWORD length = sizeof(reply);
        if (SCardTransmit(card, &pci, kGetChallenge, sizeof(kGetChallenge), nullptr, reply,
                          &length) != SCARD_S_SUCCESS ||
            length < 2 || reply[length - 2] != 0x90) {
            Fail("raw loop: transmit failed");
        }
        run.exchanges.push_back(SecondsSince(exchange));
    }
    run.seconds = SecondsSince(start);
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    return run;
}

// The main window's log: the size of a page's log, on the (offscreen) screen.
struct ShownLog {
    ShownLog() {
        log.resize(640, 360);
        log.show();
        QApplication::processEvents();
    }
    ResponseLogModel model;
    ResponseLogEdit log{QStringLiteral("ScardRespon"), model};
};

int ReaderIndex(const ReaderSession& session, const std::string& reader) {
    for (int i = 0; i < static_cast<int>(session.ReaderCount()); ++i) {
        if (reader == session.ReaderName(i)) {
            return i;
        }
    }
    Fail("reader not listed: " + reader);
}

// The program's exchange path: SendCardApdu over PcscCardLibrary through a reader session,
// logging into a log on the screen. With `passPerExchange` the event loop makes one pass
// after every exchange, as after each press of Send (lines laid out, view scrolled and
// repainted); otherwise the lines are shown in one pass at the end, inside the time.
Run ProgramPath(const std::string& reader, int count, bool passPerExchange) {
    ShownLog shown;
    PcscCardLibrary library;
    CountingBoxes boxes;
    ReaderSession session(library, shown.model);
    if (!session.InitializeReaders()) {
        Fail("program: the reader session did not open");
    }
    session.SelectReader(ReaderIndex(session, reader));
    if (!session.TryConnectCard()) {
        Fail("program: connect failed");
    }
    QApplication::processEvents();
    Run run;
    run.exchanges.reserve(static_cast<std::size_t>(count));
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto exchange = Clock::now();
        if (!SendCardApdu(kGetChallengeTexts, session, boxes, shown.model)) {
            Fail("program: exchange failed: " + boxes.last);
        }
        if (passPerExchange) {
            QApplication::processEvents();
        }
        run.exchanges.push_back(SecondsSince(exchange));
    }
    const auto finalPass = Clock::now();
    QApplication::processEvents();
    run.finalPass = SecondsSince(finalPass);
    run.seconds = SecondsSince(start);
    // Initialize Success, then six lines per exchange.
    if (shown.log.Lines().size() != 1 + 6 * static_cast<std::size_t>(count)) {
        Fail("program: unexpected log");
    }
    session.DisconnectCard();
    session.ReleaseReaders();
    return run;
}

// Runs a program to its end with its output thrown away; false when it failed.
bool RunQuietly(const std::vector<std::string>& arguments) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// scriptor sending the command `count` times from a script file, start-up included.
double ScriptorSeconds(const std::string& reader, int count) {
    char path[] = "/tmp/zp-bench-scriptXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        Fail("scriptor: no script file");
    }
    close(fd);
    {
        std::ofstream script(path);
        for (int i = 0; i < count; ++i) {
            script << "00 84 00 00 08\n";
        }
    }
    const auto start = Clock::now();
    const bool ran = RunQuietly({"scriptor", "-r", reader, path});
    const double seconds = SecondsSince(start);
    unlink(path);
    if (!ran) {
        Fail("scriptor failed");
    }
    return seconds;
}

// ---- The tracking tick ----

// Times each of kTicks calls of `tick`, in microseconds.
std::vector<double> TimeTicks(const std::function<void()>& tick) {
    std::vector<double> us;
    us.reserve(kTicks);
    for (int i = 0; i < kTicks; ++i) {
        const auto start = Clock::now();
        tick();
        us.push_back(SecondsSince(start) * 1e6);
    }
    return us;
}

std::vector<double> TrackCardTicks(const std::string& reader, bool cardExpected) {
    PcscCardLibrary library;
    CountingBoxes boxes;
    ShownLog shown;
    ReaderSession session(library, shown.model);
    if (!session.InitializeReaders()) {
        Fail("tick: the reader session did not open");
    }
    session.SelectReader(ReaderIndex(session, reader));
    TrackCard(session);  // connects the card, if there is one
    if (session.CardConnected() != cardExpected) {
        Fail("tick: the card is not where it should be");
    }
    const auto us = TimeTicks([&session] { TrackCard(session); });
    session.ReleaseReaders();
    return us;
}

// The main window's slot, the windows built by the real start-up sequence on PC/SC.
std::vector<double> ConnectTimerTimerTicks(const std::string& reader, bool cardExpected) {
    PcscCardLibrary card;
    PcscSamLibrary sam;
    PcscMsrLibrary msr;
    CountingBoxes boxes;
    const Platform platform{card, sam, msr, boxes, QString::fromLatin1(AtrList::kInstalledPath)};
    const auto windows = CreateWindows(platform);
    // The timer itself is left out: the ticks are run here, one after the other.
    MainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer"))->stop();
    ReaderSession& session = MainForm->Session();
    session.SelectReader(ReaderIndex(session, reader));
    MainForm->ConnectTimerTimer();
    QApplication::processEvents();
    if (session.CardConnected() != cardExpected) {
        Fail("window tick: the card is not where it should be");
    }
    const auto us = TimeTicks([] { MainForm->ConnectTimerTimer(); });
    if (session.CardConnected()) {
        session.DisconnectCard();
    }
    session.ReleaseReaders();
    return us;
}

// The median tick is held against the target: a tick waits for the PC/SC service, whose
// process a busy machine does not always run at once, and the mean shows those waits too.
void PrintTicks(const std::string& reader, bool card) {
    const std::string state = card ? "card connected" : "no card in the reader";
    for (const bool window : {false, true}) {
        const std::vector<double> us =
            window ? ConnectTimerTimerTicks(reader, card) : TrackCardTicks(reader, card);
        double sum = 0;
        for (const double tick : us) {
            sum += tick;
        }
        std::vector<double> sorted = us;
        std::sort(sorted.begin(), sorted.end());
        const double p90 = sorted[sorted.size() * 9 / 10];
        TableRow row;
        row.section = "5 tracking tick (real stack)";
        row.measurement =
            (window ? "`TMainForm::ConnectTimerTimer` via `CreateWindows`, " : "`TrackCard`, ") +
            state + "; median of " + FormatNumber(kTicks, 0) + " (90th percentile " +
            FormatNumber(p90, 1) + " us, mean " +
            FormatNumber(sum / static_cast<double>(us.size()), 1) + " us)";
        row.value = Median(us);
        row.unit = "us/tick";
        row.decimals = 1;
        row.target = "< 1,000 us";
        row.met = row.value < kTickTargetUs;
        PrintRow(row);
    }
}

// The ways of sending are taken in turn each round, in an order that alternates, so that
// what else runs on the machine falls on all of them alike. A command's time is the median
// of all its exchanges over the rounds, which leaves out the exchanges during which the
// machine ran something else; the program's last pass, which shows a run's lines, is
// shared out over the run's commands and added.
void PrintExchanges(const std::string& reader, int count, int rounds) {
    std::vector<double> rawTotal, programTotal, shownTotal, finalPass, scriptor, scriptorOne;
    std::vector<double> raw, program, shown;
    const auto keep = [](const Run& run, std::vector<double>& total, std::vector<double>& each) {
        total.push_back(run.seconds);
        each.insert(each.end(), run.exchanges.begin(), run.exchanges.end());
    };
    for (int round = 0; round < rounds; ++round) {
        const auto rawRound = [&] { keep(RawLoop(reader, count), rawTotal, raw); };
        const auto programRound = [&] {
            const Run run = ProgramPath(reader, count, false);
            keep(run, programTotal, program);
            finalPass.push_back(run.finalPass);
        };
        if (round % 2 == 0) {
            rawRound();
            programRound();
        } else {
            programRound();
            rawRound();
        }
        keep(ProgramPath(reader, count, true), shownTotal, shown);
        scriptor.push_back(ScriptorSeconds(reader, count));
        scriptorOne.push_back(ScriptorSeconds(reader, 1));
    }
    const double rawCommand = Median(raw);
    const std::string commands = FormatNumber(count, 0) + " commands";
    const auto row = [&](const std::string& what, double seconds, double perCommand) {
        TableRow r;
        r.section = "4 exchange (real stack, zp-vcard)";
        r.measurement = what + "; " + commands + " in " + FormatNumber(seconds * 1e3, 1) +
                        " ms (median of " + std::to_string(rounds) + " rounds)";
        r.value = perCommand * 1e6;
        r.unit = "us/command";
        r.decimals = 1;
        r.target = FormatNumber(perCommand / rawCommand, 2) + "x raw";
        return r;
    };
    PrintRow(row("raw `SCardTransmit` loop (C++)", Median(rawTotal), rawCommand));
    PrintRow(
        row("`SendCardApdu` over `PcscCardLibrary`, log on screen: the handler's share "
            "(lines not yet in the document)",
            Median(programTotal) - Median(finalPass), Median(program)));
    const double pathCommand = Median(program) + Median(finalPass) / count;
    TableRow path =
        row("the same with its lines written into the document: the run's lines "
            "shown in one pass at its end",
            Median(programTotal), pathCommand);
    path.measurement += "; that pass took " + FormatNumber(Median(finalPass) * 1e3, 1) +
                        " ms for " + FormatNumber(6.0 * count, 0) + " lines";
    path.met = pathCommand / rawCommand <= kExchangeTarget;
    path.target = "<= 1.10x raw (now " + path.target + ")";
    PrintRow(path);
    PrintRow(
        row("the same, one event-loop pass after each exchange (lines laid out, view "
            "scrolled and repainted)",
            Median(shownTotal), Median(shown)));
    // scriptor's start-up (perl, its modules, its own connect) is taken out by subtracting
    // a run with one command; its commands are not timed one by one.
    const double scriptorRun = Median(scriptor);
    TableRow script = row("`scriptor` (pcsc-tools), same commands from a file, start-up excluded",
                          scriptorRun, (scriptorRun - Median(scriptorOne)) / (count - 1));
    script.measurement += ", start-up included";
    PrintRow(script);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::string reader;
    std::string wait;
    double waitSeconds = 0;
    bool ticksWithoutCard = false;
    int count = 1000;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--reader" && i + 1 < argc) {
            reader = argv[++i];
        } else if (option == "--wait" && i + 2 < argc) {
            wait = argv[++i];
            waitSeconds = std::atof(argv[++i]);
        } else if (option == "--ticks-without-card") {
            ticksWithoutCard = true;
        } else if (option == "--count" && i + 1 < argc) {
            count = std::max(2, std::atoi(argv[++i]));
        } else if (option == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            Fail("unknown option " + std::string(option));
        }
    }
    if (reader.empty()) {
        Fail("--reader is required");
    }
    if (!wait.empty()) {
        return WaitForCard(reader, wait == "present", waitSeconds);
    }
    QApplication app(argc, argv);
    if (ticksWithoutCard) {
        PrintTicks(reader, false);
        return 0;
    }
    PrintExchanges(reader, count, rounds);
    PrintTicks(reader, true);
    return 0;
}
