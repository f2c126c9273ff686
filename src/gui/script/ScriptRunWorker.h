#pragma once

#include <QObject>
#include <memory>

#include "core/script/ScriptRunner.h"

class CardLibrary;

Q_DECLARE_METATYPE(StepResult)
Q_DECLARE_METATYPE(ScriptRunSummary)

// Runs one script in the thread it has been moved to, with a card library of its own;
// each step and the end reach the window as queued signals.
class ScriptRunWorker : public QObject {
    Q_OBJECT
  public:
    ScriptRunWorker(std::unique_ptr<CardLibrary> library, Script script, ScriptRunOptions options);
    ~ScriptRunWorker() override;

    // Thread-safe: the run ends before its next step.
    void Stop() { runner_.Stop(); }

  public slots:
    void Run();

  signals:
    void StepDone(const StepResult& result);
    void Finished(const ScriptRunSummary& summary);

  private:
    std::unique_ptr<CardLibrary> library_;
    Script script_;
    ScriptRunner runner_;
};
