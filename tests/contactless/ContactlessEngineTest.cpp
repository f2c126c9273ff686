// The contactless engine over the simulated contactless reader, through the card library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "../sim/ContactlessSupport.h"
#include "core/contactless/AccessBits.h"
#include "core/contactless/ClassicCard.h"
#include "core/contactless/MfdDump.h"
#include "core/contactless/Ndef.h"
#include "core/contactless/ReaderProbe.h"
#include "core/contactless/Type2Tag.h"
#include "report/ContactlessReport.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimIso14443Card.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimSectorKey.h"
#include "sim/SimUltralight.h"

using ::testing::HasSubstr;

namespace {

const MifareKey kOwnKey = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
const KeyCandidate kFactoryA{DefaultKeys()[0], KeyType::A};

// A simulated reader holding one contactless card, and a channel to it that keeps its log.
class ContactlessEngine : public ::testing::Test {
  protected:
    void Insert(SimCardKind kind, const char* sectorKey = nullptr) {
        auto card = Contactless(kind);
        if (sectorKey != nullptr) {
            ASSERT_TRUE(ApplySimSectorKey(*card, *ParseSimSectorKey(sectorKey)));
        }
        reader_ = card.get();
        library_.InsertCard(0, std::move(card));
        channel_ = std::make_unique<CardLibraryChannel>(
            library_, [this](std::string_view line) { log_.emplace_back(line); });
        std::string error;
        ASSERT_EQ(channel_->Open(SimCardLibrary::DefaultReaderName, error), 0u) << error;
    }

