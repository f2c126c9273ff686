#include "sim/SimReaderTiming.h"

#include <chrono>
#include <thread>

void SimReaderTiming::Wait() {
    std::uint64_t micros = settings_.latencyUs;
    if (settings_.jitterUs > 0) {
        micros += std::uniform_int_distribution<std::uint32_t>(0, settings_.jitterUs)(random_);
    }
    if (micros > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(micros));
    }
}

bool SimReaderTiming::Exchange() {
    Wait();
    ++exchanges_;
    return settings_.failEvery != 0 && exchanges_ % settings_.failEvery == 0;
}
