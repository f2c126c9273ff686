// zp-bench-startup: how long the simulated-reader program takes from the start of its
// process to its first shown window, offscreen, and its resident memory then. Prints its
// rows of the performance table.
//
//   zp-bench-startup --program PATH [--runs K]
//
// Three kinds of run, K of each, taken in turn; each time runs from just before the
// process is spawned (the parent's steady clock, which the child shares):
// - the program itself (PATH): until its main thread first sleeps in the event loop's poll,
//   read from /proc, when the windows have been shown and painted and nothing is left to do;
// - this harness as the program (--child program): the same start-up as the program's main,
//   through RunProgram, until the main window's first paint has ended;
// - a bare Qt window with eight tabs of plain-text logs (--child bare), the same way;
// - the same bare window until its event loop is idle (--child bare-idle), measured as the
//   program is, so that the two figures compare like with like.
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "BenchSupport.h"
#include "BenchTable.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/QtMessageBoxes.h"
#include "app/StartUp.h"
#include "insight/AtrList.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "simwindow/SimulatorWindow.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kStartTargetMs = 100;
constexpr double kResidentTargetMb = 40;
constexpr double kChildDeadlineSeconds = 20;

std::int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "zp-bench-startup: %s\n", what.c_str());
    std::exit(1);
}

// ---- In the child ----

// Notes when the first paint of the window that `window` names has ended: on the first paint
// event of a widget in it, a zero timer fires once the whole paint has been done and
// flushed. Then prints the time and the resident memory and ends the event loop.
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(std::function<QWidget*()> window) : window_(std::move(window)) {
        QApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            window_() != nullptr && static_cast<QWidget*>(watched)->window() == window_()) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                std::printf("%lld %zu %.6f\n", static_cast<long long>(NowNanoseconds()),
                            ResidentBytes(getpid()), ProcessorSeconds(getpid()));
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return false;
    }

  private:
    std::function<QWidget*()> window_;
    bool seen_ = false;
};

// The program's main with the first-paint watch added before the event loop runs.
int ProgramChild(int argc, char** argv) {
    QApplication app(argc, argv);
    SimCardLibrary card;
    card.InsertCard(0, SimCardKind::CpuT1);
    SimSamLibrary sam(card);
    SimMsrLibrary msr(card);
    QtMessageBoxes boxes;
    const Platform platform{card, sam, msr, boxes, QString::fromLatin1(AtrList::kInstalledPath)};
    SimulatorWindow simulator(card, sam, msr);
    // RunProgram creates the main window, which the watch finds once it exists.
    const FirstPaint watch([]() -> QWidget* { return MainForm; });
    return RunProgram(app, platform, &simulator);
}

// A bare window of the main window's kind: eight tabs, each a plain-text log; it reports its
// first paint and ends, or with `untilIdle` stays in its event loop to be watched from /proc.
int BareChild(int argc, char** argv, bool untilIdle) {
    QApplication app(argc, argv);
    QMainWindow window;
    auto* tabs = new QTabWidget(&window);
    for (int i = 0; i < 8; ++i) {
        auto* log = new QPlainTextEdit;
        log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        tabs->addTab(log, QStringLiteral("Page %1").arg(i + 1));
    }
    window.setCentralWidget(tabs);
    window.resize(720, 520);
    const FirstPaint watch(
        [&window, untilIdle]() -> QWidget* { return untilIdle ? nullptr : &window; });
    window.show();
    return app.exec();
}

// ---- In the parent ----

struct Sample {
    double milliseconds = 0;
    double megabytes = 0;
    double processorMilliseconds = 0;
};

pid_t Spawn(const std::vector<std::string>& arguments, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        Fail("cannot start " + arguments[0]);
    }
    return pid;
}

// A harness child: the time it printed, taken from the parent's start.
Sample RunChild(const std::string& self, const std::string& kind) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        Fail("pipe");
    }
    const std::int64_t start = NowNanoseconds();
    const pid_t pid = Spawn({self, "--child", kind}, pipeFds[1]);
    close(pipeFds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof(buffer))) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long shown = 0;
    std::size_t resident = 0;
    double processor = 0;
    std::istringstream fields(output);
    if (!(fields >> shown >> resident >> processor) || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        Fail("the " + kind + " child did not report its first paint");
    }
    return {static_cast<double>(shown - start) / 1e6, static_cast<double>(resident) / 1048576,
            processor * 1e3};
}

