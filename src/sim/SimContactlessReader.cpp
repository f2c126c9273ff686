#include "sim/SimContactlessReader.h"

#include <algorithm>

#include "sim/SimIso14443Card.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimUltralight.h"

namespace {
constexpr std::uint8_t kClassReader = 0xFF;
constexpr std::uint8_t kKeyTypeA = 0x60;
constexpr std::uint8_t kKeyTypeB = 0x61;
constexpr std::uint8_t kNonVolatile = 0x20;
constexpr std::uint8_t kSecured = 0x80;
constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kPageSize = 4;

namespace status {
constexpr std::uint16_t kOk = 0x9000;
constexpr std::uint16_t kFailed = 0x6300;
constexpr std::uint16_t kEndOfData = 0x6282;
constexpr std::uint16_t kWrongLength = 0x6700;
constexpr std::uint16_t kNotValueBlock = 0x6981;
constexpr std::uint16_t kSecurity = 0x6982;
constexpr std::uint16_t kReaderKeyNotSupported = 0x6983;
constexpr std::uint16_t kKeyNotUsable = 0x6984;
constexpr std::uint16_t kSecuredNotSupported = 0x6985;
constexpr std::uint16_t kKeyTypeUnknown = 0x6986;
constexpr std::uint16_t kKeyNumberInvalid = 0x6988;
constexpr std::uint16_t kKeyLengthWrong = 0x6989;
constexpr std::uint16_t kNotSupported = 0x6A81;
constexpr std::uint16_t kWrongParameter = 0x6B00;
constexpr std::uint16_t kUnknownInstruction = 0x6D00;
constexpr std::uint16_t kUnknownClass = 0x6E00;
}  // namespace status

Bytes Reply(std::uint16_t sw, Bytes data = {}) {
    data.push_back(static_cast<std::uint8_t>(sw >> 8));
    data.push_back(static_cast<std::uint8_t>(sw));
    return data;
}

std::uint8_t CheckByte(const Bytes& atr) {
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) {
        check ^= atr[i];
    }
    return check;
}

// The card name of the storage-card answer to reset.
std::uint16_t CardName(SimCardKind kind) {
    switch (kind) {
        case SimCardKind::MifareMini:
            return 0x0026;
        case SimCardKind::Mifare1K:
            return 0x0001;
        case SimCardKind::Mifare4K:
            return 0x0002;
        default:
            return 0x0003;  // Ultralight, and the NTAG that answers as one
    }
}

std::uint16_t ForClassic(SimMifareClassic::Answer answer) {
    switch (answer) {
        case SimMifareClassic::Answer::Ok:
            return status::kOk;
        case SimMifareClassic::Answer::Refused:
            return status::kSecurity;
        case SimMifareClassic::Answer::Silent:
            break;
    }
    return status::kFailed;
}

bool ValidSlot(std::uint8_t slot) {
    return slot < SimContactlessReader::kVolatileSlots ||
           (slot >= SimContactlessReader::kFirstNonVolatileSlot &&
            slot < SimContactlessReader::kFirstNonVolatileSlot +
                       SimContactlessReader::kNonVolatileSlots);
}

// The length a READ BINARY asks for: Le 00 is a whole block or four pages.
std::size_t Wanted(std::uint8_t le) {
    return le == 0 ? kBlockSize : le;
}

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3]);
}
}  // namespace

SimContactlessReader::SimContactlessReader(SimCardKind kind,
                                           std::unique_ptr<SimContactlessChip> chip)
    : SimCard(kind), chip_(std::move(chip)) {}

SimContactlessReader::SimContactlessReader(std::unique_ptr<SimMifareClassic> chip)
    : SimContactlessReader(chip->Kind(), nullptr) {
    classic_ = chip.get();
    chip_ = std::move(chip);
}

SimContactlessReader::SimContactlessReader(std::unique_ptr<SimUltralight> chip)
    : SimContactlessReader(chip->Kind(), nullptr) {
    ultralight_ = chip.get();
    chip_ = std::move(chip);
}

SimContactlessReader::SimContactlessReader(std::unique_ptr<SimIso14443Card> chip)
    : SimContactlessReader(chip->Kind(), nullptr) {
    iso_ = chip.get();
    chip_ = std::move(chip);
}

SimContactlessReader::~SimContactlessReader() = default;

Bytes SimContactlessReader::Atr() const {
    Bytes atr;
    if (iso_ != nullptr) {
        const Bytes historical = iso_->HistoricalBytes();
        atr = {0x3B, static_cast<std::uint8_t>(0x80 | historical.size()), 0x80, 0x01};
        atr.insert(atr.end(), historical.begin(), historical.end());
    } else {
        const std::uint16_t name = CardName(Kind());
        atr = {0x3B,
               0x8F,
               0x80,
               0x01,
               0x80,
               0x4F,
               0x0C,
               0xA0,
               0x00,
               0x00,
               0x03,
               0x06,
               0x03,
               static_cast<std::uint8_t>(name >> 8),
               static_cast<std::uint8_t>(name),
               0x00,
               0x00,
               0x00,
               0x00};
    }
    atr.push_back(CheckByte(atr));
    return atr;
}

