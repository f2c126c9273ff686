// zp-vcard: attaches one of the simulated reader's cards to a slot of vpcd, the virtual
// reader driver of the PC/SC service, so that programs see it in "Virtual PCD 00 0N".
//
//   zp-vcard [--slot N] --card KIND
//
// vpcd listens on 127.0.0.1, port 35963 + N (slot 0 unless told). The card stays attached until the
// program is stopped (SIGINT or SIGTERM); when vpcd goes away it waits for it and attaches again.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "VpcdClient.h"
#include "sim/SimCardFactory.h"
#include "sim/SimVpcdResponder.h"

namespace {
constexpr int kBasePort = 35963;
constexpr int kMaxSlot = 0xFFFF - kBasePort;
constexpr useconds_t kRetryMicroseconds = 500'000;

std::atomic<bool> stopRequested{false};

void OnStopSignal(int) {
    stopRequested = true;
}

// Without SA_RESTART, so that a blocking connect or receive returns at once.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--slot N] --card KIND\nKIND is one of:", program);
    for (const SimCardKind kind : kAllSimCardKinds) {
        std::fprintf(stderr, " %s", SimCardKindOption(kind));
    }
    std::fprintf(stderr, "\n");
    return 2;
}

bool ParseSlot(std::string_view text, int& slot) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    slot = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        slot = slot * 10 + (c - '0');
    }
    return slot <= kMaxSlot;
}
}  // namespace

int main(int argc, char** argv) {
    int slot = 0;
    std::optional<SimCardKind> kind;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--slot" && i + 1 < argc) {
            if (!ParseSlot(argv[++i], slot)) {
                return Usage(argv[0]);
            }
        } else if (option == "--card" && i + 1 < argc) {
            kind = SimCardKindFromOption(argv[++i]);
            if (!kind) {
                return Usage(argv[0]);
            }
        } else {
            return Usage(argv[0]);
        }
    }
    if (!kind) {
        return Usage(argv[0]);
    }
    CatchStopSignals();
    const auto card = MakeSimCard(*kind);
    SimVpcdResponder responder(*card);
    const auto port = static_cast<std::uint16_t>(kBasePort + slot);
    VpcdClient client(port);
    bool waitingReported = false;
    while (!stopRequested) {
        std::string error;
        if (!client.Connect(error)) {
            if (!waitingReported) {
                std::fprintf(stderr, "zp-vcard: waiting for vpcd on 127.0.0.1:%d (%s)\n", port,
                             error.c_str());
                waitingReported = true;
            }
            usleep(kRetryMicroseconds);
            continue;
        }
        waitingReported = false;
        std::printf("zp-vcard: %s attached to vpcd slot %d (127.0.0.1:%d)\n",
                    SimCardKindName(*kind), slot, port);
        std::fflush(stdout);
        if (!client.Serve(responder, stopRequested, error)) {
            std::fprintf(stderr, "zp-vcard: connection to vpcd failed (%s)\n", error.c_str());
        } else if (!stopRequested) {
            std::fprintf(stderr, "zp-vcard: vpcd closed the connection\n");
        }
        client.Close();
        card->PowerDown();
    }
    return EXIT_SUCCESS;
}
