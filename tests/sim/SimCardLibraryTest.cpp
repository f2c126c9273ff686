#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sim/SimCardLibrary.h"
#include "sim/SimCodes.h"

using namespace sim_codes;

namespace {
constexpr std::uint32_t kShared = 2;
constexpr std::uint32_t kT0OrT1 = 3;
constexpr std::uint32_t kEject = 3;

class SimCardLibraryTest : public ::testing::Test {
  protected:
    std::uint32_t Context() {
        std::uint32_t context = 0;
        EXPECT_EQ(kSuccess, library_.CardEstablishContext(0, nullptr, nullptr, &context));
        return context;
    }

    std::uint32_t Connect(std::uint32_t context, std::uint32_t* protocol = nullptr) {
        std::uint32_t handle = 0;
        std::uint32_t active = 0;
        EXPECT_EQ(kSuccess, library_.CardConnect(context, SimCardLibrary::DefaultReaderName,
                                                 kShared, kT0OrT1, &handle, &active));
        if (protocol != nullptr) {
            *protocol = active;
        }
        return handle;
    }

    std::uint32_t Transmit(std::uint32_t handle, std::vector<std::uint8_t> command,
                           std::vector<std::uint8_t>& reply, std::uint32_t protocol = 2) {
        const IoRequest pci{protocol, 8};
        IoRequest recvPci{protocol, 8};
        reply.assign(1024, 0);
        std::uint32_t length = 1024;
        const std::uint32_t code = library_.CardTransmit(
            handle, &pci, command.data(), command.size(), &recvPci, reply.data(), &length);
        reply.resize(code == kSuccess ? length : 0);
        return code;
    }

    std::uint32_t PresentState(std::uint32_t context, const char* reader, ReaderState& state) {
        state = ReaderState{};
        state.reader = reader;
        return library_.CardGetStatusChange(context, 0xFFFFFFFF, &state, 1);
    }

    SimCardLibrary library_;
};

const std::vector<std::uint8_t> kGetChallenge8 = {0x00, 0x84, 0x00, 0x00, 0x08};
}  // namespace

TEST_F(SimCardLibraryTest, ContextsAreNonZeroDistinctAndReleasedOnce) {
    const std::uint32_t first = Context();
    const std::uint32_t second = Context();
    EXPECT_NE(0u, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(kSuccess, library_.CardReleaseContext(first));
    EXPECT_EQ(kInvalidHandle, library_.CardReleaseContext(first));
    EXPECT_EQ(kInvalidHandle, library_.CardReleaseContext(0));
    std::uint32_t length = 0;
    EXPECT_EQ(kInvalidHandle, library_.CardListReaders(first, nullptr, nullptr, &length));
    EXPECT_EQ(kInvalidParameter, library_.CardEstablishContext(0, nullptr, nullptr, nullptr));
}

TEST_F(SimCardLibraryTest, ListsReadersAsMultiString) {
    SimCardLibrary library({"Reader A", "Reader B"});
    std::uint32_t context = 0;
    ASSERT_EQ(kSuccess, library.CardEstablishContext(0, nullptr, nullptr, &context));
    std::uint32_t length = 0;
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, nullptr, &length));
    EXPECT_EQ(19u, length);
    std::string buffer(length, 'x');
    std::uint32_t small = length - 1;
    EXPECT_EQ(kInsufficientBuffer,
              library.CardListReaders(context, nullptr, buffer.data(), &small));
    EXPECT_EQ(length, small);
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, buffer.data(), &length));
    EXPECT_EQ(std::string("Reader A\0Reader B\0\0", 19), buffer);
}

TEST_F(SimCardLibraryTest, EmptyReaderListIsOneZeroByte) {
    SimCardLibrary library(std::vector<std::string>{});
    std::uint32_t context = 0;
    ASSERT_EQ(kSuccess, library.CardEstablishContext(0, nullptr, nullptr, &context));
    std::uint32_t length = 0;
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, nullptr, &length));
    ASSERT_EQ(1u, length);
    char buffer[2] = {'x', 'x'};
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, buffer, &length));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ('x', buffer[1]);
}

