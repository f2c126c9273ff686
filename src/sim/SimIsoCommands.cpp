#include "sim/SimIsoCommands.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace {
constexpr std::uint8_t kInsSelect = 0xA4;
constexpr std::uint8_t kInsReadBinary = 0xB0;
constexpr std::uint8_t kInsUpdateBinary = 0xD6;
constexpr std::uint8_t kInsGetChallenge = 0x84;
constexpr std::uint8_t kInsGetData = 0xCA;

constexpr std::uint8_t kSelectByFileId = 0x00;
constexpr std::uint8_t kSelectByName = 0x04;
constexpr std::uint8_t kReturnFci = 0x00;
constexpr std::uint8_t kReturnFcp = 0x04;
constexpr std::uint8_t kReturnNothing = 0x0C;

// The card's one application, selected by its (proprietary) name, answering an FCI.
constexpr std::uint8_t kApplicationName[] = {0xF0, 0x5A, 0x50, 0x54, 0x45, 0x53, 0x54};
constexpr std::uint8_t kApplicationFci[] = {
    0x6F, 0x2F, 0x84, 0x07, 0xF0, 0x5A, 0x50, 0x54, 0x45, 0x53, 0x54,  // DF name
    0xA5, 0x24,                                                        // proprietary template
    0x50, 0x07, 'Z',  'P',  ' ',  'T',  'E',  'S',  'T',               // label
    0x87, 0x01, 0x01,                                                  // priority
    0x5F, 0x2D, 0x04, 'e',  'n',  'd',  'e',                           // languages
    0x9F, 0x38, 0x06, 0x9F, 0x66, 0x04, 0x9F, 0x02, 0x06,              // PDOL
    0xBF, 0x0C, 0x05, 0x9F, 0x4D, 0x02, 0x0B, 0x0A};                   // issuer data

constexpr std::uint8_t kSerialNumber[] = {0x5A, 0x50, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78};

Bytes TextFile(std::string_view text, std::size_t size) {
    Bytes file(size, 0x20);
    std::copy_n(text.begin(), std::min(text.size(), size), file.begin());
    return file;
}

Bytes CountingFile(std::size_t size) {
    Bytes file(size);
    for (std::size_t i = 0; i < size; ++i) {
        file[i] = static_cast<std::uint8_t>(i);
    }
    return file;
}

bool IsSfiAddressing(std::uint8_t p1) {
    return (p1 & 0x80) != 0;
}
}  // namespace

SimIsoCommands::SimIsoCommands() : random_(std::random_device{}()) {
    files_[0x2F00] = TextFile("ZP simulated CPU card, EF 2F00", 32);
    files_[0x0002] = CountingFile(512);
}

const Bytes* SimIsoCommands::File(std::uint16_t fid) const {
    const auto it = files_.find(fid);
    return it == files_.end() ? nullptr : &it->second;
}

std::uint16_t SimIsoCommands::CheckClassAndInstruction(std::uint8_t cla, std::uint8_t ins) {
    // Interindustry class, logical channels 0 to 3, no secure messaging.
    if ((cla & 0xFC) != 0x00) {
        return sw::kUnknownClass;
    }
    switch (ins) {
        case kInsSelect:
        case kInsReadBinary:
        case kInsUpdateBinary:
        case kInsGetChallenge:
        case kInsGetData:
            return 0;
        default:
            return sw::kUnknownInstruction;
    }
}

IsoResponse SimIsoCommands::Process(const IsoCommand& command) {
    if (const std::uint16_t refusal = CheckClassAndInstruction(command.cla, command.ins)) {
        return {{}, refusal};
    }
    switch (command.ins) {
        case kInsSelect:
            return Select(command);
        case kInsReadBinary:
            return ReadBinary(command);
        case kInsUpdateBinary:
            return UpdateBinary(command);
        case kInsGetChallenge:
            return GetChallenge(command);
        default:
            return GetData(command);
    }
}

IsoResponse SimIsoCommands::Select(const IsoCommand& command) {
    if (command.p1 == kSelectByName) {
        return SelectApplication(command);
    }
    if (command.p1 != kSelectByFileId ||
        (command.p2 != kReturnFci && command.p2 != kReturnFcp && command.p2 != kReturnNothing)) {
        return {{}, sw::kWrongP1P2};
    }
    std::uint16_t fid = kMasterFile;  // no data selects the master file
    if (command.data.size() == 2) {
        fid = static_cast<std::uint16_t>(command.data[0] << 8 | command.data[1]);
    } else if (!command.data.empty()) {
        return {{}, sw::kWrongLength};
    }
    if (fid == kMasterFile) {
        currentEf_.reset();
    } else if (files_.contains(fid)) {
        currentEf_ = fid;
    } else {
        return {{}, sw::kFileNotFound};
    }
    IsoResponse response;
    if (command.p2 != kReturnNothing && command.ne > 0) {
        response.data = ControlParameters(fid);
        if (response.data.size() > command.ne) {
            response.data.resize(command.ne);
        }
    }
    return response;
}

