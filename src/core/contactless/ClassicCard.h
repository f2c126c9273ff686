#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/contactless/ClassicLayout.h"
#include "core/contactless/ContactlessChannel.h"
#include "core/contactless/KeyList.h"
#include "core/contactless/ValueBlock.h"

// How a reader takes the MIFARE Classic commands (as the reader probe finds out).
enum class AuthForm { General, Legacy };      // FF 86 / FF 88
enum class ValueForm { Common, DataObject };  // FF D7 / FF C2 00 03
struct ReaderDialect {
    KeyStore store = KeyStore::Volatile;
    std::uint8_t slot = 0;
    AuthForm auth = AuthForm::General;
    ValueForm value = ValueForm::Common;
};

// The outcome of one card operation: the library's code, the status word of the exchange
// that ended it, and the reason when it failed before reaching the card.
struct CardStep {
    std::uint32_t code = 0;
    std::uint16_t status = 0;
    std::string refusal;
    bool Ok() const { return code == 0 && status == kStatusOk && refusal.empty(); }
};

// One sector as "Read card" left it.
struct SectorRead {
    std::optional<KeyCandidate> openedBy;  // nothing: "no key"
    std::vector<bool> blockRead;           // per block of the sector
};

// The card's memory as read: the trailers hold the keys that opened them where the card
// hides them (key A always reads as zeros).
struct ClassicImage {
    ClassicType type = ClassicType::Classic1K;
    Bytes uid;
    Bytes bytes;  // ClassicLayout::ByteSize()
    std::vector<SectorRead> sectors;
    bool stopped = false;
    std::uint32_t failureCode = 0;  // the library's code that ended the reading early
    bool AllOpened() const;
    int OpenedCount() const;
};

// The MIFARE Classic operations on the card behind a channel.
class ClassicCard {
  public:
    ClassicCard(ContactlessChannel& channel, ReaderDialect dialect)
        : channel_(channel), dialect_(dialect) {}

    // Loads the key and authenticates for `block`; after a refused authentication the card
    // is selected again, so the next try finds it awake.
    CardStep Authenticate(int block, const KeyCandidate& key);

    // Tries each candidate on each sector (CandidatesForSector) and reads the sectors that
    // open. `stop` is looked at between tries; `progress` hears of each sector when done.
    ClassicImage ReadCard(const ClassicLayout& layout, const KeyFile& keys,
                          const std::atomic<bool>* stop = nullptr,
                          const std::function<void(int sector, const SectorRead&)>& progress = {});

    // Reads one block after authenticating with `key`.
    CardStep ReadBlock(int block, const KeyCandidate& key, BlockBytes& out);
    // Writes a data block; refuses block 0 and trailers.
    CardStep WriteBlock(const ClassicLayout& layout, int block, const KeyCandidate& key,
                        const BlockBytes& data);
    // Writes a sector trailer; refuses one that TrailerWriteRefusal refuses.
    CardStep WriteTrailer(const ClassicLayout& layout, int sector, const KeyCandidate& key,
                          const BlockBytes& trailer);
    // Stores, increments or decrements a value block in the dialect's value form; a store in
    // the data-object form writes the encoded value block.
    CardStep ChangeValue(const ClassicLayout& layout, int block, const KeyCandidate& key,
                         ValueOp op, std::int32_t value);

  private:
    CardStep Send(const Bytes& command);
    CardStep ReadAuthenticated(int block, BlockBytes& out);
    // Authenticates for `block`, then sends the write `command`.
    CardStep WriteAuthenticated(const KeyCandidate& key, int block, const Bytes& command);
    static std::optional<std::string> DataBlockRefusal(const ClassicLayout& layout, int block);
    CardStep Refuse(std::string reason);

    ContactlessChannel& channel_;
    ReaderDialect dialect_;
    std::optional<MifareKey> loaded_;  // the key in the dialect's slot
};

// Writes a loaded dump back: every data block of each sector that `keys` opens (block 0 left
// alone), then its trailer under the same guard as WriteTrailer. One step per block written.
struct DumpWrite {
    int block = 0;
    CardStep step;
};
std::vector<DumpWrite> WriteClassicImage(ClassicCard& card, const ClassicImage& dump,
                                         const std::vector<std::optional<KeyCandidate>>& keys);
