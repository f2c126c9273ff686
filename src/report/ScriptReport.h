#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/script/Script.h"
#include "core/script/ScriptRunner.h"

// "pass", "FAIL" or "no expectation".
std::string_view VerdictText(Verdict verdict);

// "3 commands, 2 passed, 1 failed, 1234 us", with ", stopped" or the reason the run ended.
std::string SummaryText(const ScriptRunSummary& summary);

// One line per command that ran: line, command, expected, got, the warning of a command
// sent against its own Lc, verdict, microseconds; then the summary.
std::string TextReport(const Script& script, const std::vector<StepResult>& results,
                       const ScriptRunSummary& summary);

// JUnit XML: one test case per command of the script, named by its line and the comment
// above it (read as UTF-8, or as Latin-1 where it is not valid UTF-8); a command that did
// not run is skipped.
std::string JunitReport(std::string_view suiteName, const Script& script,
                        const std::vector<StepResult>& results, const ScriptRunSummary& summary);

// The reply's status word with its meaning, the class-FF meaning included; "" when the step
// got no status word.
std::string StepStatusText(const StepResult& result);
