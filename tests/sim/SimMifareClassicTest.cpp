#include <gtest/gtest.h>

#include "ContactlessSupport.h"
#include "sim/SimMifareClassic.h"

namespace {
const Bytes kOk = Hex("90 00");
const Bytes kRefused = Hex("69 82");
const Bytes kFailed = Hex("63 00");

// Access bytes 6-8 of a trailer giving group g the condition C1 C2 C3 in conditions[g].
SimMifareClassic::Block Trailer(const int (&conditions)[4]) {
    int c1 = 0, c2 = 0, c3 = 0;
    for (int g = 0; g < 4; ++g) {
        c1 |= (conditions[g] >> 2 & 1) << g;
        c2 |= (conditions[g] >> 1 & 1) << g;
        c3 |= (conditions[g] & 1) << g;
    }
    SimMifareClassic::Block trailer;
    trailer.fill(0xFF);
    trailer[6] = static_cast<std::uint8_t>((~c2 & 0xF) << 4 | (~c1 & 0xF));
    trailer[7] = static_cast<std::uint8_t>(c1 << 4 | (~c3 & 0xF));
    trailer[8] = static_cast<std::uint8_t>(c3 << 4 | c2);
    trailer[9] = 0x69;
    return trailer;
}

// A 1K card with factory keys loaded in slots 00 (as key A) and 01.
class ClassicCard : public ::testing::Test {
  protected:
    ClassicCard() : card_(Contactless(SimCardKind::Mifare1K)), chip_(*card_->Classic()) {
        EXPECT_EQ(Send(*card_, "FF 82 00 00 06 FF FF FF FF FF FF"), kOk);
        EXPECT_EQ(Send(*card_, "FF 82 00 01 06 FF FF FF FF FF FF"), kOk);
    }
    Bytes Auth(int block, char key) {
        const Bytes command = {0xFF,
                               0x86,
                               0x00,
                               0x00,
                               0x05,
                               0x01,
                               0x00,
                               static_cast<std::uint8_t>(block),
                               static_cast<std::uint8_t>(key == 'A' ? 0x60 : 0x61),
                               0x00};
        return card_->Transmit(command);
    }

    std::unique_ptr<SimContactlessReader> card_;
    SimMifareClassic& chip_;
};

struct AccessRow {
    int condition;  // C1 C2 C3 of sector 1's data blocks
    int trailer;    // C1 C2 C3 of its trailer
    char key;
    const char* command;
    Bytes reply;
};

TEST_F(ClassicCard, DataBlockOperationsFollowTheAccessBitsOfTheKeyUsed) {
    constexpr const char* kRead = "FF B0 00 04 10";
    constexpr const char* kWrite = "FF D6 00 04 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F";
    constexpr const char* kIncrement = "FF D7 00 04 05 01 00 00 00 01";
    constexpr const char* kDecrement = "FF D7 00 04 05 02 00 00 00 01";
    constexpr const char* kRestore = "FF D7 00 04 02 03 05";
    const AccessRow rows[] = {
        {0b000, 0b011, 'A', kRead, {}},
        {0b000, 0b011, 'B', kWrite, kOk},
        {0b000, 0b011, 'A', kIncrement, kOk},
        {0b001, 0b011, 'A', kWrite, kRefused},
        {0b001, 0b011, 'B', kDecrement, kOk},
        {0b001, 0b011, 'A', kIncrement, kRefused},
        {0b010, 0b011, 'B', kRead, {}},
        {0b010, 0b011, 'A', kWrite, kRefused},
        {0b010, 0b011, 'A', kDecrement, kRefused},
        {0b011, 0b011, 'A', kRead, kRefused},
        {0b011, 0b011, 'B', kWrite, kOk},
        {0b011, 0b011, 'A', kWrite, kRefused},
        {0b100, 0b011, 'A', kWrite, kRefused},
        {0b100, 0b011, 'B', kWrite, kOk},
        {0b100, 0b011, 'B', kIncrement, kRefused},
        {0b101, 0b011, 'B', kRead, {}},
        {0b101, 0b011, 'A', kRead, kRefused},
        {0b101, 0b011, 'B', kWrite, kRefused},
        {0b110, 0b011, 'A', kIncrement, kRefused},
        {0b110, 0b011, 'B', kIncrement, kOk},
        {0b110, 0b011, 'A', kDecrement, kOk},
        {0b110, 0b011, 'A', kRestore, kOk},
        {0b110, 0b011, 'A', kWrite, kRefused},
        {0b111, 0b011, 'B', kRead, kRefused},
        {0b111, 0b011, 'A', kRead, kRefused},
        // A key B that the trailer lets key A read opens nothing.
        {0b000, 0b001, 'B', kRead, kRefused},
        {0b000, 0b000, 'B', kWrite, kRefused},
        {0b000, 0b001, 'A', kWrite, kOk},
    };
    for (const AccessRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.condition << "/" << row.trailer << " key " << row.key
                                        << ": " << row.command);
        chip_.SetRawBlock(4, SimMifareClassic::ValueBlock(50, 4));
        chip_.SetRawBlock(5, SimMifareClassic::ValueBlock(7, 5));
        chip_.SetRawBlock(7, Trailer({row.condition, row.condition, row.condition, row.trailer}));
        ASSERT_EQ(Auth(4, row.key), kOk);
        Bytes expected = row.reply;
        if (expected.empty()) {  // a read that succeeds gives the block
            const auto& block = chip_.RawBlock(4);
            expected.assign(block.begin(), block.end());
            expected.insert(expected.end(), {0x90, 0x00});
        }
        EXPECT_EQ(Send(*card_, row.command), expected);
        chip_.Select();
    }
}

