#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/script/Script.h"
#include "core/script/ScriptRunner.h"

// "pass", "FAIL" or "no expectation".
std::string_view VerdictText(Verdict verdict);

// The tag-path checks of a step that failed, "6F/A5/50: expected \"VISA\", found
// \"MASTERCARD\"", joined by "; "; "" when none failed.
std::string CheckFailuresText(const StepResult& result);

// "3 commands, 2 passed, 1 failed, 1234 us", with ", stopped" or the reason the run ended.
std::string SummaryText(const ScriptRunSummary& summary);

// One line per command that ran: line, command, expected, got, the tag-path checks that
// failed, the warning of a command sent against its own Lc, verdict, microseconds; then the
// summary.
std::string TextReport(const Script& script, const std::vector<StepResult>& results,
                       const ScriptRunSummary& summary);

// JUnit XML: one test case per command of the script, named by its line and the comment
// above it (read as UTF-8, or as Latin-1 where it is not valid UTF-8); a command that did
// not run is skipped. A failure names what was sent, expected and got, and each failed
// tag-path check.
std::string JunitReport(std::string_view suiteName, const Script& script,
                        const std::vector<StepResult>& results, const ScriptRunSummary& summary);
