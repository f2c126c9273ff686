#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/tlv/TlvPath.h"

// A script as read from its text: commands to send and resets, each with the line it
// starts on and the comment written above it.

// Expected bytes; kAnyByte stands for `XX`, which matches any byte.
inline constexpr std::int16_t kAnyByte = -1;
using BytePattern = std::vector<std::int16_t>;

// A check on a reply's structure: the BER-TLV object at a tag path holds these bytes or this
// text, is present, or is absent.
struct TagCheck {
    enum class Kind { Bytes, Text, Present, Absent };
    Kind kind = Kind::Present;
    TlvPath path;
    BytePattern bytes;  // Bytes
    std::string text;   // Text
};

struct ScriptStep {
    enum class Kind { Command, Reset };
    Kind kind = Kind::Command;
    int line = 0;
    std::string comment;  // the comment lines just above, joined by blanks
    std::vector<std::uint8_t> command;
    bool expectsData = false;  // `[...]` given; `[]` expects no data
    BytePattern expectedData;
    std::vector<BytePattern> expectedStatus;  // `(SW1 SW2, ...)`: two bytes each; any of them
    std::vector<TagCheck> tagChecks;          // `{6F/84 = A0 XX; !6F/85}`
    std::string warning;  // what is odd about the command as written, sent all the same
};

struct Script {
    std::vector<ScriptStep> steps;
};

// Whether the step checks anything of the reply.
inline bool HasExpectation(const ScriptStep& step) {
    return step.expectsData || !step.expectedStatus.empty() || !step.tagChecks.empty();
}

// The expectation in the script's own notation, "[90 XX] (90 00, 61 XX) {6F/84 = A0 XX}";
// "" for none.
std::string ExpectationText(const ScriptStep& step);
// The bytes of a pattern as hex, `XX` for any byte.
std::string PatternText(const BytePattern& pattern);
// The expected status words, "90 00, 61 XX".
std::string StatusListText(const std::vector<BytePattern>& words);

// A command and the card's answer as script text: the command's bytes with the reply as
// its exact expectation, `[data] (SW1 SW2)`. A failed transmit gives a comment naming its
// return code, then the command alone. Ends with a line break.
std::string RecordedScriptText(const std::vector<std::uint8_t>& command, std::uint32_t code,
                               const std::vector<std::uint8_t>& reply);