TEST_F(ClassicCard, TrailersHideKeyAAndShowKeyBOnlyWhereAllowed) {
    chip_.SetSectorKey(2, SimKeyType::B, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(Auth(8, 'A'), kOk);
    // Transport access bits: key B readable with key A.
    EXPECT_EQ(Send(*card_, "FF B0 00 0B 10"),
              Hex("00 00 00 00 00 00 FF 07 80 69 01 02 03 04 05 06 90 00"));

    chip_.SetRawBlock(11, Trailer({0, 0, 0, 0b011}));
    chip_.SetSectorKey(2, SimKeyType::B, kSimFactoryKey);
    chip_.Select();
    ASSERT_EQ(Auth(8, 'B'), kOk);
    const auto& raw = chip_.RawBlock(11);
    Bytes expected(6, 0x00);
    expected.insert(expected.end(), raw.begin() + 6, raw.begin() + 10);
    expected.insert(expected.end(), {0, 0, 0, 0, 0, 0, 0x90, 0x00});
    EXPECT_EQ(Send(*card_, "FF B0 00 0B 10"), expected);
}

TEST_F(ClassicCard, ATrailerWriteChangesOnlyThePartsTheKeyMayWrite) {
    // 100: keys written with key B, access bits never.
    chip_.SetRawBlock(11, Trailer({0, 0, 0, 0b100}));
    const auto before = chip_.RawBlock(11);
    ASSERT_EQ(Auth(8, 'B'), kOk);
    EXPECT_EQ(Send(*card_, "FF D6 00 0B 10 A0 A1 A2 A3 A4 A5 FF 07 80 69 B0 B1 B2 B3 B4 B5"), kOk);
    const auto& after = chip_.RawBlock(11);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 6), Hex("A0 A1 A2 A3 A4 A5"));
    EXPECT_EQ(Bytes(after.begin() + 6, after.begin() + 10),
              Bytes(before.begin() + 6, before.begin() + 10));
    EXPECT_EQ(Bytes(after.begin() + 10, after.end()), Hex("B0 B1 B2 B3 B4 B5"));

    chip_.Select();
    ASSERT_EQ(Auth(8, 'A'), Hex("63 00"));  // key A is no longer the factory key
}