TEST_F(SimCardLibraryTest, ManyReadersWithLongNamesWork) {
    std::vector<std::string> names;
    for (int i = 0; i < 45; ++i) {
        names.push_back(std::string(200, static_cast<char>('A' + i % 26)) + std::to_string(i));
    }
    SimCardLibrary library(names);
    library.InsertCard(44, SimCardKind::CpuT0);
    std::uint32_t context = 0;
    ASSERT_EQ(kSuccess, library.CardEstablishContext(0, nullptr, nullptr, &context));
    std::uint32_t length = 0;
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, nullptr, &length));
    std::string buffer(length, 'x');
    ASSERT_EQ(kSuccess, library.CardListReaders(context, nullptr, buffer.data(), &length));
    std::size_t offset = 0;
    for (int i = 0; i < 44; ++i) {
        offset += names[i].size() + 1;
    }
    EXPECT_EQ(names[44], std::string(buffer.c_str() + offset));
    EXPECT_EQ(offset + names[44].size() + 2, length);
    ReaderState state;
    state.reader = names[44].c_str();
    ASSERT_EQ(kSuccess, library.CardGetStatusChange(context, 0xFFFFFFFF, &state, 1));
    EXPECT_TRUE(state.eventState & kStatePresent);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    EXPECT_EQ(kSuccess, library.CardConnect(context, names[44].c_str(), kShared, kT0OrT1, &handle,
                                            &protocol));
    EXPECT_EQ(kProtocolT0, protocol);
}

TEST_F(SimCardLibraryTest, RawReaderListIsDeliveredAsGivenWithinTheBuffer) {
    const std::uint32_t context = Context();
    library_.SetRawReaderList(std::string("One\0Two", 7), 5);
    std::uint32_t length = 0;
    ASSERT_EQ(kSuccess, library_.CardListReaders(context, nullptr, nullptr, &length));
    EXPECT_EQ(5u, length);
    std::array<char, 8> buffer;
    buffer.fill('x');
    ASSERT_EQ(kSuccess, library_.CardListReaders(context, nullptr, buffer.data(), &length));
    EXPECT_EQ(5u, length);
    EXPECT_EQ(std::string("One\0Txxx", 8), std::string(buffer.data(), 8));
}

