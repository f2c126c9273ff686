#include "core/qualify/QualifyLink.h"

#include <algorithm>
#include <chrono>

#include "core/apdu/CardExchange.h"
#include "core/common/LogFormat.h"
#include "core/session/CardLibrary.h"

namespace {
constexpr std::uint32_t kIoRequestLength = 8;
constexpr std::uint8_t kMoreData = 0x61;
constexpr std::uint8_t kWrongLe = 0x6C;
// A card that keeps answering 61 XX stops being fetched after this many parts.
constexpr int kMaxParts = 512;
}  // namespace

std::uint16_t StatusWordOf(std::span<const std::uint8_t> reply) {
    if (reply.size() < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>(reply[reply.size() - 2] << 8 | reply.back());
}

QualifyLink::~QualifyLink() {
    Disconnect();
}

std::uint32_t QualifyLink::Connect(std::uint32_t context, const std::string& reader,
                                   std::uint32_t protocol) {
    Disconnect();
    std::uint32_t card = 0;
    std::uint32_t active = 0;
    const std::uint32_t code =
        library_.CardConnect(context, reader.c_str(), kShareShared, protocol, &card, &active);
    if (code == 0) {
        card_ = card;
        protocol_ = active;
    }
    return code;
}

// A reset on leaving lets the next column's connect choose its protocol afresh: with the
// card left as it is, the service keeps the protocol already chosen and refuses any other.
void QualifyLink::Disconnect() {
    if (card_ != 0) {
        library_.CardDisconnect(card_, kDispositionReset);
        card_ = 0;
    }
}

std::uint32_t QualifyLink::Reconnect(std::uint32_t disposition) {
    std::uint32_t active = 0;
    const std::uint32_t code =
        library_.CardReconnect(card_, kShareShared, protocol_, disposition, &active);
    if (code == 0) {
        protocol_ = active;
    }
    return code;
}

LinkReply QualifyLink::Transmit(const QualifyBytes& command, std::uint32_t receiveSize,
                                std::uint32_t pciProtocol) {
    LinkReply reply;
    if (stop_.load(std::memory_order_relaxed)) {
        reply.stopped = true;
        return reply;
    }
    if (receive_.size() < kMaxExtendedReply) {
        receive_.resize(kMaxExtendedReply);
    }
    receiveSize = std::min(receiveSize, kMaxExtendedReply);
    IoRequest send{pciProtocol != 0 ? pciProtocol : protocol_, kIoRequestLength};
    IoRequest received{protocol_, kIoRequestLength};
    std::uint32_t length = receiveSize;
    const auto before = std::chrono::steady_clock::now();
    reply.code = library_.CardTransmit(card_, &send, command.data(),
                                       static_cast<std::uint32_t>(command.size()), &received,
                                       receive_.data(), &length);
    const auto after = std::chrono::steady_clock::now();
    reply.micros = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(after - before).count());
    reply.exchanges = 1;
    ++exchanges_;
    // A backend that claims more than the buffer holds is held to the buffer.
    length = reply.code == 0 ? std::min(length, receiveSize) : 0;
    reply.bytes = std::span<const std::uint8_t>(receive_.data(), length);
    reply.firstStatus = StatusWordOf(reply.bytes);
    if (log_ != nullptr) {
        Log(command, reply.code, receive_.data(), length);
    }
    return reply;
}

LinkReply QualifyLink::Fetch(const QualifyBytes& command) {
    LinkReply reply = Transmit(command, kMaxExtendedReply);
    if (reply.stopped || reply.code != 0) {
        return reply;
    }
    const auto add = [&reply](const LinkReply& part) {
        reply.code = part.code;
        reply.stopped = part.stopped;
        reply.micros += part.micros;
        reply.exchanges += part.exchanges;
    };
    // Only a command that is a header, or a header and Le, can be asked again with another Le.
    if (command.size() <= 5 && reply.bytes.size() == 2 && reply.bytes[0] == kWrongLe) {
        QualifyBytes again = command;
        if (again.size() == 4) {
            again.push_back(reply.bytes[1]);
        } else {
            again.back() = reply.bytes[1];
        }
        const LinkReply part = Transmit(again, kMaxExtendedReply);
        add(part);
        reply.bytes = part.bytes;
    }
    if (reply.code != 0 || reply.stopped || reply.bytes.size() != 2 ||
        reply.bytes[0] != kMoreData) {
        return reply;
    }
    reply.chained = true;
    chain_.clear();
    for (int parts = 0; parts < kMaxParts; ++parts) {
        const LinkReply part = Transmit(GetResponseCommand(reply.bytes[1]), kMaxExtendedReply);
        add(part);
        reply.bytes = part.bytes;
        if (part.code != 0 || part.stopped || part.bytes.size() < 2 ||
            part.bytes[part.bytes.size() - 2] != kMoreData) {
            break;
        }
        chain_.insert(chain_.end(), part.bytes.begin(), part.bytes.end() - 2);
    }
    // The parts before the last, then the last with its status word.
    chain_.insert(chain_.end(), reply.bytes.begin(), reply.bytes.end());
    reply.bytes = chain_;
    return reply;
}

void QualifyLink::Log(const QualifyBytes& command, std::uint32_t code, const std::uint8_t* reply,
                      std::uint32_t length) {
    AppendSentData(*log_, command.data(), static_cast<std::int32_t>(command.size()));
    LogExchangeOutcome(code, reply, length, kCardExchangeWording, *log_);
}