TEST_F(ClassicCard, AFailedAuthenticationHaltsTheCardUntilItIsSelectedAgain) {
    chip_.SetSectorKey(5, SimKeyType::A, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    EXPECT_EQ(Auth(20, 'A'), kFailed);
    EXPECT_EQ(Auth(0, 'A'), kFailed);  // the right key, but the card does not answer
    EXPECT_EQ(Send(*card_, "FF B0 00 01 10"), kFailed);
    EXPECT_EQ(Send(*card_, "FF CA 00 00 00"), Hex("5A 50 C1 01 90 00"));  // the reader's own

    card_->PowerDown();
    EXPECT_EQ(Auth(0, 'A'), kOk);
    EXPECT_EQ(Send(*card_, "FF 82 00 02 06 11 22 33 44 55 66"), kOk);
    EXPECT_EQ(card_->Transmit(Hex("FF 88 00 14 60 02")), kOk);  // the older form
    EXPECT_EQ(Send(*card_, "FF B0 00 00 10").size(), 2u);       // sector 0 no longer open
}

TEST_F(ClassicCard, ValueBlocksAreStoredChangedRestoredAndChecked) {
    struct Step {
        const char* command;
        Bytes reply;
    };
    const Step steps[] = {
        {"FF B1 00 04 04", Hex("69 81")},  // zeros are no value block
        {"FF D7 00 04 05 01 00 00 00 01", kRefused},
        {"FF D7 00 04 05 00 00 00 00 64", kOk},  // store 100
        {"FF B0 00 04 10", Hex("64 00 00 00 9B FF FF FF 64 00 00 00 04 FB 04 FB 90 00")},
        {"FF D7 00 04 05 01 00 00 00 05", kOk},
        {"FF D7 00 04 05 02 00 00 00 0A", kOk},
        {"FF B1 00 04 04", Hex("00 00 00 5F 90 00")},  // 95
        {"FF D7 00 04 05 02 00 00 00 60", kOk},
        {"FF B1 00 04 04", Hex("FF FF FF FF 90 00")},  // -1
        {"FF D7 00 04 02 03 06", kOk},
        {"FF B1 00 06 04", Hex("FF FF FF FF 90 00")},
        {"FF D7 00 04 05 02 7F FF FF FF", kOk},       // down to the smallest value
        {"FF D7 00 04 05 02 00 00 00 01", kRefused},  // no wrap-around
    };
    ASSERT_EQ(Auth(4, 'A'), kOk);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        EXPECT_EQ(Send(*card_, step.command), step.reply);
        if (step.reply == kRefused) {
            ASSERT_EQ(Auth(4, 'A'), kOk);  // a refusal ends the authentication
        }
    }
    auto corrupted = chip_.RawBlock(6);
    corrupted[5] ^= 0x01;
    chip_.SetRawBlock(6, corrupted);
    EXPECT_EQ(Send(*card_, "FF D7 00 06 05 01 00 00 00 01"), kRefused);
}

TEST_F(ClassicCard, BlockZeroIsReadOnlyAndBadAccessBitsLockTheSector) {
    ASSERT_EQ(Auth(0, 'A'), kOk);
    EXPECT_EQ(Send(*card_, "FF D6 00 00 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
              kRefused);
    auto trailer = Trailer({0, 0, 0, 0b001});
    trailer[8] ^= 0x01;  // C2 of block 0 disagrees with its inverted copy
    chip_.SetRawBlock(15, trailer);
    ASSERT_EQ(Auth(12, 'A'), kOk);
    EXPECT_EQ(Send(*card_, "FF B0 00 0D 10"), kRefused);
}

TEST(SimMifareClassic, SectorsOfEachSizeAndTheirTrailers) {
    struct Row {
        SimMifareClassic::Size size;
        int sectors, blocks, sak;
    };
    const Row rows[] = {{SimMifareClassic::Size::Mini, 5, 20, 0x09},
                        {SimMifareClassic::Size::k1K, 16, 64, 0x08},
                        {SimMifareClassic::Size::k4K, 40, 256, 0x18}};
    for (const Row& row : rows) {
        SimMifareClassic chip(row.size);
        EXPECT_EQ(chip.SectorCount(), row.sectors);
        EXPECT_EQ(chip.BlockCount(), row.blocks);
        EXPECT_EQ(chip.Sak(), row.sak);
        EXPECT_EQ(chip.RawBlock(0)[5], row.sak);
        const auto& last = chip.RawBlock(row.blocks - 1);
        EXPECT_EQ(Bytes(last.begin() + 6, last.begin() + 10), Hex("FF 07 80 69"));
    }
    const std::pair<int, int> blockSector[] = {
        {127, 31}, {128, 32}, {143, 32}, {144, 33}, {255, 39}};
    for (const auto& [block, sector] : blockSector) {
        EXPECT_EQ(SimMifareClassic::SectorOf(block), sector) << block;
    }
    EXPECT_EQ(SimMifareClassic::TrailerOf(32), 143);
}

TEST(SimMifareClassic, ALargeSectorGivesEachGroupOfFiveBlocksItsOwnConditions) {
    auto card = Contactless(SimCardKind::Mifare4K);
    SimMifareClassic& chip = *card->Classic();
    // Sector 32 (blocks 128-143): blocks 128-132 read-only for everyone but B, 133-137 free.
    chip.SetRawBlock(143, Trailer({0b101, 0b000, 0b000, 0b011}));
    ASSERT_EQ(Send(*card, "FF 82 00 00 06 FF FF FF FF FF FF"), kOk);
    ASSERT_EQ(Send(*card, "FF 86 00 00 05 01 00 80 60 00"), kOk);
    EXPECT_EQ(Send(*card, "FF B0 00 85 10").size(), 18u);
    EXPECT_EQ(Send(*card, "FF B0 00 84 10"), kRefused);
}
}  // namespace