TEST_F(SimCardLibraryTest, StatusShowsPresenceAtrAndUse) {
    const std::uint32_t context = Context();
    ReaderState state;
    ASSERT_EQ(kSuccess, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    EXPECT_FALSE(state.eventState & kStatePresent);
    EXPECT_TRUE(state.eventState & 0x10);  // empty
    EXPECT_TRUE(state.eventState & 0x02);  // changed from "unaware"
    EXPECT_EQ(0u, state.atrLength);

    library_.InsertCard(0, SimCardKind::CpuT0);
    ASSERT_EQ(kSuccess, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    EXPECT_TRUE(state.eventState & kStatePresent);
    EXPECT_FALSE(state.eventState & 0x100);
    ASSERT_EQ(12u, state.atrLength);
    EXPECT_EQ(0x3B, state.atr[0]);
    Connect(context);
    ASSERT_EQ(kSuccess, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    EXPECT_TRUE(state.eventState & 0x100);  // in use

    ASSERT_EQ(kSuccess, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    state.currentState = state.eventState;
    ASSERT_EQ(kSuccess, library_.CardGetStatusChange(context, 0, &state, 1));
    EXPECT_FALSE(state.eventState & 0x02);
}

TEST_F(SimCardLibraryTest, StatusRefusesBadContextAndReader) {
    const std::uint32_t context = Context();
    ReaderState state;
    EXPECT_EQ(kInvalidHandle, PresentState(0, SimCardLibrary::DefaultReaderName, state));
    EXPECT_EQ(kInvalidHandle,
              PresentState(context + 100, SimCardLibrary::DefaultReaderName, state));
    EXPECT_EQ(kUnknownReader, PresentState(context, nullptr, state));
    EXPECT_EQ(kUnknownReader, PresentState(context, "No such reader", state));
    EXPECT_EQ(0u, state.eventState);
}

TEST_F(SimCardLibraryTest, ConnectReportsProtocolOfEachCard) {
    const std::uint32_t context = Context();
    const std::pair<SimCardKind, std::uint32_t> cases[] = {
        {SimCardKind::CpuT0, kProtocolT0},
        {SimCardKind::CpuT1, kProtocolT1},
        {SimCardKind::SLE4442, kProtocolMemoryCard},
        {SimCardKind::I2C, kProtocolMemoryCard}};
    for (const auto& [kind, expected] : cases) {
        library_.InsertCard(0, kind);
        std::uint32_t protocol = 0;
        const std::uint32_t handle = Connect(context, &protocol);
        EXPECT_NE(0u, handle);
        EXPECT_EQ(expected, protocol);
    }
}

TEST_F(SimCardLibraryTest, ConnectRefusals) {
    const std::uint32_t context = Context();
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    const char* reader = SimCardLibrary::DefaultReaderName;
    EXPECT_EQ(kNoSmartcard,
              library_.CardConnect(context, reader, kShared, kT0OrT1, &handle, &protocol));
    library_.InsertCard(0, SimCardKind::CpuT1);
    EXPECT_EQ(kInvalidHandle,
              library_.CardConnect(0, reader, kShared, kT0OrT1, &handle, &protocol));
    EXPECT_EQ(kUnknownReader,
              library_.CardConnect(context, nullptr, kShared, kT0OrT1, &handle, &protocol));
    EXPECT_EQ(kUnknownReader,
              library_.CardConnect(context, "Other", kShared, kT0OrT1, &handle, &protocol));
    EXPECT_EQ(kProtoMismatch,
              library_.CardConnect(context, reader, kShared, 1, &handle, &protocol));
    EXPECT_EQ(0u, handle);
}

TEST_F(SimCardLibraryTest, RefusedConnectsCountDownThenConnect) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT0);
    library_.RefuseNextConnects(2);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    const char* reader = SimCardLibrary::DefaultReaderName;
    EXPECT_EQ(kUnresponsiveCard,
              library_.CardConnect(context, reader, kShared, kT0OrT1, &handle, &protocol));
    library_.RefuseNextConnects(1, 0x1234);
    EXPECT_EQ(0x1234u, library_.CardConnect(context, reader, kShared, kT0OrT1, &handle, &protocol));
    EXPECT_EQ(kSuccess,
              library_.CardConnect(context, reader, kShared, kT0OrT1, &handle, &protocol));
    EXPECT_EQ(3, library_.CallCount("CardConnect"));
}

TEST_F(SimCardLibraryTest, RemovingTheCardInvalidatesItsHandle) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    std::vector<std::uint8_t> reply;
    ASSERT_EQ(kSuccess, Transmit(handle, kGetChallenge8, reply));
    EXPECT_EQ(10u, reply.size());

    library_.RemoveCard(0);
    EXPECT_FALSE(library_.HasCard(0));
    EXPECT_EQ(nullptr, library_.CardIn(0));
    EXPECT_EQ(kRemovedCard, Transmit(handle, kGetChallenge8, reply));
    // A new card in the same reader does not revive the old handle.
    library_.InsertCard(0, SimCardKind::CpuT1);
    EXPECT_EQ(kRemovedCard, Transmit(handle, kGetChallenge8, reply));
    std::uint8_t type[16];
    std::uint32_t length = 16;
    EXPECT_EQ(kRemovedCard, library_.CardReaderType(handle, type, &length));
    EXPECT_EQ(kRemovedCard, library_.CardDisconnect(handle, kEject));
    EXPECT_EQ(kInvalidHandle, library_.CardDisconnect(handle, kEject));
    const std::uint32_t fresh = Connect(context);
    EXPECT_NE(handle, fresh);
    EXPECT_EQ(kSuccess, Transmit(fresh, kGetChallenge8, reply));
}

// Unplugging and plugging readers: the list, the status query, the handles, and the count
// of changes that the reader-change notification reports.
TEST_F(SimCardLibraryTest, ReadersComeAndGoAndTheNotificationCountsTheChanges) {
    const std::uint32_t context = Context();
    ReaderState notification;
    notification.reader = "\\\\?pnp?\\notification";  // the name is not case-sensitive
    ASSERT_EQ(kSuccess, library_.CardGetStatusChange(context, 0, &notification, 1));
    const std::uint32_t seen = notification.eventState;
    EXPECT_NE(0u, seen >> 16);
    EXPECT_EQ(0u, seen & 0x2) << "a caller that knew no count is not told of a change";

    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    library_.DetachReader(0);
    library_.AttachReader("Second 00 00");
    ReaderState state;
    EXPECT_EQ(kUnknownReader, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    EXPECT_EQ(kReaderUnavailable, library_.CardDisconnect(handle, 0));
    std::uint32_t length = 64;
    char names[64] = {};
    ASSERT_EQ(kSuccess, library_.CardListReaders(context, nullptr, names, &length));
    EXPECT_EQ(std::string(names, length), std::string("Second 00 00\0\0", 14));

    notification.currentState = seen;
    library_.CardGetStatusChange(context, 0, &notification, 1);
    EXPECT_EQ(0x2u, notification.eventState & 0x2);
    notification.currentState = notification.eventState & ~0x2u;
    library_.CardGetStatusChange(context, 0, &notification, 1);
    EXPECT_EQ(0u, notification.eventState & 0x2);

    // Back at its old place with its card, which must be connected anew.
    library_.AttachReader(SimCardLibrary::DefaultReaderName);
    EXPECT_EQ(SimCardLibrary::DefaultReaderName, library_.Readers()[0]);
    ASSERT_EQ(kSuccess, PresentState(context, SimCardLibrary::DefaultReaderName, state));
    EXPECT_EQ(kStatePresent, state.eventState & kStatePresent);
    Connect(context);
}

TEST_F(SimCardLibraryTest, ReplacingTheCardInvalidatesHandles) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    library_.InsertCard(0, SimCardKind::CpuT1);
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(kRemovedCard, Transmit(handle, kGetChallenge8, reply));
}

TEST_F(SimCardLibraryTest, UnknownHandlesAreRefused) {
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(kInvalidHandle, Transmit(0, kGetChallenge8, reply));
    EXPECT_EQ(kInvalidHandle, library_.CardDisconnect(0, kEject));
    std::uint8_t type[17];
    std::uint32_t length = 16;
    EXPECT_EQ(kInvalidHandle, library_.CardReaderType(0, type, &length));
    std::uint8_t buffer[4];
    EXPECT_EQ(kInvalidHandle, library_.CardSLE4442ReadProtect(0, buffer));
}

TEST_F(SimCardLibraryTest, ReleasingTheContextReleasesItsHandles) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    ASSERT_EQ(kSuccess, library_.CardReleaseContext(context));
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(kInvalidHandle, Transmit(handle, kGetChallenge8, reply));
}

