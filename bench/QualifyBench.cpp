// zp-bench-qualify: the qualification battery's own cost per exchange.
//
//   zp-bench-qualify [--rounds R] [--quick]
//       a full battery under T=1 on the simulated test card (time requests without work),
//       then a bare loop of CardTransmit calls sending the very commands the battery sent,
//       on the same card; R rounds of each taken in turn; the median processor time per
//       exchange of each (the thread's own, so that other work on the machine counts less)
//       and the median of the rounds' ratios
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/common/Conversions.h"
#include "core/common/ResponseLog.h"
#include "core/qualify/QualifyRunner.h"
#include "core/script/CardConnection.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimTestCard.h"

namespace {

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Keeps the commands of the exchanges a run logs, in their order.
class CommandRecorder : public ResponseLog {
  public:
    void AppendLine(std::string_view line) override {
        if (expectBytes_) {
            std::vector<std::uint8_t> command;
            for (std::size_t i = 0; i + 1 < line.size(); i += 3) {
                std::uint8_t byte = 0;
                HexPairToByte(line.data() + i, byte);
                command.push_back(byte);
            }
            commands.push_back(std::move(command));
        }
        expectBytes_ = line.starts_with("Send Data (");
    }
    void ClearLog() override {}

    std::vector<std::vector<std::uint8_t>> commands;

  private:
    bool expectBytes_ = false;
};

// Seconds of one battery; its exchange count in `exchanges`.
double Battery(SimCardLibrary& library, const QualifyPlan& plan, std::uint64_t& exchanges,
               ResponseLog* log = nullptr) {
    QualifyRunner runner(library, plan);
    QualifyObserver observer;
    observer.log = log;
    runner.SetObserver(observer);
    const double start = ThreadSeconds();
    const QualifyResult result = runner.Run(SimCardLibrary::DefaultReaderName);
    const double seconds = ThreadSeconds() - start;
    if (result.end != QualifyEnd::Completed) {
        std::fprintf(stderr, "zp-bench-qualify: the battery did not complete\n");
        std::exit(1);
    }
    exchanges = result.exchanges;
    return seconds;
}

// Seconds of the same commands sent by a bare loop on one connection.
double BareLoop(SimCardLibrary& library, const std::vector<std::vector<std::uint8_t>>& commands) {
    CardConnection connection(library);
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    if (connection.Establish() != 0 ||
        library.CardConnect(connection.Context(), SimCardLibrary::DefaultReaderName, kShareShared,
                            kProtocolT1, &card, &protocol) != 0) {
        std::fprintf(stderr, "zp-bench-qualify: bare loop: no connection\n");
        std::exit(1);
    }
    std::vector<std::uint8_t> reply(kMaxExtendedReply);
    IoRequest request{kProtocolT1, 8};
    const double start = ThreadSeconds();
    for (const std::vector<std::uint8_t>& command : commands) {
        std::uint32_t length = kMaxExtendedReply;
        library.CardTransmit(card, &request, command.data(),
                             static_cast<std::uint32_t>(command.size()), &request, reply.data(),
                             &length);
    }
    const double seconds = ThreadSeconds() - start;
    library.CardDisconnect(card, kDispositionLeave);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: zp-bench-qualify [--rounds R] [--quick]\n");
            return 2;
        }
    }
    SimCardLibrary library;
    SimTestCardSettings settings;
    settings.timeUnit = std::chrono::microseconds(0);
    library.InsertCard(0, std::make_unique<SimTestCard>(SimCardKind::TestT1, settings));
    QualifyPlan plan;
    plan.protocols = {kProtocolT1};
    plan.full = !quick;

    CommandRecorder recorder;
    std::uint64_t exchanges = 0;
    Battery(library, plan, exchanges, &recorder);
    std::vector<double> battery;
    std::vector<double> bare;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        battery.push_back(Battery(library, plan, exchanges) / static_cast<double>(exchanges));
        bare.push_back(BareLoop(library, recorder.commands) /
                       static_cast<double>(recorder.commands.size()));
        ratios.push_back(battery.back() / bare.back());
    }
    const double ratio = Median(ratios);
    const double batteryMicros = Median(battery) * 1e6;
    const double bareMicros = Median(bare) * 1e6;
    std::printf("%s battery under T=1: %llu exchanges a run, %d rounds\n", quick ? "quick" : "full",
                static_cast<unsigned long long>(exchanges), rounds);
    std::printf("battery   %10.3f us an exchange\n", batteryMicros);
    std::printf("bare loop %10.3f us an exchange\n", bareMicros);
    std::printf("ratio     %10.4f (the battery's own cost %+.2f%%)\n", ratio, (ratio - 1) * 100);
    return 0;
}
