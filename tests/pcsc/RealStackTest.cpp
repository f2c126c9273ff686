// The PC/SC card library and the reader session against the platform's PC/SC service
// with two virtual readers and a virtual T=1 card.
#include <gtest/gtest.h>
#include "core/session/PcscCodes.h"

#include <array>
#include <string>
#include <vector>

#include "VirtualCard.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "pcsc/PcscCardLibrary.h"
#include "support/RecordingMessageBoxes.h"

namespace {
constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kShared = 2;
constexpr std::uint32_t kT0OrT1 = 3;
constexpr std::uint32_t kLeaveCard = 0;
const std::vector<std::uint8_t> kGetChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};

class RealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &context_), 0u);
        // A card taken out by an earlier test may not have been noticed yet.
        ASSERT_TRUE(WaitForCardState(library_, context_, kFirstReader, false));
        ASSERT_TRUE(WaitForCardState(library_, context_, kSecondReader, false));
    }

    void TearDown() override {
        if (context_ == 0) {
            return;
        }
        if (first_.Running()) {
            RemoveCard(first_, kFirstReader);
        }
        if (second_.Running()) {
            RemoveCard(second_, kSecondReader);
        }
        library_.CardReleaseContext(context_);
    }

    // Inserts the card and waits until the reader reports it.
    void InsertCard(VirtualCard& card, const char* reader) {
        ASSERT_TRUE(card.Insert()) << card.Output();
        ASSERT_TRUE(WaitForCardState(library_, context_, reader, true)) << card.Output();
    }

    // Takes the card out and waits until the reader no longer reports it.
    void RemoveCard(VirtualCard& card, const char* reader) {
        card.Remove();
        EXPECT_TRUE(WaitForCardState(library_, context_, reader, false));
    }

    bool Present(const char* reader) {
        ReaderState state;
        state.reader = reader;
        EXPECT_EQ(library_.CardGetStatusChange(context_, kInfinite, &state, 1), 0u);
        return (state.eventState & kStatePresent) != 0;
    }

    // Sends GET CHALLENGE; answers the code and fills `answer` with what came back.
    std::uint32_t GetChallenge(std::uint32_t card, std::uint32_t protocol,
                               std::vector<std::uint8_t>& answer) {
        IoRequest pci{protocol, 8};
        answer.assign(ApduBufferSize, 0);
        std::uint32_t length = ApduBufferSize;
        const std::uint32_t code = library_.CardTransmit(
            card, &pci, kGetChallenge.data(), static_cast<std::uint32_t>(kGetChallenge.size()),
            &pci, answer.data(), &length);
        EXPECT_LE(length, ApduBufferSize);
        answer.resize(length);
        return code;
    }

    PcscCardLibrary library_;
    std::uint32_t context_ = 0;
    VirtualCard first_{kFirstReaderPort};
    VirtualCard second_{kSecondReaderPort};
};

TEST_F(RealStack, SessionListsBothVirtualReaders) {
    MemoryResponseLog log;
    RecordingMessageBoxes boxes;
    ReaderSession session(library_, log);
    ASSERT_TRUE(session.InitializeReaders());
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(session.ReaderCount(), 2u);
    EXPECT_STREQ(session.ReaderName(0), kFirstReader);
    EXPECT_STREQ(session.ReaderName(1), kSecondReader);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Initialize Success"});
    EXPECT_NE(session.Context(), 0u);
    EXPECT_NE(session.Context(), context_);
    EXPECT_TRUE(session.ReleaseReaders());
}

