#include "pcsc/PcscStorageCard.h"

#include <gtest/gtest.h>
#include <winscard.h>

#include <numeric>
#include <vector>

namespace {
using Bytes = std::vector<std::uint8_t>;

// A reader with a storage card of `size` bytes behind the storage-card commands. It can
// answer fewer or more data bytes than asked, or a chosen status word from the n-th
// command on, and records every command it was sent.
struct FakeStorageReader {
    explicit FakeStorageReader(std::size_t size) : memory(size) {
        std::iota(memory.begin(), memory.end(), std::uint8_t{0});
    }

    std::uint32_t Exchange(std::span<const std::uint8_t> command, Bytes& response) {
        commands.emplace_back(command.begin(), command.end());
        if (failAt != 0 && commands.size() >= failAt) {
            if (exchangeCode != 0) {
                return exchangeCode;
            }
            response = {static_cast<std::uint8_t>(status >> 8),
                        static_cast<std::uint8_t>(status & 0xFF)};
            return 0;
        }
        const std::size_t address = std::size_t{command[2]} << 8 | command[3];
        if (address >= memory.size()) {
            response = {0x6B, 0x00};
            return 0;
        }
        switch (command[1]) {
            case 0xB0: {
                const std::size_t end = std::min(memory.size(), address + command[4] + extra);
                response.assign(memory.begin() + static_cast<std::ptrdiff_t>(address),
                                memory.begin() + static_cast<std::ptrdiff_t>(end));
                if (endWarning && address + command[4] > memory.size()) {
                    response.push_back(0x62);
                    response.push_back(0x82);
                    return 0;
                }
                break;
            }
            case 0xD6:
                if (address + command[4] > memory.size()) {
                    response = {0x6B, 0x00};
                    return 0;
                }
                std::copy(command.begin() + 5, command.end(),
                          memory.begin() + static_cast<std::ptrdiff_t>(address));
                response.clear();
                break;
            default:
                response.clear();
        }
        response.push_back(0x90);
        response.push_back(0x00);
        return 0;
    }

    PcscStorageCard Card() {
        return PcscStorageCard([this](std::span<const std::uint8_t> command, Bytes& response) {
            return Exchange(command, response);
        });
    }

