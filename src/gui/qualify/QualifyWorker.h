#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/ResponseLog.h"
#include "core/qualify/QualifyRunner.h"

class CardLibrary;

// Runs one qualification in the thread it has been moved to, with a card library of its
// own. What the battery decides and logs is kept here until the window takes it on its
// timer; the end reaches the window as a queued signal.
class QualifyWorker : public QObject, private ResponseLog {
    Q_OBJECT
  public:
    // Asked on the worker's thread before an exchange that waits on the user; false skips it.
    using Prompter = std::function<bool(QualifyPrompt prompt)>;

    // Lines kept between two takes: the newest `keptLines`, as the window's log keeps them.
    QualifyWorker(std::unique_ptr<CardLibrary> library, QualifyPlan plan, std::string reader,
                  Prompter prompter, std::size_t keptLines);
    ~QualifyWorker() override;

    // Thread-safe: the run ends after the exchange in progress.
    void Stop() { runner_.Stop(); }

    // What arrived since the last call: decided cells, log lines, and how far the run is.
    struct News {
        std::vector<QualifyCell> cells;
        std::deque<std::string> lines;
        std::size_t done = 0;
        std::size_t total = 0;
    };
    News Take();
    // The run's result, once Finished has been sent.
    const QualifyResult& Result() const { return result_; }

  public slots:
    void Run();

  signals:
    void Finished();

  private:
    void AppendLine(std::string_view line) override;
    void ClearLog() override {}

    std::unique_ptr<CardLibrary> library_;
    QualifyRunner runner_;
    std::string reader_;
    std::size_t keptLines_;
    QualifyResult result_;
    std::mutex mutex_;
    News news_;  // guarded by mutex_
};