    SimCardLibrary library_;
    SimContactlessReader* reader_ = nullptr;
    std::unique_ptr<CardLibraryChannel> channel_;
    std::vector<std::string> log_;
};

TEST_F(ContactlessEngine, ASectorUnderAnotherKeyStaysClosedUntilTheKeyFileHasIt) {
    Insert(SimCardKind::Mifare1K, "5:A:112233445566");
    struct Row {
        const char* keyFile;
        bool sectorFiveOpens;
    };
    for (const Row& row :
         {Row{"", false}, Row{"5:B:112233445566", false}, Row{"4:A:112233445566", false},
          Row{"5:A:112233445566", true}, Row{"112233445566", true}}) {
        ClassicCard card(*channel_, ReaderDialect{});
        const ClassicImage image =
            card.ReadCard(ClassicLayout(ClassicType::Classic1K), ParseKeyFile(row.keyFile));
        ASSERT_EQ(image.sectors.size(), 16u);
        EXPECT_EQ(image.sectors[5].openedBy.has_value(), row.sectorFiveOpens) << row.keyFile;
        EXPECT_EQ(image.AllOpened(), row.sectorFiveOpens);
        EXPECT_EQ(image.sectors[4].openedBy, kFactoryA);  // the sector after the refusals
        if (row.sectorFiveOpens) {
            EXPECT_EQ(image.sectors[5].openedBy->key, kOwnKey);
            // The trailer holds the key that opened it where the card reads zeros.
            EXPECT_EQ(Bytes(image.bytes.begin() + 23 * 16, image.bytes.begin() + 23 * 16 + 6),
                      Bytes(kOwnKey.begin(), kOwnKey.end()));
        }
        EXPECT_EQ(Bytes(image.bytes.begin(), image.bytes.begin() + 4), reader_->Chip().Uid());
    }
    ASSERT_GE(log_.size(), 2u);
    EXPECT_EQ(log_[0], "Send Data (0x0005 bytes) : ");
    EXPECT_EQ(log_[1], "FF CA 00 00 00 ");
}

TEST_F(ContactlessEngine, WritesBlocksValuesAndTrailersAndRefusesUnsafeTrailers) {
    Insert(SimCardKind::Mifare1K);
    const ClassicLayout layout(ClassicType::Classic1K);
    ClassicCard card(*channel_, ReaderDialect{});
    BlockBytes data{};
    data.fill(0x5A);
    ASSERT_TRUE(card.WriteBlock(layout, 4, kFactoryA, data).Ok());
    EXPECT_FALSE(card.WriteBlock(layout, 7, kFactoryA, data).refusal.empty());  // a trailer
    EXPECT_FALSE(card.WriteBlock(layout, 0, kFactoryA, data).refusal.empty());

    ASSERT_TRUE(card.ChangeValue(layout, 5, kFactoryA, ValueOp::Store, 100).Ok());
    ASSERT_TRUE(card.ChangeValue(layout, 5, kFactoryA, ValueOp::Increment, 5).Ok());
    ASSERT_TRUE(card.ChangeValue(layout, 5, kFactoryA, ValueOp::Decrement, 110).Ok());
    BlockBytes read{};
    ASSERT_TRUE(card.ReadBlock(5, kFactoryA, read).Ok());
    ASSERT_TRUE(DecodeValueBlock(read.data()));
    EXPECT_EQ(DecodeValueBlock(read.data())->value, -5);

    // Refused trailers send nothing.
    BlockBytes trailer{};
    std::ranges::copy(kOwnKey, trailer.begin());
    for (const auto& bits :
         {std::array<std::uint8_t, 3>{0xFF, 0x07, 0x81}, EncodeAccessBits({0, 0, 0, 6})}) {
        std::ranges::copy(bits, trailer.begin() + 6);
        const std::size_t lines = log_.size();
        EXPECT_FALSE(card.WriteTrailer(layout, 1, kFactoryA, trailer).refusal.empty());
        EXPECT_EQ(log_.size(), lines);
    }
    std::ranges::copy(EncodeAccessBits({0, 0, 0, 1}), trailer.begin() + 6);
    std::ranges::copy(kOwnKey, trailer.begin() + 10);
    ASSERT_TRUE(card.WriteTrailer(layout, 1, kFactoryA, trailer).Ok());
    EXPECT_FALSE(card.ReadBlock(4, kFactoryA, read).Ok());
    ASSERT_TRUE(card.ReadBlock(4, {kOwnKey, KeyType::A}, read).Ok());
    EXPECT_EQ(read, data);
}

TEST_F(ContactlessEngine, ProbeFindsTheSimulatedReadersSlotsAndForms) {
    Insert(SimCardKind::Mifare1K);
    // A value block for the value forms to try an increment by 0 on.
    reader_->Classic()->SetRawBlock(9, SimMifareClassic::ValueBlock(42, 9));
    const ProbeReport report = ProbeReader(*channel_);
    std::vector<std::uint8_t> volatileSlots(16), nonVolatileSlots(32);
    std::iota(volatileSlots.begin(), volatileSlots.end(), 0x00);
    std::iota(nonVolatileSlots.begin(), nonVolatileSlots.end(), 0x20);
    EXPECT_EQ(report.volatileSlots, volatileSlots);
    EXPECT_EQ(report.nonVolatileSlots, nonVolatileSlots);
    EXPECT_EQ(report.slotRefusal, 0x6988);
    EXPECT_EQ(report.generalAuthenticate.result, FormTrial::Result::Works);
    EXPECT_EQ(report.legacyAuthenticate.result, FormTrial::Result::Works);
    EXPECT_EQ(report.commonValue.result, FormTrial::Result::Works);
    EXPECT_EQ(report.valueObject.result, FormTrial::Result::Refused);
    EXPECT_EQ(report.valueObject.status, 0x6D00);
    EXPECT_EQ(report.wholeAts.result, FormTrial::Result::NotTried);
    EXPECT_EQ(SimMifareClassic::ValueOf(reader_->Classic()->RawBlock(9)), 42);
    EXPECT_THAT(ProbeReportText(report), HasSubstr("LOAD KEYS volatile (P1 00): 00-0F\n"));
    EXPECT_THAT(ProbeReportText(report), HasSubstr("LOAD KEYS non-volatile (P1 20): 20-3F\n"));
}

TEST_F(ContactlessEngine, ProbeTellsTheAtsHistoricalBytesFromTheWholeAts) {
    Insert(SimCardKind::Iso14443_4);
    const ProbeReport report = ProbeReader(*channel_, {.lastSlot = 0, .nonVolatile = false});
    EXPECT_EQ(report.wholeAts.result, FormTrial::Result::Refused);
    EXPECT_EQ(report.wholeAts.note, "the historical bytes only");
    EXPECT_EQ(report.atsReply, reader_->Iso()->HistoricalBytes());
    EXPECT_EQ(report.generalAuthenticate.result, FormTrial::Result::NotTried);
}

TEST_F(ContactlessEngine, ReadsAnNtagsPagesAndItsNdefMessage) {
    Insert(SimCardKind::Ntag213);
    const TagImage tag = ReadTag(*channel_, 0x0003);
    EXPECT_EQ(tag.layout.type, TagType::Ntag213);
    EXPECT_EQ(tag.pagesRead, 45);
    // Every page as the chip holds it, up to the password and its acknowledge (read as zeros).
    const Bytes& memory = reader_->Ultralight()->Memory();
    EXPECT_EQ(Bytes(tag.bytes.begin(), tag.bytes.begin() + 43 * 4),
              Bytes(memory.begin(), memory.begin() + 43 * 4));
    std::string error;
    const auto tlv = FindNdefTlv(tag.UserMemory(), error);
    ASSERT_TRUE(tlv) << error;
    const NdefMessage message = DecodeNdefMessage(*tlv);
    ASSERT_EQ(message.records.size(), 2u);
    EXPECT_EQ(RecordText(message.records[0]), "URI https://example.org/zp");
    EXPECT_EQ(RecordText(message.records[1]), "Text (en) ZP simulated NTAG213");
}

TEST_F(ContactlessEngine, DumpsGoBackToTheCardAsMfdAndJson) {
    Insert(SimCardKind::MifareMini, "2:A:112233445566");
    ClassicCard card(*channel_, ReaderDialect{});
    const ClassicImage image =
        card.ReadCard(ClassicLayout(ClassicType::Mini), ParseKeyFile("112233445566"));
    const std::string path =
        (std::filesystem::temp_directory_path() / "zp-contactless-test.mfd").string();
    std::string error;
    ASSERT_TRUE(SaveMfd(path, image, error)) << error;
    const auto loaded = LoadMfd(path, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->bytes, image.bytes);
    EXPECT_EQ(loaded->type, ClassicType::Mini);
    EXPECT_FALSE(ImageFromMfd(Bytes(1000), error));
    EXPECT_THAT(error, HasSubstr("1000"));

    const auto fromJson = ClassicImageFromJson(ClassicImageJson(image), error);
    ASSERT_TRUE(fromJson) << error;
    EXPECT_EQ(fromJson->bytes, image.bytes);
    EXPECT_EQ(fromJson->sectors[2].openedBy, (KeyCandidate{kOwnKey, KeyType::A}));
    EXPECT_EQ(fromJson->uid, image.uid);

    // Written back under the keys that opened each sector: data blocks and trailers.
    std::vector<std::optional<KeyCandidate>> keys;
    for (const SectorRead& sector : image.sectors) {
        keys.push_back(sector.openedBy);
    }
    const auto writes = WriteClassicImage(card, *fromJson, keys);
    EXPECT_EQ(writes.size(), 19u);  // 5 sectors of 4 blocks, block 0 left alone
    for (const DumpWrite& write : writes) {
        EXPECT_TRUE(write.step.Ok()) << write.block;
    }
}

}  // namespace
