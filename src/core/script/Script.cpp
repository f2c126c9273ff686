#include "core/script/Script.h"

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/script/TagCheck.h"

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
        text += (text.empty() ? "(" : " (") + StatusListText(step.expectedStatus) + ")";
    }
    for (std::size_t i = 0; i < step.tagChecks.size(); ++i) {
        text += (i > 0 ? "; " : text.empty() ? "{" : " {") + TagCheckText(step.tagChecks[i]);
    }
    if (!step.tagChecks.empty()) {
        text += "}";
    }
    return text;
}

std::string StatusListText(const std::vector<BytePattern>& words) {
    std::string text;
    for (const BytePattern& word : words) {
        text += (text.empty() ? "" : ", ") + PatternText(word);
    }
    return text;
}

std::string RecordedScriptText(const std::vector<std::uint8_t>& command, std::uint32_t code,
                               const std::vector<std::uint8_t>& reply) {
    const auto hex = [](const std::uint8_t* bytes, std::size_t n) {
        std::string text = BytesToHexText(bytes, static_cast<std::int32_t>(n));
        if (!text.empty()) {
            text.pop_back();
        }
        return text;
    };
    std::string text = hex(command.data(), command.size());
    if (code != 0) {
        return ReturnCodeText("# transmit failed, return code=0x", code) + "\n" + text + "\n";
    }
    const std::size_t data = reply.size() >= 2 ? reply.size() - 2 : reply.size();
    text += " [" + hex(reply.data(), data) + "]";
    if (reply.size() >= 2) {
        text += " (" + hex(reply.data() + data, 2) + ")";
    }
    return text + "\n";
}
