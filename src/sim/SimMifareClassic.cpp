#include "sim/SimMifareClassic.h"

#include <algorithm>
#include <limits>

namespace {
// Who may do something: key A, key B, both or neither.
constexpr std::uint8_t kNever = 0;
constexpr std::uint8_t kA = 1;
constexpr std::uint8_t kB = 2;
constexpr std::uint8_t kAB = kA | kB;

// Data blocks, by the access condition C1 C2 C3: read, write, increment,
// decrement/transfer/restore.
constexpr std::uint8_t kDataRights[8][4] = {
    {kAB, kAB, kAB, kAB},              // 000 transport configuration
    {kAB, kNever, kNever, kAB},        // 001 value block, decrement only
    {kAB, kNever, kNever, kNever},     // 010 read only
    {kB, kB, kNever, kNever},          // 011
    {kAB, kB, kNever, kNever},         // 100
    {kB, kNever, kNever, kNever},      // 101
    {kAB, kB, kB, kAB},                // 110 value block, recharge with key B
    {kNever, kNever, kNever, kNever},  // 111
};

// Sector trailers, by the access condition: key A write, access bits read, access bits
// write, key B read, key B write (key A never reads back).
struct TrailerRights {
    std::uint8_t keyAWrite, accessRead, accessWrite, keyBRead, keyBWrite;
};
constexpr TrailerRights kTrailerRights[8] = {
    {kA, kA, kNever, kA, kA},               // 000
    {kA, kA, kA, kA, kA},                   // 001 transport configuration
    {kNever, kA, kNever, kA, kNever},       // 010
    {kB, kAB, kB, kNever, kB},              // 011
    {kB, kAB, kNever, kNever, kB},          // 100
    {kNever, kAB, kB, kNever, kNever},      // 101
    {kNever, kAB, kNever, kNever, kNever},  // 110
    {kNever, kAB, kNever, kNever, kNever},  // 111
};

constexpr int kKeyB = 10;
constexpr int kAccess = 6;
constexpr int kKeyLength = 6;

std::uint8_t KeyMask(SimKeyType type) {
    return type == SimKeyType::A ? kA : kB;
}

std::uint32_t LittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
}

void PutLittleEndian(std::uint32_t value, std::uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
}  // namespace

SimMifareClassic::SimMifareClassic(Size size, Bytes uid)
    : size_(size), uid_(std::move(uid)), memory_(static_cast<std::size_t>(BlockCount())) {
    Block& maker = memory_[0];
    std::copy_n(uid_.begin(), std::min<std::size_t>(uid_.size(), 4), maker.begin());
    maker[4] = static_cast<std::uint8_t>(maker[0] ^ maker[1] ^ maker[2] ^ maker[3]);
    maker[5] = Sak();
    maker[6] = static_cast<std::uint8_t>(Atqa());
    maker[7] = static_cast<std::uint8_t>(Atqa() >> 8);
    std::copy_n("ZP-SIM-1", 8, maker.begin() + 8);
    for (int sector = 0; sector < SectorCount(); ++sector) {
        Block& trailer = memory_[TrailerOf(sector)];
        trailer.fill(0xFF);
        std::copy_n(kTransportAccess, 4, trailer.begin() + kAccess);
    }
}

SimCardKind SimMifareClassic::Kind() const {
    switch (size_) {
        case Size::Mini:
            return SimCardKind::MifareMini;
        case Size::k1K:
            return SimCardKind::Mifare1K;
        case Size::k4K:
            break;
    }
    return SimCardKind::Mifare4K;
}

std::uint16_t SimMifareClassic::Atqa() const {
    return size_ == Size::k4K ? 0x0002 : 0x0004;
}

std::uint8_t SimMifareClassic::Sak() const {
    switch (size_) {
        case Size::Mini:
            return 0x09;
        case Size::k1K:
            return 0x08;
        case Size::k4K:
            break;
    }
    return 0x18;
}

void SimMifareClassic::Select() {
    halted_ = false;
    sector_.reset();
    transferBuffer_.reset();
}

std::optional<SimMifareClassic::Size> SimMifareClassic::SizeOf(SimCardKind kind) {
    switch (kind) {
        case SimCardKind::MifareMini:
            return Size::Mini;
        case SimCardKind::Mifare1K:
            return Size::k1K;
        case SimCardKind::Mifare4K:
            return Size::k4K;
        default:
            return std::nullopt;
    }
}