TEST_F(RealStack, PresentBitFollowsTheCard) {
    EXPECT_FALSE(Present(kFirstReader));
    EXPECT_FALSE(Present(kSecondReader));
    InsertCard(second_, kSecondReader);
    EXPECT_TRUE(Present(kSecondReader));
    EXPECT_FALSE(Present(kFirstReader));
    // The answer to reset comes back with the state, bounded to the record.
    ReaderState state;
    state.reader = kSecondReader;
    ASSERT_EQ(library_.CardGetStatusChange(context_, kInfinite, &state, 1), 0u);
    const std::vector<std::uint8_t> atr(state.atr, state.atr + state.atrLength);
    EXPECT_EQ(atr, (std::vector<std::uint8_t>{0x3B, 0x95, 0x13, 0x81, 0x01, 0x80, 0x73, 0xFF, 0x01,
                                              0x00, 0x0B}));
    RemoveCard(second_, kSecondReader);
    EXPECT_FALSE(Present(kSecondReader));
}

TEST_F(RealStack, SessionConnectsExchangesAndDisconnects) {
    MemoryResponseLog log;
    RecordingMessageBoxes boxes;
    ReaderSession session(library_, log);
    ASSERT_TRUE(session.InitializeReaders());
    EXPECT_FALSE(session.TryConnectCard());  // no card yet: nothing connected, no failure
    EXPECT_FALSE(session.ConnectFailed());

    InsertCard(first_, kFirstReader);
    ASSERT_TRUE(session.TryConnectCard());
    EXPECT_TRUE(session.CardPresent());
    EXPECT_EQ(session.Record(0)->Card.Protocol, kProtocolT1);

    const std::uint32_t handle = session.Record(0)->Card.Handle;
    std::vector<std::uint8_t> answer;
    ASSERT_EQ(GetChallenge(handle, session.Record(0)->Card.Protocol, answer), 0u);
    ASSERT_EQ(answer.size(), 10u);
    EXPECT_EQ(answer[8], 0x90);
    EXPECT_EQ(answer[9], 0x00);

    ASSERT_TRUE(session.DisconnectCard());
    EXPECT_EQ(log.Lines().back(), "");
    EXPECT_EQ(log.Lines()[log.Lines().size() - 2], "Disconnect Card Success");
    // The handle is gone: the exchange and a second disconnect are refused.
    EXPECT_NE(GetChallenge(handle, kProtocolT1, answer), 0u);
    EXPECT_NE(library_.CardDisconnect(handle, 3), 0u);

    const std::uint32_t sessionContext = session.Context();
    EXPECT_TRUE(session.ReleaseReaders());
    EXPECT_FALSE(session.ReleaseReaders());
    std::uint32_t newHandle = 0;
    std::uint32_t protocol = 0;
    EXPECT_NE(
        library_.CardConnect(sessionContext, kFirstReader, kShared, kT0OrT1, &newHandle, &protocol),
        0u);
    std::uint32_t length = 0;
    EXPECT_NE(library_.CardListReaders(sessionContext, nullptr, nullptr, &length), 0u);
}

TEST_F(RealStack, ReleasingTheContextEndsItsCards) {
    InsertCard(first_, kFirstReader);
    std::uint32_t other = 0;
    ASSERT_EQ(library_.CardEstablishContext(kScopeUser, nullptr, nullptr, &other), 0u);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(other, kFirstReader, kShared, kT0OrT1, &handle, &protocol), 0u);
    EXPECT_EQ(protocol, kProtocolT1);
    EXPECT_EQ(library_.CardReleaseContext(other), 0u);
    std::vector<std::uint8_t> answer;
    EXPECT_EQ(GetChallenge(handle, protocol, answer), pcsc_codes::kInvalidHandle);
    EXPECT_NE(library_.CardReleaseContext(other), 0u);
}

TEST_F(RealStack, RemovedCardFailsItsExchange) {
    InsertCard(first_, kFirstReader);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &handle, &protocol),
              0u);
    RemoveCard(first_, kFirstReader);
    std::vector<std::uint8_t> answer;
    EXPECT_NE(GetChallenge(handle, protocol, answer), 0u);
    EXPECT_TRUE(answer.empty() || answer.size() <= ApduBufferSize);
    library_.CardDisconnect(handle, kLeaveCard);
}