// By its whole name or the first bytes of it.
IsoResponse SimIsoCommands::SelectApplication(const IsoCommand& command) {
    const std::span<const std::uint8_t> name(kApplicationName);
    if (command.data.empty() || command.data.size() > name.size() ||
        !std::equal(command.data.begin(), command.data.end(), name.begin())) {
        return {{}, sw::kFileNotFound};
    }
    currentEf_.reset();
    IsoResponse response;
    if (command.p2 != kReturnNothing && command.ne > 0) {
        response.data.assign(std::begin(kApplicationFci), std::end(kApplicationFci));
        response.data.resize(std::min<std::size_t>(response.data.size(), command.ne));
    }
    return response;
}

// File control parameters: size (EFs), descriptor, identifier, life cycle "operational".
Bytes SimIsoCommands::ControlParameters(std::uint16_t fid) const {
    Bytes fcp;
    if (const Bytes* file = File(fid)) {
        const auto size = file->size();
        fcp = {
            0x80, 0x02, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 0x82,
            0x01, 0x01};
    } else {
        fcp = {0x82, 0x01, 0x38};
    }
    fcp.insert(fcp.end(), {0x83, 0x02, static_cast<std::uint8_t>(fid >> 8),
                           static_cast<std::uint8_t>(fid), 0x8A, 0x01, 0x05});
    fcp.insert(fcp.begin(), {0x62, static_cast<std::uint8_t>(fcp.size())});
    return fcp;
}

IsoResponse SimIsoCommands::ReadBinary(const IsoCommand& command) {
    if (IsSfiAddressing(command.p1)) {
        return {{}, sw::kFunctionNotSupported};
    }
    if (!command.data.empty() || command.ne == 0) {
        return {{}, sw::kWrongLength};
    }
    if (!currentEf_) {
        return {{}, sw::kNoCurrentEf};
    }
    const Bytes& file = files_.at(*currentEf_);
    const std::size_t offset = command.p1 << 8 | command.p2;
    if (offset > file.size()) {
        return {{}, sw::kOffsetOutside};
    }
    const std::size_t count = std::min<std::size_t>(command.ne, file.size() - offset);
    IsoResponse response;
    response.data.assign(file.begin() + offset, file.begin() + offset + count);
    response.sw = count < command.ne ? sw::kEndOfFile : sw::kOk;
    return response;
}

IsoResponse SimIsoCommands::UpdateBinary(const IsoCommand& command) {
    if (IsSfiAddressing(command.p1)) {
        return {{}, sw::kFunctionNotSupported};
    }
    if (command.data.empty()) {
        return {{}, sw::kWrongLength};
    }
    if (!currentEf_) {
        return {{}, sw::kNoCurrentEf};
    }
    Bytes& file = files_.at(*currentEf_);
    const std::size_t offset = command.p1 << 8 | command.p2;
    if (offset > file.size()) {
        return {{}, sw::kOffsetOutside};
    }
    if (command.data.size() > file.size() - offset) {
        return {{}, sw::kNotEnoughSpace};
    }
    std::copy(command.data.begin(), command.data.end(), file.begin() + offset);
    return {};
}

IsoResponse SimIsoCommands::GetChallenge(const IsoCommand& command) {
    if (command.p1 != 0 || command.p2 != 0) {
        return {{}, sw::kWrongP1P2};
    }
    if (!command.data.empty() || command.ne == 0) {
        return {{}, sw::kWrongLength};
    }
    IsoResponse response;
    std::uniform_int_distribution<int> byte(0, 255);
    response.data.resize(command.ne);
    for (auto& b : response.data) {
        b = static_cast<std::uint8_t>(byte(random_));
    }
    return response;
}

IsoResponse SimIsoCommands::GetData(const IsoCommand& command) const {
    if (command.p1 != 0x00 || command.p2 != 0x5A) {
        return {{}, sw::kDataNotFound};
    }
    if (!command.data.empty() || command.ne == 0) {
        return {{}, sw::kWrongLength};
    }
    IsoResponse response;
    response.data.assign(std::begin(kSerialNumber), std::end(kSerialNumber));
    if (response.data.size() > command.ne) {
        response.data.resize(command.ne);
    }
    return response;
}
