#include "sim/SimCardLibrary.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <span>
#include <string_view>
#include <thread>

#include "core/session/ReaderList.h"
#include "sim/SimCardFactory.h"
#include "sim/SimCodes.h"
#include "sim/SimI2cCard.h"
#include "sim/SimSle4404Card.h"
#include "sim/SimSle4428Card.h"
#include "sim/SimSle4436Card.h"
#include "sim/SimSle4442Card.h"

using namespace sim_codes;

namespace {
constexpr std::uint32_t kLastScope = 2;          // system
constexpr std::uint32_t kLastDisposition = 3;    // eject
constexpr std::uint32_t kStateChanged = 0x0002;  // SCARD_STATE_CHANGED
constexpr std::uint32_t kStateEmpty = 0x0010;    // SCARD_STATE_EMPTY
constexpr std::uint32_t kStateInUse = 0x0100;    // SCARD_STATE_INUSE

// The protocol a connect gets with these preferences: the one chosen since power-up
// (`negotiated`, 0 for none), or else T=1 before T=0 among those the card offers, as
// pcsc-lite chooses; 0 when none fits.
std::uint32_t ChooseProtocol(std::uint32_t offered, std::uint32_t negotiated,
                             std::uint32_t preferredProtocols) {
    if (negotiated != 0) {
        return (preferredProtocols & negotiated) != 0 ? negotiated : 0;
    }
    const std::uint32_t usable = preferredProtocols & offered;
    if ((usable & kProtocolT1) != 0) {
        return kProtocolT1;
    }
    return (usable & kProtocolT0) != 0 ? kProtocolT0 : 0;
}
}  // namespace

SimCardLibrary::SimCardLibrary(std::vector<std::string> readerNames)
    : readerNames_(std::move(readerNames)), slots_(readerNames_.size()) {}

SimCardLibrary::~SimCardLibrary() = default;

// ---- Test and simulator controls ----

void SimCardLibrary::InsertCard(int reader, SimCardKind kind) {
    InsertCard(reader, MakeSimCard(kind));
}

void SimCardLibrary::InsertCard(int reader, std::unique_ptr<SimCard> card) {
    if (reader < 0 || static_cast<std::size_t>(reader) >= slots_.size() || !card) {
        return;
    }
    Slot& slot = slots_[static_cast<std::size_t>(reader)];
    slot.events += slot.card ? 2 : 1;  // a card that was there is removed first
    slot.card = std::move(card);
    slot.insertion = ++insertions_;
    slot.negotiated = 0;
    NoteSlotChange();
}

void SimCardLibrary::RemoveCard(int reader) {
    if (reader >= 0 && static_cast<std::size_t>(reader) < slots_.size()) {
        Slot& slot = slots_[static_cast<std::size_t>(reader)];
        slot.events += slot.card ? 1 : 0;
        slot.card.reset();
        NoteSlotChange();
    }
}

std::uint32_t SimCardLibrary::CardEvents(int reader) const {
    return reader >= 0 && static_cast<std::size_t>(reader) < slots_.size()
               ? slots_[static_cast<std::size_t>(reader)].events
               : 0;
}

void SimCardLibrary::AttachReader(const std::string& name) {
    const auto known = std::find(readerNames_.begin(), readerNames_.end(), name);
    if (known == readerNames_.end()) {
        readerNames_.push_back(name);
        slots_.emplace_back();
    } else {
        Slot& slot = slots_[static_cast<std::size_t>(known - readerNames_.begin())];
        if (slot.attached) {
            return;
        }
        slot.attached = true;
        slot.insertion = ++insertions_;
    }
    ++readerEvents_;
}

void SimCardLibrary::DetachReader(int reader) {
    if (IsAttached(reader)) {
        slots_[static_cast<std::size_t>(reader)].attached = false;
        ++readerEvents_;
        NoteSlotChange();
    }
}

bool SimCardLibrary::IsAttached(int reader) const {
    return reader >= 0 && static_cast<std::size_t>(reader) < slots_.size() &&
           slots_[static_cast<std::size_t>(reader)].attached;
}

bool SimCardLibrary::HasCard(int reader) const {
    return reader >= 0 && static_cast<std::size_t>(reader) < slots_.size() &&
           slots_[static_cast<std::size_t>(reader)].card != nullptr;
}

