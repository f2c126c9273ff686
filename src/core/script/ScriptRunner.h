#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/script/Script.h"

class CardLibrary;

struct ScriptRunOptions {
    std::string reader;
    std::uint32_t protocols = 3;        // T=0 1, T=1 2, either 3
    bool continueAfterFailure = false;  // a failed transmit ends the run unless set
};

enum class Verdict { Pass, Fail, NoExpectation };

// One step as it ran: for a command, what was sent, what came back and how it compares.
struct StepResult {
    std::size_t index = 0;  // of the step in the script
    ScriptStep::Kind kind = ScriptStep::Kind::Command;
    int line = 0;
    std::vector<std::uint8_t> command;
    std::uint32_t code = 0;           // the transmit's (or the reset's) return code
    std::vector<std::uint8_t> reply;  // data and status word
    Verdict verdict = Verdict::NoExpectation;
    std::vector<std::size_t> differing;      // reply bytes that differ from the expectation
    std::vector<std::string> checkFailures;  // the tag-path checks that failed, as text
    std::int64_t micros = 0;
    std::vector<std::string> logLines;  // the lines the CPU card page writes for it
};

struct ScriptRunSummary {
    int commands = 0;  // commands sent
    int passes = 0;
    int failures = 0;
    std::int64_t micros = 0;  // time spent in transmits
    bool stopped = false;     // ended early on request
    // Why the script could not run (no service, reader or card, a failed reset).
    std::optional<std::string> error;
};

// Compares a reply (data and status word) with the step's expectation; what each failed
// tag-path check expected and found goes to `checkFailures` when given.
Verdict CompareReply(const ScriptStep& step, const std::vector<std::uint8_t>& reply,
                     std::vector<std::size_t>& differing,
                     std::vector<std::string>* checkFailures = nullptr);

// Runs a script against the card in one reader through a context of its own, sending
// exactly the script's commands (no GET RESPONSE of its own), and reports every step as it
// ends. Stop() may be called from another thread; the run ends before the next step.
// Every context and card handle it takes is released before Run returns.
class ScriptRunner {
  public:
    using Observer = std::function<void(const StepResult&)>;

    ScriptRunner(CardLibrary& library, ScriptRunOptions options)
        : library_(library), options_(std::move(options)) {}

    ScriptRunSummary Run(const Script& script, const Observer& observer);
    void Stop() { stop_ = true; }

  private:
    CardLibrary& library_;
    ScriptRunOptions options_;
    std::atomic<bool> stop_ = false;
};
