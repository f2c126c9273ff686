#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/script/Script.h"

// Where a script is faulty: its line and column (both from 1) and what is wrong.
struct ScriptError {
    int line = 0;
    int column = 0;
    std::string message;
};

// "line 3, column 7: " followed by the message.
std::string ScriptErrorText(const ScriptError& error);

struct ParsedScript {
    Script script;
    std::optional<ScriptError> error;  // the first fault; the script is then not to be run
};

// Reads a script in scriptor's format: one command APDU a line as hex bytes (separated by
// blanks, or a run of digits), `reset`, `#` comments, blank lines, `exit` ending the script.
// A command may carry an expectation: `[data]` (`[]` for none) and `(SW1 SW2, ...)`, with
// `XX` for any byte, and checks on the reply's BER-TLV objects by tag path, `{6F/84 = A0 XX;
// 6F/A5/50 = "VISA"; 6F/A5/BF0C; !6F/85}`, in one or several braces; a `\` at the end of a line
// continues the command on the next one, over comment and blank lines. Each command is checked:
// whole bytes of hex digits, at least CLA INS P1 P2, and no more bytes than the transmit buffer
// holds. An Lc that disagrees with the data that follows is sent as written, with a warning on the
// step.
ParsedScript ParseScript(std::string_view text);
