// The APDU console over arbitrary field texts and arbitrary transmit outcomes.
// Input: the seven field texts CLA, INS, P1, P2, Lc, Data, Le, one per line; then the
// transmit's return code (u32), the receive length it reports (u32) and the reply bytes.
#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "core/apdu/ApduFields.h"
#include "core/apdu/CardExchange.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The command the fields describe, or the message of the first faulty field, worked out
// character by character from the field rules.
struct Expected {
    std::optional<std::string> fault;
    std::vector<std::uint8_t> command;
};

Expected ExpectedCommand(const std::array<std::string, 7>& fields) {
    static const char* const kNames[] = {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"};
    Expected expected;
    for (int i = 0; i < 4; ++i) {
        if (fields[i].empty()) {
            expected.fault = std::string(kNames[i]) + " Empty!";
            return expected;
        }
    }
    for (int i = 0; i < 4; ++i) {
        const std::string& text = fields[i];
        if (text.size() < 2 || !IsHexDigit(text[0]) || !IsHexDigit(text[1])) {
            expected.fault = std::string(kNames[i]) + " Input Error";
            return expected;
        }
        expected.command.push_back(
            static_cast<std::uint8_t>(std::stoi(text.substr(0, 2), nullptr, 16)));
    }
    for (int i = 4; i < 7; ++i) {
        const std::string& text = fields[i];
        for (std::size_t c = 0; c + 1 < text.size(); c += 2) {
            if (expected.command.size() == ApduBufferSize) {
                expected.fault = std::string(kNames[i]) + " Too Long!";
                return expected;
            }
            if (!IsHexDigit(text[c]) || !IsHexDigit(text[c + 1])) {
                expected.fault = std::string(kNames[i]) + " Input Error";
                return expected;
            }
            expected.command.push_back(
                static_cast<std::uint8_t>(std::stoi(text.substr(c, 2), nullptr, 16)));
        }
    }
    return expected;
}

void CheckParse(const std::array<std::string, 7>& fields) {
    const ApduTexts texts{fields[0], fields[1], fields[2], fields[3],
                          fields[4], fields[5], fields[6]};
    ApduBuffer command;
    command.fill(0xEE);
    std::int32_t n = -1;
    const std::optional<std::string> fault = ParseApduFields(texts, command, n);
    const Expected expected = ExpectedCommand(fields);
    FUZZ_CHECK(fault == expected.fault);

    MemoryResponseLog log;
    const std::optional<std::string> box = PrepareApduCommand(texts, log, command, n);
    FUZZ_CHECK(box == fault);
    if (fault) {
        FUZZ_CHECK(log.Lines().empty());
        return;
    }
    FUZZ_CHECK(n == static_cast<std::int32_t>(expected.command.size()));
    FUZZ_CHECK(std::equal(command.begin(), command.begin() + n, expected.command.begin()));
    FUZZ_CHECK(log.Lines().size() == 2);
    FUZZ_CHECK(log.Lines()[0] == "Send Data (0x" + HexNumberText(n, 4) + " bytes) : ");
    FUZZ_CHECK(log.Lines()[1] == BytesToHexText(expected.command.data(), n));
}

// The log of one transmit outcome: the success line, the count of what the receive
// buffer holds and its rows of 16, or the return-code line.
void CheckReply(FuzzInput& input) {
    const std::uint32_t code = input.U32();
    const std::uint32_t replyLength = input.U32();
    ApduReply outcome{code, {}, replyLength};
    const auto bytes = input.Bytes(outcome.bytes.size());
    std::copy(bytes.begin(), bytes.end(), outcome.bytes.begin());
    const ApduBuffer& reply = outcome.bytes;

    MemoryResponseLog log;
    LogApduReply(outcome, kCardExchangeWording, log);
    const auto& lines = log.Lines();
    FUZZ_CHECK(!lines.empty() && lines.back() == kSeparatorLine);
    if (code != 0) {
        FUZZ_CHECK(lines.size() == 2);
        FUZZ_CHECK(lines[0] == "Send Data Fail, return code=0x" + HexNumberText(code, 16));
        return;
    }
    const std::uint32_t shown = std::min(replyLength, ApduBufferSize);
    FUZZ_CHECK(lines.size() == 2 + shown / 16 + 1 + 1);
    FUZZ_CHECK(lines[0] == "Send Data Success");
    FUZZ_CHECK(lines[1] == "Receive Data : (0x" + HexNumberText(shown, 4) + " bytes) : ");
    std::vector<std::uint8_t> rows;
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        std::vector<std::uint8_t> row;
        FUZZ_CHECK(DecodeHexText(lines[i], row));
        FUZZ_CHECK(row.size() == (i + 2 < lines.size() ? 16 : shown % 16));
        rows.insert(rows.end(), row.begin(), row.end());
    }
    FUZZ_CHECK(std::equal(rows.begin(), rows.end(), reply.begin(), reply.begin() + shown));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::array<std::string, 7> fields;
    for (std::string& field : fields) {
        field = input.Line();
    }
    CheckParse(fields);
    CheckReply(input);
    return 0;
}
