#include "core/script/ScriptReport.h"

#include <cstdio>
#include <map>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string GotText(const StepResult& result) {
    return result.code == 0 ? Hex(result.reply) : ReturnCodeText("return code=0x", result.code);
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters have no place in XML 1.0.
                out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c;
        }
    }
    return out;
}

std::string Seconds(std::int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(micros) / 1e6);
    return text;
}

std::string CaseName(const ScriptStep& step) {
    std::string name = "line " + std::to_string(step.line);
    return step.comment.empty() ? name : name + ": " + step.comment;
}

}  // namespace

std::string_view VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "pass";
        case Verdict::Fail:
            return "FAIL";
        case Verdict::NoExpectation:
            break;
    }
    return "no expectation";
}

std::string SummaryText(const ScriptRunSummary& summary) {
    std::string text = std::to_string(summary.commands) + " commands, " +
                       std::to_string(summary.passes) + " passed, " +
                       std::to_string(summary.failures) + " failed, " +
                       std::to_string(summary.micros) + " us";
    if (summary.error) {
        text += ", ended: " + *summary.error;
    } else if (summary.stopped) {
        text += ", stopped";
    }
    return text;
}

std::string TextReport(const Script& script, const std::vector<StepResult>& results,
                       const ScriptRunSummary& summary) {
    std::string text;
    for (const StepResult& result : results) {
        if (result.kind != ScriptStep::Kind::Command) {
            continue;
        }
        const ScriptStep& step = script.steps[result.index];
        text += "line " + std::to_string(result.line) + ": " + Hex(result.command);
        const std::string expected = ExpectationText(step);
        text += "\n  expected: " + (expected.empty() ? std::string("-") : expected);
        text += "\n  got:      " + GotText(result);
        text += "\n  " + std::string(VerdictText(result.verdict)) + ", " +
                std::to_string(result.micros) + " us\n";
    }
    return text + SummaryText(summary) + "\n";
}

std::string JunitReport(std::string_view suiteName, const Script& script,
                        const std::vector<StepResult>& results, const ScriptRunSummary& summary) {
    std::map<std::size_t, const StepResult*> ran;
    for (const StepResult& result : results) {
        ran[result.index] = &result;
    }
    std::string cases;
    int count = 0;
    int skipped = 0;
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
        const ScriptStep& step = script.steps[i];
        if (step.kind != ScriptStep::Kind::Command) {
            continue;
        }
        ++count;
        const auto it = ran.find(i);
        const std::int64_t micros = it == ran.end() ? 0 : it->second->micros;
        cases += "    <testcase classname=\"" + XmlEscaped(suiteName) + "\" name=\"" +
                 XmlEscaped(CaseName(step)) + "\" time=\"" + Seconds(micros) + "\"";
        if (it == ran.end()) {
            ++skipped;
            cases += ">\n      <skipped/>\n    </testcase>\n";
        } else if (it->second->verdict == Verdict::Fail) {
            const std::string message = "sent " + Hex(step.command) + ", expected " +
                                        ExpectationText(step) + ", got " + GotText(*it->second);
            cases +=
                ">\n      <failure message=\"" + XmlEscaped(message) + "\"/>\n    </testcase>\n";
        } else {
            cases += "/>\n";
        }
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"" +
           XmlEscaped(suiteName) + "\" tests=\"" + std::to_string(count) + "\" failures=\"" +
           std::to_string(summary.failures) + "\" errors=\"" + (summary.error ? "1" : "0") +
           "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Seconds(summary.micros) +
           "\">\n" + cases + "  </testsuite>\n</testsuites>\n";
}
