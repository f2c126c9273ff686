#pragma once

#include <chrono>
#include <cstdint>
#include <random>

// How fast and how reliably a simulated reader answers: every exchange takes a fixed latency
// plus a random jitter, and every `failEvery`-th exchange fails (0: none). The defaults add
// nothing and fail nothing.
struct SimTimingSettings {
    std::uint32_t latencyUs = 0;
    std::uint32_t jitterUs = 0;
    std::uint32_t failEvery = 0;
};

// The exchanges of one simulated reader under its timing settings; not thread-safe, one per
// reader.
class SimReaderTiming {
  public:
    void Configure(const SimTimingSettings& settings) {
        settings_ = settings;
        exchanges_ = 0;
    }
    const SimTimingSettings& Settings() const { return settings_; }

    // Waits a transmit's latency and answers whether this transmit fails.
    bool Exchange();
    // The next latency, for a caller that waits it itself.
    std::chrono::microseconds NextLatency();
    // Counts a transmit and answers whether it fails.
    bool CountExchange();

  private:
    SimTimingSettings settings_;
    std::uint64_t exchanges_ = 0;
    std::minstd_rand random_{0x5EED};
};
