#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/qualify/QualifyCell.h"

// What a qualification run covers. The caller fills in what it reads from the reader
// (its limits, the PIN pad's control code), since the battery sees only the card library.
struct QualifyPlan {
    std::vector<std::uint32_t> protocols{1, 2};  // each forced at connect, one column each
    bool full = false;                           // every length, not only the boundaries
    std::uint32_t extendedStep = 100;            // the step of the extended lengths
    std::vector<std::uint32_t> waitingTimes{1, 2, 5, 30};  // time request P2, extension P1P2
    // Lengths the reader's attributes or features name, e.g. its maximum IFSD; each is
    // tried with its neighbours.
    std::vector<std::uint32_t> readerLimits;
    // FEATURE_VERIFY_PIN_DIRECT's control code, set only when the user asked for the PIN
    // pad case and the reader offers it.
    std::optional<std::uint32_t> verifyPinDirect;
    bool cardPull = false;  // ends the battery by asking the user to pull the card
};

inline constexpr std::uint32_t kDefaultExtendedStep = 100;

// The lengths one case takes under the plan, in ascending order, without repeats; empty for
// a case without lengths.
std::vector<std::uint32_t> CaseLengths(const QualifyPlan& plan, QualifyCase kind);

// Every cell the plan asks for, in the order the battery runs them, outcome Skipped.
std::vector<QualifyCell> PlannedCells(const QualifyPlan& plan);
