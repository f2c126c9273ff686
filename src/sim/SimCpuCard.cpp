#include "sim/SimCpuCard.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kInsGetResponse = 0xC0;

Bytes Answer(const Bytes& data, std::uint16_t statusWord) {
    Bytes out = data;
    out.push_back(static_cast<std::uint8_t>(statusWord >> 8));
    out.push_back(static_cast<std::uint8_t>(statusWord));
    return out;
}

Bytes Answer(std::uint16_t statusWord) {
    return Answer({}, statusWord);
}

// Bytes still available, as the low byte of a 61 xx or 6C xx status word (256 is 00).
std::uint16_t WithCount(std::uint16_t base, std::size_t count) {
    return static_cast<std::uint16_t>(base | (std::min<std::size_t>(count, 256) & 0xFF));
}

IsoCommand Header(ByteView bytes) {
    IsoCommand command;
    command.cla = bytes[0];
    command.ins = bytes[1];
    command.p1 = bytes[2];
    command.p2 = bytes[3];
    return command;
}

// Instructions that only fetch data: under T=0 their P3 is the expected length.
bool IsOutgoing(std::uint8_t ins) {
    return ins == 0xB0 || ins == 0x84 || ins == 0xCA;
}

bool IsSuccess(std::uint16_t statusWord) {
    return statusWord == sw::kOk || statusWord == sw::kEndOfFile;
}
}  // namespace

SimCpuCard::SimCpuCard(SimCardKind kind) : SimCard(kind) {}

Bytes SimCpuCard::Atr() const {
    if (IsT0()) {
        // T=0 only: TB1 and TC1 zero, eight historical bytes.
        return {0x3B, 0x68, 0x00, 0x00, 'Z', 'P', 'S', 'I', 'M', '-', 'T', '0'};
    }
    // T=1 only: IFSC 254, BWI 4, CWI 5, eight historical bytes, check byte.
    Bytes atr = {0x3B, 0x88, 0x81, 0x31, 0xFE, 0x45, 'Z', 'P', 'S', 'I', 'M', '-', 'T', '1'};
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) {
        check ^= atr[i];
    }
    atr.push_back(check);
    return atr;
}

std::uint32_t SimCpuCard::Protocol() const {
    return IsT0() ? 1 : 2;
}

void SimCpuCard::PowerDown() {
    commands_.Reset();
    pending_.clear();
}

Bytes SimCpuCard::Transmit(ByteView command) {
    return IsT0() ? TransmitT0(command) : TransmitT1(command);
}

// Short APDU cases 1 to 4; Le 00 asks for 256 bytes. Extended lengths are not supported.
Bytes SimCpuCard::TransmitT1(ByteView apdu) {
    if (apdu.size() < 4) {
        return Answer(sw::kWrongLength);
    }
    IsoCommand command = Header(apdu);
    if (apdu.size() > 4) {
        const std::size_t lc = apdu[4];
        if (apdu.size() == 5) {
            command.ne = lc == 0 ? 256 : lc;
        } else if (lc == 0 || (apdu.size() != 5 + lc && apdu.size() != 6 + lc)) {
            return Answer(sw::kWrongLength);
        } else {
            command.data.assign(apdu.begin() + 5, apdu.begin() + 5 + lc);
            if (apdu.size() == 6 + lc) {
                command.ne = apdu.back() == 0 ? 256 : apdu.back();
            }
        }
    }
    const IsoResponse response = commands_.Process(command);
    return Answer(response.data, response.sw);
}

Bytes SimCpuCard::TransmitT0(ByteView tpdu) {
    if (tpdu.size() < 4) {
        pending_.clear();
        return Answer(sw::kWrongLength);
    }
    IsoCommand command = Header(tpdu);
    const std::uint8_t p3 = tpdu.size() > 4 ? tpdu[4] : 0;
    if (command.ins == kInsGetResponse && (command.cla & 0xFC) == 0x00 && tpdu.size() == 5) {
        return GetResponse(p3);
    }
    pending_.clear();
    if (const std::uint16_t refusal =
            SimIsoCommands::CheckClassAndInstruction(command.cla, command.ins)) {
        return Answer(refusal);
    }
    if (tpdu.size() == 5 && IsOutgoing(command.ins)) {
        command.ne = p3 == 0 ? 256 : p3;
        const IsoResponse response = commands_.Process(command);
        if (IsSuccess(response.sw) && response.data.size() != command.ne) {
            return Answer(WithCount(0x6C00, response.data.size()));
        }
        return Answer(response.data, response.sw);
    }
    if (tpdu.size() > 5 && tpdu.size() == 5u + p3 && p3 > 0) {
        command.data.assign(tpdu.begin() + 5, tpdu.end());
    } else if (tpdu.size() > 5 || p3 != 0) {
        return Answer(sw::kWrongLength);
    }
    // The card keeps whatever response data there is for GET RESPONSE.
    command.ne = 256;
    return QueueResponse(commands_.Process(command));
}

Bytes SimCpuCard::QueueResponse(const IsoResponse& response) {
    if (response.data.empty() || !IsSuccess(response.sw)) {
        return Answer(response.sw);
    }
    pending_ = response.data;
    pendingSw_ = response.sw;
    return Answer(WithCount(0x6100, pending_.size()));
}

Bytes SimCpuCard::GetResponse(std::uint8_t p3) {
    if (pending_.empty()) {
        return Answer(sw::kConditionsNotSatisfied);
    }
    const std::size_t wanted = p3 == 0 ? 256 : p3;
    if (wanted > pending_.size()) {
        return Answer(WithCount(0x6C00, pending_.size()));
    }
    const Bytes part(pending_.begin(), pending_.begin() + wanted);
    pending_.erase(pending_.begin(), pending_.begin() + wanted);
    if (!pending_.empty()) {
        return Answer(part, WithCount(0x6100, pending_.size()));
    }
    return Answer(part, pendingSw_);
}