TEST_F(SimCardLibraryTest, DisconnectWithEjectPowersTheCardDown) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4442);
    std::uint32_t handle = Connect(context);
    ASSERT_EQ(kSuccess, library_.CardSLE4442Verify(handle, 0xFF, 0xFF, 0xFF));
    const std::uint8_t data[] = {0x11};
    ASSERT_EQ(kSuccess, library_.CardSLE4442WriteMain(handle, data, 0x40, 1));
    ASSERT_EQ(kSuccess, library_.CardDisconnect(handle, kEject));
    handle = Connect(context);
    EXPECT_EQ(kSecurityViolation, library_.CardSLE4442WriteMain(handle, data, 0x40, 1));
    // Leaving the card powered keeps the code presented.
    ASSERT_EQ(kSuccess, library_.CardSLE4442Verify(handle, 0xFF, 0xFF, 0xFF));
    ASSERT_EQ(kSuccess, library_.CardDisconnect(handle, 0));
    handle = Connect(context);
    EXPECT_EQ(kSuccess, library_.CardSLE4442WriteMain(handle, data, 0x40, 1));
    EXPECT_EQ(kInvalidValue, library_.CardDisconnect(handle, 7));
}

// As pcsc-lite does: a reset through one handle leaves every other handle on that card
// answering "reset card" until it reconnects; a reset of its own clears the mark too.
TEST_F(SimCardLibraryTest, AResetMarksTheOtherHandlesUntilTheyReconnect) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t mine = Connect(context);
    const std::uint32_t other = Connect(context);
    const std::uint32_t third = Connect(context);
    std::vector<std::uint8_t> reply;
    std::uint32_t protocol = 0;

    ASSERT_EQ(kSuccess, library_.CardReconnect(other, kShared, kT0OrT1, 0, &protocol));
    EXPECT_EQ(kSuccess, Transmit(mine, kGetChallenge8, reply)) << "leave resets nothing";
    ASSERT_EQ(kSuccess, library_.CardReconnect(other, kShared, kT0OrT1, 1, &protocol));
    EXPECT_EQ(protocol, 2u);
    EXPECT_EQ(kSuccess, Transmit(other, kGetChallenge8, reply)) << "its own reset";
    EXPECT_EQ(kResetCard, Transmit(mine, kGetChallenge8, reply));
    EXPECT_EQ(kResetCard, Transmit(mine, kGetChallenge8, reply)) << "until it reconnects";
    ASSERT_EQ(kSuccess, library_.CardReconnect(mine, kShared, kT0OrT1, 0, &protocol));
    EXPECT_EQ(kSuccess, Transmit(mine, kGetChallenge8, reply));
    ASSERT_EQ(kSuccess, library_.CardReconnect(third, kShared, kT0OrT1, 1, &protocol))
        << "a reset handle may reset the card itself";
    EXPECT_EQ(kSuccess, Transmit(third, kGetChallenge8, reply));

    ASSERT_EQ(kSuccess, library_.CardDisconnect(other, 1));
    EXPECT_EQ(kResetCard, Transmit(mine, kGetChallenge8, reply)) << "a disconnect with reset";
    EXPECT_EQ(kSuccess, library_.CardDisconnect(mine, 0)) << "a reset handle disconnects";
    EXPECT_EQ(kInvalidHandle, library_.CardReconnect(mine, kShared, kT0OrT1, 0, &protocol));
    library_.RemoveCard(0);
    EXPECT_EQ(kRemovedCard, library_.CardReconnect(third, kShared, kT0OrT1, 1, &protocol));
}

