#include "core/common/LogFormat.h"

#include "core/common/Conversions.h"
#include "core/common/ResponseLog.h"

namespace {
constexpr std::size_t kHexRowBytes = 16;
}

std::string ReturnCodeText(std::string_view words, std::uint32_t code) {
    std::string text(words);
    text += HexNumberText(code, 16);
    return text;
}

void AppendReturnCodeLine(ResponseLog& log, std::string_view words, std::uint32_t code) {
    AppendLogLine(log, ReturnCodeText(words, code));
}

void AppendSentData(ResponseLog& log, const std::uint8_t* bytes, std::int32_t n) {
    AppendLogLine(log,
                  "Send Data (0x" + HexNumberText(static_cast<std::uint32_t>(n), 4) + " bytes) : ");
    AppendLogLine(log, BytesToHexText(bytes, n));
}

void AppendHexRows(ResponseLog& log, const std::uint8_t* bytes, std::size_t n) {
    std::size_t offset = 0;
    for (; n - offset >= kHexRowBytes; offset += kHexRowBytes) {
        AppendLogLine(log, BytesToHexText(bytes + offset, kHexRowBytes));
    }
    AppendLogLine(log, BytesToHexText(bytes + offset, static_cast<std::int32_t>(n - offset)));
}

void AppendReceivedData(ResponseLog& log, const std::uint8_t* bytes, std::uint32_t n) {
    AppendLogLine(log, "Receive Data : (0x" + HexNumberText(n, 4) + " bytes) : ");
    AppendHexRows(log, bytes, n);
}

void AppendSeparatorLine(ResponseLog& log) {
    AppendLogLine(log, kSeparatorLine);
}
