#include "sim/SimSamLibrary.h"

#include <algorithm>
#include <cstring>

#include "sim/SimCardLibrary.h"
#include "sim/SimCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kWrongP1P2 = 0x6A86;
constexpr std::uint16_t kDataNotFound = 0x6A88;
constexpr std::uint16_t kExactLength = 0x6C00;  // low byte: the length available
constexpr std::uint16_t kUnknownInstruction = 0x6D00;
constexpr std::uint16_t kUnknownClass = 0x6E00;

constexpr std::uint8_t kIsoClass = 0x00;
constexpr std::uint8_t kProprietaryClass = 0x80;
constexpr std::uint8_t kGetChallenge = 0x84;
constexpr std::uint8_t kGetData = 0xCA;

constexpr char kVersion[] = "SAM V1.00";

Bytes StatusOnly(std::uint16_t sw) {
    return {static_cast<std::uint8_t>(sw >> 8), static_cast<std::uint8_t>(sw & 0xFF)};
}

Bytes WithStatus(Bytes data, std::uint16_t sw) {
    data.push_back(static_cast<std::uint8_t>(sw >> 8));
    data.push_back(static_cast<std::uint8_t>(sw & 0xFF));
    return data;
}

// Le of a case 2 command: 00 stands for 256.
std::uint32_t ExpectedLength(std::uint8_t le) {
    return le == 0 ? 256 : le;
}

// Data answered by GET DATA: the whole object when Le is absent or large enough, else the
// length the SAM holds in 6C XX.
Bytes AnswerData(const Bytes& data, const std::uint8_t* command, std::uint32_t length) {
    if (length > 5) {
        return StatusOnly(kWrongLength);
    }
    if (length == 5 && ExpectedLength(command[4]) < data.size()) {
        return StatusOnly(static_cast<std::uint16_t>(kExactLength | data.size()));
    }
    return WithStatus(data, kOk);
}

}  // namespace

SimSamLibrary::SimSamLibrary(SimCardLibrary& cards)
    : cards_(cards), random_(std::random_device{}()) {}

std::vector<std::uint8_t> SimSamLibrary::SerialNumber(int reader) {
    return {0x53, 0x41, 0x4D, 0x00, 0x20, 0x26, 0x00, static_cast<std::uint8_t>(reader + 1)};
}

bool SimSamLibrary::IsReader(int reader) const {
    return reader >= 0 && static_cast<std::size_t>(reader) < cards_.Readers().size();
}

std::optional<int> SimSamLibrary::ReaderIndex(const char* name) const {
    if (name == nullptr) {
        return std::nullopt;
    }
    const std::vector<std::string>& readers = cards_.Readers();
    const auto found = std::find(readers.begin(), readers.end(), name);
    if (found == readers.end() || !cards_.IsAttached(static_cast<int>(found - readers.begin()))) {
        return std::nullopt;
    }
    return static_cast<int>(found - readers.begin());
}

void SimSamLibrary::InsertSam(int reader) {
    if (!IsReader(reader) || slots_[reader].present) {
        return;
    }
    slots_[reader].present = true;
    ++slots_[reader].insertion;
}

void SimSamLibrary::RemoveSam(int reader) {
    if (IsReader(reader)) {
        slots_[reader].present = false;
    }
}

bool SimSamLibrary::HasSam(int reader) const {
    if (!IsReader(reader)) {
        return false;
    }
    const auto found = slots_.find(reader);
    return found == slots_.end() || found->second.present;
}

void SimSamLibrary::SetSamProtocols(int reader, std::uint32_t flags) {
    if (IsReader(reader)) {
        slots_[reader].protocols = flags;
    }
}

void SimSamLibrary::FailNext(const std::string& operation, std::uint32_t code) {
    faults_.FailNext(operation, code);
}

void SimSamLibrary::SetNextTransmitReply(std::vector<std::uint8_t> reply) {
    nextReply_ = std::move(reply);
}

void SimSamLibrary::DeliverNextLength(const std::string& operation, std::uint32_t length) {
    if (operation == "SamTransmit") {
        nextLength_ = length;
    }
}

int SimSamLibrary::CallCount(const std::string& operation) const {
    return faults_.CallCount(operation);
}

