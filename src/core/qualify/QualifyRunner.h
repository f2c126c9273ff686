#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/qualify/QualifyCell.h"
#include "core/qualify/QualifyPlan.h"

class CardLibrary;
class ReaderControl;
class ResponseLog;

// How a run ended.
enum class QualifyEnd {
    Completed,
    Stopped,       // Stop() was called; the cells not reached stay Skipped
    NoContext,     // the card library gave no context
    NoCard,        // no card in the reader, or it could not be connected under any protocol
    NoTestApplet,  // the card has neither test applet
};

// What the user is asked to do while the battery waits on the reader.
enum class QualifyPrompt {
    TypePin,   // type 1234 on the reader's PIN pad
    PullCard,  // pull the card out of the reader
};

struct QualifyResult {
    QualifyEnd end = QualifyEnd::Completed;
    std::uint32_t code = 0;  // the library's code behind NoContext or NoCard
    std::vector<std::uint8_t> atr;
    std::vector<std::uint32_t> protocols;  // the columns the card could be connected with
    bool readerTestApplet = false;
    bool extendedApplet = false;
    std::vector<QualifyCell> cells;  // every planned cell, in the plan's order
    std::uint64_t exchanges = 0;
    std::uint64_t micros = 0;  // the whole run

    bool AllPassed() const;  // every cell that ran passed, and at least one ran
};

// The callbacks of a run, all called on the run's own thread.
struct QualifyObserver {
    std::function<void(std::size_t done, std::size_t total)> progress;
    std::function<void(const QualifyCell& cell)> cell;  // each cell once it is decided
    // Shown before the exchange that waits on the user; false skips the cell.
    std::function<bool(QualifyPrompt prompt)> prompt;
    ResponseLog* log = nullptr;  // every exchange in the program's line formats
};

// The qualification battery over one reader: one connection per protocol column, the test
// applets found by selection, every planned cell run whatever the cells before it showed.
// Run blocks its thread (a worker's); Stop may be called from any thread and ends the run
// after the exchange in progress.
class QualifyRunner {
  public:
    QualifyRunner(CardLibrary& library, QualifyPlan plan);
    QualifyRunner(const QualifyRunner&) = delete;
    QualifyRunner& operator=(const QualifyRunner&) = delete;

    void SetObserver(QualifyObserver observer);
    // The reader's control channel for the PIN pad case; without it that case is skipped.
    void SetReaderControl(ReaderControl* control);

    QualifyResult Run(const std::string& reader);
    void Stop();

    const QualifyPlan& Plan() const { return plan_; }

  private:
    CardLibrary& library_;
    QualifyPlan plan_;
    QualifyObserver observer_;
    ReaderControl* control_ = nullptr;
    std::atomic<bool> stop_{false};
};
