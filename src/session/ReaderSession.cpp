#include "session/ReaderSession.h"

#include <cstring>

#include "common/Conversions.h"
#include "common/LogFormat.h"
#include "common/ResponseLog.h"

namespace {
constexpr std::uint32_t kScopeUser = 0;
constexpr std::uint32_t kInfiniteTimeout = 0xFFFFFFFF;
constexpr std::uint32_t kShareShared = 2;
constexpr std::uint32_t kProtocolsT0OrT1 = 3;
constexpr std::uint32_t kDispositionEject = 3;
constexpr std::uint32_t kIoRequestLength = 8;
// Bound on the reader-name buffer whatever length the library asks for; a real list of
// 40 names fits many times over.
constexpr std::uint32_t kMaxReaderNamesLength = 64 * 1024;
}  // namespace

ReaderSession::ReaderSession(CardLibrary& library, ResponseLog& cardLog)
    : library_(library), cardLog_(cardLog) {}

int ReaderSession::Slot() const {
    return SelectedReader >= 0 && SelectedReader < MaxReaders ? SelectedReader : 0;
}

void ReaderSession::SelectReader(int index) {
    SelectedReader = index;
}

IoRequest& ReaderSession::PrepareIoRequest() {
    ReaderSlot& slot = Readers[Slot()];
    slot.IoRequest.protocol = slot.ActiveProtocol;
    slot.IoRequest.length = kIoRequestLength;
    return slot.IoRequest;
}

const char* ReaderSession::ReaderName(int index) const {
    if (index < 0 || index >= static_cast<int>(ReaderCount)) {
        return nullptr;
    }
    return ReaderStates[static_cast<std::size_t>(index)].reader;
}

Outcome ReaderSession::InitializeReaders() {
    ReaderContext = 0;
    if (library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &ReaderContext) != 0) {
        return Outcome::Failure("Establish Context Fail!");
    }
    if (library_.CardListReaders(ReaderContext, nullptr, nullptr, &ReaderNamesLength) != 0) {
        return Outcome::Failure("SCardListReaders Fail!");
    }
    if (ReaderNamesLength > kMaxReaderNamesLength) {
        ReaderNamesLength = kMaxReaderNamesLength;
    }
    // One zero byte beyond the length given to the library, so that the walk below always
    // finds a terminator inside the buffer.
    ReaderNames = AllocZeroed(std::size_t{ReaderNamesLength} + 1);
    ReaderStates.fill(ReaderState{});
    ReaderCount = 0;
    std::uint32_t filledLength = ReaderNamesLength;
    if (library_.CardListReaders(ReaderContext, nullptr, ReaderNames.data(), &filledLength) != 0) {
        return Outcome::Failure("SCardListReaders Fail!");
    }
    ListReaderNames();
    SelectedReader = 0;
    TrackingArmed = true;
    CardPresent = false;
    CardConnected = false;
    CardBusy = false;
    AppendLogLine(cardLog_, "Initialize Success");
    return Outcome::Success();
}

// Walks the multi-string within the buffer, whatever the library wrote: a list without
// its final terminator ends at the guard zero past the length given to the library.
void ReaderSession::ListReaderNames() {
    std::size_t offset = 0;
    while (offset < ReaderNames.size() && ReaderNames[offset] != '\0' && ReaderCount < MaxReaders) {
        ReaderState& state = ReaderStates[ReaderCount];
        state.reader = ReaderNames.data() + offset;
        state.currentState = 0;
        ++ReaderCount;
        offset += std::strlen(ReaderNames.data() + offset) + 1;
    }
}

bool ReaderSession::RefreshCardState() {
    ReaderState& state = ReaderStates[Slot()];
    if (library_.CardGetStatusChange(ReaderContext, kInfiniteTimeout, &state, 1) != 0) {
        return false;
    }
    if (state.eventState & kStatePresent) {
        CardPresent = true;
    } else {
        CardPresent = false;
        CardConnected = false;
    }
    return true;
}

bool ReaderSession::TryConnectCard() {
    if (ConnectFailCount >= ConnectFailLimit) {
        return false;
    }
    ConnectFailed = false;
    ReaderState& state = ReaderStates[Slot()];
    library_.CardGetStatusChange(ReaderContext, kInfiniteTimeout, &state, 1);
    if (!(state.eventState & kStatePresent)) {
        CardPresent = false;
        return false;
    }
    ReaderSlot& slot = Readers[Slot()];
    if (library_.CardConnect(ReaderContext, state.reader, kShareShared, kProtocolsT0OrT1,
                             &slot.CardHandle, &slot.ActiveProtocol) != 0) {
        ConnectFailed = true;
        return false;
    }
    CardPresent = true;
    CardConnected = true;
    return true;
}

bool ReaderSession::DisconnectCard() {
    const std::uint32_t code = library_.CardDisconnect(SelectedCardHandle(), kDispositionEject);
    if (code != 0) {
        AppendReturnCodeLine(cardLog_, "Disconnect Card Fail, return code=0x", code);
        AppendLogLine(cardLog_, "");
        return false;
    }
    AppendLogLine(cardLog_, "Disconnect Card Success");
    AppendLogLine(cardLog_, "");
    CardConnected = false;
    TrackingArmed = false;
    return true;
}

bool ReaderSession::ReleaseReaders() {
    return library_.CardReleaseContext(ReaderContext) == 0;
}

ReaderSession::ConnectResult ReaderSession::ConnectByButton(bool autoConnectChecked) {
    RefreshCardState();
    if (!autoConnectChecked) {
        TrackingArmed = true;
    }
    if (!TrackingArmed || CardConnected) {
        return ConnectResult::Nothing;
    }
    if (TryConnectCard()) {
        AppendLogLine(cardLog_, "Connect Success");
        AppendLogLine(cardLog_, "");
        return ConnectResult::Connected;
    }
    if (ConnectFailed) {
        AppendLogLine(cardLog_, "Connect Fail");
        AppendLogLine(cardLog_, "");
        return ConnectResult::Failed;
    }
    return ConnectResult::Nothing;
}

bool ReaderSession::DisconnectByButton() {
    if (!CardConnected) {
        return false;
    }
    DisconnectCard();
    return true;
}
