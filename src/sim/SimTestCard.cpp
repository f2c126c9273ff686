#include "sim/SimTestCard.h"

#include <algorithm>

#include "core/session/CardLibrary.h"

namespace {
constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kNothingPending = 0x6985;
constexpr std::uint8_t kInsGetResponse = 0xC0;
constexpr std::size_t kHeader = 4;
constexpr std::size_t kMostShort = 256;

Bytes Reply(const Bytes& data, std::uint16_t sw) {
    Bytes out = data;
    out.push_back(static_cast<std::uint8_t>(sw >> 8));
    out.push_back(static_cast<std::uint8_t>(sw));
    return out;
}

// A 61 XX or 6C XX status word for `count` bytes (256 is 00).
std::uint16_t WithCount(std::uint16_t base, std::size_t count) {
    return static_cast<std::uint16_t>(base | (std::min(count, kMostShort) & 0xFF));
}

// A command in extended form: a zero byte after the header and at least two more.
bool IsExtended(ByteView command) {
    return command.size() >= 7 && command[kHeader] == 0;
}

struct Field {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Where the Le field of an APDU is, by the short and extended layouts of cases 2 and 4.
std::optional<Field> LeField(ByteView apdu) {
    const std::size_t size = apdu.size();
    if (size == 5) {
        return Field{4, 1};
    }
    if (size < 6) {
        return std::nullopt;
    }
    if (apdu[kHeader] != 0) {
        return size == 6u + apdu[kHeader] ? std::optional(Field{size - 1, 1}) : std::nullopt;
    }
    if (size == 7) {
        return Field{5, 2};
    }
    const std::size_t lc = static_cast<std::size_t>(apdu[5] << 8 | apdu[6]);
    return lc != 0 && size == 9 + lc ? std::optional(Field{size - 2, 2}) : std::nullopt;
}

TestCommand Header(ByteView bytes, bool t0) {
    TestCommand command;
    command.cla = bytes[0];
    command.ins = bytes[1];
    command.p1 = bytes[2];
    command.p2 = bytes[3];
    command.p3 = bytes.size() > kHeader ? bytes[kHeader] : 0;
    command.t0 = t0;
    return command;
}

// An APDU's data and Le, short or extended; false for a layout of no case.
bool ParseApdu(ByteView apdu, TestCommand& command) {
    const std::size_t size = apdu.size();
    if (size == kHeader) {
        return true;
    }
    const std::size_t b4 = apdu[kHeader];
    if (size == 5) {
        command.ne = b4 == 0 ? 256 : static_cast<std::uint32_t>(b4);
        return true;
    }
    std::size_t lc = b4;
    std::size_t dataStart = 5;
    std::size_t leSize = 1;
    if (b4 == 0) {
        if (size < 7) {
            return false;
        }
        const std::size_t value = static_cast<std::size_t>(apdu[5] << 8 | apdu[6]);
        if (size == 7) {
            command.ne = value == 0 ? 65536 : static_cast<std::uint32_t>(value);
            return true;
        }
        lc = value;
        dataStart = 7;
        leSize = 2;
    }
    if (lc == 0 || (size != dataStart + lc && size != dataStart + lc + leSize)) {
        return false;
    }
    command.data.assign(apdu.begin() + static_cast<std::ptrdiff_t>(dataStart),
                        apdu.begin() + static_cast<std::ptrdiff_t>(dataStart + lc));
    if (size == dataStart + lc + leSize) {
        const std::size_t le =
            leSize == 1 ? apdu[size - 1] : (apdu[size - 2] << 8 | apdu[size - 1]);
        command.ne = static_cast<std::uint32_t>(le == 0 ? (leSize == 1 ? 256 : 65536) : le);
    }
    return true;
}

constexpr std::uint8_t kHistorical[] = {'Z', 'P', '-', 'T', 'E', 'S', 'T'};
}  // namespace

SimTestCard::SimTestCard(SimCardKind kind, SimTestCardSettings settings)
    : SimCard(kind),
      settings_(settings),
      protocol_(kind == SimCardKind::TestT1 ? kProtocolT1 : kProtocolT0) {}

// T=0 only: TB1 and TC1 zero. T=1 (alone or after T=0): IFSC 254, BWI 4, CWI 5, and a check
// byte. Eight historical bytes "ZP-TEST" and 0, 1 or B.
Bytes SimTestCard::Atr() const {
    Bytes atr;
    char last = 'B';
    switch (Kind()) {
        case SimCardKind::TestT0:
            atr = {0x3B, 0x68, 0x00, 0x00};
            last = '0';
            break;
        case SimCardKind::TestT1:
            atr = {0x3B, 0x88, 0x81, 0x31, 0xFE, 0x45};
            last = '1';
            break;
        default:
            atr = {0x3B, 0x88, 0x80, 0x31, 0xFE, 0x45};
            break;
    }
    atr.insert(atr.end(), std::begin(kHistorical), std::end(kHistorical));
    atr.push_back(static_cast<std::uint8_t>(last));
    if (Kind() != SimCardKind::TestT0) {
        std::uint8_t check = 0;
        for (std::size_t i = 1; i < atr.size(); ++i) {
            check ^= atr[i];
        }
        atr.push_back(check);
    }
    return atr;
}

std::uint32_t SimTestCard::Protocols() const {
    switch (Kind()) {
        case SimCardKind::TestT0:
            return kProtocolT0;
        case SimCardKind::TestT1:
            return kProtocolT1;
        default:
            return kProtocolT0 | kProtocolT1;
    }
}

void SimTestCard::SelectProtocol(std::uint32_t protocol) {
    if ((Protocols() & protocol) == protocol &&
        (protocol == kProtocolT0 || protocol == kProtocolT1)) {
        protocol_ = protocol;
    }
}

void SimTestCard::PowerDown() {
    applets_.Deselect();
    pending_.clear();
}

SimExchange SimTestCard::Exchange(ByteView command) {
    const SimTestCardFaults& faults = settings_.faults;
    if (faults.refuseExtended && IsExtended(command)) {
        return {{}, {}, kNotTransacted};
    }
    Bytes carried(command.begin(), command.end());
    if (faults.rewriteLe) {
        if (const auto le = LeField(carried)) {
            std::fill_n(carried.begin() + static_cast<std::ptrdiff_t>(le->offset), le->size, 0);
        }
    }
    if (faults.dropLastByteAbove && carried.size() > *faults.dropLastByteAbove) {
        carried.pop_back();
    }
    SimExchange exchange = protocol_ == kProtocolT0 ? ExchangeT0(carried) : ExchangeT1(carried);
    if (faults.lateTimeRequest && exchange.work.count() > 0) {
        return {{}, std::min(exchange.work, settings_.timeUnit), kNotTransacted};
    }
    if (faults.cutRepliesAbove && exchange.reply.size() - 2 > *faults.cutRepliesAbove) {
        exchange.reply.erase(exchange.reply.begin() + *faults.cutRepliesAbove,
                             exchange.reply.end() - 2);
    }
    return exchange;
}

SimExchange SimTestCard::Finish(TestAnswer answer) const {
    return {Reply(answer.data, answer.sw), settings_.timeUnit * answer.workUnits, 0};
}

SimExchange SimTestCard::ExchangeT1(ByteView apdu) {
    if (apdu.size() < kHeader) {
        return Finish({{}, kWrongLength});
    }
    TestCommand command = Header(apdu, false);
    if (!ParseApdu(apdu, command)) {
        return Finish({{}, kWrongLength});
    }
    return Finish(applets_.Process(command));
}

SimExchange SimTestCard::ExchangeT0(ByteView tpdu) {
    if (tpdu.size() < kHeader) {
        pending_.clear();
        return Finish({{}, kWrongLength});
    }
    if (tpdu[1] == kInsGetResponse && tpdu.size() == 5) {
        return GetResponse(tpdu[kHeader]);
    }
    pending_.clear();
    TestCommand command = Header(tpdu, true);
    if (IsExtended(tpdu)) {
        return Finish({{}, kWrongLength});
    }
    if (tpdu.size() <= 5 && applets_.IsOutgoing(command.ins)) {
        command.ne = command.p3 == 0 ? 256 : command.p3;
        TestAnswer answer = applets_.Process(command);
        if (answer.sw == kOk && !answer.data.empty() && answer.data.size() != command.ne) {
            const std::uint16_t sw = answer.data.size() > kMostShort
                                         ? kWrongLength
                                         : WithCount(0x6C00, answer.data.size());
            return Finish({{}, sw, answer.workUnits});
        }
        return Finish(std::move(answer));
    }
    if (tpdu.size() > 5) {
        const std::size_t p3 = command.p3;
        if (p3 == 0 || (tpdu.size() != 5 + p3 && tpdu.size() != 6 + p3)) {
            return Finish({{}, kWrongLength});
        }
        command.data.assign(tpdu.begin() + 5, tpdu.begin() + 5 + static_cast<std::ptrdiff_t>(p3));
    }
    TestAnswer answer = applets_.Process(command);
    if (answer.sw != kOk || answer.data.empty()) {
        return Finish({{}, answer.sw, answer.workUnits});
    }
    pending_ = std::move(answer.data);
    pendingSw_ = answer.sw;
    return Finish({{}, WithCount(0x6100, pending_.size()), answer.workUnits});
}

SimExchange SimTestCard::GetResponse(std::uint8_t p3) {
    if (pending_.empty()) {
        return Finish({{}, kNothingPending});
    }
    const std::size_t wanted = p3 == 0 ? kMostShort : p3;
    if (wanted > pending_.size()) {
        return Finish({{}, WithCount(0x6C00, pending_.size())});
    }
    Bytes part(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(wanted));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(wanted));
    return Finish(
        {std::move(part), pending_.empty() ? pendingSw_ : WithCount(0x6100, pending_.size())});
}