int SimMifareClassic::SectorCount(Size size) {
    switch (size) {
        case Size::Mini:
            return 5;
        case Size::k1K:
            return 16;
        case Size::k4K:
            break;
    }
    return 40;
}

int SimMifareClassic::BlockCount() const {
    return FirstBlockOf(SectorCount());
}

int SimMifareClassic::FirstBlockOf(int sector) {
    return sector < 32 ? sector * 4 : 128 + (sector - 32) * 16;
}

int SimMifareClassic::BlocksIn(int sector) {
    return sector < 32 ? 4 : 16;
}

int SimMifareClassic::SectorOf(int block) {
    return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}

void SimMifareClassic::SetSectorKey(int sector, SimKeyType type, const SimMifareKey& key) {
    Block& trailer = memory_[TrailerOf(sector)];
    std::ranges::copy(key, trailer.begin() + (type == SimKeyType::A ? 0 : kKeyB));
}

SimMifareClassic::Answer SimMifareClassic::Refuse() {
    sector_.reset();
    transferBuffer_.reset();
    return Answer::Refused;
}

// The condition C1 C2 C3 of the block's group in its sector's trailer, or nothing when the
// access bits disagree with their inverted copy.
namespace {
std::optional<int> Condition(const SimMifareClassic::Block& trailer, int group) {
    const std::uint8_t b6 = trailer[kAccess], b7 = trailer[kAccess + 1], b8 = trailer[kAccess + 2];
    if ((b6 & 0x0F) != (~b7 >> 4 & 0x0F) || (b6 >> 4) != (~b8 & 0x0F) ||
        (b7 & 0x0F) != (~b8 >> 4 & 0x0F)) {
        return std::nullopt;
    }
    const int c1 = b7 >> (4 + group) & 1;
    const int c2 = b8 >> group & 1;
    const int c3 = b8 >> (4 + group) & 1;
    return c1 << 2 | c2 << 1 | c3;
}

// The block's access group: 0-2 for data blocks, 3 for the trailer (groups of 5 blocks in
// the 16-block sectors).
int GroupOf(int block) {
    const int sector = SimMifareClassic::SectorOf(block);
    const int offset = block - SimMifareClassic::FirstBlockOf(sector);
    if (SimMifareClassic::BlocksIn(sector) == 4) {
        return offset;
    }
    return offset == 15 ? 3 : offset / 5;
}
}  // namespace

bool SimMifareClassic::Allowed(int block, Right right) const {
    if (halted_ || !sector_ || block < 0 || block >= BlockCount() || SectorOf(block) != *sector_) {
        return false;
    }
    const Block& trailer = memory_[TrailerOf(*sector_)];
    const auto trailerCondition = Condition(trailer, 3);
    const auto condition = Condition(trailer, GroupOf(block));
    if (!trailerCondition || !condition) {
        return false;
    }
    const TrailerRights& rights = kTrailerRights[*trailerCondition];
    // A key B that can be read back is data, not a key: it opens nothing.
    std::uint8_t key = KeyMask(keyType_);
    if (rights.keyBRead != kNever) {
        key &= kA;
    }
    if (block == TrailerOf(*sector_)) {
        if (right == Right::Read) {
            return (rights.accessRead & key) != 0;
        }
        if (right == Right::Write) {
            return ((rights.keyAWrite | rights.accessWrite | rights.keyBWrite) & key) != 0;
        }
        return false;
    }
    if (block == 0 && right != Right::Read) {
        return false;
    }
    return (kDataRights[*condition][static_cast<int>(right)] & key) != 0;
}

SimMifareClassic::Answer SimMifareClassic::Authenticate(int block, SimKeyType type,
                                                        const SimMifareKey& key) {
    if (halted_) {
        return Answer::Silent;
    }
    if (block < 0 || block >= BlockCount()) {
        halted_ = true;
        return Refuse();
    }
    const Block& trailer = memory_[TrailerOf(SectorOf(block))];
    const auto* stored = trailer.data() + (type == SimKeyType::A ? 0 : kKeyB);
    if (!std::equal(key.begin(), key.end(), stored)) {
        halted_ = true;
        return Refuse();
    }
    sector_ = SectorOf(block);
    keyType_ = type;
    transferBuffer_.reset();
    return Answer::Ok;
}

