#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimCard.h"

inline constexpr std::array<SimCardKind, 14> kAllSimCardKinds = {
    SimCardKind::CpuT0,   SimCardKind::CpuT1,   SimCardKind::SLE4432, SimCardKind::SLE4442,
    SimCardKind::SLE4418, SimCardKind::SLE4428, SimCardKind::SLE4404, SimCardKind::SLE4406,
    SimCardKind::SLE4436, SimCardKind::SLE5536, SimCardKind::I2C,     SimCardKind::TestT0,
    SimCardKind::TestT1,  SimCardKind::TestBoth};

// A new card of that kind, as it comes from the factory (an I2C card with a 24C02, a test
// card with its default settings).
std::unique_ptr<SimCard> MakeSimCard(SimCardKind kind);

// Display name: "CPU card T=0", "SLE4442", "I2C EEPROM", ...
const char* SimCardKindName(SimCardKind kind);
// Command-line name: "cpu-t0", "cpu-t1", "sle4432", ..., "sle5536", "i2c", "test-t0",
// "test-t1", "test-both".
const char* SimCardKindOption(SimCardKind kind);
std::optional<SimCardKind> SimCardKindFromOption(std::string_view option);

// A new card named as on a command line: a kind's name, or "i2c-" and the EEPROM an I2C card
// carries ("i2c-24c16"); null for a name that is neither.
std::unique_ptr<SimCard> MakeSimCardFromOption(std::string_view option);
// Every name MakeSimCardFromOption takes: the kinds' names, each EEPROM's after "i2c".
std::vector<std::string> SimCardOptions();
