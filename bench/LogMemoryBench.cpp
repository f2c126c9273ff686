// zp-bench-logmemory: what one line of the CPU card page's response log costs in memory.
// Builds the windows on the simulated reader, shows the CPU card page, appends N lines of
// typical exchanges (00 84 00 00 08 answered by eight bytes and 90 00, six lines each) to
// its log, lets the view take them in as the event loop would, and prints the growth of the
// heap in use (mallinfo2) and of the resident memory (/proc/self/statm) per line.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZP_BENCH=ON -DBUILD_TESTING=OFF
//   cmake --build build-bench --target zp-bench-logmemory
//   build-bench/bench/zp-bench-logmemory [--lines N]     (N = 100000 when not given)
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "gui/ResponseLogEdit.h"
#include "insight/AtrList.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"

namespace {

std::size_t ResidentNow() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// The lines go in a page's worth at a time, each batch taken in by the view before the
// next, as when the user sends one command after another.
void Fill(ResponseLogModel& model, long lines) {
    const std::vector<std::string> exchange = ExchangeLines();
    long written = 0;
    while (written < lines) {
        for (int i = 0; i < 100 && written < lines; ++i) {
            model.AppendLine(exchange[static_cast<std::size_t>(written) % exchange.size()]);
            ++written;
        }
        QCoreApplication::processEvents();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    long lines = 100000;
    const bool counted = argc == 3 && std::string(argv[1]) == "--lines";
    if (counted) {
        lines = std::strtol(argv[2], nullptr, 10);
    }
    if ((argc != 1 && !counted) || lines <= 0) {
        std::fprintf(stderr, "usage: zp-bench-logmemory [--lines N]\n");
        return 2;
    }
    QApplication app(argc, argv);
    SimCardLibrary card;
    SimSamLibrary sam(card);
    SimMsrLibrary msr(card);
    CountingBoxes boxes;
    const Platform platform{card, sam, msr, boxes, QString::fromLatin1(AtrList::kInstalledPath)};
    const auto windows = CreateWindows(platform);
    windows->mainForm->show();
    auto* log = windows->mainForm->findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"));
    if (log == nullptr || log->Model() == nullptr) {
        std::fprintf(stderr, "no CPU card log\n");
        return 1;
    }
    QCoreApplication::processEvents();

    // A first batch settles the allocator's and the document's one-time costs.
    Fill(*log->Model(), 600);
    const std::size_t heapBefore = HeapInUse();
    const std::size_t residentBefore = ResidentNow();
    Fill(*log->Model(), lines);
    const std::size_t heapAfter = HeapInUse();
    const std::size_t residentAfter = ResidentNow();

    const double perLineHeap = static_cast<double>(heapAfter - heapBefore) / lines;
    const double perLineResident = static_cast<double>(residentAfter - residentBefore) / lines;
    std::printf("lines %ld (shown %zu)\n", lines, log->Lines().size());
    std::printf("heap in use: %zu bytes, %.1f bytes per line\n", heapAfter - heapBefore,
                perLineHeap);
    std::printf("resident:    %zu bytes, %.1f bytes per line\n", residentAfter - residentBefore,
                perLineResident);
    return 0;
}
