#include "sim/SimReaderTiming.h"

#include <thread>

std::chrono::microseconds SimReaderTiming::NextLatency() {
    std::uint64_t micros = settings_.latencyUs;
    if (settings_.jitterUs > 0) {
        micros += std::uniform_int_distribution<std::uint32_t>(0, settings_.jitterUs)(random_);
    }
    return std::chrono::microseconds(micros);
}

bool SimReaderTiming::CountExchange() {
    ++exchanges_;
    return settings_.failEvery != 0 && exchanges_ % settings_.failEvery == 0;
}

bool SimReaderTiming::Exchange() {
    std::this_thread::sleep_for(NextLatency());
    return CountExchange();
}
