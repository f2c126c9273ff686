#include "core/contactless/ClassicLayout.h"

namespace {
// The 4K's first 32 sectors hold 4 blocks, the 8 after them 16.
constexpr int kSmallSectors = 32;
constexpr int kSmallBlocks = kSmallSectors * 4;
}  // namespace

std::string_view ClassicLayout::Name() const {
    switch (type_) {
        case ClassicType::Mini:
            return "MIFARE Mini";
        case ClassicType::Classic1K:
            return "MIFARE Classic 1K";
        case ClassicType::Classic4K:
            return "MIFARE Classic 4K";
    }
    return {};
}

int ClassicLayout::SectorCount() const {
    switch (type_) {
        case ClassicType::Mini:
            return 5;
        case ClassicType::Classic1K:
            return 16;
        case ClassicType::Classic4K:
            return 40;
    }
    return 0;
}

int ClassicLayout::BlockCount() const {
    return type_ == ClassicType::Classic4K ? 256 : SectorCount() * 4;
}

int ClassicLayout::BlocksInSector(int sector) const {
    return sector < kSmallSectors ? 4 : 16;
}

int ClassicLayout::FirstBlock(int sector) const {
    return sector < kSmallSectors ? sector * 4 : kSmallBlocks + (sector - kSmallSectors) * 16;
}

int ClassicLayout::SectorOfBlock(int block) const {
    if (block < 0 || block >= BlockCount()) {
        return -1;
    }
    return block < kSmallBlocks ? block / 4 : kSmallSectors + (block - kSmallBlocks) / 16;
}

bool ClassicLayout::IsTrailer(int block) const {
    const int sector = SectorOfBlock(block);
    return sector >= 0 && block == TrailerBlock(sector);
}

std::optional<ClassicType> ClassicTypeOfSize(std::size_t size) {
    for (const ClassicType type :
         {ClassicType::Mini, ClassicType::Classic1K, ClassicType::Classic4K}) {
        if (ClassicLayout(type).ByteSize() == size) {
            return type;
        }
    }
    return std::nullopt;
}
