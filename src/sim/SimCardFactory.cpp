#include "sim/SimCardFactory.h"

#include <cctype>

#include "sim/SimCpuCard.h"
#include "sim/SimI2cCard.h"
#include "sim/SimSle4404Card.h"
#include "sim/SimSle4428Card.h"
#include "sim/SimSle4436Card.h"
#include "sim/SimSle4442Card.h"
#include "sim/SimTestCard.h"

namespace {
struct KindNames {
    SimCardKind kind;
    const char* name;
    const char* option;
};

constexpr KindNames kNames[] = {
    {SimCardKind::CpuT0, "CPU card T=0", "cpu-t0"},
    {SimCardKind::CpuT1, "CPU card T=1", "cpu-t1"},
    {SimCardKind::SLE4432, "SLE4432", "sle4432"},
    {SimCardKind::SLE4442, "SLE4442", "sle4442"},
    {SimCardKind::SLE4418, "SLE4418", "sle4418"},
    {SimCardKind::SLE4428, "SLE4428", "sle4428"},
    {SimCardKind::SLE4404, "SLE4404", "sle4404"},
    {SimCardKind::SLE4406, "SLE4406", "sle4406"},
    {SimCardKind::SLE4436, "SLE4436", "sle4436"},
    {SimCardKind::SLE5536, "SLE5536", "sle5536"},
    {SimCardKind::I2C, "I2C EEPROM", "i2c"},
    {SimCardKind::TestT0, "Test card T=0", "test-t0"},
    {SimCardKind::TestT1, "Test card T=1", "test-t1"},
    {SimCardKind::TestBoth, "Test card T=0/T=1", "test-both"},
};

constexpr std::string_view kI2cChipPrefix = "i2c-";

// "i2c-" and the EEPROM's name in small letters: "i2c-24c16".
std::string I2cChipOption(const SimI2cChip& chip) {
    std::string option(kI2cChipPrefix);
    for (const char* c = chip.name; *c != '\0'; ++c) {
        option += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    return option;
}

const KindNames& NamesOf(SimCardKind kind) {
    for (const KindNames& names : kNames) {
        if (names.kind == kind) {
            return names;
        }
    }
    return kNames[0];
}
}  // namespace

std::unique_ptr<SimCard> MakeSimCard(SimCardKind kind) {
    switch (kind) {
        case SimCardKind::CpuT0:
        case SimCardKind::CpuT1:
            return std::make_unique<SimCpuCard>(kind);
        case SimCardKind::SLE4432:
        case SimCardKind::SLE4442:
            return std::make_unique<SimSle4442Card>(kind);
        case SimCardKind::SLE4418:
        case SimCardKind::SLE4428:
            return std::make_unique<SimSle4428Card>(kind);
        case SimCardKind::SLE4404:
            return std::make_unique<SimSle4404Card>();
        case SimCardKind::SLE4406:
        case SimCardKind::SLE4436:
        case SimCardKind::SLE5536:
            return std::make_unique<SimSle4436Card>(kind);
        case SimCardKind::TestT0:
        case SimCardKind::TestT1:
        case SimCardKind::TestBoth:
            return std::make_unique<SimTestCard>(kind);
        case SimCardKind::I2C:
            break;
    }
    return std::make_unique<SimI2cCard>();
}

const char* SimCardKindName(SimCardKind kind) {
    return NamesOf(kind).name;
}

const char* SimCardKindOption(SimCardKind kind) {
    return NamesOf(kind).option;
}

std::optional<SimCardKind> SimCardKindFromOption(std::string_view option) {
    for (const KindNames& names : kNames) {
        if (option == names.option) {
            return names.kind;
        }
    }
    return std::nullopt;
}

std::unique_ptr<SimCard> MakeSimCardFromOption(std::string_view option) {
    if (const auto kind = SimCardKindFromOption(option)) {
        return MakeSimCard(*kind);
    }
    for (const SimI2cChip& chip : kSimI2cChips) {
        if (option == I2cChipOption(chip)) {
            return std::make_unique<SimI2cCard>(chip);
        }
    }
    return nullptr;
}

std::vector<std::string> SimCardOptions() {
    std::vector<std::string> options;
    for (const SimCardKind kind : kAllSimCardKinds) {
        options.emplace_back(SimCardKindOption(kind));
    }
    for (const SimI2cChip& chip : kSimI2cChips) {
        options.push_back(I2cChipOption(chip));
    }
    return options;
}