TEST_F(SimCardLibraryTest, TransmitChecksItsArguments) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT0);
    const std::uint32_t handle = Connect(context);
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(kProtoMismatch, Transmit(handle, kGetChallenge8, reply, 2));
    EXPECT_EQ(kSuccess, Transmit(handle, kGetChallenge8, reply, 1));
    std::uint8_t small[4];
    std::uint32_t length = sizeof small;
    const IoRequest pci{1, 8};
    EXPECT_EQ(kInsufficientBuffer, library_.CardTransmit(handle, &pci, kGetChallenge8.data(), 5,
                                                         nullptr, small, &length));
    EXPECT_EQ(10u, length);
    EXPECT_EQ(kInvalidParameter, library_.CardTransmit(handle, nullptr, kGetChallenge8.data(), 5,
                                                       nullptr, small, &length));
    EXPECT_EQ(kInvalidParameter, library_.CardTransmit(handle, &pci, kGetChallenge8.data(), 0,
                                                       nullptr, small, &length));
}

TEST_F(SimCardLibraryTest, FailNextFailsOnceAndCountsTheCall) {
    library_.FailNext("CardEstablishContext", 0x8010001D);
    std::uint32_t context = 0;
    EXPECT_EQ(0x8010001Du, library_.CardEstablishContext(0, nullptr, nullptr, &context));
    EXPECT_EQ(0u, context);
    context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    library_.FailNext("CardTransmit", 6);
    library_.FailNext("CardTransmit", 7);
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(6u, Transmit(handle, kGetChallenge8, reply));
    EXPECT_EQ(7u, Transmit(handle, kGetChallenge8, reply));
    EXPECT_EQ(kSuccess, Transmit(handle, kGetChallenge8, reply));
    EXPECT_EQ(3, library_.CallCount("CardTransmit"));
    EXPECT_EQ(2, library_.CallCount("CardEstablishContext"));
    EXPECT_EQ(0, library_.CallCount("CardSLE4442ReadMain"));
}