std::uint32_t SimSamLibrary::SamConnect(const char* reader, std::uint32_t /*mode*/,
                                        std::uint32_t protocolMask, std::uint32_t* handle,
                                        std::uint32_t* protocols) {
    if (const auto failure = faults_.Enter("SamConnect")) {
        return *failure;
    }
    if (handle == nullptr || protocols == nullptr) {
        return sim_codes::kInvalidParameter;
    }
    const std::optional<int> index = ReaderIndex(reader);
    if (!index) {
        return sim_codes::kUnknownReader;
    }
    const Slot& slot = slots_[*index];
    if (!slot.present) {
        return sim_codes::kNoSmartcard;
    }
    if ((slot.protocols & 3) != 0 && (slot.protocols & protocolMask) == 0) {
        return sim_codes::kProtoMismatch;
    }
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || connections_.contains(lastHandle_));
    connections_[lastHandle_] = Connection{*index, slot.insertion, slot.protocols};
    *handle = lastHandle_;
    *protocols = slot.protocols;
    return sim_codes::kSuccess;
}

std::uint32_t SimSamLibrary::SamDisconnect(std::uint32_t handle, std::uint32_t /*disposition*/) {
    if (const auto failure = faults_.Enter("SamDisconnect")) {
        return *failure;
    }
    return connections_.erase(handle) == 1 ? sim_codes::kSuccess : sim_codes::kInvalidHandle;
}

std::uint32_t SimSamLibrary::SamTransmit(std::uint32_t handle, const IoRequest* /*sendPci*/,
                                         const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                                         IoRequest* recvPci, std::uint8_t* recvBuffer,
                                         std::uint32_t* recvLength) {
    if (const auto failure = faults_.Enter("SamTransmit")) {
        return *failure;
    }
    const auto found = connections_.find(handle);
    if (found == connections_.end()) {
        return sim_codes::kInvalidHandle;
    }
    if (sendBuffer == nullptr || recvBuffer == nullptr || recvLength == nullptr) {
        return sim_codes::kInvalidParameter;
    }
    const Connection& connection = found->second;
    const Slot& slot = slots_[connection.reader];
    if (!slot.present || slot.insertion != connection.insertion) {
        return sim_codes::kRemovedCard;
    }

    const std::uint32_t capacity = *recvLength;
    Bytes reply;
    if (nextReply_) {
        // A reply given by the test goes out as far as the buffer takes it.
        reply = std::move(*nextReply_);
        nextReply_.reset();
        reply.resize(std::min<std::size_t>(reply.size(), capacity));
    } else {
        reply = Process(connection.reader, sendBuffer, sendLength);
    }
    std::uint32_t reported = static_cast<std::uint32_t>(reply.size());
    if (nextLength_) {
        // Out of contract: claim a length of our own, but fill only what the buffer holds.
        reported = *nextLength_;
        nextLength_.reset();
        reply.resize(std::min(reported, capacity), 0);
    } else if (reply.size() > capacity) {
        return sim_codes::kInsufficientBuffer;
    }
    std::copy(reply.begin(), reply.end(), recvBuffer);
    *recvLength = reported;
    if (recvPci != nullptr) {
        recvPci->protocol = connection.protocols;
    }
    return sim_codes::kSuccess;
}

std::vector<std::uint8_t> SimSamLibrary::Process(int reader, const std::uint8_t* command,
                                                 std::uint32_t length) {
    if (length < 4) {
        return StatusOnly(kWrongLength);
    }
    const std::uint8_t cla = command[0];
    const std::uint8_t ins = command[1];
    const std::uint16_t p1p2 = static_cast<std::uint16_t>(command[2] << 8 | command[3]);
    if (cla == kIsoClass) {
        if (ins != kGetChallenge) {
            return StatusOnly(kUnknownInstruction);
        }
        if (p1p2 != 0) {
            return StatusOnly(kWrongP1P2);
        }
        if (length != 5) {
            return StatusOnly(kWrongLength);
        }
        Bytes challenge(ExpectedLength(command[4]));
        std::uniform_int_distribution<int> byte(0, 255);
        for (std::uint8_t& b : challenge) {
            b = static_cast<std::uint8_t>(byte(random_));
        }
        return WithStatus(std::move(challenge), kOk);
    }
    if (cla == kProprietaryClass) {
        if (ins != kGetData) {
            return StatusOnly(kUnknownInstruction);
        }
        if (p1p2 == 0x0000) {
            return AnswerData(Bytes(kVersion, kVersion + std::strlen(kVersion)), command, length);
        }
        if (p1p2 == 0x0001) {
            return AnswerData(SerialNumber(reader), command, length);
        }
        return StatusOnly(kDataNotFound);
    }
    return StatusOnly(kUnknownClass);
}