SimMifareClassic::Answer SimMifareClassic::Read(int block, Block& out) {
    if (halted_) {
        return Answer::Silent;
    }
    if (!Allowed(block, Right::Read)) {
        return Refuse();
    }
    out = memory_[block];
    if (block == TrailerOf(*sector_)) {
        const TrailerRights& rights = kTrailerRights[*Condition(out, 3)];
        std::fill_n(out.begin(), kKeyLength, 0);
        if ((rights.keyBRead & KeyMask(keyType_)) == 0) {
            std::fill_n(out.begin() + kKeyB, kKeyLength, 0);
        }
    }
    return Answer::Ok;
}

SimMifareClassic::Answer SimMifareClassic::Write(int block, const Block& data) {
    if (halted_) {
        return Answer::Silent;
    }
    if (!Allowed(block, Right::Write)) {
        return Refuse();
    }
    Block& stored = memory_[block];
    if (block != TrailerOf(*sector_)) {
        stored = data;
        return Answer::Ok;
    }
    // Each part of the trailer is written only where the key used may write it.
    const TrailerRights rights = kTrailerRights[*Condition(stored, 3)];
    const std::uint8_t key = KeyMask(keyType_);
    if ((rights.keyAWrite & key) != 0) {
        std::copy_n(data.begin(), kKeyLength, stored.begin());
    }
    if ((rights.accessWrite & key) != 0) {
        std::copy_n(data.begin() + kAccess, 4, stored.begin() + kAccess);
    }
    if ((rights.keyBWrite & key) != 0) {
        std::copy_n(data.begin() + kKeyB, kKeyLength, stored.begin() + kKeyB);
    }
    return Answer::Ok;
}

std::optional<std::int32_t> SimMifareClassic::ValueOf(const Block& b) {
    const std::uint32_t value = LittleEndian(b.data());
    if (LittleEndian(b.data() + 4) != ~value || LittleEndian(b.data() + 8) != value ||
        b[12] != b[14] || b[13] != b[15] || b[12] != static_cast<std::uint8_t>(~b[13])) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

SimMifareClassic::Answer SimMifareClassic::LoadValue(int block, Right right, std::int64_t delta) {
    if (halted_) {
        return Answer::Silent;
    }
    if (!Allowed(block, right) || block == TrailerOf(*sector_)) {
        return Refuse();
    }
    const auto value = ValueOf(memory_[block]);
    if (!value) {
        return Refuse();
    }
    const std::int64_t result = *value + delta;
    if (result < std::numeric_limits<std::int32_t>::min() ||
        result > std::numeric_limits<std::int32_t>::max()) {
        return Refuse();
    }
    transferBuffer_ = static_cast<std::int32_t>(result);
    transferAddress_ = memory_[block][12];
    return Answer::Ok;
}

SimMifareClassic::Answer SimMifareClassic::Increment(int block, std::uint32_t amount) {
    return LoadValue(block, Right::Increment, amount);
}

SimMifareClassic::Answer SimMifareClassic::Decrement(int block, std::uint32_t amount) {
    return LoadValue(block, Right::DecrementTransferRestore, -static_cast<std::int64_t>(amount));
}

SimMifareClassic::Answer SimMifareClassic::Restore(int block) {
    return LoadValue(block, Right::DecrementTransferRestore, 0);
}

SimMifareClassic::Answer SimMifareClassic::Transfer(int block) {
    if (halted_) {
        return Answer::Silent;
    }
    if (!transferBuffer_ || !Allowed(block, Right::DecrementTransferRestore) ||
        block == TrailerOf(*sector_)) {
        return Refuse();
    }
    memory_[block] = ValueBlock(*transferBuffer_, transferAddress_);
    return Answer::Ok;
}

SimMifareClassic::Block SimMifareClassic::ValueBlock(std::int32_t value, std::uint8_t address) {
    Block block{};
    const auto bits = static_cast<std::uint32_t>(value);
    PutLittleEndian(bits, block.data());
    PutLittleEndian(~bits, block.data() + 4);
    PutLittleEndian(bits, block.data() + 8);
    block[12] = block[14] = address;
    block[13] = block[15] = static_cast<std::uint8_t>(~address);
    return block;
}
