#include "gui/qualify/QualifyWorker.h"

#include "core/session/CardLibrary.h"
#include "core/session/ReaderControl.h"
#include "insight/QualifyReaderFacts.h"

QualifyWorker::QualifyWorker(Job job) : job_(std::move(job)) {}

QualifyWorker::~QualifyWorker() = default;

void QualifyWorker::Stop() {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    if (runner_ != nullptr) {
        runner_->Stop();
    }
}

void QualifyWorker::Run() {
    std::unique_ptr<ReaderControl> control;
    if (job_.controls != nullptr) {
        control = job_.controls->Create();
        properties_ = ReadReaderReport(*control, job_.reader);
        const QualifyReaderFacts facts = ReadQualifyReaderFacts(*control, job_.reader);
        job_.plan.readerLimits = facts.limits;
        if (job_.pinPad) {
            job_.plan.verifyPinDirect = facts.verifyPinDirect;
        }
    }
    QualifyRunner runner(*job_.library, job_.plan);
    QualifyObserver observer;
    observer.progress = [this](std::size_t done, std::size_t total) {
        const std::lock_guard lock(mutex_);
        news_.done = done;
        news_.total = total;
    };
    observer.cell = [this](const QualifyCell& cell) {
        const std::lock_guard lock(mutex_);
        news_.cells.push_back(cell);
    };
    observer.prompt = job_.prompter;
    observer.log = this;
    runner.SetObserver(std::move(observer));
    runner.SetReaderControl(control.get());
    {
        const std::lock_guard lock(mutex_);
        runner_ = &runner;
        if (stopped_) {
            runner.Stop();
        }
    }
    result_ = runner.Run(job_.reader);
    {
        const std::lock_guard lock(mutex_);
        runner_ = nullptr;
    }
    emit Finished();
}

QualifyWorker::News QualifyWorker::Take() {
    const std::lock_guard lock(mutex_);
    News taken;
    taken.cells.swap(news_.cells);
    taken.lines.swap(news_.lines);
    taken.done = news_.done;
    taken.total = news_.total;
    return taken;
}

void QualifyWorker::AppendLine(std::string_view line) {
    const std::lock_guard lock(mutex_);
    news_.lines.emplace_back(line);
    if (news_.lines.size() > job_.keptLines) {
        news_.lines.pop_front();
    }
}
