#include "core/contactless/ContactlessChannel.h"

#include <algorithm>

#include "core/apdu/CardExchange.h"
#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/script/CardConnection.h"
#include "core/session/CardLibrary.h"

namespace {
constexpr std::uint32_t kIoRequestLength = 8;
constexpr std::uint32_t kEitherProtocol = kProtocolT0 | kProtocolT1;

// Hands the log formats' lines to the sink.
class SinkLog : public ResponseLog {
  public:
    explicit SinkLog(const LogSink& sink) : sink_(sink) {}
    void AppendLine(std::string_view line) override {
        if (sink_) {
            sink_(line);
        }
    }
    void ClearLog() override {}

  private:
    const LogSink& sink_;
};
}  // namespace

CardLibraryChannel::CardLibraryChannel(CardLibrary& library, LogSink log)
    : library_(library), log_(std::move(log)) {}

CardLibraryChannel::~CardLibraryChannel() {
    if (card_ != 0) {
        library_.CardDisconnect(card_, kDispositionLeave);
    }
    if (context_ != 0) {
        library_.CardReleaseContext(context_);
    }
}

std::uint32_t CardLibraryChannel::Open(const std::string& reader, std::string& error) {
    if (const std::uint32_t code =
            library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context_)) {
        error = ReturnCodeText("No PC/SC service, return code=0x", code);
        return code;
    }
    if (const std::uint32_t code = library_.CardConnect(context_, reader.c_str(), kShareShared,
                                                        kEitherProtocol, &card_, &protocol_)) {
        card_ = 0;
        error = ReturnCodeText("Connect to \"" + reader + "\" Fail, return code=0x", code);
        return code;
    }
    if (const std::uint32_t code = ReadCardAtr(library_, context_, reader, atr_)) {
        error = ReturnCodeText("Read the ATR of \"" + reader + "\" Fail, return code=0x", code);
        return code;
    }
    return 0;
}

Exchange CardLibraryChannel::Transmit(const Bytes& command) {
    SinkLog log(log_);
    AppendSentData(log, command.data(), static_cast<std::int32_t>(command.size()));
    IoRequest request{protocol_, kIoRequestLength};
    receive_.resize(kMaxExtendedReply);
    std::uint32_t length = kMaxExtendedReply;
    Exchange exchange;
    exchange.code = library_.CardTransmit(card_, &request, command.data(),
                                          static_cast<std::uint32_t>(command.size()), &request,
                                          receive_.data(), &length);
    length = std::min(length, kMaxExtendedReply);
    LogExchangeOutcome(exchange.code, receive_.data(), length, kCardExchangeWording, log);
    if (exchange.code == 0) {
        exchange.reply.assign(receive_.begin(), receive_.begin() + length);
    }
    return exchange;
}

std::uint32_t CardLibraryChannel::Reselect() {
    const std::uint32_t code =
        library_.CardReconnect(card_, kShareShared, kEitherProtocol, kDispositionReset, &protocol_);
    SinkLog log(log_);
    if (code != 0) {
        AppendReturnCodeLine(log, "Reconnect Fail, return code=0x", code);
        AppendSeparatorLine(log);
    }
    return code;
}