SimCard* SimCardLibrary::CardIn(int reader) {
    return HasCard(reader) ? slots_[static_cast<std::size_t>(reader)].card.get() : nullptr;
}

void SimCardLibrary::RefuseNextConnects(int count, std::uint32_t code) {
    refusedConnects_ = std::max(count, 0);
    refuseCode_ = code;
}

void SimCardLibrary::FailNext(const std::string& operation, std::uint32_t code) {
    faults_.FailNext(operation, code);
}

int SimCardLibrary::CallCount(const std::string& operation) const {
    return faults_.CallCount(operation);
}

void SimCardLibrary::SetRawReaderList(std::string multiString, std::uint32_t reportedLength) {
    rawList_ = RawList{std::move(multiString), reportedLength};
}

void SimCardLibrary::DeliverNextLength(const std::string& operation, std::uint32_t length) {
    deliveredLengths_[operation] = length;
}

void SimCardLibrary::SetNextTransmitReply(std::vector<std::uint8_t> reply) {
    nextReply_ = std::move(reply);
}

void SimCardLibrary::SetReaderTypeText(std::string text) {
    readerTypeText_ = std::move(text);
}

void SimCardLibrary::SetReaderTiming(int reader, const SimTimingSettings& settings) {
    if (reader >= 0 && static_cast<std::size_t>(reader) < slots_.size()) {
        slots_[static_cast<std::size_t>(reader)].timing.Configure(settings);
    }
}

SimTimingSettings SimCardLibrary::ReaderTiming(int reader) const {
    if (reader < 0 || static_cast<std::size_t>(reader) >= slots_.size()) {
        return {};
    }
    return slots_[static_cast<std::size_t>(reader)].timing.Settings();
}

// ---- Helpers ----

std::uint32_t SimCardLibrary::CheckContext(std::uint32_t context) const {
    return contexts_.contains(context) ? kSuccess : kInvalidHandle;
}

std::optional<std::size_t> SimCardLibrary::FindReader(const char* name) const {
    if (name == nullptr) {
        return std::nullopt;
    }
    const auto it = std::find(readerNames_.begin(), readerNames_.end(), name);
    if (it == readerNames_.end() ||
        !slots_[static_cast<std::size_t>(it - readerNames_.begin())].attached) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - readerNames_.begin());
}

std::uint32_t SimCardLibrary::FindCard(std::uint32_t handle, SimCard*& card,
                                       bool resetAllowed) const {
    const auto it = connections_.find(handle);
    if (it == connections_.end()) {
        return kInvalidHandle;
    }
    const Slot& slot = slots_[it->second.reader];
    if (!slot.attached) {
        return kReaderUnavailable;
    }
    if (!slot.card || slot.insertion != it->second.insertion) {
        return kRemovedCard;
    }
    if (it->second.reset && !resetAllowed) {
        return kResetCard;
    }
    card = slot.card.get();
    return kSuccess;
}

void SimCardLibrary::WaitLatency(std::size_t reader) {
    const std::chrono::microseconds latency = slots_[reader].timing.NextLatency();
    if (latency.count() > 0) {
        sharedLock_.ReleasedDuring([latency] { std::this_thread::sleep_for(latency); });
    }
}

void SimCardLibrary::WaitWork(std::chrono::microseconds work) {
    std::uint64_t seen = 0;
    {
        std::lock_guard guard(slotChangeMutex_);
        seen = slotChanges_;
    }
    sharedLock_.ReleasedDuring([&] {
        std::unique_lock guard(slotChangeMutex_);
        slotChanged_.wait_for(guard, work, [&] { return slotChanges_ != seen; });
    });
}

void SimCardLibrary::NoteSlotChange() {
    {
        std::lock_guard guard(slotChangeMutex_);
        ++slotChanges_;
    }
    slotChanged_.notify_all();
}

bool SimCardLibrary::HeldByOther(std::size_t reader, std::uint32_t shareMode,
                                 std::uint32_t except) const {
    return std::ranges::any_of(connections_, [&](const auto& entry) {
        return entry.first != except && entry.second.reader == reader &&
               (shareMode == 0 || entry.second.shareMode == shareMode);
    });
}