TEST_F(SimCardLibraryTest, FailNextOnAMemoryOperationLeavesTheCardAlone) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4442);
    const std::uint32_t handle = Connect(context);
    library_.FailNext("CardSLE4442Verify", 0x10);
    EXPECT_EQ(0x10u, library_.CardSLE4442Verify(handle, 1, 2, 3));
    std::uint8_t security[4];
    ASSERT_EQ(kSuccess, library_.CardSLE4442ReadSecurity(handle, security));
    EXPECT_EQ(0x07, security[0]);  // no attempt used
    EXPECT_EQ(1, library_.CallCount("CardSLE4442Verify"));
}

TEST_F(SimCardLibraryTest, DeliveredLengthNeverWritesPastTheBuffer) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4442);
    const std::uint32_t handle = Connect(context);
    std::array<std::uint8_t, 32> buffer;
    buffer.fill(0xEE);
    std::uint32_t length = 20;
    library_.DeliverNextLength("CardSLE4442ReadMain", 300);
    ASSERT_EQ(kSuccess, library_.CardSLE4442ReadMain(handle, buffer.data(), 0x10, &length));
    EXPECT_EQ(300u, length);
    EXPECT_EQ(0xFF, buffer[19]);
    EXPECT_EQ(0xEE, buffer[20]);
    // Only the next call.
    length = 20;
    ASSERT_EQ(kSuccess, library_.CardSLE4442ReadMain(handle, buffer.data(), 0x10, &length));
    EXPECT_EQ(20u, length);
    library_.DeliverNextLength("CardSLE4442ReadMain", 3);
    ASSERT_EQ(kSuccess, library_.CardSLE4442ReadMain(handle, buffer.data(), 0x10, &length));
    EXPECT_EQ(3u, length);
}

TEST_F(SimCardLibraryTest, DeliveredLengthOfTransmitAndReaderType) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    std::array<std::uint8_t, 16> buffer;
    buffer.fill(0xEE);
    std::uint32_t length = 12;
    const IoRequest pci{2, 8};
    library_.DeliverNextLength("CardTransmit", 2000);
    ASSERT_EQ(kSuccess, library_.CardTransmit(handle, &pci, kGetChallenge8.data(), 5, nullptr,
                                              buffer.data(), &length));
    EXPECT_EQ(2000u, length);
    EXPECT_EQ(0x90, buffer[8]);
    EXPECT_EQ(0xEE, buffer[10]);

    buffer.fill(0xEE);
    length = 4;
    library_.DeliverNextLength("CardReaderType", 17);
    ASSERT_EQ(kSuccess, library_.CardReaderType(handle, buffer.data(), &length));
    EXPECT_EQ(17u, length);
    EXPECT_EQ(std::string("ZP-S"), std::string(buffer.begin(), buffer.begin() + 4));
    EXPECT_EQ(0xEE, buffer[4]);
}

TEST_F(SimCardLibraryTest, ReaderTypeIsBoundedAndNotTerminated) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4428);
    const std::uint32_t handle = Connect(context);
    library_.SetReaderTypeText("ABCDEFGHIJKLMNOPQ");  // 17 characters
    std::array<std::uint8_t, 20> buffer;
    buffer.fill(0xEE);
    std::uint32_t length = 16;
    ASSERT_EQ(kSuccess, library_.CardReaderType(handle, buffer.data(), &length));
    EXPECT_EQ(16u, length);
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNOP"), std::string(buffer.begin(), buffer.begin() + 16));
    EXPECT_EQ(0xEE, buffer[16]);
    library_.SetReaderTypeText("Short");
    length = 16;
    ASSERT_EQ(kSuccess, library_.CardReaderType(handle, buffer.data(), &length));
    EXPECT_EQ(5u, length);
}

