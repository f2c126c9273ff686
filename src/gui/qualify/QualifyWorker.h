#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/common/ResponseLog.h"
#include "core/qualify/QualifyRunner.h"
#include "insight/ReaderReport.h"

class CardLibrary;
class ReaderControlFactory;

// Runs one qualification in the thread it has been moved to, with a card library of its
// own. With a reader connection it first reads the reader's properties and the limits they
// name, and offers the PIN pad case when asked and the reader has one. What the battery
// decides and logs is kept here until the window takes it on its timer; the end reaches the
// window as a queued signal.
class QualifyWorker : public QObject, private ResponseLog {
    Q_OBJECT
  public:
    // Asked on the worker's thread before an exchange that waits on the user; false skips it.
    using Prompter = std::function<bool(QualifyPrompt prompt)>;

    struct Job {
        std::unique_ptr<CardLibrary> library;
        ReaderControlFactory* controls = nullptr;  // none: no properties, limits or PIN pad
        QualifyPlan plan;
        bool pinPad = false;
        std::string reader;
        Prompter prompter;
        std::size_t keptLines = 0;  // lines kept between two takes: the newest
    };

    explicit QualifyWorker(Job job);
    ~QualifyWorker() override;

    // Thread-safe: the run ends after the exchange in progress.
    void Stop();

    // What arrived since the last call: decided cells, log lines, and how far the run is.
    struct News {
        std::vector<QualifyCell> cells;
        std::deque<std::string> lines;
        std::size_t done = 0;
        std::size_t total = 0;
    };
    News Take();

    // Once Finished has been sent: the result, the plan as run (with the reader's limits)
    // and the reader's properties where they were read.
    const QualifyResult& Result() const { return result_; }
    const QualifyPlan& Plan() const { return job_.plan; }
    const std::optional<ReaderReport>& Properties() const { return properties_; }

  public slots:
    void Run();

  signals:
    void Finished();

  private:
    void AppendLine(std::string_view line) override;
    void ClearLog() override {}

    Job job_;
    QualifyResult result_;
    std::optional<ReaderReport> properties_;
    std::mutex mutex_;
    News news_;                        // guarded by mutex_
    QualifyRunner* runner_ = nullptr;  // guarded by mutex_, while Run runs it
    bool stopped_ = false;             // guarded by mutex_
};
