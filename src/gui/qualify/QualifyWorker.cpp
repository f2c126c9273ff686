#include "gui/qualify/QualifyWorker.h"

#include "core/session/CardLibrary.h"

QualifyWorker::QualifyWorker(std::unique_ptr<CardLibrary> library, QualifyPlan plan,
                             std::string reader, Prompter prompter, std::size_t keptLines)
    : library_(std::move(library)),
      runner_(*library_, std::move(plan)),
      reader_(std::move(reader)),
      keptLines_(keptLines) {
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
    observer.prompt = std::move(prompter);
    observer.log = this;
    runner_.SetObserver(std::move(observer));
}

QualifyWorker::~QualifyWorker() = default;

void QualifyWorker::Run() {
    result_ = runner_.Run(reader_);
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
    if (news_.lines.size() > keptLines_) {
        news_.lines.pop_front();
    }
}
