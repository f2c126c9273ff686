#include "core/contactless/ClassicCard.h"

#include <algorithm>

#include "core/contactless/AccessBits.h"

namespace {
constexpr std::size_t kKeyBOffset = 10;
}  // namespace

bool ClassicImage::AllOpened() const {
    return OpenedCount() == static_cast<int>(sectors.size()) && !stopped && failureCode == 0;
}

int ClassicImage::OpenedCount() const {
    return static_cast<int>(std::ranges::count_if(
        sectors, [](const SectorRead& sector) { return sector.openedBy.has_value(); }));
}

CardStep ClassicCard::Send(const Bytes& command) {
    const Exchange exchange = channel_.Transmit(command);
    return {exchange.code, exchange.Status(), {}};
}

CardStep ClassicCard::Refuse(std::string reason) {
    CardStep step;
    step.refusal = std::move(reason);
    return step;
}

CardStep ClassicCard::Authenticate(int block, const KeyCandidate& key) {
    if (loaded_ != key.key) {
        const CardStep load = Send(LoadKeysCommand(dialect_.store, dialect_.slot, key.key));
        if (!load.Ok()) {
            return load;
        }
        loaded_ = key.key;
    }
    const auto number = static_cast<std::uint8_t>(block);
    const CardStep step = Send(dialect_.auth == AuthForm::General
                                   ? GeneralAuthenticateCommand(number, key.type, dialect_.slot)
                                   : LegacyAuthenticateCommand(number, key.type, dialect_.slot));
    if (step.code == 0 && !step.Ok()) {
        // The refused card is halted; it answers again once selected anew.
        channel_.Reselect();
    }
    return step;
}

ClassicImage ClassicCard::ReadCard(const ClassicLayout& layout, const KeyFile& keys,
                                   const std::atomic<bool>* stop,
                                   const std::function<void(int, const SectorRead&)>& progress) {
    ClassicImage image;
    image.type = layout.Type();
    image.bytes.assign(layout.ByteSize(), 0);
    const Exchange uid = channel_.Transmit(GetDataCommand(GetDataItem::Uid));
    if (uid.Ok()) {
        image.uid = ReplyData(uid.reply);
    }
    for (int sector = 0; sector < layout.SectorCount() && !image.stopped; ++sector) {
        SectorRead read;
        read.blockRead.assign(layout.BlocksInSector(sector), false);
        for (const KeyCandidate& candidate : CandidatesForSector(keys, sector)) {
            if (stop != nullptr && *stop) {
                image.stopped = true;
                break;
            }
            const CardStep step = Authenticate(layout.FirstBlock(sector), candidate);
            if (step.code != 0) {
                image.failureCode = step.code;
                return image;
            }
            if (!step.Ok()) {
                continue;
            }
            read.openedBy = candidate;
            bool authenticated = true;
            for (int i = 0; i < layout.BlocksInSector(sector); ++i) {
                const int block = layout.FirstBlock(sector) + i;
                CardStep blockStep;
                if (!authenticated) {
                    blockStep = Authenticate(block, candidate);
                }
                BlockBytes bytes{};
                if (blockStep.code == 0 && (authenticated || blockStep.Ok())) {
                    blockStep = ReadAuthenticated(block, bytes);
                }
                if (blockStep.code != 0) {
                    image.failureCode = blockStep.code;
                    return image;
                }
                authenticated = blockStep.Ok();
                if (authenticated) {
                    std::ranges::copy(bytes, image.bytes.begin() + block * 16);
                    read.blockRead[i] = true;
                }
            }
            if (std::ranges::none_of(read.blockRead, [](bool done) { return done; })) {
                // A key that authenticates but may read nothing (key B where the access bits
                // make it readable data) does not open the sector.
                read.openedBy.reset();
                continue;
            }
            // The card hides key A (and key B where it is not readable): put the key that
            // opened the sector where the card leaves zeros.
            auto trailer = image.bytes.begin() + layout.TrailerBlock(sector) * 16;
            std::ranges::copy(candidate.key,
                              trailer + (candidate.type == KeyType::A ? 0 : kKeyBOffset));
            break;
        }
        image.sectors.push_back(read);
        if (progress) {
            progress(sector, read);
        }
    }
    return image;
}

CardStep ClassicCard::ReadBlock(int block, const KeyCandidate& key, BlockBytes& out) {
    const CardStep step = Authenticate(block, key);
    return step.Ok() ? ReadAuthenticated(block, out) : step;
}

CardStep ClassicCard::ReadAuthenticated(int block, BlockBytes& out) {
    const Exchange exchange =
        channel_.Transmit(ReadBinaryCommand(static_cast<std::uint8_t>(block), 16));
    CardStep step{exchange.code, exchange.Status(), {}};
    const Bytes data = ReplyData(exchange.reply);
    if (step.Ok() && data.size() != out.size()) {
        step.refusal =
            "The reader answered " + std::to_string(data.size()) + " bytes for a block of 16.";
    }
    if (step.Ok()) {
        std::ranges::copy(data, out.begin());
    } else if (step.code == 0) {
        channel_.Reselect();  // a refused read halts the card as well
    }
    return step;
}