    Bytes memory;
    std::vector<Bytes> commands;
    std::size_t extra = 0;    // data bytes answered beyond the count asked
    bool endWarning = false;  // a read past the end answers 62 82 rather than a short 90 00
    std::size_t failAt = 0;   // 1-based command from which on the card fails
    std::uint32_t status = 0;
    std::uint32_t exchangeCode = 0;
};

TEST(PcscStorageCardAtr, StorageCardAnnouncedInHistoricalBytes) {
    // Interface bytes TD1 TD2, then historical bytes 80 4F 0C RID ...
    const Bytes storage = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                           0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
    EXPECT_TRUE(IsStorageCardAtr(storage));
    // The identifier alone as the only historical bytes, no interface bytes.
    EXPECT_TRUE(IsStorageCardAtr(Bytes{0x3B, 0x05, 0xA0, 0x00, 0x00, 0x03, 0x06}));
}

TEST(PcscStorageCardAtr, OtherAnswersAreNotStorageCards) {
    // A T=1 processor card.
    EXPECT_FALSE(
        IsStorageCardAtr(Bytes{0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01, 0x00, 0x0B}));
    // The identifier bytes sitting in the interface bytes, not the historical bytes.
    EXPECT_FALSE(IsStorageCardAtr(Bytes{0x3B, 0x70, 0xA0, 0x00, 0x00, 0x03, 0x06}));
    // Historical bytes cut short before the identifier is complete.
    EXPECT_FALSE(IsStorageCardAtr(Bytes{0x3B, 0x0F, 0xA0, 0x00, 0x00, 0x03}));
    // A TD chain running off the end, a bare T0, nothing at all.
    EXPECT_FALSE(IsStorageCardAtr(Bytes{0x3B, 0x80}));
    EXPECT_FALSE(IsStorageCardAtr(Bytes{0x3B, 0x80, 0x80}));
    EXPECT_FALSE(IsStorageCardAtr(Bytes{0x3B}));
    EXPECT_FALSE(IsStorageCardAtr(Bytes{}));
}

TEST(PcscStorageCardCommands, CommandBytes) {
    EXPECT_EQ(ReadBinaryCommand(0x0123, 0x10), (Bytes{0xFF, 0xB0, 0x01, 0x23, 0x10}));
    EXPECT_EQ(UpdateBinaryCommand(0x03FF, Bytes{0xAA, 0xBB}),
              (Bytes{0xFF, 0xD6, 0x03, 0xFF, 0x02, 0xAA, 0xBB}));
    EXPECT_EQ(VerifyCommand(Bytes{0x12, 0x34, 0x56}),
              (Bytes{0xFF, 0x20, 0x00, 0x00, 0x03, 0x12, 0x34, 0x56}));
    EXPECT_EQ(VerifyCommand(Bytes{0x12, 0x34}, 0x02),
              (Bytes{0xFF, 0x20, 0x00, 0x02, 0x02, 0x12, 0x34}));
}

TEST(PcscStorageCardCommands, StatusWordCodes) {
    EXPECT_EQ(StatusWordCode(Bytes{0x90, 0x00}), 0u);
    EXPECT_EQ(StatusWordCode(Bytes{0x01, 0x02, 0x90, 0x00}), 0u);
    EXPECT_EQ(StatusWordCode(Bytes{0x69, 0x82}), 0x00006982u);
    EXPECT_EQ(StatusWordCode(Bytes{0x90, 0x00, 0x63, 0xC1}), 0x000063C1u);
    EXPECT_EQ(StatusWordCode(Bytes{0x90}), static_cast<std::uint32_t>(SCARD_F_COMM_ERROR));
    EXPECT_EQ(StatusWordCode(Bytes{}), static_cast<std::uint32_t>(SCARD_F_COMM_ERROR));
}

TEST(PcscStorageCardRead, LongReadIsSplitIntoShortCommands) {
    FakeStorageReader reader(1024);
    Bytes buffer(601, 0xEE);
    std::uint32_t length = 600;
    EXPECT_EQ(reader.Card().Read(300, buffer.data(), &length), 0u);
    EXPECT_EQ(length, 600u);
    ASSERT_EQ(reader.commands.size(), 3u);
    EXPECT_EQ(reader.commands[0], (Bytes{0xFF, 0xB0, 0x01, 0x2C, 0xFF}));
    EXPECT_EQ(reader.commands[1], (Bytes{0xFF, 0xB0, 0x02, 0x2B, 0xFF}));
    EXPECT_EQ(reader.commands[2], (Bytes{0xFF, 0xB0, 0x03, 0x2A, 90}));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 600, reader.memory.begin() + 300));
    EXPECT_EQ(buffer[600], 0xEE);
}

TEST(PcscStorageCardRead, NeverDeliversMoreThanRequested) {
    FakeStorageReader reader(256);
    reader.extra = 40;  // the card answers 40 bytes more than asked
    Bytes buffer(21, 0xEE);
    std::uint32_t length = 20;
    EXPECT_EQ(reader.Card().Read(16, buffer.data(), &length), 0u);
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(buffer[20], 0xEE);
    EXPECT_EQ(buffer[0], 16);
}