void SimCardLibrary::UseProtocol(Slot& slot, std::uint32_t protocol) {
    if (slot.negotiated != protocol) {
        slot.negotiated = protocol;
        slot.card->SelectProtocol(protocol);
    }
}

void SimCardLibrary::MarkOthersReset(std::uint32_t handle) {
    const Connection& resetting = connections_.at(handle);
    for (auto& [other, connection] : connections_) {
        if (other != handle && connection.reader == resetting.reader &&
            connection.insertion == resetting.insertion) {
            connection.reset = true;
        }
    }
}

void SimCardLibrary::ApplyDeliveredLength(const char* operation, std::uint32_t& length) {
    const auto it = deliveredLengths_.find(operation);
    if (it != deliveredLengths_.end()) {
        length = it->second;
        deliveredLengths_.erase(it);
    }
}

template <class Family, class Operation>
std::uint32_t SimCardLibrary::OnCard(const char* operation, std::uint32_t card, Operation run) {
    if (const auto failure = faults_.Enter(operation)) {
        return *failure;
    }
    SimCard* model = nullptr;
    if (const std::uint32_t refusal = FindCard(card, model)) {
        return refusal;
    }
    auto* family = dynamic_cast<Family*>(model);
    if (family == nullptr) {
        return kUnsupportedFeature;
    }
    return run(*family);
}

// The read fills `*length` bytes of `buffer`; on success `*length` stays the count
// delivered unless a delivered length was set for the operation. A read that runs past the
// end of what it reads delivers the bytes up to the end, as the reader stops at the chip's
// last address, and `*length` says how many.
template <class Family, class Read>
std::uint32_t SimCardLibrary::ReadOnCard(const char* operation, std::uint32_t card,
                                         std::uint8_t* buffer, std::uint32_t* length,
                                         ReadRange range, Read read) {
    return OnCard<Family>(operation, card, [&](Family& family) {
        if (buffer == nullptr || length == nullptr) {
            return kInvalidParameter;
        }
        if (range.address < range.end) {
            *length = static_cast<std::uint32_t>(
                SimMemoryCard::ReadableCount(range.end, range.address, *length));
        }
        const std::uint32_t code = read(family, std::span(buffer, *length));
        ApplyDeliveredLength(operation, *length);
        return code;
    });
}

template <class Family, class Write>
std::uint32_t SimCardLibrary::WriteOnCard(const char* operation, std::uint32_t card,
                                          const std::uint8_t* data, std::uint32_t length,
                                          Write write) {
    return OnCard<Family>(operation, card, [&](Family& family) {
        if (data == nullptr && length > 0) {
            return kInvalidParameter;
        }
        return write(family, ByteView(data, length));
    });
}

// ---- Reader operations ----

std::uint32_t SimCardLibrary::CardEstablishContext(std::uint32_t scope, const void*, const void*,
                                                   std::uint32_t* context) {
    if (const auto failure = faults_.Enter("CardEstablishContext")) {
        return *failure;
    }
    if (context == nullptr) {
        return kInvalidParameter;
    }
    if (scope > kLastScope) {
        return kInvalidValue;
    }
    *context = nextContext_++;
    contexts_.insert(*context);
    return kSuccess;
}

// Releasing a context also releases the card handles opened through it.
std::uint32_t SimCardLibrary::CardReleaseContext(std::uint32_t context) {
    if (const auto failure = faults_.Enter("CardReleaseContext")) {
        return *failure;
    }
    if (contexts_.erase(context) == 0) {
        return kInvalidHandle;
    }
    std::erase_if(connections_, [&](const auto& entry) { return entry.second.context == context; });
    return kSuccess;
}