// pcsc-lite marks the other handles on a card that one handle resets: they answer
// SCARD_W_RESET_CARD until they reconnect.
TEST_F(RealStack, AResetThroughOneHandleMarksTheOtherUntilItReconnects) {
    InsertCard(first_, kFirstReader);
    std::uint32_t mine = 0, other = 0, protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &mine, &protocol), 0u);
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &other, &protocol),
              0u);
    EXPECT_EQ(library_.CardReconnect(other, kShared, kT0OrT1, kDispositionReset, &protocol), 0u);
    std::vector<std::uint8_t> answer;
    EXPECT_EQ(GetChallenge(mine, protocol, answer), pcsc_codes::kResetCard);
    EXPECT_EQ(library_.CardReconnect(mine, kShared, kT0OrT1, kDispositionLeave, &protocol), 0u);
    EXPECT_EQ(GetChallenge(mine, protocol, answer), 0u);
    EXPECT_EQ(library_.CardDisconnect(other, kLeaveCard), 0u);
    EXPECT_EQ(library_.CardDisconnect(mine, kLeaveCard), 0u);
}

TEST_F(RealStack, ReceiveLengthIsNeverExceeded) {
    InsertCard(first_, kFirstReader);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &handle, &protocol),
              0u);
    // Room for 4 bytes where the card answers 10: refused, and no more than 4 reported.
    IoRequest pci{protocol, 8};
    std::array<std::uint8_t, 8> buffer{};
    buffer.fill(0xEE);
    std::uint32_t length = 4;
    EXPECT_NE(
        library_.CardTransmit(handle, &pci, kGetChallenge.data(), 5, &pci, buffer.data(), &length),
        0u);
    EXPECT_LE(length, 4u);
    EXPECT_EQ(buffer[4], 0xEE);
    EXPECT_EQ(library_.CardDisconnect(handle, kLeaveCard), 0u);
}

TEST_F(RealStack, ReaderTypeDeliversNoMoreThanAsked) {
    InsertCard(first_, kFirstReader);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &handle, &protocol),
              0u);
    for (std::uint32_t asked : {16u, 3u, 0u}) {
        std::array<std::uint8_t, 20> buffer{};
        buffer.fill(0xEE);
        std::uint32_t length = asked;
        const std::uint32_t code = library_.CardReaderType(handle, buffer.data(), &length);
        EXPECT_LE(length, asked) << "code " << code;
        if (code != 0) {
            EXPECT_EQ(length, 0u);
        }
        for (std::size_t i = length; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], 0xEE) << "byte " << i << " asked " << asked;
        }
    }
    EXPECT_EQ(library_.CardDisconnect(handle, kLeaveCard), 0u);
}

TEST_F(RealStack, MemoryOperationsOnAProcessorCard) {
    InsertCard(first_, kFirstReader);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library_.CardConnect(context_, kFirstReader, kShared, kT0OrT1, &handle, &protocol),
              0u);
    EXPECT_EQ(protocol, kProtocolT1);  // not announced as a storage card
    std::array<std::uint8_t, 33> buffer{};
    buffer.fill(0xEE);
    // What no storage-card command expresses is refused without reaching the card.
    EXPECT_EQ(library_.CardSLE4442ReadProtect(handle, buffer.data()), kUnsupportedFeature);
    EXPECT_EQ(library_.CardSLE4436Reload(handle, 1), kUnsupportedFeature);
    std::vector<std::uint8_t> answer;
    EXPECT_EQ(GetChallenge(handle, protocol, answer), 0u);
    // A processor card does not serve the storage-card read: a failure, nothing delivered.
    std::uint32_t length = 32;
    EXPECT_NE(library_.CardSLE4442ReadMain(handle, buffer.data(), 0, &length), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer[0], 0xEE);
    library_.CardDisconnect(handle, kLeaveCard);
}
}  // namespace
