#include "core/tlv/TlvPath.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// One step from `pos`: the tag's hex bytes (a first byte with low bits 1F continues while
// bit 8 is set) and an optional "[n]".
std::optional<TlvPathError> ParseStep(std::string_view text, std::size_t& pos, TlvPathStep& step) {
    std::vector<std::uint8_t> bytes;
    while (pos < text.size() && text[pos] != '/' && text[pos] != '[') {
        const int high = HexDigit(text[pos]);
        if (high < 0) {
            return TlvPathError{pos, std::string("'") + text[pos] + "' is not a hex digit"};
        }
        if (pos + 1 >= text.size() || text[pos + 1] == '/' || text[pos + 1] == '[') {
            return TlvPathError{pos, "a tag is written in whole bytes"};
        }
        if (HexDigit(text[pos + 1]) < 0) {
            return TlvPathError{pos + 1, std::string("'") + text[pos + 1] + "' is not a hex digit"};
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + HexDigit(text[pos + 1])));
        pos += 2;
    }
    if (bytes.empty()) {
        return TlvPathError{pos, "a tag is missing"};
    }
    std::size_t expected = 1;
    if ((bytes[0] & 0x1F) == 0x1F) {
        while (expected < bytes.size() && (bytes[expected] & 0x80) != 0) {
            ++expected;
        }
        ++expected;
    }
    if (bytes.size() != expected || bytes.size() > 4) {
        return TlvPathError{pos - 2 * bytes.size(),
                            "not one BER-TLV tag (" + std::to_string(bytes.size()) + " bytes)"};
    }
    step.tag = 0;
    for (const std::uint8_t b : bytes) {
        step.tag = step.tag << 8 | b;
    }
    step.index = 1;
    if (pos < text.size() && text[pos] == '[') {
        const std::size_t open = pos++;
        int index = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && index < 10000) {
            index = index * 10 + (text[pos++] - '0');
        }
        if (pos >= text.size() || text[pos] != ']' || index < 1) {
            return TlvPathError{open, "an index is written [n], n from 1"};
        }
        step.index = index;
        ++pos;
    }
    return std::nullopt;
}

}  // namespace

std::optional<TlvPathError> ParseTlvPath(std::string_view text, TlvPath& path) {
    path.clear();
    std::size_t pos = 0;
    for (;;) {
        TlvPathStep step;
        if (auto fault = ParseStep(text, pos, step)) {
            return fault;
        }
        path.push_back(step);
        if (pos >= text.size()) {
            return std::nullopt;
        }
        if (text[pos] != '/') {
            return TlvPathError{pos, std::string("'") + text[pos] + "' after a tag"};
        }
        ++pos;
    }
}

std::string TlvPathText(const TlvPath& path) {
    std::string text;
    for (const TlvPathStep& step : path) {
        text += (text.empty() ? "" : "/") + TlvTagText(step.tag);
        if (step.index != 1) {
            text += "[" + std::to_string(step.index) + "]";
        }
    }
    return text;
}

const TlvNode* FindTlvNode(const TlvTree& tree, const TlvPath& path) {
    const std::vector<TlvNode>* level = &tree.nodes;
    const TlvNode* found = nullptr;
    for (const TlvPathStep& step : path) {
        found = nullptr;
        int seen = 0;
        for (const TlvNode& node : *level) {
            if (node.kind == TlvNodeKind::Object && node.tag == step.tag && ++seen == step.index) {
                found = &node;
                break;
            }
        }
        if (found == nullptr) {
            return nullptr;
        }
        level = &found->children;
    }
    return found;
}
