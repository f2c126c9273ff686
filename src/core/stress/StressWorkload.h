#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/session/CardLibrary.h"

// What a workload works on: a reader of one worker's own library and context, and the
// connection the run keeps to its card (card 0 while there is none). A workload of several
// commands looks at `stop` between them.
struct StressConnection {
    CardLibrary& library;
    std::uint32_t context = 0;
    std::string reader;
    std::uint32_t shareMode = kShareShared;
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    const std::atomic<bool>* stop = nullptr;

    bool Stopping() const { return stop != nullptr && stop->load(); }
    // Renews the connection in place with `initialization` (leave, reset), either protocol.
    std::uint32_t Reconnect(std::uint32_t initialization) {
        return library.CardReconnect(card, shareMode, kProtocolT0 | kProtocolT1, initialization,
                                     &protocol);
    }
};

// A reply that does not meet the script's expectation: what was expected (the script's
// bytes, `XX` for any byte) and what came (the reply's data, or its status word).
struct ReplyMismatch {
    enum class Kind { Data, StatusWord };
    Kind kind = Kind::Data;
    std::string expected;
    std::vector<std::uint8_t> received;
};

// "data differs", "status word differs"
const char* MismatchText(ReplyMismatch::Kind kind);

// The outcome of one unit of work (one command, one script pass, one connect cycle).
struct UnitResult {
    std::uint32_t code = 0;                   // the failing call's PC/SC code, 0 for none
    std::optional<std::uint16_t> statusWord;  // the last reply's SW1 SW2, if one came
    bool unexpectedStatus = false;            // the unit failed on its status word
    bool noStatusWord = false;                // a reply shorter than a status word
    std::optional<ReplyMismatch> mismatch;    // the unit failed on a script's expectation
    bool resetFailed = false;     // the card did not answer a reset: `code` ends the run
    bool interrupted = false;     // stopped between two commands: the unit does not count
    std::uint32_t exchanges = 0;  // commands sent to the card

    bool Failed() const { return code != 0 || unexpectedStatus || noStatusWord || mismatch; }
};

// One kind of work a stress run repeats. An instance belongs to one worker thread.
class StressWorkload {
  public:
    virtual ~StressWorkload() = default;
    // Whether the run connects before the first unit and keeps the connection; a workload
    // that answers false makes its own connections.
    virtual bool NeedsConnection() const = 0;
    virtual UnitResult RunUnit(StressConnection& connection) = 0;
};

// Makes one workload instance per worker.
using StressWorkloadFactory = std::function<std::unique_ptr<StressWorkload>()>;