void SimContactlessReader::PowerDown() {
    chip_->Select();
}

Bytes SimContactlessReader::Transmit(ByteView command) {
    if (command.size() < 4) {
        return Reply(status::kWrongLength);
    }
    if (command[0] != kClassReader) {
        return iso_ != nullptr ? iso_->Transmit(command) : Reply(status::kUnknownClass);
    }
    switch (command[1]) {
        case 0xCA:
            return GetData(command);
        case 0x82:
            return LoadKeys(command);
        case 0x86:
            if (command.size() != 10 || command[4] != 5) {
                return Reply(status::kWrongLength);
            }
            if (command[2] != 0 || command[3] != 0 || command[5] != 0x01 || command[6] != 0) {
                return Reply(status::kWrongParameter);
            }
            return Authenticate(command[7], command[8], command[9]);
        case 0x88:
            if (command.size() != 6) {
                return Reply(status::kWrongLength);
            }
            if (command[2] != 0) {
                return Reply(status::kWrongParameter);
            }
            return Authenticate(command[3], command[4], command[5]);
        case 0xB0:
            return ReadBinary(command);
        case 0xD6:
            return UpdateBinary(command);
        case 0xD7:
            return ValueOperation(command);
        case 0xB1:
            return ReadValue(command);
        default:
            return Reply(status::kUnknownInstruction);
    }
}

Bytes SimContactlessReader::GetData(ByteView command) const {
    if (command.size() > 5) {
        return Reply(status::kWrongLength);
    }
    Bytes data;
    if (command[3] != 0) {
        return Reply(status::kNotSupported);
    }
    switch (command[2]) {
        case 0x00:
            data = chip_->Uid();
            break;
        case 0x01:
            if (iso_ == nullptr) {
                return Reply(status::kNotSupported);
            }
            data = iso_->HistoricalBytes();
            break;
        case 0x02:
            data = {chip_->Sak()};
            break;
        case 0x03:
            data = {static_cast<std::uint8_t>(chip_->Atqa() >> 8),
                    static_cast<std::uint8_t>(chip_->Atqa())};
            break;
        default:
            return Reply(status::kNotSupported);
    }
    const std::size_t le = command.size() == 5 ? command[4] : 0;
    if (le == 0 || le == data.size()) {
        return Reply(status::kOk, data);
    }
    if (le > data.size()) {
        return Reply(status::kEndOfData, data);
    }
    return Reply(static_cast<std::uint16_t>(0x6C00 | data.size()));
}

Bytes SimContactlessReader::LoadKeys(ByteView command) {
    if (command.size() < 5 || command.size() != 5u + command[4]) {
        return Reply(status::kWrongLength);
    }
    const std::uint8_t p1 = command[2];
    const std::uint8_t slot = command[3];
    if ((p1 & kSecured) != 0) {
        return Reply(status::kSecuredNotSupported);
    }
    if (p1 != 0 && p1 != kNonVolatile) {
        return Reply(status::kReaderKeyNotSupported);
    }
    const bool inRange =
        p1 == 0 ? slot < kVolatileSlots
                : slot >= kFirstNonVolatileSlot && slot < kFirstNonVolatileSlot + kNonVolatileSlots;
    if (!inRange) {
        return Reply(status::kKeyNumberInvalid);
    }
    if (command[4] != 6) {
        return Reply(status::kKeyLengthWrong);
    }
    std::copy_n(command.begin() + 5, 6, keys_[slot].begin());
    return Reply(status::kOk);
}

Bytes SimContactlessReader::Authenticate(std::uint8_t block, std::uint8_t keyType,
                                         std::uint8_t slot) {
    if (classic_ == nullptr) {
        return Reply(status::kNotSupported);
    }
    if (keyType != kKeyTypeA && keyType != kKeyTypeB) {
        return Reply(status::kKeyTypeUnknown);
    }
    if (!ValidSlot(slot)) {
        return Reply(status::kKeyNumberInvalid);
    }
    const auto key = keys_.find(slot);
    if (key == keys_.end()) {
        return Reply(status::kKeyNotUsable);
    }
    if (block >= classic_->BlockCount()) {
        return Reply(status::kWrongParameter);
    }
    const auto type = keyType == kKeyTypeA ? SimKeyType::A : SimKeyType::B;
    const auto answer = classic_->Authenticate(block, type, key->second);
    return Reply(answer == SimMifareClassic::Answer::Ok ? status::kOk : status::kFailed);
}

