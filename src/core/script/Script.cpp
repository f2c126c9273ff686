#include "core/script/Script.h"

#include "core/common/Conversions.h"

std::string PatternText(const BytePattern& pattern) {
    std::string text;
    for (const std::int16_t b : pattern) {
        if (!text.empty()) {
            text += ' ';
        }
        text += b == kAnyByte ? std::string("XX") : HexNumberText(static_cast<std::uint32_t>(b), 2);
    }
    return text;
}

std::string ExpectationText(const ScriptStep& step) {
    std::string text;
    if (step.expectsData) {
        text = "[" + PatternText(step.expectedData) + "]";
    }
    if (!step.expectedStatus.empty()) {
        text += text.empty() ? "(" : " (";
        for (std::size_t i = 0; i < step.expectedStatus.size(); ++i) {
            text += (i == 0 ? "" : ", ") + PatternText(step.expectedStatus[i]);
        }
        text += ")";
    }
    return text;
}