TEST_F(SimCardLibraryTest, NextTransmitReplyIsBoundedToTheReceiveBuffer) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::CpuT1);
    const std::uint32_t handle = Connect(context);
    library_.SetNextTransmitReply(std::vector<std::uint8_t>(10, 0xAB));
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0);
    std::uint32_t length = 6;
    const IoRequest pci{2, 8};
    ASSERT_EQ(kSuccess, library_.CardTransmit(handle, &pci, kGetChallenge8.data(), 5, nullptr,
                                              buffer.data(), &length));
    EXPECT_EQ(6u, length);
    EXPECT_EQ(0xAB, buffer[5]);
    EXPECT_EQ(0x00, buffer[6]);
    std::vector<std::uint8_t> reply;
    ASSERT_EQ(kSuccess, Transmit(handle, kGetChallenge8, reply));
    EXPECT_EQ(10u, reply.size());  // the card answers again
}

TEST_F(SimCardLibraryTest, OperationsOfAnotherFamilyAreUnsupported) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4428);
    const std::uint32_t handle = Connect(context);
    std::uint8_t buffer[8];
    std::uint32_t length = 4;
    EXPECT_EQ(kUnsupportedFeature, library_.CardSLE4442ReadMain(handle, buffer, 0, &length));
    EXPECT_EQ(kUnsupportedFeature, library_.CardSLE4436Reload(handle, 0));
    EXPECT_EQ(kUnsupportedFeature,
              library_.CardI2CReadMemory(handle, 0xA0, 0, buffer, &length, 0, 1));
    EXPECT_EQ(kSuccess, library_.CardSLE4428ReadMain(handle, buffer, 0, &length));
    library_.InsertCard(0, SimCardKind::CpuT0);
    const std::uint32_t cpu = Connect(context);
    EXPECT_EQ(kUnsupportedFeature, library_.CardSLE4428ReadMain(cpu, buffer, 0, &length));
}

TEST_F(SimCardLibraryTest, MemoryOperationsReachTheirModels) {
    const std::uint32_t context = Context();
    library_.InsertCard(0, SimCardKind::SLE4428);
    std::uint32_t handle = Connect(context);
    ASSERT_EQ(kSuccess, library_.CardSLE4428VerifyPSC(handle, 0xFF, 0xFF));
    const std::uint8_t data[] = {0x12, 0x34};
    ASSERT_EQ(kSuccess, library_.CardSLE4428WriteWithProtectBit(handle, data, 0x100, 2));
    std::uint8_t read[3] = {};
    std::uint8_t bits[3] = {};
    std::uint32_t length = 3;
    ASSERT_EQ(kSuccess, library_.CardSLE4428ReadWithProtectBit(handle, read, bits, 0x100, &length));
    EXPECT_EQ(3u, length);
    EXPECT_EQ(0x34, read[1]);
    EXPECT_EQ(0x00, bits[1]);  // protected
    EXPECT_EQ(0x01, bits[2]);

    library_.InsertCard(0, SimCardKind::SLE4436);
    handle = Connect(context);
    ASSERT_EQ(kSuccess, library_.CardSLE4436WriteCounterStage(handle, 4, 0x7F));
    std::uint8_t stages[6] = {0, 0, 0, 0, 0, 0xEE};
    ASSERT_EQ(kSuccess, library_.CardSLE4436ReadCounterStages(handle, stages));
    EXPECT_EQ(0x7F, stages[4]);
    EXPECT_EQ(0xEE, stages[5]);

    library_.InsertCard(0, SimCardKind::I2C);
    handle = Connect(context);
    ASSERT_EQ(kSuccess, library_.CardI2CWriteMemory(handle, 0xA0, 0xFE, data, 2, 1));
    length = 2;
    ASSERT_EQ(kSuccess, library_.CardI2CReadMemory(handle, 0xA0, 0xFE, read, &length, 0, 1));
    EXPECT_EQ(0x12, read[0]);
    EXPECT_EQ(kInvalidParameter,
              library_.CardI2CReadMemory(handle, 0xA2, 0xFE, read, &length, 0, 1));
    EXPECT_EQ(kInvalidParameter, library_.CardI2CWriteMemory(handle, 0xA0, 0, nullptr, 2, 1));
}

