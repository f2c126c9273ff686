#include "core/stress/StressRun.h"

#include <algorithm>

#include "core/session/CardLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MicrosBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
}
}  // namespace

StressRun::StressRun(CardLibraryFactory libraries, StressWorkloadFactory workloads,
                     StressSettings settings)
    : libraries_(std::move(libraries)), workloads_(std::move(workloads)), settings_(settings) {}

StressRun::~StressRun() {
    Stop();
    Wait();
}

void StressRun::SetExchangeObserver(std::function<void(const ExchangeRecord&)> observer) {
    exchangeObserver_ = std::move(observer);
}

void StressRun::SetFinishedObserver(std::function<void(std::size_t)> observer) {
    finishedObserver_ = std::move(observer);
}

void StressRun::SetWorkerStartObserver(std::function<void()> observer) {
    workerStartObserver_ = std::move(observer);
}

void StressRun::Start(const std::vector<std::string>& readers) {
    for (const std::string& reader : readers) {
        auto worker = std::make_unique<Worker>();
        worker->state.reader = reader;
        workers_.push_back(std::move(worker));
    }
    running_ = workers_.size();
    for (std::size_t i = 0; i < workers_.size(); ++i) {
        workers_[i]->thread = std::thread([this, i] { RunReader(i); });
    }
}

void StressRun::Stop() {
    {
        std::lock_guard lock(stopMutex_);
        stop_ = true;
    }
    stopSignal_.notify_all();
}