CardStep ClassicCard::WriteAuthenticated(const KeyCandidate& key, int block, const Bytes& command) {
    const CardStep step = Authenticate(block, key);
    if (!step.Ok()) {
        return step;
    }
    const CardStep write = Send(command);
    if (write.code == 0 && !write.Ok()) {
        channel_.Reselect();
    }
    return write;
}

std::optional<std::string> ClassicCard::DataBlockRefusal(const ClassicLayout& layout, int block) {
    if (layout.SectorOfBlock(block) < 0) {
        return "Block " + std::to_string(block) + " is past the card's last block (" +
               std::to_string(layout.BlockCount() - 1) + ").";
    }
    if (ClassicLayout::IsManufacturerBlock(block)) {
        return std::string(
            "Block 0 holds the UID and the manufacturer's data; it cannot be written.");
    }
    if (layout.IsTrailer(block)) {
        return "Block " + std::to_string(block) + " is a sector trailer; write it as a trailer.";
    }
    return std::nullopt;
}

CardStep ClassicCard::WriteBlock(const ClassicLayout& layout, int block, const KeyCandidate& key,
                                 const BlockBytes& data) {
    if (auto refusal = DataBlockRefusal(layout, block)) {
        return Refuse(std::move(*refusal));
    }
    return WriteAuthenticated(
        key, block,
        UpdateBinaryCommand(static_cast<std::uint8_t>(block), Bytes(data.begin(), data.end())));
}

CardStep ClassicCard::WriteTrailer(const ClassicLayout& layout, int sector, const KeyCandidate& key,
                                   const BlockBytes& trailer) {
    if (sector < 0 || sector >= layout.SectorCount()) {
        return Refuse("Sector " + std::to_string(sector) + " is past the card's last sector (" +
                      std::to_string(layout.SectorCount() - 1) + ").");
    }
    if (auto refusal = TrailerWriteRefusal(trailer[6], trailer[7], trailer[8])) {
        return Refuse(std::move(*refusal));
    }
    const int block = layout.TrailerBlock(sector);
    return WriteAuthenticated(key, block,
                              UpdateBinaryCommand(static_cast<std::uint8_t>(block),
                                                  Bytes(trailer.begin(), trailer.end())));
}

CardStep ClassicCard::ChangeValue(const ClassicLayout& layout, int block, const KeyCandidate& key,
                                  ValueOp op, std::int32_t value) {
    if (auto refusal = DataBlockRefusal(layout, block)) {
        return Refuse(std::move(*refusal));
    }
    const auto number = static_cast<std::uint8_t>(block);
    if (dialect_.value == ValueForm::Common) {
        return WriteAuthenticated(key, block, ValueCommand(number, op, value));
    }
    if (op == ValueOp::Store) {
        const BlockBytes bytes = EncodeValueBlock({value, number});
        return WriteAuthenticated(key, block,
                                  UpdateBinaryCommand(number, Bytes(bytes.begin(), bytes.end())));
    }
    return WriteAuthenticated(key, block, ValueObjectCommand(number, op, value));
}

std::vector<DumpWrite> WriteClassicImage(ClassicCard& card, const ClassicImage& dump,
                                         const std::vector<std::optional<KeyCandidate>>& keys) {
    const ClassicLayout layout(dump.type);
    std::vector<DumpWrite> writes;
    const auto blockBytes = [&](int block) {
        BlockBytes bytes{};
        std::copy_n(dump.bytes.begin() + block * 16, bytes.size(), bytes.begin());
        return bytes;
    };
    const int sectors = std::min<int>(layout.SectorCount(), static_cast<int>(keys.size()));
    for (int sector = 0; sector < sectors && dump.bytes.size() == layout.ByteSize(); ++sector) {
        if (!keys[sector]) {
            continue;
        }
        const bool hasRead = sector < static_cast<int>(dump.sectors.size());
        const auto wasRead = [&](int block) {
            const auto& read = dump.sectors[sector].blockRead;
            const auto i = static_cast<std::size_t>(block - layout.FirstBlock(sector));
            return hasRead && i < read.size() && read[i];
        };
        for (int block = layout.FirstBlock(sector); block < layout.TrailerBlock(sector); ++block) {
            if (!ClassicLayout::IsManufacturerBlock(block) && wasRead(block)) {
                writes.push_back(
                    {block, card.WriteBlock(layout, block, *keys[sector], blockBytes(block))});
            }
        }
        const int trailer = layout.TrailerBlock(sector);
        if (wasRead(trailer)) {
            writes.push_back(
                {trailer, card.WriteTrailer(layout, sector, *keys[sector], blockBytes(trailer))});
        }
    }
    return writes;
}