std::uint32_t SimCardLibrary::CardListReaders(std::uint32_t context, const char*, char* readers,
                                              std::uint32_t* length) {
    if (const auto failure = faults_.Enter("CardListReaders")) {
        return *failure;
    }
    if (const std::uint32_t refusal = CheckContext(context)) {
        return refusal;
    }
    if (length == nullptr) {
        return kInvalidParameter;
    }
    if (rawList_) {
        if (readers == nullptr) {
            *length = rawList_->reportedLength;
        } else {
            const auto count = std::min<std::size_t>(rawList_->bytes.size(), *length);
            std::memcpy(readers, rawList_->bytes.data(), count);
            *length = static_cast<std::uint32_t>(count);
        }
        return kSuccess;
    }
    std::string list;
    for (std::size_t i = 0; i < readerNames_.size(); ++i) {
        if (slots_[i].attached) {
            list.append(readerNames_[i]).push_back('\0');
        }
    }
    list.push_back('\0');
    const auto needed = static_cast<std::uint32_t>(list.size());
    if (readers != nullptr && *length < needed) {
        *length = needed;
        return kInsufficientBuffer;
    }
    if (readers != nullptr) {
        std::memcpy(readers, list.data(), list.size());
    }
    *length = needed;
    return kSuccess;
}

// Answers at once with each reader's state: present (with the answer to reset) or empty,
// in use while a handle is open on the card; changed when it differs from the caller's.
std::uint32_t SimCardLibrary::CardGetStatusChange(std::uint32_t context, std::uint32_t,
                                                  ReaderState* states, std::uint32_t count) {
    if (const auto failure = faults_.Enter("CardGetStatusChange")) {
        return *failure;
    }
    if (const std::uint32_t refusal = CheckContext(context)) {
        return refusal;
    }
    if (states == nullptr && count > 0) {
        return kInvalidParameter;
    }
    for (ReaderState& state : std::span(states, count)) {
        if (state.reader != nullptr && IsReaderChangeNotification(state.reader)) {
            // The count of reader-list changes in the upper word; changed when the caller
            // knew another count (a caller that knew none is only told the count).
            const std::uint32_t known = ReaderEventCount(state.currentState);
            state.eventState = readerEvents_ << kReaderEventCountShift;
            if (known != 0 && known != readerEvents_) {
                state.eventState |= kStateChanged;
            }
            state.atrLength = 0;
            continue;
        }
        const auto reader = FindReader(state.reader);
        if (!reader) {
            return kUnknownReader;
        }
        const Slot& slot = slots_[*reader];
        std::uint32_t event = kStateEmpty;
        state.atrLength = 0;
        if (slot.card) {
            event = kStatePresent;
            const bool inUse = std::ranges::any_of(connections_, [&](const auto& entry) {
                return entry.second.reader == *reader && entry.second.insertion == slot.insertion;
            });
            if (inUse) {
                event |= kStateInUse;
            }
            const Bytes atr = slot.card->Atr();
            state.atrLength = static_cast<std::uint32_t>(std::min(atr.size(), sizeof state.atr));
            std::copy_n(atr.begin(), state.atrLength, state.atr);
        }
        if (event != (state.currentState & ~kStateChanged)) {
            event |= kStateChanged;
        }
        state.eventState = event;
    }
    return kSuccess;
}

std::uint32_t SimCardLibrary::CardConnect(std::uint32_t context, const char* reader,
                                          std::uint32_t shareMode, std::uint32_t preferredProtocols,
                                          std::uint32_t* card, std::uint32_t* activeProtocol) {
    if (const auto failure = faults_.Enter("CardConnect")) {
        return *failure;
    }
    if (const std::uint32_t refusal = CheckContext(context)) {
        return refusal;
    }
    if (card == nullptr || activeProtocol == nullptr) {
        return kInvalidParameter;
    }
    const auto index = FindReader(reader);
    if (!index) {
        return kUnknownReader;
    }
    if (!slots_[*index].card) {
        return kNoSmartcard;
    }
    if (refusedConnects_ > 0) {
        --refusedConnects_;
        return refuseCode_;
    }
    WaitLatency(*index);
    // The card may have gone while the lock was given up.
    const Slot& slot = slots_[*index];
    if (!slot.attached) {
        return kReaderUnavailable;
    }
    if (!slot.card) {
        return kNoSmartcard;
    }
    // As pcsc-lite: an exclusive handle keeps every other out, and an exclusive connect
    // needs a reader no other handle holds.
    if (HeldByOther(*index, kShareExclusive) ||
        (shareMode == kShareExclusive && HeldByOther(*index, 0))) {
        return kSharingViolation;
    }
    std::uint32_t protocol = slot.card->Protocol();
    if (protocol != kProtocolMemoryCard) {
        protocol = ChooseProtocol(slot.card->Protocols(), slot.negotiated, preferredProtocols);
        if (protocol == 0) {
            return kProtoMismatch;
        }
        UseProtocol(slots_[*index], protocol);
    }
    const std::uint32_t handle = nextHandle_++;
    connections_[handle] = Connection{*index, context, slot.insertion, shareMode};
    *card = handle;
    *activeProtocol = protocol;
    return kSuccess;
}