// A read that runs past the end of the memory (or of the SLE4404 user memory) delivers the
// bytes up to the end; an I2C read rolls over to the first byte instead.
TEST_F(SimCardLibraryTest, ReadsPastTheEndDeliverTheBytesThatExist) {
    const std::uint32_t context = Context();
    std::array<std::uint8_t, 64> buffer{};
    const auto read = [&](SimCardKind kind, auto operation, std::uint32_t address) {
        library_.InsertCard(0, kind);
        const std::uint32_t handle = Connect(context);
        std::uint32_t length = 20;
        EXPECT_EQ(kSuccess, (library_.*operation)(handle, buffer.data(), address, &length));
        return length;
    };
    EXPECT_EQ(6u, read(SimCardKind::SLE4442, &SimCardLibrary::CardSLE4442ReadMain, 250));
    EXPECT_EQ(4u, read(SimCardKind::SLE4428, &SimCardLibrary::CardSLE4428ReadMain, 1020));
    EXPECT_EQ(2u, read(SimCardKind::SLE4404, &SimCardLibrary::CardSLE4404ReadMemory, 50));
    EXPECT_EQ(6u, read(SimCardKind::SLE4404, &SimCardLibrary::CardSLE4404ReadUserMemory, 20));
    EXPECT_EQ(8u, read(SimCardKind::SLE4436, &SimCardLibrary::CardSLE4436ReadMemory, 40));
    std::uint32_t length = 20;
    EXPECT_EQ(kInvalidParameter,
              library_.CardSLE4436ReadMemory(Connect(context), buffer.data(), 48, &length));

    library_.InsertCard(0, SimCardKind::I2C);
    const std::uint32_t handle = Connect(context);
    length = 20;
    ASSERT_EQ(kSuccess,
              library_.CardI2CReadMemory(handle, 0xA0, 250, buffer.data(), &length, 0, 1));
    EXPECT_EQ(20u, length);
}

// A contactless card halted by a failed authentication answers again after a reset or an
// unpowering reconnect, which selects it anew; a reconnect that leaves the card does not.
TEST_F(SimCardLibraryTest, AReconnectWithResetSelectsAHaltedContactlessCard) {
    library_.InsertCard(0, SimCardKind::Mifare1K);
    const std::uint32_t context = Context();
    std::uint32_t protocol = 0;
    const std::uint32_t handle = Connect(context, &protocol);
    EXPECT_EQ(protocol, 2u);
    std::vector<std::uint8_t> reply;
    const std::vector<std::uint8_t> ok = {0x90, 0x00};
    const std::vector<std::uint8_t> failed = {0x63, 0x00};
    ASSERT_EQ(kSuccess, Transmit(handle, {0xFF, 0x82, 0x00, 0x00, 0x06, 1, 2, 3, 4, 5, 6}, reply));
    ASSERT_EQ(kSuccess,
              Transmit(handle, {0xFF, 0x82, 0x00, 0x01, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                       reply));
    const std::vector<std::uint8_t> wrongKey = {0xFF, 0x88, 0x00, 0x04, 0x60, 0x00};
    const std::vector<std::uint8_t> rightKey = {0xFF, 0x88, 0x00, 0x04, 0x60, 0x01};
    const std::pair<std::uint32_t, std::vector<std::uint8_t>> rows[] = {
        {kDispositionLeave, failed}, {kDispositionReset, ok}, {2 /*unpower*/, ok}};
    for (const auto& [initialization, after] : rows) {
        ASSERT_EQ(kSuccess, Transmit(handle, wrongKey, reply));
        EXPECT_EQ(reply, failed);
        std::uint32_t active = 0;
        ASSERT_EQ(kSuccess,
                  library_.CardReconnect(handle, kShared, kT0OrT1, initialization, &active));
        ASSERT_EQ(kSuccess, Transmit(handle, rightKey, reply));
        EXPECT_EQ(reply, after) << "initialization " << initialization;
    }
}
