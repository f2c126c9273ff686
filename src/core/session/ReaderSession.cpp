#include "core/session/ReaderSession.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"

namespace {
constexpr std::uint32_t kScopeUser = 0;
constexpr std::uint32_t kInfiniteTimeout = 0xFFFFFFFF;
constexpr std::uint32_t kShareShared = 2;
constexpr std::uint32_t kProtocolsT0OrT1 = 3;
constexpr std::uint32_t kDispositionEject = 3;
constexpr std::uint32_t kDispositionLeave = 0;
constexpr std::uint32_t kStateChanged = 0x0002;
// The service's pseudo reader whose state query reports changes of the reader list.
constexpr const char* kReaderNotification = "\\\\?PnP?\\Notification";
// Tries at the reader list when it grows between the length query and the fill.
constexpr int kListAttempts = 3;
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
    if (index != SelectedReader || ReaderLost) {
        if (CardConnected && !DisconnectCard()) {
            ReleaseCard();
        }
        ResetTracking();
    }
    SelectedReader = index;
    ReaderChosen = ReaderName(index) != nullptr;
    ReaderLost = false;
}

void ReaderSession::ResetTracking() {
    CardConnected = false;
    CardPresent = false;
    ConnectFailed = false;
    ConnectFailCount = 0;
    TrackingArmed = true;
}

void ReaderSession::ReleaseCard() {
    library_.CardDisconnect(SelectedCardHandle(), kDispositionLeave);
    CardConnected = false;
}

void ReaderSession::LoseSelectedReader() {
    if (CardConnected) {
        ReleaseCard();
    }
    ResetTracking();
    ReaderChosen = false;
    ReaderLost = true;
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
    ReaderStates.fill(ReaderState{});
    ReaderCount = 0;
    if (ReadReaderList(ReaderNames, ReaderNamesLength) != 0) {
        return Outcome::Failure("SCardListReaders Fail!");
    }
    ListReaderNames();
    SelectedReader = 0;
    TrackingArmed = true;
    CardPresent = false;
    CardConnected = false;
    CardBusy = false;
    ReaderChosen = false;
    ReaderLost = false;
    AppendLogLine(cardLog_, "Initialize Success");
    return Outcome::Success();
}

std::uint32_t ReaderSession::ReadReaderList(std::vector<char>& names, std::uint32_t& length) {
    std::uint32_t code = 0;
    for (int attempt = 0; attempt < kListAttempts; ++attempt) {
        code = library_.CardListReaders(ReaderContext, nullptr, nullptr, &length);
        if (code != 0) {
            return code;
        }
        if (length > kMaxReaderNamesLength) {
            length = kMaxReaderNamesLength;
        }
        // One zero byte beyond the length given to the library, so that the walk over the
        // names always finds a terminator inside the buffer.
        names = AllocZeroed(std::size_t{length} + 1);
        std::uint32_t filledLength = length;
        code = library_.CardListReaders(ReaderContext, nullptr, names.data(), &filledLength);
        if (code != pcsc_codes::kInsufficientBuffer) {
            return code;
        }
    }
    return code;
}

bool ReaderSession::RefreshReaders() {
    if (ReaderContext == 0 &&
        library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &ReaderContext) != 0) {
        ReaderContext = 0;
        return false;
    }
    std::vector<char> names;
    std::uint32_t length = 0;
    if (ReadReaderList(names, length) != 0) {
        return false;
    }
    std::vector<std::string> previous;
    for (std::uint32_t i = 0; i < ReaderCount; ++i) {
        previous.emplace_back(ReaderStates[i].reader);
    }
    const std::string selected = SelectedReaderName() != nullptr ? SelectedReaderName() : "";
    ReaderNames = std::move(names);
    ReaderNamesLength = length;
    ReaderStates.fill(ReaderState{});
    ReaderCount = 0;
    ListReaderNames();

    std::optional<int> selectedNow;
    for (std::uint32_t i = 0; i < ReaderCount; ++i) {
        if (selected == ReaderStates[i].reader) {
            selectedNow = static_cast<int>(i);
        }
    }
    if (!selected.empty() && !selectedNow) {
        LoseSelectedReader();  // releases the card handle while its slot is still in place
        selectedNow = 0;
    }
    // Each reader's entries move with it; a reader new to the table starts empty.
    const std::array<ReaderSlot, MaxReaders> slots = Readers;
    Readers.fill(ReaderSlot{});
    for (std::uint32_t i = 0; i < ReaderCount; ++i) {
        const auto found = std::find(previous.begin(), previous.end(), ReaderStates[i].reader);
        if (found != previous.end()) {
            Readers[i] = slots[static_cast<std::size_t>(found - previous.begin())];
        }
    }
    if (selectedNow) {
        SelectedReader = *selectedNow;
    }
    return true;
}

bool ReaderSession::ReaderListChanged() {
    if (ReaderContext == 0) {
        return false;
    }
    ReaderState notification;
    notification.reader = kReaderNotification;
    notification.currentState = notificationState_;
    const std::uint32_t code = library_.CardGetStatusChange(ReaderContext, 0, &notification, 1);
    if (code != 0 && code != pcsc_codes::kTimeout) {
        return false;
    }
    const bool firstLook = !notificationSeen_;
    notificationSeen_ = true;
    notificationState_ = notification.eventState & ~kStateChanged;
    return firstLook || (notification.eventState & kStateChanged) != 0;
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
    const std::uint32_t code =
        library_.CardGetStatusChange(ReaderContext, kInfiniteTimeout, &state, 1);
    if (code == pcsc_codes::kUnknownReader && state.reader != nullptr) {
        LoseSelectedReader();
    }
    if (code != 0) {
        return false;
    }
    if (state.eventState & kStatePresent) {
        CardPresent = true;
    } else {
        CardPresent = false;
        if (CardConnected) {
            ReleaseCard();
        }
    }
    return true;
}

bool ReaderSession::TryConnectCard() {
    if (ConnectFailCount >= ConnectFailLimit) {
        return false;
    }
    ConnectFailed = false;
    ReaderState& state = ReaderStates[Slot()];
    if (library_.CardGetStatusChange(ReaderContext, kInfiniteTimeout, &state, 1) ==
            pcsc_codes::kUnknownReader &&
        state.reader != nullptr) {
        LoseSelectedReader();
    }
    if (ReaderLost || !(state.eventState & kStatePresent)) {
        CardPresent = false;
        return false;
    }
    ReaderSlot& slot = Readers[Slot()];
    ConnectFailCode =
        library_.CardConnect(ReaderContext, state.reader, kShareShared, kProtocolsT0OrT1,
                             &slot.CardHandle, &slot.ActiveProtocol);
    if (ConnectFailCode != 0) {
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
    if (!TrackingArmed || CardConnected || ReaderLost) {
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
