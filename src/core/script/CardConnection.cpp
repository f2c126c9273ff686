#include "core/script/CardConnection.h"

#include <algorithm>

#include "core/session/CardLibrary.h"

namespace {
constexpr std::uint32_t kIoRequestLength = 8;
}  // namespace

std::uint32_t ReadCardAtr(CardLibrary& library, std::uint32_t context, const std::string& reader,
                          std::vector<std::uint8_t>& atr) {
    atr.clear();
    ReaderState state;
    state.reader = reader.c_str();
    if (const std::uint32_t code = library.CardGetStatusChange(context, 0, &state, 1)) {
        return code;
    }
    if ((state.eventState & kStatePresent) != 0) {
        const std::uint32_t length = std::min<std::uint32_t>(state.atrLength, sizeof state.atr);
        atr.assign(state.atr, state.atr + length);
    }
    return 0;
}

CardConnection::~CardConnection() {
    Disconnect(kDispositionLeave);
    if (context_ != 0) {
        library_.CardReleaseContext(context_);
    }
}

std::uint32_t CardConnection::Establish() {
    return library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context_);
}

std::uint32_t CardConnection::Connect(const std::string& reader, std::uint32_t protocols) {
    reader_ = reader;
    protocols_ = protocols;
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    const std::uint32_t code =
        library_.CardConnect(context_, reader.c_str(), kShareShared, protocols, &card, &protocol);
    if (code == 0) {
        card_ = card;
        protocol_ = protocol;
    }
    return code;
}

std::uint32_t CardConnection::Reset() {
    Disconnect(kDispositionReset);
    return Connect(reader_, protocols_);
}

void CardConnection::Disconnect(std::uint32_t disposition) {
    if (card_ != 0) {
        library_.CardDisconnect(card_, disposition);
        card_ = 0;
    }
}

CardReply CardConnection::Transmit(const std::vector<std::uint8_t>& command) {
    IoRequest request{protocol_, kIoRequestLength};
    receive_.resize(kMaxExtendedReply);
    auto length = kMaxExtendedReply;
    CardReply reply;
    reply.code = library_.CardTransmit(card_, &request, command.data(),
                                       static_cast<std::uint32_t>(command.size()), &request,
                                       receive_.data(), &length);
    if (reply.code == 0) {
        reply.bytes.assign(receive_.begin(),
                           receive_.begin() + std::min(length, kMaxExtendedReply));
    }
    return reply;
}
