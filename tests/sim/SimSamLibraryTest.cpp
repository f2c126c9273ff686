#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "core/session/PcscCodes.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimSamLibrary.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class SimSamLibraryTest : public ::testing::Test {
  protected:
    SimSamLibraryTest() : cards_({"Reader A", "Reader B"}), sam_(cards_) {}

    // Connects to the SAM of `reader`, expecting success; the handle.
    std::uint32_t Connect(const char* reader = "Reader B", std::uint32_t* protocols = nullptr) {
        std::uint32_t handle = 0;
        std::uint32_t flags = 0;
        EXPECT_EQ(sam_.SamConnect(reader, 1, 3, &handle, &flags), 0u);
        if (protocols != nullptr) {
            *protocols = flags;
        }
        return handle;
    }

    // One exchange with a 1024-byte receive buffer; the reply, or the code as a failure.
    Bytes Exchange(std::uint32_t handle, Bytes command, std::uint32_t* result = nullptr) {
        IoRequest pci{2, 8};
        std::vector<std::uint8_t> reply(1024);
        std::uint32_t length = 1024;
        const std::uint32_t code = sam_.SamTransmit(handle, &pci, command.data(),
                                                    static_cast<std::uint32_t>(command.size()),
                                                    &pci, reply.data(), &length);
        if (result != nullptr) {
            *result = code;
        } else {
            EXPECT_EQ(code, 0u);
        }
        reply.resize(code == 0 ? length : 0);
        return reply;
    }

    SimCardLibrary cards_;
    SimSamLibrary sam_;
};

Bytes StatusWord(const Bytes& reply) {
    return reply.size() < 2 ? reply : Bytes(reply.end() - 2, reply.end());
}

TEST_F(SimSamLibraryTest, ConnectsByReaderNameWithDistinctHandles) {
    std::uint32_t protocols = 0;
    const std::uint32_t first = Connect("Reader A", &protocols);
    const std::uint32_t second = Connect("Reader B");
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(protocols, 2u);
    EXPECT_EQ(sam_.OpenConnectionCount(), 2);

    std::uint32_t handle = 0;
    std::uint32_t flags = 0;
    EXPECT_EQ(sam_.SamConnect("Reader C", 1, 3, &handle, &flags), pcsc_codes::kUnknownReader);
    EXPECT_EQ(sam_.SamConnect(nullptr, 1, 3, &handle, &flags), pcsc_codes::kUnknownReader);
    EXPECT_EQ(handle, 0u);
}

TEST_F(SimSamLibraryTest, ProtocolFlagsAreDeliveredAsSet) {
    for (std::uint32_t flags : {1u, 3u, 0u}) {
        sam_.SetSamProtocols(1, flags);
        std::uint32_t reported = 0xFF;
        Connect("Reader B", &reported);
        EXPECT_EQ(reported, flags);
    }
    sam_.SetSamProtocols(1, 1);
    std::uint32_t handle = 0;
    std::uint32_t flags = 0;
    EXPECT_EQ(sam_.SamConnect("Reader B", 1, 2, &handle, &flags), pcsc_codes::kProtoMismatch);
}

TEST_F(SimSamLibraryTest, GetChallengeAnswersLeRandomBytes) {
    const std::uint32_t handle = Connect();
    const Bytes first = Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08});
    const Bytes second = Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08});
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(StatusWord(first), (Bytes{0x90, 0x00}));
    EXPECT_NE(first, second);
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x00}).size(), 258u);
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00, 0x00}), (Bytes{0x67, 0x00}));
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x01, 0x00, 0x08}), (Bytes{0x6A, 0x86}));
}

TEST_F(SimSamLibraryTest, VersionAndSerialNumber) {
    const std::uint32_t handle = Connect("Reader B");
    const Bytes version = Exchange(handle, {0x80, 0xCA, 0x00, 0x00, 0x00});
    EXPECT_EQ(std::string(version.begin(), version.end() - 2), "SAM V1.00");
    EXPECT_EQ(StatusWord(version), (Bytes{0x90, 0x00}));

    Bytes serial = SimSamLibrary::SerialNumber(1);
    ASSERT_EQ(serial.size(), 8u);
    EXPECT_NE(serial, SimSamLibrary::SerialNumber(0));
    serial.insert(serial.end(), {0x90, 0x00});
    EXPECT_EQ(Exchange(handle, {0x80, 0xCA, 0x00, 0x01, 0x08}), serial);
    EXPECT_EQ(Exchange(handle, {0x80, 0xCA, 0x00, 0x01}), serial);
    EXPECT_EQ(Exchange(handle, {0x80, 0xCA, 0x00, 0x01, 0x04}), (Bytes{0x6C, 0x08}));
    EXPECT_EQ(Exchange(handle, {0x80, 0xCA, 0x00, 0x07, 0x08}), (Bytes{0x6A, 0x88}));
}

TEST_F(SimSamLibraryTest, UnknownCommandsAreRefusedByStatusWord) {
    const std::uint32_t handle = Connect();
    EXPECT_EQ(Exchange(handle, {0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00}), (Bytes{0x6D, 0x00}));
    EXPECT_EQ(Exchange(handle, {0x80, 0x50, 0x00, 0x00, 0x08}), (Bytes{0x6D, 0x00}));
    EXPECT_EQ(Exchange(handle, {0xA0, 0x84, 0x00, 0x00, 0x08}), (Bytes{0x6E, 0x00}));
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00}), (Bytes{0x67, 0x00}));
}

