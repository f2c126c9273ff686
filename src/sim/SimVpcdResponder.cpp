#include "sim/SimVpcdResponder.h"

#include <algorithm>
#include <thread>

std::optional<Bytes> SimVpcdResponder::Answer(ByteView message) {
    if (message.size() != 1) {
        if (message.empty()) {
            return std::nullopt;
        }
        if (timing_.Exchange()) {
            return Bytes{0x6F, 0x00};
        }
        SimExchange exchange = card_.Exchange(message);
        std::this_thread::sleep_for(exchange.work);
        // A reply longer than a vpcd message would reach the service cut, its last data
        // bytes read as a status word: the reader path fails it instead.
        if (exchange.readerCode != 0 || exchange.reply.size() > VpcdStream::kMaxPayload) {
            return Bytes{0x6F, 0x00};
        }
        return std::move(exchange.reply);
    }
    switch (message[0]) {
        case kPowerOff:
            card_.PowerDown();
            powered_ = false;
            return std::nullopt;
        case kPowerOn:
            powered_ = true;
            return std::nullopt;
        case kReset:
            card_.PowerDown();
            powered_ = true;
            return std::nullopt;
        case kGetAtr:
            return card_.Atr();
        default:
            return std::nullopt;
    }
}

Bytes VpcdStream::Frame(ByteView payload) {
    const std::size_t size = std::min(payload.size(), kMaxPayload);
    // Sized once and filled in place: the length prefix, then the payload.
    Bytes framed(size + 2);
    framed[0] = static_cast<std::uint8_t>(size >> 8);
    framed[1] = static_cast<std::uint8_t>(size);
    std::copy_n(payload.begin(), size, framed.begin() + 2);
    return framed;
}

void VpcdStream::Feed(ByteView bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

std::optional<Bytes> VpcdStream::Next() {
    if (pending_.size() < 2) {
        return std::nullopt;
    }
    const std::size_t size = pending_[0] << 8 | pending_[1];
    if (pending_.size() < 2 + size) {
        return std::nullopt;
    }
    Bytes message(pending_.begin() + 2, pending_.begin() + 2 + size);
    pending_.erase(pending_.begin(), pending_.begin() + 2 + size);
    return message;
}