// The main thread of `pid` sleeping in poll, which Qt's event loop does once it has
// nothing left to do.
bool IdleInEventLoop(pid_t pid) {
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    std::ifstream stat(task + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= line.size() || line[nameEnd + 2] != 'S') {
        return false;
    }
    std::ifstream syscallFile(task + "/syscall");
    long number = -1;
    if (!(syscallFile >> number)) {
        return false;
    }
    return number == SYS_poll || number == SYS_ppoll;
}

// A program: the time until its event loop first waits, and its memory then.
Sample RunUntilIdle(const std::vector<std::string>& arguments) {
    const std::int64_t start = NowNanoseconds();
    const pid_t pid = Spawn(arguments, -1);
    const auto deadline = Clock::now() + std::chrono::duration<double>(kChildDeadlineSeconds);
    Sample sample;
    while (!IdleInEventLoop(pid)) {
        if (Clock::now() > deadline || waitpid(pid, nullptr, WNOHANG) == pid) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            Fail("the program did not reach its event loop");
        }
        usleep(250);
    }
    sample.milliseconds = static_cast<double>(NowNanoseconds() - start) / 1e6;
    sample.megabytes = static_cast<double>(ResidentBytes(pid)) / 1048576;
    sample.processorMilliseconds = ProcessorSeconds(pid) * 1e3;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintSamples(const std::string& what, const std::vector<Sample>& samples, bool targets) {
    std::vector<double> ms, mb, cpu;
    for (const Sample& sample : samples) {
        ms.push_back(sample.milliseconds);
        mb.push_back(sample.megabytes);
        cpu.push_back(sample.processorMilliseconds);
    }
    TableRow time;
    time.section = "6 start-up (offscreen)";
    time.measurement = what + ", median of " + std::to_string(samples.size());
    time.value = Median(ms);
    time.unit = "ms";
    time.decimals = 1;
    TableRow processor = time;
    processor.measurement = what + ": processor time used by then";
    processor.value = Median(cpu);
    TableRow memory = time;
    memory.measurement = what + ": resident memory then";
    memory.value = Median(mb);
    memory.unit = "MB";
    if (targets) {
        time.target = "< 100 ms";
        time.met = time.value < kStartTargetMs;
        memory.target = "< 40 MB";
        memory.met = memory.value < kResidentTargetMb;
    }
    PrintRow(time);
    PrintRow(processor);
    PrintRow(memory);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 3 && std::string_view(argv[1]) == "--child") {
        const std::string_view kind = argv[2];
        int childArgc = 1;
        if (kind == "program") {
            return ProgramChild(childArgc, argv);
        }
        return BareChild(childArgc, argv, kind == "bare-idle");
    }
    std::string program;
    int runs = 9;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--program" && i + 1 < argc) {
            program = argv[++i];
        } else if (option == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            Fail("unknown option " + std::string(option));
        }
    }
    if (program.empty()) {
        Fail("--program is required");
    }
    const std::string self = "/proc/self/exe";
    char selfPath[4096];
    const ssize_t length = readlink(self.c_str(), selfPath, sizeof(selfPath) - 1);
    if (length <= 0) {
        Fail("cannot find this program");
    }
    const std::string harness(selfPath, static_cast<std::size_t>(length));
    std::vector<Sample> binary, child, bare, bareIdle;
    for (int run = 0; run < runs; ++run) {
        binary.push_back(RunUntilIdle({program}));
        child.push_back(RunChild(harness, "program"));
        bare.push_back(RunChild(harness, "bare"));
        bareIdle.push_back(RunUntilIdle({harness, "--child", "bare-idle"}));
    }
    PrintSamples("`zp-readertest-sim`: process start to its event loop idle, windows shown", binary,
                 true);
    PrintSamples("the same start-up in a harness (`RunProgram`): to the end of the first paint",
                 child, true);
    PrintSamples("for comparison, a bare Qt window with eight tabs of plain-text logs", bare,
                 false);
    PrintSamples("the bare window: process start to its event loop idle, as the program", bareIdle,
                 false);
    return 0;
}
