#include "core/stress/ApduWorkload.h"

#include "core/session/CardLibrary.h"

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr std::size_t kMinimumCommand = 4;
}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexApdu(std::string_view text, std::string& error) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            if (high >= 0) {
                error = "odd number of hex digits in a byte";
                return std::nullopt;
            }
            continue;
        }
        const int value = HexValue(c);
        if (value < 0) {
            error = std::string("not a hex digit: '") + c + "'";
            return std::nullopt;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) {
        error = "odd number of hex digits";
        return std::nullopt;
    }
    if (bytes.size() < kMinimumCommand) {
        error = "a command has at least 4 bytes (CLA INS P1 P2)";
        return std::nullopt;
    }
    if (bytes.size() > ApduBufferSize) {
        error = "a command has at most " + std::to_string(ApduBufferSize) + " bytes";
        return std::nullopt;
    }
    return bytes;
}

bool IsNormalStatusWord(std::uint16_t statusWord) {
    return statusWord == 0x9000 || (statusWord >> 8) == 0x61;
}

UnitResult ApduWorkload::RunUnit(StressConnection& connection) {
    IoRequest request{connection.protocol, sizeof(IoRequest)};
    std::uint32_t length = static_cast<std::uint32_t>(reply_.size());
    UnitResult result;
    result.exchanges = 1;
    result.code = connection.library.CardTransmit(connection.card, &request, command_.data(),
                                                  static_cast<std::uint32_t>(command_.size()),
                                                  &request, reply_.data(), &length);
    if (result.code != 0) {
        return result;
    }
    if (length < 2 || length > reply_.size()) {
        result.noStatusWord = true;
        return result;
    }
    const auto sw = static_cast<std::uint16_t>(reply_[length - 2] << 8 | reply_[length - 1]);
    result.statusWord = sw;
    result.unexpectedStatus = !IsNormalStatusWord(sw);
    return result;
}

UnitResult ConnectCycleWorkload::RunUnit(StressConnection& connection) {
    UnitResult result;
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    result.code = connection.library.CardConnect(connection.context, connection.reader.c_str(),
                                                 connection.shareMode, kProtocolT0 | kProtocolT1,
                                                 &card, &protocol);
    if (result.code == 0) {
        result.code = connection.library.CardDisconnect(card, kDispositionReset);
    }
    return result;
}
