#include <gtest/gtest.h>

#include "core/session/PcscCodes.h"

#include "pcsc/PcscSamLibrary.h"

namespace {

TEST(SamSlotReaderName, IsTheSameDevicesNextSlot) {
    EXPECT_EQ(SamSlotReaderName("X 00 00"), "X 00 01");
    EXPECT_EQ(SamSlotReaderName("Maker Dual Reader [SAM] (1234) 01 00"),
              "Maker Dual Reader [SAM] (1234) 01 01");
    EXPECT_EQ(SamSlotReaderName("X 00 09"), "X 00 0A");
    EXPECT_EQ(SamSlotReaderName("X 02 0F"), "X 02 10");
    EXPECT_EQ(SamSlotReaderName("X 00 FE"), "X 00 FF");
}

TEST(SamSlotReaderName, NamesWithoutASlotFieldHaveNoSamSlot) {
    EXPECT_EQ(SamSlotReaderName(""), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("00"), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("Reader"), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("X 00 0G"), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("X 00 0a"), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("X 00-00"), std::nullopt);
    EXPECT_EQ(SamSlotReaderName("X 00 FF"), std::nullopt);
}

// These answers come before the PC/SC service is asked anything.
TEST(PcscSamLibrary, RefusesWhatNeedsNoService) {
    PcscSamLibrary sam;
    std::uint32_t handle = 0;
    std::uint32_t protocols = 0;
    const auto unknownReader = pcsc_codes::kUnknownReader;
    const auto invalidHandle = pcsc_codes::kInvalidHandle;
    EXPECT_EQ(sam.SamConnect(nullptr, 1, 3, &handle, &protocols), unknownReader);
    EXPECT_EQ(sam.SamConnect("No slot field", 1, 3, &handle, &protocols), unknownReader);
    EXPECT_EQ(handle, 0u);

    std::uint8_t command[5] = {0x00, 0x84, 0x00, 0x00, 0x08};
    std::uint8_t reply[16] = {};
    std::uint32_t length = sizeof reply;
    IoRequest pci{2, 8};
    EXPECT_EQ(sam.SamTransmit(7, &pci, command, 5, &pci, reply, &length), invalidHandle);
    EXPECT_EQ(length, sizeof reply);
    EXPECT_EQ(sam.SamDisconnect(7, 3), invalidHandle);
}

}  // namespace