// Any disposition but "leave" takes the power from the card. The handle is released even
// when its card has been taken out, which the call still reports.
std::uint32_t SimCardLibrary::CardDisconnect(std::uint32_t card, std::uint32_t disposition) {
    if (const auto failure = faults_.Enter("CardDisconnect")) {
        return *failure;
    }
    if (!connections_.contains(card)) {
        return kInvalidHandle;
    }
    if (disposition > kLastDisposition) {
        return kInvalidValue;
    }
    SimCard* model = nullptr;
    const std::uint32_t code = FindCard(card, model, true);
    if (code == kSuccess && disposition != kDispositionLeave) {
        model->PowerDown();
        slots_[connections_.at(card).reader].negotiated = 0;
        MarkOthersReset(card);
    }
    connections_.erase(card);
    return code;
}

std::uint32_t SimCardLibrary::CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                            std::uint32_t preferredProtocols,
                                            std::uint32_t initialization,
                                            std::uint32_t* activeProtocol) {
    if (const auto failure = faults_.Enter("CardReconnect")) {
        return *failure;
    }
    SimCard* model = nullptr;
    if (const std::uint32_t refusal = FindCard(card, model, true)) {
        return refusal;
    }
    if (activeProtocol == nullptr) {
        return kInvalidParameter;
    }
    if (initialization > kLastDisposition) {
        return kInvalidValue;
    }
    const std::size_t reader = connections_.at(card).reader;
    if (shareMode == kShareExclusive && HeldByOther(reader, 0, card)) {
        return kSharingViolation;
    }
    // A reset or unpowered card chooses its protocol again.
    const bool repower = initialization != kDispositionLeave;
    std::uint32_t protocol = model->Protocol();
    if (protocol != kProtocolMemoryCard) {
        protocol = ChooseProtocol(model->Protocols(), repower ? 0 : slots_[reader].negotiated,
                                  preferredProtocols);
        if (protocol == 0) {
            return kProtoMismatch;
        }
    }
    WaitLatency(reader);
    if (const std::uint32_t refusal = FindCard(card, model, true)) {
        return refusal;
    }
    if (repower) {
        model->PowerDown();
        slots_[reader].negotiated = 0;
        MarkOthersReset(card);
    }
    if (protocol != kProtocolMemoryCard) {
        UseProtocol(slots_[reader], protocol);
    }
    Connection& connection = connections_.at(card);
    connection.reset = false;
    connection.shareMode = shareMode;
    *activeProtocol = protocol;
    return kSuccess;
}

std::uint32_t SimCardLibrary::CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                                           const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                                           IoRequest*, std::uint8_t* recvBuffer,
                                           std::uint32_t* recvLength) {
    if (const auto failure = faults_.Enter("CardTransmit")) {
        return *failure;
    }
    SimCard* model = nullptr;
    if (const std::uint32_t refusal = FindCard(card, model)) {
        return refusal;
    }
    if (sendPci == nullptr || sendBuffer == nullptr || sendLength == 0 || recvBuffer == nullptr ||
        recvLength == nullptr) {
        return kInvalidParameter;
    }
    if (sendPci->protocol != model->Protocol()) {
        return kProtoMismatch;
    }
    const std::size_t reader = connections_.at(card).reader;
    WaitLatency(reader);
    // The card may have gone while the lock was given up.
    if (const std::uint32_t refusal = FindCard(card, model)) {
        return refusal;
    }
    if (slots_[reader].timing.CountExchange()) {
        return kCommError;
    }
    std::vector<std::uint8_t> reply;
    if (nextReply_) {
        reply = std::move(*nextReply_);
        nextReply_.reset();
        reply.resize(std::min<std::size_t>(reply.size(), *recvLength));
    } else {
        SimExchange exchange = model->Exchange(ByteView(sendBuffer, sendLength));
        if (exchange.work.count() > 0) {
            WaitWork(exchange.work);
            // The card may have gone while it worked.
            if (const std::uint32_t refusal = FindCard(card, model)) {
                return refusal;
            }
        }
        if (exchange.readerCode != kSuccess) {
            *recvLength = 0;
            return exchange.readerCode;
        }
        reply = std::move(exchange.reply);
        if (reply.size() > *recvLength) {
            *recvLength = static_cast<std::uint32_t>(reply.size());
            return kInsufficientBuffer;
        }
    }
    std::ranges::copy(reply, recvBuffer);
    *recvLength = static_cast<std::uint32_t>(reply.size());
    ApplyDeliveredLength("CardTransmit", *recvLength);
    return kSuccess;
}

