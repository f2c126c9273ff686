// The script parser over arbitrary text. A faulty script names a line and column inside the
// text; a sound one holds commands of 4 to ApduBufferSize bytes with two-byte status words,
// and written back in the script's notation it reads as the same steps, tag-path checks
// included.
#include <algorithm>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/common/Conversions.h"
#include "core/script/ScriptParser.h"
#include "core/session/ReaderSession.h"

namespace {

std::string WrittenBack(const Script& script) {
    std::string text;
    for (const ScriptStep& step : script.steps) {
        if (step.kind == ScriptStep::Kind::Reset) {
            text += "reset\n";
            continue;
        }
        text += BytesToHexText(step.command.data(), static_cast<std::int32_t>(step.command.size()));
        text += ExpectationText(step) + "\n";
    }
    return text;
}

bool SameChecks(const std::vector<TagCheck>& a, const std::vector<TagCheck>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const TagCheck& x, const TagCheck& y) {
                          return x.kind == y.kind && TlvPathText(x.path) == TlvPathText(y.path) &&
                                 x.bytes == y.bytes && x.text == y.text;
                      });
}

bool SameSteps(const Script& a, const Script& b) {
    return std::equal(a.steps.begin(), a.steps.end(), b.steps.begin(), b.steps.end(),
                      [](const ScriptStep& x, const ScriptStep& y) {
                          return x.kind == y.kind && x.command == y.command &&
                                 x.expectsData == y.expectsData &&
                                 x.expectedData == y.expectedData &&
                                 x.expectedStatus == y.expectedStatus &&
                                 SameChecks(x.tagChecks, y.tagChecks);
                      });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedScript parsed = ParseScript(text);
    if (parsed.error) {
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        FUZZ_CHECK(parsed.error->line >= 1 && parsed.error->line <= lines);
        FUZZ_CHECK(parsed.error->column >= 1);
        FUZZ_CHECK(static_cast<std::size_t>(parsed.error->column) <= size + 1);
        FUZZ_CHECK(!parsed.error->message.empty());
        return 0;
    }
    for (const ScriptStep& step : parsed.script.steps) {
        FUZZ_CHECK(step.line >= 1);
        if (step.kind == ScriptStep::Kind::Command) {
            FUZZ_CHECK(step.command.size() >= 4 && step.command.size() <= ApduBufferSize);
        }
        for (const BytePattern& word : step.expectedStatus) {
            FUZZ_CHECK(word.size() == 2);
        }
    }
    const ParsedScript again = ParseScript(WrittenBack(parsed.script));
    FUZZ_CHECK(!again.error);
    FUZZ_CHECK(SameSteps(parsed.script, again.script));
    return 0;
}
