#include "sim/SimMsrLibrary.h"

#include <algorithm>

#include "sim/SimCardLibrary.h"
#include "sim/SimCodes.h"

namespace {

// Copies a track's characters into the record, at most the record's 256 bytes.
void PutTrack(const std::string& text, std::uint8_t* data, std::uint32_t& length) {
    length = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMsrTrackCapacity));
    std::copy_n(text.begin(), length, data);
}

}  // namespace

SimMsrLibrary::SimMsrLibrary(SimCardLibrary& cards) : cards_(cards) {}

bool SimMsrLibrary::IsReader(int reader) const {
    return reader >= 0 && static_cast<std::size_t>(reader) < cards_.Readers().size();
}

bool SimMsrLibrary::Swipe(int reader, const std::string& track1, const std::string& track2,
                          const std::string& track3) {
    MsrTrackRecord record{};
    PutTrack(track1, record.track1, record.track1Length);
    PutTrack(track2, record.track2, record.track2Length);
    PutTrack(track3, record.track3, record.track3Length);
    return DeliverRawRecord(reader, record);
}

bool SimMsrLibrary::DeliverRawRecord(int reader, const MsrTrackRecord& record) {
    if (!IsReader(reader)) {
        return false;
    }
    swipes_[reader].push_back(record);
    return true;
}

int SimMsrLibrary::PendingSwipes(int reader) const {
    const auto found = swipes_.find(reader);
    return found == swipes_.end() ? 0 : static_cast<int>(found->second.size());
}

void SimMsrLibrary::FailNext(const std::string& operation, std::uint32_t code) {
    faults_.FailNext(operation, code);
}

int SimMsrLibrary::CallCount(const std::string& operation) const {
    return faults_.CallCount(operation);
}

std::uint32_t SimMsrLibrary::MsrOpen(const char* reader, std::uint32_t* handle) {
    if (const auto failure = faults_.Enter("MsrOpen")) {
        return *failure;
    }
    if (handle == nullptr) {
        return sim_codes::kInvalidParameter;
    }
    if (reader == nullptr) {
        return sim_codes::kUnknownReader;
    }
    const std::vector<std::string>& readers = cards_.Readers();
    const auto found = std::find(readers.begin(), readers.end(), reader);
    if (found == readers.end() || !cards_.IsAttached(static_cast<int>(found - readers.begin()))) {
        return sim_codes::kUnknownReader;
    }
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || handles_.contains(lastHandle_));
    handles_[lastHandle_] = OpenReader{static_cast<int>(found - readers.begin())};
    *handle = lastHandle_;
    return sim_codes::kSuccess;
}

std::uint32_t SimMsrLibrary::Deliver(std::uint32_t handle, MsrTrackRecord* tracks) {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) {
        return sim_codes::kInvalidHandle;
    }
    if (tracks == nullptr) {
        return sim_codes::kInvalidParameter;
    }
    std::deque<MsrTrackRecord>& waiting = swipes_[found->second.reader];
    if (found->second.disabled || waiting.empty()) {
        return MsrNoSwipe;
    }
    *tracks = waiting.front();
    waiting.pop_front();
    return sim_codes::kSuccess;
}

std::uint32_t SimMsrLibrary::MsrRead(std::uint32_t handle, MsrTrackRecord* tracks,
                                     std::uint32_t /*flags*/) {
    if (const auto failure = faults_.Enter("MsrRead")) {
        return *failure;
    }
    return Deliver(handle, tracks);
}

std::uint32_t SimMsrLibrary::MsrPoll(std::uint32_t handle, MsrTrackRecord* tracks) {
    if (const auto failure = faults_.Enter("MsrPoll")) {
        return *failure;
    }
    return Deliver(handle, tracks);
}

std::uint32_t SimMsrLibrary::MsrDisable(std::uint32_t handle) {
    if (const auto failure = faults_.Enter("MsrDisable")) {
        return *failure;
    }
    const auto found = handles_.find(handle);
    if (found == handles_.end()) {
        return sim_codes::kInvalidHandle;
    }
    found->second.disabled = true;
    return sim_codes::kSuccess;
}

std::uint32_t SimMsrLibrary::MsrClose(std::uint32_t handle) {
    if (const auto failure = faults_.Enter("MsrClose")) {
        return *failure;
    }
    if (handles_.erase(handle) == 0) {
        return sim_codes::kInvalidHandle;
    }
    ++closes_;
    return sim_codes::kSuccess;
}
