#include "sim/SimTestApplets.h"

#include <algorithm>
#include <ranges>

namespace {
constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kWrongData = 0x6A00;  // with the index of the first wrong byte
constexpr std::uint16_t kNotFound = 0x6A82;
constexpr std::uint16_t kInsNotSupported = 0x6D00;
constexpr std::size_t kReceivedShown = 255;   // 51's data
constexpr std::size_t kReceivedFirst = 256;   // 53's data
constexpr std::uint32_t kT0LeOf256 = 0x7FFF;  // the Le the extended applet sees for P3 00
constexpr std::uint8_t kPinFirst = 0x31;
constexpr std::size_t kHeaderSize = 5;

// `count` bytes 00 01 02 ... FF 00 01 ...
Bytes Counting(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

Bytes TwoBytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint16_t P1P2(const TestCommand& command) {
    return static_cast<std::uint16_t>(command.p1 << 8 | command.p2);
}

// 6A XX at the first byte that is not `first` + its index, 90 00 when all are.
std::uint16_t CheckSequence(const Bytes& data, std::uint8_t first) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != static_cast<std::uint8_t>(first + i)) {
            return static_cast<std::uint16_t>(kWrongData + (i & 0xFF));
        }
    }
    return kOk;
}

template <std::size_t N>
bool Is(const Bytes& data, const std::array<std::uint8_t, N>& aid) {
    return std::ranges::equal(data, aid);
}
}  // namespace

TestAnswer SimTestApplets::Process(const TestCommand& command) {
    if (command.cla == 0x00 && command.ins == 0xA4 && command.p1 == 0x04) {
        return Select(command);
    }
    switch (selected_) {
        case Applet::ReaderTest:
            return ReaderTest(command);
        case Applet::Extended:
            return Extended(command);
        case Applet::None:
            break;
    }
    return {{}, kInsNotSupported};
}

TestAnswer SimTestApplets::Select(const TestCommand& command) {
    if (Is(command.data, kReaderTestAid) || Is(command.data, kReaderTestCombiAid)) {
        selected_ = Applet::ReaderTest;
        return {};
    }
    if (Is(command.data, kExtendedAid) || Is(command.data, kExtendedAid2)) {
        selected_ = Applet::Extended;
        // Its cards offer 256 bytes after the selection under T=0 (61 00), none under T=1.
        return {command.t0 ? Counting(256) : Bytes{}, kOk};
    }
    selected_ = Applet::None;
    return {{}, kNotFound};
}

bool SimTestApplets::IsOutgoing(std::uint8_t ins) const {
    switch (selected_) {
        case Applet::ReaderTest:
            return ins == 0x34 || ins == 0x22 || ins == 0x3C || ins == 0x40;
        case Applet::Extended:
            return ins == 0x20 || ins == 0xB0 || ins == 0x56 || ins == 0x51 || ins == 0x54 ||
                   ins == 0x53;
        case Applet::None:
            break;
    }
    return false;
}

TestAnswer SimTestApplets::ReaderTest(const TestCommand& command) {
    switch (command.ins) {
        case 0x30:
            return {{}, command.p3 == 0 ? kOk : kWrongLength};
        case 0x32:
        case 0x21:
        case 0x3A:
            if (command.data.empty()) {
                return {{}, kWrongLength};
            }
            return {{}, CheckSequence(command.data, 0)};
        case 0x34:
        case 0x22:
            if (command.ne != P1P2(command)) {
                return {{}, kWrongLength};
            }
            return {Counting(command.ne), kOk};
        case 0x3C:
            return {Counting(P1P2(command)), kOk};
        case 0x36:
        case 0x23:
        case 0x3E: {
            if (command.data.empty() && command.ins != 0x3E) {
                return {{}, kWrongLength};
            }
            const std::uint16_t sw = CheckSequence(command.data, 0);
            return sw == kOk ? TestAnswer{Counting(P1P2(command)), kOk} : TestAnswer{{}, sw};
        }
        case 0x38:
            return {{}, kOk, command.p2};
        case 0x20:
            return Verify(command);
        case 0x40:
            return {Bytes(pinMemory_.begin(), pinMemory_.begin() + pinLength_), kOk};
        default:
            return {{}, kInsNotSupported};
    }
}

// The card keeps the header, then the data, before it checks the PIN; a VERIFY without data
// leaves the header over the last one's and the kept length as it was. At most a short
// command's 255 bytes of data are kept, whatever length an extended command carries.
TestAnswer SimTestApplets::Verify(const TestCommand& command) {
    const std::uint8_t header[] = {command.cla, command.ins, command.p1, command.p2, command.p3};
    std::ranges::copy(header, pinMemory_.begin());
    if (command.data.empty()) {
        return {{}, kWrongLength};
    }
    const std::size_t kept = std::min(command.data.size(), pinMemory_.size() - kHeaderSize);
    std::copy_n(command.data.begin(), kept, pinMemory_.begin() + kHeaderSize);
    pinLength_ = kHeaderSize + kept;
    return {{}, CheckSequence(command.data, kPinFirst)};
}

void SimTestApplets::Receive(const Bytes& data) {
    received_ = data;
}

TestAnswer SimTestApplets::Extended(const TestCommand& command) {
    switch (command.ins) {
        case 0x10:
            return {};
        case 0x11:
            return {{}, kOk, extensionUnits_};
        case 0x50:
            extensionUnits_ = P1P2(command);
            return {};
        case 0x20:
        case 0xB0:
            leSeen_ = command.t0 && command.ne == 256 ? kT0LeOf256 : command.ne;
            return {Counting(P1P2(command)), kOk};
        case 0x30:
        case 0xD0:
            Receive(command.data);
            return {};
        case 0x40:
            Receive(command.data);
            return {Counting(P1P2(command)), kOk};
        case 0x56:
            return {TwoBytes(leSeen_), kOk};
        case 0x54:
            return {TwoBytes(static_cast<std::uint32_t>(received_.size())), kOk};
        case 0x51: {
            Bytes shown(kReceivedShown + 1, 0);
            std::copy_n(received_.begin(), std::min(received_.size(), kReceivedShown),
                        shown.begin());
            shown.back() = static_cast<std::uint8_t>(std::min(received_.size(), kReceivedShown));
            return {shown, kOk};
        }
        case 0x53: {
            Bytes first(kReceivedFirst, 0);
            std::copy_n(received_.begin(), std::min(received_.size(), kReceivedFirst),
                        first.begin());
            return {first, kOk};
        }
        default:
            return {{}, kInsNotSupported};
    }
}
