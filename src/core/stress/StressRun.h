#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/session/CardLibraryFactory.h"
#include "core/stress/StressStats.h"
#include "core/stress/StressWorkload.h"

// How long and how a stress run goes; a count and a duration of 0 mean no limit of that
// kind (with neither, the run goes until stopped).
struct StressSettings {
    std::uint64_t count = 0;
    std::chrono::milliseconds duration{0};
    bool stopAtFirstFailure = false;
    std::uint32_t pauseMs = 0;
    std::uint32_t resetEvery = 0;  // reconnect with a reset every K units (0: never)
    bool exclusive = false;
};

// One unit as it happened, for a log that streams every exchange.
struct ExchangeRecord {
    std::size_t reader = 0;  // index in the run's reader list
    std::uint64_t index = 0;
    std::int64_t startUnixMicros = 0;
    std::uint64_t micros = 0;
    UnitResult result;
};

// A stress run over one reader or several: each reader runs in a thread of its own, with its
// own card library from the factory (its own context) and its own connection. Snapshots
// may be taken from any thread at any time. A worker keeps its figures to itself and
// publishes a copy every kPublishInterval and at its end, so that a reader at full speed
// never contends for the lock with the thread that shows its figures; the lock is never
// held across a call to the card library.
class StressRun {
  public:
    static constexpr std::chrono::milliseconds kPublishInterval{100};

    StressRun(CardLibraryFactory libraries, StressWorkloadFactory workloads,
              StressSettings settings);
    // Stops the run and waits for its workers.
    ~StressRun();
    StressRun(const StressRun&) = delete;
    StressRun& operator=(const StressRun&) = delete;

    // Called on the worker's thread after each unit, with no lock held.
    void SetExchangeObserver(std::function<void(const ExchangeRecord&)> observer);
    // Called first on each worker's thread (e.g. to set its priority).
    void SetWorkerStartObserver(std::function<void()> observer);
    // Called on the worker's thread when a reader's run has ended.
    void SetFinishedObserver(std::function<void(std::size_t reader)> observer);

    void Start(const std::vector<std::string>& readers);
    // Every reader ends after the command in progress (a script pass cut short is not
    // counted); pauses are cut short.
    void Stop();
    // Waits until every reader's run has ended.
    void Wait();
    bool Finished() const;

    const StressSettings& Settings() const { return settings_; }
    std::size_t ReaderCount() const { return workers_.size(); }
    ReaderSnapshot Snapshot(std::size_t reader) const;

  private:
    struct Worker {
        mutable std::mutex mutex;
        ReaderSnapshot state;  // published figures, under the lock
        ReaderStats live;      // the worker's own figures
        std::chrono::steady_clock::time_point start;
        std::chrono::steady_clock::time_point published;  // when the figures were last copied
        std::thread thread;
    };

    void RunReader(std::size_t index);
    // Runs units until the run is over; answers how it ended.
    RunEnd RunUnits(std::size_t index, StressWorkload& workload, StressConnection& connection);
    // Reads the card's ATR; answers the code refusing the reader, or "no card".
    std::uint32_t CheckCard(std::size_t index, StressConnection& connection);
    std::uint32_t Connect(StressConnection& connection);
    // Counts one unit, publishes the figures when their interval is up, and streams it.
    void Record(std::size_t index, std::uint64_t unit, const UnitResult& result,
                std::chrono::steady_clock::time_point before,
                std::chrono::steady_clock::time_point after);
    // Waits `ms` or until stopped; false when stopped.
    bool PauseFor(std::chrono::milliseconds ms);
    void Finish(std::size_t index, const RunEnd& end);

    CardLibraryFactory libraries_;
    StressWorkloadFactory workloads_;
    StressSettings settings_;
    std::function<void(const ExchangeRecord&)> exchangeObserver_;
    std::function<void(std::size_t)> finishedObserver_;
    std::function<void()> workerStartObserver_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> running_{0};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
};
