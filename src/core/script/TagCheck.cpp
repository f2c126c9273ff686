#include "core/script/TagCheck.h"

#include <algorithm>

#include "core/common/Conversions.h"

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c >= 0x20 && c < 0x7F ? c : '.';
    }
    return quoted + "\"";
}

std::string Expected(const TagCheck& check) {
    switch (check.kind) {
        case TagCheck::Kind::Bytes:
            return PatternText(check.bytes);
        case TagCheck::Kind::Text:
            return Quoted(check.text);
        case TagCheck::Kind::Present:
            return "present";
        case TagCheck::Kind::Absent:
            break;
    }
    return "absent";
}

bool Holds(const TagCheck& check, const std::vector<std::uint8_t>& value) {
    if (check.kind == TagCheck::Kind::Text) {
        return std::equal(
            value.begin(), value.end(), check.text.begin(), check.text.end(),
            [](std::uint8_t got, char want) { return got == static_cast<std::uint8_t>(want); });
    }
    return std::equal(
        value.begin(), value.end(), check.bytes.begin(), check.bytes.end(),
        [](std::uint8_t got, std::int16_t want) { return want == kAnyByte || want == got; });
}

}  // namespace

std::string TagCheckText(const TagCheck& check) {
    const std::string path = TlvPathText(check.path);
    switch (check.kind) {
        case TagCheck::Kind::Bytes:
            return path + " = " + Expected(check);
        case TagCheck::Kind::Text:
            return path + " = \"" + check.text + "\"";  // as written, to read back the same
        case TagCheck::Kind::Present:
            return path;
        case TagCheck::Kind::Absent:
            break;
    }
    return "!" + path;
}

std::vector<std::string> FailedTagChecks(const std::vector<TagCheck>& checks,
                                         const std::vector<std::uint8_t>& data) {
    std::vector<std::string> failures;
    if (checks.empty()) {
        return failures;
    }
    const TlvTree tree = DecodeBerTlv(data);
    for (const TagCheck& check : checks) {
        const TlvNode* node = FindTlvNode(tree, check.path);
        bool met = node != nullptr;
        if (check.kind == TagCheck::Kind::Absent) {
            met = !met;
        } else if (met && check.kind != TagCheck::Kind::Present) {
            met = !node->cut && Holds(check, node->value);
        }
        if (met) {
            continue;
        }
        std::string found = "nothing";
        if (!tree.IsTlv()) {
            found = "a reply that is not TLV";
        } else if (node != nullptr) {
            found = check.kind == TagCheck::Kind::Text
                        ? Quoted(std::string(node->value.begin(), node->value.end()))
                    : node->value.empty() ? "no bytes"
                                          : Hex(node->value);
            if (node->cut) {
                found += " (cut at the end)";
            }
        }
        failures.push_back(TlvPathText(check.path) + ": expected " + Expected(check) + ", found " +
                           found);
    }
    return failures;
}