Bytes SimContactlessReader::ReadBinary(ByteView command) {
    if (classic_ == nullptr && ultralight_ == nullptr) {
        return Reply(status::kNotSupported);
    }
    if (command.size() != 5) {
        return Reply(status::kWrongLength);
    }
    const std::size_t wanted = Wanted(command[4]);
    if (wanted > kBlockSize) {
        return Reply(static_cast<std::uint16_t>(0x6C00 | kBlockSize));
    }
    const int block = command[3];
    std::array<std::uint8_t, kBlockSize> data{};
    std::uint16_t sw = status::kOk;
    if (command[2] != 0) {
        sw = status::kWrongParameter;
    } else if (classic_ != nullptr) {
        sw = block < classic_->BlockCount() ? ForClassic(classic_->Read(block, data))
                                            : status::kWrongParameter;
    } else if (block >= ultralight_->PageCount()) {
        sw = status::kWrongParameter;
    } else if (ultralight_->Read(block, data) != SimUltralight::Answer::Ok) {
        sw = status::kSecurity;
    }
    if (sw != status::kOk) {
        return Reply(sw);
    }
    return Reply(sw, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(wanted)));
}

Bytes SimContactlessReader::UpdateBinary(ByteView command) {
    if (classic_ == nullptr && ultralight_ == nullptr) {
        return Reply(status::kNotSupported);
    }
    const std::size_t size = classic_ != nullptr ? kBlockSize : kPageSize;
    if (command.size() != 5 + size || command[4] != size) {
        return Reply(status::kWrongLength);
    }
    const int block = command[3];
    const auto data = command.subspan(5);
    if (command[2] != 0) {
        return Reply(status::kWrongParameter);
    }
    if (classic_ != nullptr) {
        if (block >= classic_->BlockCount()) {
            return Reply(status::kWrongParameter);
        }
        SimMifareClassic::Block contents{};
        std::ranges::copy(data, contents.begin());
        return Reply(ForClassic(classic_->Write(block, contents)));
    }
    if (block >= ultralight_->PageCount()) {
        return Reply(status::kWrongParameter);
    }
    SimUltralight::Page page{};
    std::ranges::copy(data, page.begin());
    return Reply(ultralight_->Write(block, page) == SimUltralight::Answer::Ok ? status::kOk
                                                                              : status::kSecurity);
}

Bytes SimContactlessReader::ValueOperation(ByteView command) {
    if (classic_ == nullptr) {
        return Reply(status::kNotSupported);
    }
    if (command.size() < 6 || command.size() != 5u + command[4]) {
        return Reply(status::kWrongLength);
    }
    const int block = command[3];
    const std::uint8_t op = command[5];
    if (command[2] != 0 || block >= classic_->BlockCount()) {
        return Reply(status::kWrongParameter);
    }
    if (op == 0x03) {
        if (command[4] != 2) {
            return Reply(status::kWrongLength);
        }
        const int target = command[6];
        if (target >= classic_->BlockCount()) {
            return Reply(status::kWrongParameter);
        }
        auto answer = classic_->Restore(block);
        if (answer == SimMifareClassic::Answer::Ok) {
            answer = classic_->Transfer(target);
        }
        return Reply(ForClassic(answer));
    }
    if (command[4] != 5) {
        return Reply(status::kWrongLength);
    }
    const std::uint32_t value = BigEndian(command.data() + 6);
    SimMifareClassic::Answer answer = SimMifareClassic::Answer::Refused;
    switch (op) {
        case 0x00:
            answer = classic_->Write(
                block, SimMifareClassic::ValueBlock(static_cast<std::int32_t>(value),
                                                    static_cast<std::uint8_t>(block)));
            return Reply(ForClassic(answer));
        case 0x01:
            answer = classic_->Increment(block, value);
            break;
        case 0x02:
            answer = classic_->Decrement(block, value);
            break;
        default:
            return Reply(status::kNotSupported);
    }
    if (answer == SimMifareClassic::Answer::Ok) {
        answer = classic_->Transfer(block);
    }
    return Reply(ForClassic(answer));
}

Bytes SimContactlessReader::ReadValue(ByteView command) {
    if (classic_ == nullptr) {
        return Reply(status::kNotSupported);
    }
    if (command.size() != 5 || command[4] != 4) {
        return Reply(status::kWrongLength);
    }
    const int block = command[3];
    if (command[2] != 0 || block >= classic_->BlockCount()) {
        return Reply(status::kWrongParameter);
    }
    SimMifareClassic::Block data{};
    const std::uint16_t sw = ForClassic(classic_->Read(block, data));
    if (sw != status::kOk) {
        return Reply(sw);
    }
    const auto value = SimMifareClassic::ValueOf(data);
    if (!value) {
        return Reply(status::kNotValueBlock);
    }
    const auto bits = static_cast<std::uint32_t>(*value);
    return Reply(status::kOk,
                 {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                  static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)});
}
