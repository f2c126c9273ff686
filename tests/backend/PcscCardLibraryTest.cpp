// Calls the PC/SC backend refuses before reaching the service, and its handle table.
#include <gtest/gtest.h>
#include <winscard.h>

#include <array>
#include <set>
#include <string>

#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscHandles.h"

namespace {
const auto kInvalidHandle = static_cast<std::uint32_t>(SCARD_E_INVALID_HANDLE);
const auto kInvalidParameter = static_cast<std::uint32_t>(SCARD_E_INVALID_PARAMETER);

TEST(PcscCardLibraryRefusals, ContextOfZeroOrUnknown) {
    PcscCardLibrary library;
    char names[64] = {};
    std::uint32_t length = sizeof(names);
    ReaderState state;
    state.reader = "Virtual PCD 00 00";
    std::uint32_t card = 77;
    std::uint32_t protocol = 77;
    for (std::uint32_t context : {0u, 1u, 0xFFFFFFFFu}) {
        EXPECT_EQ(library.CardReleaseContext(context), kInvalidHandle);
        EXPECT_EQ(library.CardListReaders(context, nullptr, names, &length), kInvalidHandle);
        EXPECT_EQ(library.CardGetStatusChange(context, 0xFFFFFFFF, &state, 1), kInvalidHandle);
        EXPECT_EQ(library.CardConnect(context, "Virtual PCD 00 00", 2, 3, &card, &protocol),
                  kInvalidHandle);
    }
    EXPECT_EQ(state.eventState, 0u);
    EXPECT_EQ(card, 77u);
    EXPECT_EQ(protocol, 77u);
}

TEST(PcscCardLibraryRefusals, MissingReaderNameOrOutputs) {
    PcscCardLibrary library;
    ReaderState state;  // reader name null, as for record 0 with no reader listed
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    EXPECT_NE(library.CardGetStatusChange(0, 0xFFFFFFFF, &state, 1), 0u);
    EXPECT_EQ(library.CardConnect(0, nullptr, 2, 3, &card, &protocol), kInvalidParameter);
    EXPECT_EQ(library.CardConnect(1, nullptr, 2, 3, &card, &protocol), kInvalidParameter);
    EXPECT_EQ(library.CardGetStatusChange(1, 0xFFFFFFFF, nullptr, 1), kInvalidParameter);
    EXPECT_NE(library.CardGetStatusChange(1, 0xFFFFFFFF, &state, 0), 0u);
    EXPECT_EQ(library.CardEstablishContext(0, nullptr, nullptr, nullptr), kInvalidParameter);
    EXPECT_EQ(library.CardListReaders(1, nullptr, nullptr, nullptr), kInvalidParameter);
}

TEST(PcscCardLibraryRefusals, UnknownCardHandle) {
    PcscCardLibrary library;
    const IoRequest pci{2, 8};
    IoRequest recvPci{2, 8};
    const std::uint8_t command[] = {0x00, 0x84, 0x00, 0x00, 0x08};
    std::array<std::uint8_t, 17> buffer{};
    buffer.fill(0xEE);
    std::uint32_t length = 16;
    for (std::uint32_t card : {0u, 1u, 12345u}) {
        EXPECT_EQ(library.CardDisconnect(card, 3), kInvalidHandle);
        std::uint32_t protocol = 0;
        EXPECT_EQ(library.CardReconnect(card, 2, 3, 1, &protocol), kInvalidHandle);
        length = 16;
        EXPECT_EQ(library.CardTransmit(card, &pci, command, 5, &recvPci, buffer.data(), &length),
                  kInvalidHandle);
        length = 16;
        EXPECT_EQ(library.CardReaderType(card, buffer.data(), &length), kInvalidHandle);
        EXPECT_EQ(length, 0u);
    }
    for (std::uint8_t byte : buffer) {
        EXPECT_EQ(byte, 0xEE);
    }
}

TEST(PcscCardLibraryRefusals, MemoryOperationsWithoutACard) {
    PcscCardLibrary library;
    std::array<std::uint8_t, 8> buffer{};
    std::array<std::uint8_t, 8> bits{};
    std::uint32_t length = 4;
    EXPECT_EQ(library.CardSLE4442ReadMain(3, buffer.data(), 0, &length), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4442WriteMain(3, buffer.data(), 0, 4), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4442Verify(3, 1, 2, 3), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4442ReadProtect(3, buffer.data()), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4428ReadWithProtectBit(3, buffer.data(), bits.data(), 0, &length),
              kInvalidHandle);
    EXPECT_EQ(length, 0u);
    length = 4;
    EXPECT_EQ(library.CardSLE4404ReadUserMemory(3, buffer.data(), 0, &length), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4404VerifyMemoryCode(3, 1, 2, 3, 4), kInvalidHandle);
    EXPECT_EQ(library.CardSLE4436Reload(3, 0), kInvalidHandle);
    EXPECT_EQ(library.CardI2CReadMemory(3, 0xA0, 0, buffer.data(), &length, 0, 1), kInvalidHandle);
    EXPECT_EQ(length, 0u);
}

TEST(PcscHandles, NumbersAreDistinctAndStartAtOne) {
    PcscHandles handles;
    const std::uint32_t context = handles.AddContext({0x7FFFFFFF12345678});
    const std::uint32_t card = handles.AddCard({0x7FFFFFFF87654321, context, 2, false});
    EXPECT_EQ(context, 1u);
    EXPECT_NE(card, context);
    ASSERT_NE(handles.FindContext(context), nullptr);
    EXPECT_EQ(handles.FindContext(context)->native, 0x7FFFFFFF12345678);
    ASSERT_NE(handles.FindCard(card), nullptr);
    EXPECT_EQ(handles.FindCard(card)->native, 0x7FFFFFFF87654321);
    // A number names one kind of thing only.
    EXPECT_EQ(handles.FindCard(context), nullptr);
    EXPECT_EQ(handles.FindContext(card), nullptr);
    EXPECT_EQ(handles.FindContext(0), nullptr);
}

TEST(PcscHandles, RemovedNumbersAreStaleAndNotReused) {
    PcscHandles handles;
    const std::uint32_t first = handles.AddContext({10});
    const std::uint32_t second = handles.AddContext({20});
    const std::uint32_t cardOfFirst = handles.AddCard({11, first, 1, false});
    const std::uint32_t cardOfSecond = handles.AddCard({21, second, 2, true});
    handles.RemoveContext(first);
    EXPECT_EQ(handles.FindContext(first), nullptr);
    EXPECT_EQ(handles.FindCard(cardOfFirst), nullptr);  // went with its context
    EXPECT_NE(handles.FindCard(cardOfSecond), nullptr);
    handles.RemoveCard(cardOfSecond);
    EXPECT_EQ(handles.FindCard(cardOfSecond), nullptr);
    const std::uint32_t next = handles.AddCard({30, second, 1, false});
    EXPECT_NE(next, first);
    EXPECT_NE(next, cardOfFirst);
    EXPECT_NE(next, cardOfSecond);
    EXPECT_EQ(handles.Cards().size(), 1u);
    EXPECT_EQ(handles.Contexts().size(), 1u);
}

TEST(PcscHandles, RenewedContextKeepsItsNumberAndLosesItsCards) {
    PcscHandles handles;
    const std::uint32_t renewed = handles.AddContext({10});
    const std::uint32_t other = handles.AddContext({20});
    const std::uint32_t first = handles.AddCard({11, renewed, 2, false, "Reader A"});
    const std::uint32_t second = handles.AddCard({12, renewed, 1, false, "Reader B"});
    const std::uint32_t kept = handles.AddCard({21, other, 2, false, "Reader A"});
    EXPECT_EQ(handles.RenewContext(renewed, 30), 10);
    ASSERT_NE(handles.FindContext(renewed), nullptr);
    EXPECT_EQ(handles.FindContext(renewed)->native, 30);
    EXPECT_EQ(handles.FindCard(first), nullptr);
    EXPECT_EQ(handles.FindCard(second), nullptr);
    EXPECT_NE(handles.FindCard(kept), nullptr);
    EXPECT_EQ(handles.FindContext(renewed)->lostCards,
              (std::set<std::string, std::less<>>{"Reader A", "Reader B"}));
    EXPECT_TRUE(handles.FindContext(other)->lostCards.empty());
}
}  // namespace
