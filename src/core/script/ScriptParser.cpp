#include "core/script/ScriptParser.h"

#include <cctype>
#include <cstdint>

#include "core/common/Conversions.h"
#include "core/session/ReaderSession.h"

namespace {

// A character of a command with the place it was read from; a command continued with `\`
// spans several lines.
struct Placed {
    char c;
    int line;
    int column;
};
using Placedline = std::vector<Placed>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : -1;
}

std::string CharText(char c) {
    if (std::isprint(static_cast<unsigned char>(c)) != 0) {
        return std::string("'") + c + "'";
    }
    return "byte 0x" + HexNumberText(static_cast<unsigned char>(c), 2);
}

// Reads one command line: the hex bytes and the expectations after them.
class CommandReader {
  public:
    CommandReader(const Placedline& text, ScriptStep& step) : text_(text), step_(step) {}

    std::optional<ScriptError> Read() {
        std::vector<Placed> bytePlaces;
        if (auto fault = ReadCommandBytes(bytePlaces)) {
            return fault;
        }
        if (auto fault = ReadExpectations()) {
            return fault;
        }
        return CheckCommand(bytePlaces);
    }

  private:
    static ScriptError At(const Placed& where, std::string message) {
        return {where.line, where.column, std::move(message)};
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_].c)) {
            ++pos_;
        }
    }
    bool AtBracket() const {
        return pos_ < text_.size() &&
               (text_[pos_].c == '[' || text_[pos_].c == '(' || text_[pos_].c == '{');
    }

    // Hex digits in blank-separated runs, each run of whole bytes.
    std::optional<ScriptError> ReadCommandBytes(std::vector<Placed>& places) {
        for (SkipBlanks(); pos_ < text_.size() && !AtBracket(); SkipBlanks()) {
            const std::size_t start = pos_;
            while (pos_ < text_.size() && !IsBlank(text_[pos_].c) && !AtBracket()) {
                if (HexValue(text_[pos_].c) < 0) {
                    return At(text_[pos_], CharText(text_[pos_].c) + " is not a hex digit");
                }
                ++pos_;
            }
            if ((pos_ - start) % 2 != 0) {
                return At(text_[start],
                          "odd number of hex digits (" + std::to_string(pos_ - start) + ")");
            }
            for (std::size_t i = start; i < pos_; i += 2) {
                places.push_back(text_[i]);
                step_.command.push_back(static_cast<std::uint8_t>(HexValue(text_[i].c) * 16 +
                                                                  HexValue(text_[i + 1].c)));
            }
        }
        return std::nullopt;
    }

    // `[data]` and `(SW1 SW2, ...)`, each at most once, and `{checks}`, in any order.
    std::optional<ScriptError> ReadExpectations() {
        for (SkipBlanks(); pos_ < text_.size(); SkipBlanks()) {
            const Placed& open = text_[pos_];
            if (open.c == '[') {
                if (step_.expectsData) {
                    return At(open, "a second [data] expectation");
                }
                step_.expectsData = true;
                ++pos_;
                if (auto fault = ReadGroup(open, ']', step_.expectedData)) {
                    return fault;
                }
            } else if (open.c == '(') {
                if (!step_.expectedStatus.empty()) {
                    return At(open, "a second (SW1 SW2) expectation");
                }
                if (auto fault = ReadStatusWords(open)) {
                    return fault;
                }
            } else if (open.c == '{') {
                if (auto fault = ReadTagChecks(open)) {
                    return fault;
                }
            } else {
                return At(open,
                          CharText(open.c) + " where [data], (SW1 SW2) or {check} may follow");
            }
        }
        return std::nullopt;
    }

    // From the `(` at `pos_`: status words up to the `)`, separated by commas.
    std::optional<ScriptError> ReadStatusWords(const Placed& open) {
        ++pos_;
        for (;;) {
            SkipBlanks();
            const std::size_t groupStart = pos_;
            BytePattern word;
            if (auto fault = ReadGroup(open, ')', word, ',')) {
                return fault;
            }
            if (word.size() != 2) {
                return At(text_[groupStart],
                          "a status word has 2 bytes, this one has " + std::to_string(word.size()));
            }
            step_.expectedStatus.push_back(word);
            if (text_[pos_ - 1].c == ')') {
                return std::nullopt;
            }
        }
    }

    // From the `{` at `pos_`: checks on tag paths up to the `}`, separated by `;`:
    // `PATH = bytes`, `PATH = "text"`, `PATH` (present) and `!PATH` (absent).
    std::optional<ScriptError> ReadTagChecks(const Placed& open) {
        const std::string unclosed = "'{' without its closing '}'";
        ++pos_;
        for (;;) {
            SkipBlanks();
            if (pos_ >= text_.size()) {
                return At(open, unclosed);
            }
            TagCheck check;
            if (text_[pos_].c == '!') {
                check.kind = TagCheck::Kind::Absent;
                ++pos_;
            }
            if (auto fault = ReadTagPath(check.path)) {
                return fault;
            }
            SkipBlanks();
            if (pos_ < text_.size() && text_[pos_].c == '=') {
                if (check.kind == TagCheck::Kind::Absent) {
                    return At(text_[pos_], "an absent object has no value to compare");
                }
                ++pos_;
                SkipBlanks();
                if (pos_ < text_.size() && text_[pos_].c == '"') {
                    check.kind = TagCheck::Kind::Text;
                    if (auto fault = ReadQuoted(check.text)) {
                        return fault;
                    }
                    SkipBlanks();
                } else {
                    check.kind = TagCheck::Kind::Bytes;
                    const Placed& value = text_[std::min(pos_, text_.size() - 1)];
                    if (auto fault = ReadGroup(open, '}', check.bytes, ';')) {
                        return fault;
                    }
                    if (check.bytes.empty()) {
                        return At(value, "'=' is followed by bytes or \"text\"");
                    }
                    step_.tagChecks.push_back(std::move(check));
                    if (text_[pos_ - 1].c == '}') {
                        return std::nullopt;
                    }
                    continue;
                }
            }
            step_.tagChecks.push_back(std::move(check));
            if (pos_ >= text_.size()) {
                return At(open, unclosed);
            }
            const Placed& next = text_[pos_++];
            if (next.c == '}') {
                return std::nullopt;
            }
            if (next.c != ';') {
                return At(next, CharText(next.c) + " where ';' or '}' may follow");
            }
        }
    }

    // A tag path at `pos_`, up to a blank, '=', ';' or '}'.
    std::optional<ScriptError> ReadTagPath(TlvPath& path) {
        const std::size_t start = pos_;
        std::string text;
        while (pos_ < text_.size() && !IsBlank(text_[pos_].c) && text_[pos_].c != '=' &&
               text_[pos_].c != ';' && text_[pos_].c != '}') {
            text += text_[pos_++].c;
        }
        const auto at = [&](std::size_t i) { return text_[std::min(i, text_.size() - 1)]; };
        if (text.empty()) {
            return At(at(pos_), "a check names a tag path, e.g. 6F/84");
        }
        if (const std::optional<TlvPathError> fault = ParseTlvPath(text, path)) {
            return At(at(start + fault->at), fault->message);
        }
        return std::nullopt;
    }

    // From the `"` at `pos_` up to and including the next one.
    std::optional<ScriptError> ReadQuoted(std::string& text) {
        const Placed& quote = text_[pos_++];
        while (pos_ < text_.size() && text_[pos_].c != '"') {
            text += text_[pos_++].c;
        }
        if (pos_ >= text_.size()) {
            return At(quote, "'\"' without its closing '\"'");
        }
        ++pos_;
        return std::nullopt;
    }

    // Reads from `pos_` (just after an opening bracket or a separator) up to and including
    // `close` or `separator` (a comma in a status-word list, a ';' in a list of checks):
    // bytes and `XX`.
    std::optional<ScriptError> ReadGroup(const Placed& open, char close, BytePattern& pattern,
                                         char separator = 0) {
        for (;;) {
            SkipBlanks();
            if (pos_ >= text_.size()) {
                return At(open,
                          std::string("'") + open.c + "' without its closing '" + close + "'");
            }
            const Placed& first = text_[pos_];
            if (first.c == close || (separator != 0 && first.c == separator)) {
                ++pos_;
                return std::nullopt;
            }
            if (pos_ + 1 >= text_.size() || IsBlank(text_[pos_ + 1].c) ||
                text_[pos_ + 1].c == close || text_[pos_ + 1].c == ',' ||
                (separator != 0 && text_[pos_ + 1].c == separator)) {
                if (HexValue(first.c) < 0 && first.c != 'X' && first.c != 'x') {
                    return At(first, CharText(first.c) + " is not a hex digit or XX");
                }
                return At(first, "odd number of hex digits");
            }
            const Placed& second = text_[pos_ + 1];
            const auto isAny = [](char c) { return c == 'X' || c == 'x'; };
            if (isAny(first.c) && isAny(second.c)) {
                pattern.push_back(kAnyByte);
            } else if (HexValue(first.c) >= 0 && HexValue(second.c) >= 0) {
                pattern.push_back(
                    static_cast<std::int16_t>(HexValue(first.c) * 16 + HexValue(second.c)));
            } else {
                for (const Placed* p : {&first, &second}) {
                    if (HexValue(p->c) < 0 && !isAny(p->c)) {
                        return At(*p, CharText(p->c) + " is not a hex digit or XX");
                    }
                }
                return At(first, "XX stands for a whole byte");
            }
            pos_ += 2;
        }
    }

    // At least CLA INS P1 P2 and within the transmit buffer. An Lc that disagrees with the
    // data that follows it (short or extended lengths) is sent as written, on purpose or
    // not, so it is a warning on the step rather than a fault.
    std::optional<ScriptError> CheckCommand(const std::vector<Placed>& places) {
        const std::vector<std::uint8_t>& c = step_.command;
        const std::size_t n = c.size();
        if (n < 4) {
            const std::string have = "this one has " + std::to_string(n);
            return n == 0 ? AtStart("a command has at least 4 bytes (CLA INS P1 P2), " + have)
                          : At(places.front(),
                               "a command has at least 4 bytes (CLA INS P1 P2), " + have);
        }
        if (n > ApduBufferSize) {
            return At(places.front(), "the command has " + std::to_string(n) +
                                          " bytes, more than the transmit buffer of " +
                                          std::to_string(ApduBufferSize));
        }
        if (n <= 5) {
            return std::nullopt;  // CLA INS P1 P2 [Le]
        }
        const bool extended = c[4] == 0;
        if (extended && n < 7) {
            step_.warning = "an extended Lc has 3 bytes, 00 and the length";
            return std::nullopt;
        }
        if (extended && n == 7) {
            return std::nullopt;  // extended Le alone
        }
        const std::size_t lcBytes = extended ? 3 : 1;
        const std::size_t lc = extended ? std::size_t{c[5]} << 8 | c[6] : c[4];
        const std::size_t leBytes = extended ? 2 : 1;
        const std::size_t follow = n - 4 - lcBytes;
        if (follow != lc && follow != lc + leBytes) {
            step_.warning = "Lc announces " + std::to_string(lc) + " data bytes, but " +
                            std::to_string(follow) + " bytes follow it";
        }
        return std::nullopt;
    }
    ScriptError AtStart(std::string message) const {
        return text_.empty() ? ScriptError{0, 0, std::move(message)} : At(text_.front(), message);
    }

    const Placedline& text_;
    ScriptStep& step_;
    std::size_t pos_ = 0;
};

