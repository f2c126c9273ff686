#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/script/Script.h"
#include "core/session/ReaderSession.h"
#include "core/stress/StressWorkload.h"

// Runs a whole script per unit on the run's connection: its commands exactly as written,
// each reply checked against its expectation, `reset` as a reconnect with reset. The unit
// fails at the first failed transmit, failed reset or unmet expectation, and ends early,
// uncounted, when the run is stopped between two commands.
class ScriptWorkload : public StressWorkload {
  public:
    explicit ScriptWorkload(Script script) : script_(std::move(script)) {}
    bool NeedsConnection() const override { return true; }
    UnitResult RunUnit(StressConnection& connection) override;

  private:
    Script script_;
    std::array<std::uint8_t, kMaxExtendedReply> reply_{};
};

// The workload of a script's text, one instance per worker; an empty factory and the
// parser's error ("line 3, column 7: ...") when the script is faulty or sends nothing.
StressWorkloadFactory ScriptWorkloadFromText(std::string_view text, std::string& error);