// 56 bytes remain from address 200: the card answers those, with a short 90 00 or with
// 62 82 (end reached), and the read delivers them and stops.
TEST(PcscStorageCardRead, ReadPastTheEndDeliversTheBytesThatExist) {
    for (const bool endWarning : {false, true}) {
        FakeStorageReader reader(256);
        reader.endWarning = endWarning;
        Bytes buffer(301, 0xEE);
        std::uint32_t length = 300;
        EXPECT_EQ(reader.Card().Read(200, buffer.data(), &length), 0u);
        EXPECT_EQ(length, 56u);
        EXPECT_EQ(reader.commands.size(), 1u);
        EXPECT_EQ(buffer[55], 255);
        EXPECT_EQ(buffer[56], 0xEE);
    }
    // A second piece that ends early, and a third that starts past the end (6B 00).
    struct Case {
        std::uint32_t size;
        std::size_t commands;
    };
    for (const Case c : {Case{300, 2}, Case{510, 3}}) {
        FakeStorageReader reader(c.size);
        reader.endWarning = true;
        Bytes buffer(600);
        std::uint32_t length = 600;
        EXPECT_EQ(reader.Card().Read(0, buffer.data(), &length), 0u);
        EXPECT_EQ(length, c.size);
        EXPECT_EQ(reader.commands.size(), c.commands);
    }
}

// An area addressed from its first byte: reads stop at its end, writes may not pass it.
TEST(PcscStorageCardArea, ReadsStopAndWritesEndAtTheArea) {
    FakeStorageReader reader(52);
    Bytes buffer(27, 0xEE);
    std::uint32_t length = 26;
    EXPECT_EQ(reader.Card().ReadArea(12, 26, 20, buffer.data(), &length), 0u);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(reader.commands.back(), (Bytes{0xFF, 0xB0, 0x00, 32, 6}));
    EXPECT_EQ(buffer[5], 37);
    const Bytes data(7, 0x00);
    EXPECT_EQ(reader.Card().WriteArea(12, 26, 20, data.data(), 6), 0u);
    EXPECT_EQ(reader.commands.back()[3], 32);
    const auto invalid = static_cast<std::uint32_t>(SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(reader.Card().WriteArea(12, 26, 20, data.data(), 7), invalid);
    length = 1;
    EXPECT_EQ(reader.Card().ReadArea(12, 26, 26, buffer.data(), &length), invalid);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(reader.commands.size(), 2u);
    EXPECT_EQ(reader.memory[37], 0x00);
    EXPECT_EQ(reader.memory[38], 38);
}

TEST(PcscStorageCardRead, StatusWordStopsTheReadAndIsTheCode) {
    FakeStorageReader reader(1024);
    reader.failAt = 2;
    reader.status = 0x6581;  // memory failure
    Bytes buffer(401);
    std::uint32_t length = 400;
    EXPECT_EQ(reader.Card().Read(0, buffer.data(), &length), 0x00006581u);
    EXPECT_EQ(length, 255u);  // what arrived before the failing piece
    EXPECT_EQ(reader.commands.size(), 2u);
}

TEST(PcscStorageCardRead, ExchangeFailureIsPassedOn) {
    FakeStorageReader reader(256);
    reader.failAt = 1;
    reader.exchangeCode = static_cast<std::uint32_t>(SCARD_W_REMOVED_CARD);
    Bytes buffer(5);
    std::uint32_t length = 4;
    EXPECT_EQ(reader.Card().Read(0, buffer.data(), &length),
              static_cast<std::uint32_t>(SCARD_W_REMOVED_CARD));
    EXPECT_EQ(length, 0u);
}

TEST(PcscStorageCardRead, OutOfReachOrEmptyReadsSendNothing) {
    FakeStorageReader reader(256);
    Bytes buffer(3);
    std::uint32_t length = 2;
    EXPECT_EQ(reader.Card().Read(0xFFFF, buffer.data(), &length),
              static_cast<std::uint32_t>(SCARD_E_INVALID_VALUE));
    EXPECT_EQ(length, 0u);
    length = 1;
    EXPECT_EQ(reader.Card().Read(0xFFFFFFFF, buffer.data(), &length),
              static_cast<std::uint32_t>(SCARD_E_INVALID_VALUE));
    length = 0;
    EXPECT_EQ(reader.Card().Read(10, buffer.data(), &length), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(reader.Card().Read(0, buffer.data(), nullptr),
              static_cast<std::uint32_t>(SCARD_E_INVALID_PARAMETER));
    EXPECT_TRUE(reader.commands.empty());
}

TEST(PcscStorageCardWrite, LongWriteIsSplitAndLandsInMemory) {
    FakeStorageReader reader(1024);
    Bytes data(300);
    std::iota(data.begin(), data.end(), std::uint8_t{0x40});
    EXPECT_EQ(reader.Card().Write(0x3F0 - 300, data.data(), 300), 0u);
    ASSERT_EQ(reader.commands.size(), 2u);
    // The last piece first, so that a write past the end is refused before any byte changes.
    EXPECT_EQ((Bytes{reader.commands[0].begin(), reader.commands[0].begin() + 5}),
              (Bytes{0xFF, 0xD6, 0x03, 0xC3, 45}));
    EXPECT_EQ(reader.commands[1].size(), 5u + 255u);
    EXPECT_EQ(reader.commands[1][4], 255);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), reader.memory.begin() + 0x3F0 - 300));

    const Bytes before = reader.memory;
    const Bytes zeros(300, 0x00);
    EXPECT_EQ(reader.Card().Write(1024 - 299, zeros.data(), 300), 0x00006B00u);
    EXPECT_EQ(reader.commands.size(), 3u);
    EXPECT_EQ(reader.memory, before);
}