std::string Trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string ScriptErrorText(const ScriptError& error) {
    return "line " + std::to_string(error.line) + ", column " + std::to_string(error.column) +
           ": " + error.message;
}

ParsedScript ParseScript(std::string_view text) {
    ParsedScript parsed;
    std::string comment;  // the comment lines since the last step or blank line
    Placedline command;   // the command so far, over continued lines
    int commandLine = 0;
    int lineNumber = 0;

    // Finishes the command gathered so far: true to read on.
    const auto finish = [&]() {
        const std::string plain = [&] {
            std::string s;
            for (const Placed& p : command) {
                s += p.c;
            }
            return Lowered(Trimmed(s));
        }();
        bool more = true;
        if (plain == "exit") {
            more = false;
        } else if (plain == "reset") {
            ScriptStep reset;
            reset.kind = ScriptStep::Kind::Reset;
            reset.line = commandLine;
            reset.comment = comment;
            parsed.script.steps.push_back(std::move(reset));
        } else if (!plain.empty()) {
            ScriptStep step;
            step.line = commandLine;
            step.comment = comment;
            if (auto fault = CommandReader(command, step).Read()) {
                parsed.error = std::move(fault);
                more = false;
            } else {
                parsed.script.steps.push_back(std::move(step));
            }
        }
        if (!plain.empty()) {
            comment.clear();
        }
        command.clear();
        return more;
    };

    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (end == text.size() && line.empty() && command.empty()) {
            break;
        }
        const std::size_t hash = line.find('#');
        std::string_view code = line.substr(0, hash);
        while (!code.empty() && IsBlank(code.back())) {
            code.remove_suffix(1);
        }
        const bool continues = !code.empty() && code.back() == '\\';
        if (continues) {
            code.remove_suffix(1);
        }
        if (!command.empty() && Trimmed(code).empty() && !continues) {
            continue;  // a comment or blank line inside a continued command
        }
        if (command.empty() && Trimmed(code).empty() && !continues) {
            if (hash != std::string_view::npos) {
                const std::string words = Trimmed(line.substr(hash + 1));
                if (!words.empty()) {
                    comment += (comment.empty() ? "" : " ") + words;
                }
            } else {
                comment.clear();
            }
            continue;
        }
        if (command.empty()) {
            commandLine = lineNumber;
        }
        for (std::size_t i = 0; i < code.size(); ++i) {
            command.push_back({code[i], lineNumber, static_cast<int>(i) + 1});
        }
        command.push_back({' ', lineNumber, static_cast<int>(code.size()) + 1});
        if (!continues && !finish()) {
            return parsed;
        }
    }
    if (!command.empty()) {
        finish();
    }
    return parsed;
}
