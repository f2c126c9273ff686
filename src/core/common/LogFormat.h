#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ResponseLog;

// The line formats every page writes into its response log.

// Closes an exchange or a memory-card record: exactly twelve blanks.
inline constexpr std::string_view kSeparatorLine = "            ";

// The operation's words (ending in "return code=0x" or "return code=") and the code
// as sixteen capital hex digits.
std::string ReturnCodeText(std::string_view words, std::uint32_t code);
void AppendReturnCodeLine(ResponseLog& log, std::string_view words, std::uint32_t code);

// "Send Data (0x" + count + " bytes) : ", then all n bytes on ONE line.
void AppendSentData(ResponseLog& log, const std::uint8_t* bytes, std::int32_t n);

// n bytes as floor(n/16) rows of 16 bytes and one further row with the rest, which is
// an empty line when n is a multiple of 16.
void AppendHexRows(ResponseLog& log, const std::uint8_t* bytes, std::size_t n);

// "Receive Data : (0x" + count + " bytes) : " followed by the hex rows.
void AppendReceivedData(ResponseLog& log, const std::uint8_t* bytes, std::uint32_t n);

void AppendSeparatorLine(ResponseLog& log);