TEST(PcscStorageCardWrite, RefusedPieceStopsTheWrite) {
    FakeStorageReader reader(1024);
    reader.failAt = 1;
    reader.status = 0x6581;
    Bytes data(300, 0x11);
    EXPECT_EQ(reader.Card().Write(0, data.data(), 300), 0x00006581u);
    EXPECT_EQ(reader.commands.size(), 1u);
    EXPECT_EQ(reader.Card().Write(0xFFF0, data.data(), 17),
              static_cast<std::uint32_t>(SCARD_E_INVALID_VALUE));
    EXPECT_EQ(reader.Card().Write(0, nullptr, 4),
              static_cast<std::uint32_t>(SCARD_E_INVALID_PARAMETER));
    EXPECT_EQ(reader.commands.size(), 1u);
}

TEST(PcscStorageCardVerify, CodeIsSentAndStatusReported) {
    FakeStorageReader reader(256);
    const Bytes code{0xFF, 0xFF, 0xFF};
    EXPECT_EQ(reader.Card().Verify(code), 0u);
    EXPECT_EQ(reader.commands.back(), (Bytes{0xFF, 0x20, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(reader.Card().Verify(code, 0x01), 0u);
    EXPECT_EQ(reader.commands.back()[3], 0x01);
    reader.failAt = 2;
    reader.status = 0x63C2;  // wrong code, two tries left
    EXPECT_EQ(reader.Card().Verify(code), 0x000063C2u);
}
}  // namespace

// 00 00 is no status word a card gives; read as a value it would be success.
TEST(PcscStorageCardCommands, StatusWordZeroIsNoSuccess) {
    const auto commError = static_cast<std::uint32_t>(SCARD_F_COMM_ERROR);
    EXPECT_EQ(StatusWordCode(Bytes{0x00, 0x00}), commError);
    EXPECT_EQ(StatusWordCode(Bytes{0x90, 0x00, 0x00, 0x00}), commError);
    FakeStorageReader reader(64);
    reader.failAt = 1;  // every command answered 00 00
    Bytes buffer(9, 0xEE);
    std::uint32_t length = 8;
    EXPECT_EQ(reader.Card().Read(0, buffer.data(), &length), commError);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer, Bytes(9, 0xEE));
    const Bytes data{0x12, 0x34};
    EXPECT_EQ(reader.Card().Write(0, data.data(), 2), commError);
    EXPECT_EQ(reader.Card().Verify(Bytes{0xFF, 0xFF, 0xFF}), commError);
}
