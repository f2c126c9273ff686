#include "gui/script/ScriptRunWorker.h"

#include "core/session/CardLibrary.h"

ScriptRunWorker::ScriptRunWorker(std::unique_ptr<CardLibrary> library, Script script,
                                 ScriptRunOptions options)
    : library_(std::move(library)),
      script_(std::move(script)),
      runner_(*library_, std::move(options)) {
    qRegisterMetaType<StepResult>();
    qRegisterMetaType<ScriptRunSummary>();
}

ScriptRunWorker::~ScriptRunWorker() = default;

void ScriptRunWorker::Run() {
    const ScriptRunSummary summary =
        runner_.Run(script_, [this](const StepResult& result) { emit StepDone(result); });
    emit Finished(summary);
}