TEST_F(SimSamLibraryTest, RemovedSamEndsItsConnections) {
    const std::uint32_t handle = Connect();
    sam_.RemoveSam(1);
    EXPECT_FALSE(sam_.HasSam(1));
    EXPECT_TRUE(sam_.HasSam(0));
    std::uint32_t result = 0;
    Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}, &result);
    EXPECT_EQ(result, pcsc_codes::kRemovedCard);

    std::uint32_t other = 0;
    std::uint32_t flags = 0;
    EXPECT_EQ(sam_.SamConnect("Reader B", 1, 3, &other, &flags), pcsc_codes::kNoSmartcard);

    sam_.InsertSam(1);
    Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}, &result);
    EXPECT_EQ(result, pcsc_codes::kRemovedCard) << "an old connection stays gone";
    EXPECT_EQ(Exchange(Connect(), {0x00, 0x84, 0x00, 0x00, 0x02}).size(), 4u);
    EXPECT_EQ(sam_.SamDisconnect(handle, 3), 0u);
}

TEST_F(SimSamLibraryTest, DisconnectReleasesTheHandle) {
    const std::uint32_t handle = Connect();
    EXPECT_EQ(sam_.SamDisconnect(handle, 3), 0u);
    EXPECT_EQ(sam_.SamDisconnect(handle, 3), pcsc_codes::kInvalidHandle);
    std::uint32_t result = 0;
    Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}, &result);
    EXPECT_EQ(result, pcsc_codes::kInvalidHandle);
    EXPECT_EQ(sam_.OpenConnectionCount(), 0);
}

TEST_F(SimSamLibraryTest, FailNextAnswersQueuedCodesOnce) {
    sam_.FailNext("SamConnect", 1);
    sam_.FailNext("SamConnect", 0x1F);
    std::uint32_t handle = 0;
    std::uint32_t flags = 0;
    EXPECT_EQ(sam_.SamConnect("Reader A", 1, 3, &handle, &flags), 1u);
    EXPECT_EQ(sam_.SamConnect("Reader A", 1, 3, &handle, &flags), 0x1Fu);
    EXPECT_EQ(handle, 0u);
    handle = Connect("Reader A");

    sam_.FailNext("SamTransmit", 0x80100016);
    std::uint32_t result = 0;
    Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}, &result);
    EXPECT_EQ(result, 0x80100016u);
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}).size(), 10u);

    sam_.FailNext("SamDisconnect", 2);
    EXPECT_EQ(sam_.SamDisconnect(handle, 3), 2u);
    EXPECT_EQ(sam_.SamDisconnect(handle, 3), 0u);
    EXPECT_EQ(sam_.CallCount("SamConnect"), 3);
    EXPECT_EQ(sam_.CallCount("SamTransmit"), 2);
}

TEST_F(SimSamLibraryTest, NextReplyIsDeliveredOnce) {
    const std::uint32_t handle = Connect();
    sam_.SetNextTransmitReply({0x61, 0x10});
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}), (Bytes{0x61, 0x10}));
    EXPECT_EQ(Exchange(handle, {0x00, 0x84, 0x00, 0x00, 0x08}).size(), 10u);

    sam_.SetNextTransmitReply(Bytes(12, 0x11));
    const std::array<std::uint8_t, 5> command{0x00, 0x84, 0x00, 0x00, 0x08};
    std::array<std::uint8_t, 6> buffer{};
    std::uint32_t length = 4;
    EXPECT_EQ(sam_.SamTransmit(handle, nullptr, command.data(), 5, nullptr, buffer.data(), &length),
              0u);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0x11, 0x11, 0x11, 0x11, 0, 0}));
}

TEST_F(SimSamLibraryTest, ReplyLongerThanTheBufferIsRefused) {
    const std::uint32_t handle = Connect();
    const std::array<std::uint8_t, 5> command{0x00, 0x84, 0x00, 0x00, 0x08};
    std::array<std::uint8_t, 12> buffer{};
    buffer.fill(0xEE);
    std::uint32_t length = 4;
    EXPECT_EQ(sam_.SamTransmit(handle, nullptr, command.data(), 5, nullptr, buffer.data(), &length),
              pcsc_codes::kInsufficientBuffer);
    EXPECT_EQ(length, 4u);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
}

// An out-of-contract receive length is reported as asked, but nothing is written beyond
// the buffer the caller gave.
TEST_F(SimSamLibraryTest, DeliveredLengthNeverWritesPastTheBuffer) {
    const std::uint32_t handle = Connect();
    const std::array<std::uint8_t, 5> command{0x00, 0x84, 0x00, 0x00, 0x08};
    std::vector<std::uint8_t> buffer(1024 + 16, 0xEE);
    std::uint32_t length = 1024;
    sam_.DeliverNextLength("SamTransmit", 2000);
    EXPECT_EQ(sam_.SamTransmit(handle, nullptr, command.data(), 5, nullptr, buffer.data(), &length),
              0u);
    EXPECT_EQ(length, 2000u);
    EXPECT_EQ(buffer[9], 0x00);
    EXPECT_EQ(buffer[1023], 0x00);
    EXPECT_TRUE(std::all_of(buffer.begin() + 1024, buffer.end(), [](auto b) { return b == 0xEE; }));

    length = 1024;
    EXPECT_EQ(sam_.SamTransmit(handle, nullptr, command.data(), 5, nullptr, buffer.data(), &length),
              0u);
    EXPECT_EQ(length, 10u);
}

TEST_F(SimSamLibraryTest, SlotsOutsideTheReaderListAreIgnored) {
    sam_.RemoveSam(5);
    sam_.SetSamProtocols(-1, 1);
    EXPECT_FALSE(sam_.HasSam(5));
    EXPECT_TRUE(sam_.HasSam(1));
}

}  // namespace