void StressRun::Wait() {
    for (auto& worker : workers_) {
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
}

bool StressRun::Finished() const {
    return running_ == 0;
}

ReaderSnapshot StressRun::Snapshot(std::size_t reader) const {
    const Worker& worker = *workers_.at(reader);
    std::lock_guard lock(worker.mutex);
    return worker.state;
}

void StressRun::RunReader(std::size_t index) {
    if (workerStartObserver_) {
        workerStartObserver_();
    }
    Worker& worker = *workers_[index];
    RunEnd end{RunEnd::Kind::ConnectFailed, pcsc_codes::kInvalidParameter};
    std::unique_ptr<CardLibrary> library = libraries_ ? libraries_() : nullptr;
    std::unique_ptr<StressWorkload> workload = workloads_ ? workloads_() : nullptr;
    std::uint32_t context = 0;
    if (library && workload &&
        (end.code = library->CardEstablishContext(kScopeUser, nullptr, nullptr, &context)) == 0) {
        StressConnection connection{*library, context, worker.state.reader,
                                    settings_.exclusive ? kShareExclusive : kShareShared};
        connection.stop = &stop_;
        end.code = CheckCard(index, connection);
        if (end.code == 0 && workload->NeedsConnection()) {
            end.code = Connect(connection);
        }
        if (end.code == 0) {
            end = RunUnits(index, *workload, connection);
        }
        if (connection.card != 0) {
            library->CardDisconnect(connection.card, kDispositionLeave);
        }
        library->CardReleaseContext(context);
    }
    Finish(index, end);
}

std::uint32_t StressRun::CheckCard(std::size_t index, StressConnection& connection) {
    ReaderState state;
    state.reader = connection.reader.c_str();
    if (const std::uint32_t code =
            connection.library.CardGetStatusChange(connection.context, 0, &state, 1)) {
        return code;
    }
    if ((state.eventState & kStatePresent) == 0) {
        return pcsc_codes::kNoSmartcard;
    }
    Worker& worker = *workers_[index];
    std::lock_guard lock(worker.mutex);
    worker.state.atr.assign(state.atr,
                            state.atr + std::min<std::size_t>(state.atrLength, sizeof state.atr));
    return 0;
}

std::uint32_t StressRun::Connect(StressConnection& connection) {
    return connection.library.CardConnect(connection.context, connection.reader.c_str(),
                                          connection.shareMode, kProtocolT0 | kProtocolT1,
                                          &connection.card, &connection.protocol);
}

void StressRun::Record(std::size_t index, std::uint64_t unit, const UnitResult& result,
                       Clock::time_point before, Clock::time_point after) {
    Worker& worker = *workers_[index];
    const ExchangeRecord record{index, unit,
                                worker.state.startUnixMicros + MicrosBetween(worker.start, before),
                                static_cast<std::uint64_t>(MicrosBetween(before, after)), result};
    worker.live.Record(result, record.micros, record.startUnixMicros);
    if (after - worker.published >= kPublishInterval) {
        worker.published = after;
        std::lock_guard lock(worker.mutex);
        worker.state.stats = worker.live;
        worker.state.elapsedSeconds = MicrosBetween(worker.start, after) / 1e6;
    }
    if (exchangeObserver_) {
        exchangeObserver_(record);
    }
}

RunEnd StressRun::RunUnits(std::size_t index, StressWorkload& workload,
                           StressConnection& connection) {
    Worker& worker = *workers_[index];
    const Clock::time_point start = Clock::now();
    {
        std::lock_guard lock(worker.mutex);
        worker.start = start;
        worker.published = start;
        worker.state.started = true;
        worker.state.startUnixMicros = UnixMicrosNow();
    }
    const Clock::time_point deadline =
        settings_.duration.count() > 0 ? start + settings_.duration : Clock::time_point::max();
    for (std::uint64_t unit = 0;; ++unit) {
        if (stop_) {
            return {RunEnd::Kind::Stopped, 0};
        }
        if ((settings_.count != 0 && unit >= settings_.count) || Clock::now() >= deadline) {
            return {RunEnd::Kind::Completed, 0};
        }
        if (unit > 0 && settings_.resetEvery != 0 && unit % settings_.resetEvery == 0 &&
            connection.card != 0) {
            // A card that does not answer its reset fails this unit and ends the run.
            const Clock::time_point before = Clock::now();
            if (const std::uint32_t code = connection.Reconnect(kDispositionReset)) {
                UnitResult failed;
                failed.code = code;
                Record(index, unit, failed, before, Clock::now());
                return {EndingKindOf(code).value_or(RunEnd::Kind::ResetFailed), code};
            }
        }
        const Clock::time_point before = Clock::now();
        const UnitResult result = workload.RunUnit(connection);
        const Clock::time_point after = Clock::now();
        if (result.interrupted) {
            return {RunEnd::Kind::Stopped, 0};
        }
        Record(index, unit, result, before, after);
        if (result.code != 0) {
            if (const auto ending = EndingKindOf(result.code)) {
                return {*ending, result.code};
            }
        }
        if (result.resetFailed) {
            return {RunEnd::Kind::ResetFailed, result.code};
        }
        // Another program reset the card: this unit failed under that cause, and the
        // connection is renewed for the next.
        if (result.code == pcsc_codes::kResetCard && connection.card != 0) {
            if (const std::uint32_t code = connection.Reconnect(kDispositionLeave)) {
                return {EndingKindOf(code).value_or(RunEnd::Kind::ResetFailed), code};
            }
        }
        if (result.Failed() && settings_.stopAtFirstFailure) {
            return {RunEnd::Kind::FirstFailure, 0};
        }
        if (settings_.pauseMs != 0 && !PauseFor(std::chrono::milliseconds(settings_.pauseMs))) {
            return {RunEnd::Kind::Stopped, 0};
        }
    }
}

bool StressRun::PauseFor(std::chrono::milliseconds ms) {
    std::unique_lock lock(stopMutex_);
    return !stopSignal_.wait_for(lock, ms, [this] { return stop_.load(); });
}

void StressRun::Finish(std::size_t index, const RunEnd& end) {
    Worker& worker = *workers_[index];
    {
        std::lock_guard lock(worker.mutex);
        worker.state.stats = worker.live;
        worker.state.end = end;
        worker.state.endUnixMicros = UnixMicrosNow();
        if (worker.state.started) {
            worker.state.elapsedSeconds = MicrosBetween(worker.start, Clock::now()) / 1e6;
        }
    }
    --running_;
    if (finishedObserver_) {
        finishedObserver_(index);
    }
}