std::uint32_t SimCardLibrary::CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                             std::uint32_t* length) {
    if (const auto failure = faults_.Enter("CardReaderType")) {
        return *failure;
    }
    SimCard* model = nullptr;
    if (const std::uint32_t refusal = FindCard(card, model)) {
        return refusal;
    }
    if (buffer == nullptr || length == nullptr) {
        return kInvalidParameter;
    }
    const auto count = std::min<std::size_t>(readerTypeText_.size(), *length);
    std::memcpy(buffer, readerTypeText_.data(), count);
    *length = static_cast<std::uint32_t>(count);
    ApplyDeliveredLength("CardReaderType", *length);
    return kSuccess;
}

// ---- SLE4432/4442 ----

std::uint32_t SimCardLibrary::CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                                  std::uint32_t address, std::uint32_t* length) {
    return ReadOnCard<SimSle4442Card>("CardSLE4442ReadMain", card, buffer, length,
                                      {address, SimSle4442Card::kMainSize},
                                      [&](SimSle4442Card& chip, std::span<std::uint8_t> out) {
                                          return chip.ReadMain(address, out);
                                      });
}

std::uint32_t SimCardLibrary::CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data,
                                                   std::uint32_t address, std::uint32_t length) {
    return WriteOnCard<SimSle4442Card>(
        "CardSLE4442WriteMain", card, data, length,
        [&](SimSle4442Card& chip, ByteView bytes) { return chip.WriteMain(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t* buffer4) {
    return OnCard<SimSle4442Card>("CardSLE4442ReadProtect", card, [&](SimSle4442Card& chip) {
        return buffer4 == nullptr ? kInvalidParameter
                                  : chip.ReadProtect(std::span<std::uint8_t, 4>(buffer4, 4));
    });
}

std::uint32_t SimCardLibrary::CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t* data,
                                                      std::uint32_t address, std::uint32_t length) {
    return WriteOnCard<SimSle4442Card>(
        "CardSLE4442WriteProtect", card, data, length,
        [&](SimSle4442Card& chip, ByteView bytes) { return chip.WriteProtect(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t* buffer4) {
    return OnCard<SimSle4442Card>("CardSLE4442ReadSecurity", card, [&](SimSle4442Card& chip) {
        return buffer4 == nullptr ? kInvalidParameter
                                  : chip.ReadSecurity(std::span<std::uint8_t, 4>(buffer4, 4));
    });
}

std::uint32_t SimCardLibrary::CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t* data,
                                                       std::uint32_t address,
                                                       std::uint32_t length) {
    return WriteOnCard<SimSle4442Card>(
        "CardSLE4442WriteSecurity", card, data, length,
        [&](SimSle4442Card& chip, ByteView bytes) { return chip.WriteSecurity(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4442Verify(std::uint32_t card, std::uint8_t code1,
                                                std::uint8_t code2, std::uint8_t code3) {
    return OnCard<SimSle4442Card>("CardSLE4442Verify", card, [&](SimSle4442Card& chip) {
        const std::array<std::uint8_t, 3> code = {code1, code2, code3};
        return chip.Verify(code);
    });
}

// ---- SLE4418/4428 ----

std::uint32_t SimCardLibrary::CardSLE4428WriteWithProtectBit(std::uint32_t card,
                                                             const std::uint8_t* data,
                                                             std::uint32_t address,
                                                             std::uint32_t length) {
    return WriteOnCard<SimSle4428Card>("CardSLE4428WriteWithProtectBit", card, data, length,
                                       [&](SimSle4428Card& chip, ByteView bytes) {
                                           return chip.WriteWithProtectBit(address, bytes);
                                       });
}

std::uint32_t SimCardLibrary::CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data,
                                                   std::uint32_t address, std::uint32_t length) {
    return WriteOnCard<SimSle4428Card>(
        "CardSLE4428WriteMain", card, data, length,
        [&](SimSle4428Card& chip, ByteView bytes) { return chip.WriteMain(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4428WriteProtectBit(std::uint32_t card,
                                                         const std::uint8_t* data,
                                                         std::uint32_t address,
                                                         std::uint32_t length) {
    return WriteOnCard<SimSle4428Card>(
        "CardSLE4428WriteProtectBit", card, data, length,
        [&](SimSle4428Card& chip, ByteView bytes) { return chip.WriteProtectBit(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                            std::uint8_t* protectBits,
                                                            std::uint32_t address,
                                                            std::uint32_t* length) {
    return ReadOnCard<SimSle4428Card>(
        "CardSLE4428ReadWithProtectBit", card, data, length, {address, SimSle4428Card::kSize},
        [&](SimSle4428Card& chip, std::span<std::uint8_t> out) {
            if (protectBits == nullptr) {
                return kInvalidParameter;
            }
            return chip.ReadWithProtectBit(address, out, std::span(protectBits, out.size()));
        });
}

std::uint32_t SimCardLibrary::CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                                  std::uint32_t address, std::uint32_t* length) {
    return ReadOnCard<SimSle4428Card>("CardSLE4428ReadMain", card, buffer, length,
                                      {address, SimSle4428Card::kSize},
                                      [&](SimSle4428Card& chip, std::span<std::uint8_t> out) {
                                          return chip.ReadMain(address, out);
                                      });
}

std::uint32_t SimCardLibrary::CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t code1,
                                                   std::uint8_t code2) {
    return OnCard<SimSle4428Card>("CardSLE4428VerifyPSC", card, [&](SimSle4428Card& chip) {
        const std::array<std::uint8_t, 2> code = {code1, code2};
        return chip.VerifyPsc(code);
    });
}

// ---- SLE4404 ----

std::uint32_t SimCardLibrary::CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                    std::uint32_t address, std::uint32_t* length) {
    return ReadOnCard<SimSle4404Card>("CardSLE4404ReadMemory", card, buffer, length,
                                      {address, sle4404::kMemorySize},
                                      [&](SimSle4404Card& chip, std::span<std::uint8_t> out) {
                                          return chip.ReadMemory(address, out);
                                      });
}

std::uint32_t SimCardLibrary::CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer,
                                                        std::uint32_t address,
                                                        std::uint32_t* length) {
    return ReadOnCard<SimSle4404Card>("CardSLE4404ReadUserMemory", card, buffer, length,
                                      {address, sle4404::kUserMemory.size},
                                      [&](SimSle4404Card& chip, std::span<std::uint8_t> out) {
                                          return chip.ReadUserMemory(address, out);
                                      });
}

std::uint32_t SimCardLibrary::CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t code1,
                                                        std::uint8_t code2) {
    return OnCard<SimSle4404Card>("CardSLE4404VerifyUserCode", card, [&](SimSle4404Card& chip) {
        const std::array<std::uint8_t, 2> code = {code1, code2};
        return chip.VerifyUserCode(code);
    });
}

std::uint32_t SimCardLibrary::CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t code1,
                                                          std::uint8_t code2, std::uint8_t code3,
                                                          std::uint8_t code4) {
    return OnCard<SimSle4404Card>("CardSLE4404VerifyMemoryCode", card, [&](SimSle4404Card& chip) {
        const std::array<std::uint8_t, 4> code = {code1, code2, code3, code4};
        return chip.VerifyMemoryCode(code);
    });
}

std::uint32_t SimCardLibrary::CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t address,
                                                     std::uint32_t length) {
    return OnCard<SimSle4404Card>("CardSLE4404EraseMemory", card, [&](SimSle4404Card& chip) {
        return chip.EraseMemory(address, length);
    });
}

std::uint32_t SimCardLibrary::CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                     std::uint32_t address, std::uint32_t length) {
    return WriteOnCard<SimSle4404Card>(
        "CardSLE4404WriteMemory", card, data, length,
        [&](SimSle4404Card& chip, ByteView bytes) { return chip.WriteMemory(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4404WriteUserMemory(std::uint32_t card,
                                                         const std::uint8_t* data,
                                                         std::uint32_t address,
                                                         std::uint32_t length) {
    return WriteOnCard<SimSle4404Card>(
        "CardSLE4404WriteUserMemory", card, data, length,
        [&](SimSle4404Card& chip, ByteView bytes) { return chip.WriteUserMemory(address, bytes); });
}

// ---- SLE4406/4436/5536 ----

std::uint32_t SimCardLibrary::CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                    std::uint32_t address, std::uint32_t* length) {
    return ReadOnCard<SimSle4436Card>("CardSLE4436ReadMemory", card, buffer, length,
                                      {address, SimSle4436Card::kSize},
                                      [&](SimSle4436Card& chip, std::span<std::uint8_t> out) {
                                          return chip.ReadMemory(address, out);
                                      });
}

std::uint32_t SimCardLibrary::CardSLE4436ReadCounterStages(std::uint32_t card,
                                                           std::uint8_t* buffer) {
    return OnCard<SimSle4436Card>("CardSLE4436ReadCounterStages", card, [&](SimSle4436Card& chip) {
        return buffer == nullptr
                   ? kInvalidParameter
                   : chip.ReadCounterStages(std::span<std::uint8_t, SimSle4436Card::kStages>(
                         buffer, SimSle4436Card::kStages));
    });
}

std::uint32_t SimCardLibrary::CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                     std::uint32_t address, std::uint32_t length) {
    return WriteOnCard<SimSle4436Card>(
        "CardSLE4436WriteMemory", card, data, length,
        [&](SimSle4436Card& chip, ByteView bytes) { return chip.WriteMemory(address, bytes); });
}

std::uint32_t SimCardLibrary::CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t stage,
                                                           std::uint8_t value) {
    return OnCard<SimSle4436Card>("CardSLE4436WriteCounterStage", card, [&](SimSle4436Card& chip) {
        return chip.WriteCounterStage(stage, value);
    });
}

std::uint32_t SimCardLibrary::CardSLE4436Reload(std::uint32_t card, std::uint8_t address) {
    return OnCard<SimSle4436Card>("CardSLE4436Reload", card,
                                  [&](SimSle4436Card& chip) { return chip.Reload(address); });
}

std::uint32_t SimCardLibrary::CardSLE4436VerifyTransportCode(std::uint32_t card, std::uint8_t code1,
                                                             std::uint8_t code2,
                                                             std::uint8_t code3) {
    return OnCard<SimSle4436Card>(
        "CardSLE4436VerifyTransportCode", card, [&](SimSle4436Card& chip) {
            const std::array<std::uint8_t, 3> code = {code1, code2, code3};
            return chip.VerifyTransportCode(code);
        });
}

// ---- I2C ----

std::uint32_t SimCardLibrary::CardI2CReadMemory(std::uint32_t card, std::uint8_t command,
                                                std::uint32_t address, std::uint8_t* buffer,
                                                std::uint32_t* length, std::uint8_t dummy,
                                                std::uint8_t addressBytes) {
    return ReadOnCard<SimI2cCard>("CardI2CReadMemory", card, buffer, length, {address, 0},
                                  [&](SimI2cCard& chip, std::span<std::uint8_t> out) {
                                      return chip.I2CRead(command, address, out, dummy,
                                                          addressBytes);
                                  });
}

std::uint32_t SimCardLibrary::CardI2CWriteMemory(std::uint32_t card, std::uint8_t command,
                                                 std::uint32_t address, const std::uint8_t* data,
                                                 std::uint32_t length, std::uint8_t addressBytes) {
    return WriteOnCard<SimI2cCard>("CardI2CWriteMemory", card, data, length,
                                   [&](SimI2cCard& chip, ByteView bytes) {
                                       return chip.I2CWrite(command, address, bytes, addressBytes);
                                   });
}
