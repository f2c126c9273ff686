#include "core/session/ReaderSession.h"

#include <algorithm>

#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/session/ReaderList.h"

namespace {
constexpr std::uint32_t kInfiniteTimeout = 0xFFFFFFFF;
constexpr std::uint32_t kProtocolsT0OrT1 = 3;
constexpr std::uint32_t kDispositionEject = 3;
constexpr std::uint32_t kStateChanged = 0x0002;
constexpr std::uint32_t kIoRequestLength = 8;
}  // namespace

ReaderSession::ReaderSession(CardLibrary& library, ResponseLog& cardLog)
    : library_(library), cardLog_(cardLog) {}

const char* ReaderSession::ReaderName(int index) const {
    if (index < 0 || index >= static_cast<int>(readers_.size())) {
        return nullptr;
    }
    return readers_[static_cast<std::size_t>(index)]->Name.c_str();
}

ReaderRecord* ReaderSession::Record(int index) {
    if (index < 0 || index >= static_cast<int>(readers_.size())) {
        return nullptr;
    }
    return readers_[static_cast<std::size_t>(index)].get();
}

ReaderRecord* ReaderSession::FindRecord(std::string_view name) {
    const auto found = std::find_if(readers_.begin(), readers_.end(),
                                    [&](const auto& record) { return record->Name == name; });
    return found != readers_.end() ? found->get() : nullptr;
}

