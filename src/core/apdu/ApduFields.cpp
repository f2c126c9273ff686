#include "core/apdu/ApduFields.h"

#include <string_view>

#include "core/common/Conversions.h"

namespace {

// Appends the text's hex pairs at position n.
std::optional<std::string> AppendPairs(std::string_view text, std::string_view name,
                                       ApduBuffer& buffer, std::size_t& n) {
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        if (n == buffer.size()) {
            return std::string(name) + " Too Long!";
        }
        if (!HexPairToByte(text.data() + i, buffer[n])) {
            return std::string(name) + " Input Error";
        }
        ++n;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseApduFields(const ApduTexts& texts, ApduBuffer& buffer,
                                           std::int32_t& n) {
    struct Header {
        const std::string& text;
        std::string_view name;
    };
    const Header header[] = {
        {texts.cla, "CLA"}, {texts.ins, "INS"}, {texts.p1, "P1"}, {texts.p2, "P2"}};

    for (const Header& field : header) {
        if (field.text.empty()) {
            return std::string(field.name) + " Empty!";
        }
    }
    std::size_t count = 0;
    for (const Header& field : header) {
        // A lone character lacks its second digit and fails like a non-digit.
        if (field.text.size() < 2 || !HexPairToByte(field.text.data(), buffer[count])) {
            return std::string(field.name) + " Input Error";
        }
        ++count;
    }
    for (const auto& [text, name] : {std::pair<std::string_view, std::string_view>{texts.lc, "Lc"},
                                     {texts.data, "DATA"},
                                     {texts.le, "Le"}}) {
        if (auto fault = AppendPairs(text, name, buffer, count)) {
            return fault;
        }
    }
    n = static_cast<std::int32_t>(count);
    return std::nullopt;
}
