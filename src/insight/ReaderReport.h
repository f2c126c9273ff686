#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/session/ReaderControl.h"

// Everything a reader tells about itself, read through one connection and decoded into rows
// of a table: the attributes, the Part 10 features with their control codes, the TLV and PIN
// properties, and its state. A value the reader refuses reads "not supported".

inline constexpr const char* kNotSupported = "not supported";

struct ReaderReportRow {
    std::string section;  // "Attributes", "Features", "TLV properties", "PIN properties", "State"
    std::string name;
    std::string value;
};

struct ReaderReport {
    std::string reader;
    std::uint32_t openCode = 0;  // non-zero: the reader could not be reached, no rows
    ReaderAccess access = ReaderAccess::Direct;
    std::vector<ReaderReportRow> rows;
    // The escape command's control code, where the reader offers FEATURE_CCID_ESC_COMMAND.
    std::optional<std::uint32_t> escapeCode;
    // The control code of vendor function 3500, the CCID driver's escape command.
    std::uint32_t defaultEscapeCode = 0;
    bool usb = false;  // its channel is a USB bus, as for every CCID reader
};

// Opens the reader, reads it and closes it again.
ReaderReport ReadReaderReport(ReaderControl& control, const std::string& reader);

// One control exchange on a connection of its own.
struct ControlExchange {
    std::uint32_t code = 0;    // the control code sent
    std::uint32_t result = 0;  // the connect's code when that failed, else the control's
    bool opened = false;
    std::vector<std::uint8_t> reply;
};
ControlExchange RunControlExchange(ReaderControl& control, const std::string& reader,
                                   std::uint32_t code, const std::vector<std::uint8_t>& data);

class ResponseLog;

// "0x42000DAC".
std::string ControlCodeText(std::uint32_t code);

// The exchange in the program's log lines: the command ("Control Code : 0x...", then the sent
// data's count line and bytes), and its outcome (the received data's count line and hex
// rows, or the failure's return code) closed by the separator.
void AppendControlCommand(ResponseLog& log, std::uint32_t code,
                          const std::vector<std::uint8_t>& data);
void AppendControlOutcome(ResponseLog& log, const ControlExchange& exchange);

// Why a control code was refused, for the box: the code's name, what it means for a control
// command, and for a reader on USB (a CCID reader) that its driver takes escape commands
// only when its configuration permits them.
std::string ControlRefusalText(const ControlExchange& exchange, bool usbReader);