int ReaderSession::SelectedIndex() const {
    if (selectedName_.empty() || readerLost_) {
        return -1;
    }
    for (std::size_t i = 0; i < readers_.size(); ++i) {
        if (readers_[i]->Name == selectedName_) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const ReaderRecord* ReaderSession::SelectedRecord() const {
    const int index = SelectedIndex();
    return index >= 0 ? readers_[static_cast<std::size_t>(index)].get() : nullptr;
}

ReaderRecord* ReaderSession::SelectedRecord() {
    const int index = SelectedIndex();
    return index >= 0 ? readers_[static_cast<std::size_t>(index)].get() : nullptr;
}

const char* ReaderSession::SelectedReaderName() const {
    const ReaderRecord* record = SelectedRecord();
    return record != nullptr ? record->Name.c_str() : nullptr;
}

std::uint32_t ReaderSession::SelectedCardHandle() const {
    const ReaderRecord* record = SelectedRecord();
    return record != nullptr ? record->Card.Handle : 0;
}

std::uint32_t ReaderSession::SelectedProtocol() const {
    const ReaderRecord* record = SelectedRecord();
    return record != nullptr ? record->Card.Protocol : 0;
}

const ReaderState* ReaderSession::SelectedReaderState() const {
    const ReaderRecord* record = SelectedRecord();
    return record != nullptr ? &record->State : nullptr;
}

IoRequest& ReaderSession::PrepareIoRequest() {
    ReaderRecord* record = SelectedRecord();
    IoRequest& request = record != nullptr ? record->Card.IoRequest : spareIoRequest_;
    request.protocol = record != nullptr ? record->Card.Protocol : 0;
    request.length = kIoRequestLength;
    return request;
}

void ReaderSession::SelectReader(int index) {
    const char* name = ReaderName(index);
    const std::string target = name != nullptr ? name : "";
    if (target != selectedName_ || readerLost_) {
        if (cardConnected_ && !DisconnectCard()) {
            ReleaseCard();
        }
        ResetTracking();
    }
    selectedName_ = target;
    readerLost_ = false;
    readerInUse_ = !target.empty();
    if (readerInUse_) {
        chosenName_ = target;
    }
}

bool ReaderSession::RetakeChosenReader() {
    if (readerInUse_ || chosenName_.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < readers_.size(); ++i) {
        if (readers_[i]->Name == chosenName_) {
            SelectReader(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void ReaderSession::ResetTracking() {
    cardConnected_ = false;
    cardPresent_ = false;
    connectFailed_ = false;
    connectFailCount_ = 0;
    trackingArmed_ = true;
}

void ReaderSession::ReleaseCard() {
    library_.CardDisconnect(SelectedCardHandle(), kDispositionLeave);
    cardConnected_ = false;
}

void ReaderSession::LoseSelectedReader() {
    if (cardConnected_) {
        ReleaseCard();
    }
    ResetTracking();
    readerInUse_ = false;
    readerLost_ = true;
}

bool ReaderSession::EstablishContext() {
    context_ = 0;
    if (library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context_) != 0) {
        context_ = 0;
        return false;
    }
    return true;
}

Outcome ReaderSession::InitializeReaders() {
    if (!EstablishContext()) {
        return Outcome::Failure("Establish Context Fail!");
    }
    readers_.clear();
    const ReaderList list = ReadReaderList([this](char* buffer, std::uint32_t* length) {
        return library_.CardListReaders(context_, nullptr, buffer, length);
    });
    if (list.code != 0) {
        return Outcome::Failure("SCardListReaders Fail!");
    }
    TakeReaderList(list.names);
    selectedName_ = readers_.empty() ? "" : readers_.front()->Name;
    chosenName_.clear();
    trackingArmed_ = true;
    cardPresent_ = false;
    cardConnected_ = false;
    cardBusy_ = false;
    readerInUse_ = false;
    readerLost_ = false;
    AppendLogLine(cardLog_, "Initialize Success");
    return Outcome::Success();
}

void ReaderSession::TakeReaderList(const std::vector<std::string>& names) {
    const std::size_t kept = std::min<std::size_t>(names.size(), MaxReaders);
    const auto listedEnd = names.begin() + static_cast<std::ptrdiff_t>(kept);
    if (!selectedName_.empty() && !readerLost_ &&
        std::find(names.begin(), listedEnd, selectedName_) == listedEnd) {
        LoseSelectedReader();  // releases the card handle while the record is in place
    }
    std::vector<std::unique_ptr<ReaderRecord>> listed;
    for (auto name = names.begin(); name != listedEnd; ++name) {
        const auto found = std::find_if(readers_.begin(), readers_.end(), [&](const auto& record) {
            return record && record->Name == *name;
        });
        listed.push_back(found != readers_.end() ? std::move(*found)
                                                 : std::make_unique<ReaderRecord>(*name));
    }
    for (const std::unique_ptr<ReaderRecord>& gone : readers_) {
        if (gone && readerGone_) {
            readerGone_(*gone);
        }
    }
    readers_ = std::move(listed);
}

bool ReaderSession::RefreshReaders() {
    if (context_ == 0 && !EstablishContext()) {
        return false;
    }
    const ReaderList list = ReadReaderList([this](char* buffer, std::uint32_t* length) {
        return library_.CardListReaders(context_, nullptr, buffer, length);
    });
    if (list.code != 0) {
        return false;
    }
    TakeReaderList(list.names);
    return true;
}

bool ReaderSession::FollowReaderChanges() {
    if (context_ == 0 && !EstablishContext()) {
        return false;
    }
    ReaderState notification;
    notification.reader = kReaderChangeNotification;
    notification.currentState = knownReaderChanges_.value_or(0);
    const std::uint32_t code = library_.CardGetStatusChange(context_, 0, &notification, 1);
    if (code != 0 && code != pcsc_codes::kTimeout) {
        return false;
    }
    const bool changed = !knownReaderChanges_ || (notification.eventState & kStateChanged) != 0;
    if (!changed || !RefreshReaders()) {
        return false;
    }
    knownReaderChanges_ = notification.eventState & ~kStateChanged;
    return true;
}

bool ReaderSession::RefreshCardState() {
    ReaderRecord* record = SelectedRecord();
    if (record == nullptr) {
        return false;
    }
    const std::uint32_t code =
        library_.CardGetStatusChange(context_, kInfiniteTimeout, &record->State, 1);
    if (code == pcsc_codes::kUnknownReader) {
        LoseSelectedReader();
    }
    if (code != 0) {
        return false;
    }
    if (record->State.eventState & kStatePresent) {
        cardPresent_ = true;
    } else {
        cardPresent_ = false;
        if (cardConnected_) {
            ReleaseCard();
        }
    }
    return true;
}

bool ReaderSession::TryConnectCard() {
    if (connectFailCount_ >= ConnectFailLimit) {
        return false;
    }
    connectFailed_ = false;
    ReaderRecord* record = SelectedRecord();
    if (record != nullptr &&
        library_.CardGetStatusChange(context_, kInfiniteTimeout, &record->State, 1) ==
            pcsc_codes::kUnknownReader) {
        LoseSelectedReader();
    }
    if (record == nullptr || readerLost_ || !(record->State.eventState & kStatePresent)) {
        cardPresent_ = false;
        return false;
    }
    connectFailCode_ =
        library_.CardConnect(context_, record->Name.c_str(), kShareShared, kProtocolsT0OrT1,
                             &record->Card.Handle, &record->Card.Protocol);
    if (connectFailCode_ != 0) {
        connectFailed_ = true;
        return false;
    }
    cardPresent_ = true;
    cardConnected_ = true;
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
    cardConnected_ = false;
    trackingArmed_ = false;
    return true;
}

bool ReaderSession::ReleaseReaders() {
    const std::uint32_t code = library_.CardReleaseContext(context_);
    context_ = 0;
    return code == 0;
}

ReaderSession::ConnectResult ReaderSession::ConnectByButton(bool autoConnectChecked) {
    RefreshCardState();
    if (!autoConnectChecked) {
        trackingArmed_ = true;
    }
    if (!trackingArmed_ || cardConnected_ || readerLost_) {
        return ConnectResult::Nothing;
    }
    if (TryConnectCard()) {
        AppendLogLine(cardLog_, "Connect Success");
        AppendLogLine(cardLog_, "");
        return ConnectResult::Connected;
    }
    if (connectFailed_) {
        AppendLogLine(cardLog_, "Connect Fail");
        AppendLogLine(cardLog_, "");
        return ConnectResult::Failed;
    }
    return ConnectResult::Nothing;
}

bool ReaderSession::DisconnectByButton() {
    if (!cardConnected_) {
        return false;
    }
    DisconnectCard();
    return true;
}
