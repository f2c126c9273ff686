#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "sim/SimCardLibrary.h"
#include "sim/SimCodes.h"
#include "sim/SimTestCard.h"

using namespace sim_codes;

namespace {
constexpr const char* kReader = SimCardLibrary::DefaultReaderName;
constexpr std::uint32_t kUnpower = 2;
const Bytes kSelect = {0x00, 0xA4, 0x04, 0x00, 0x06, 0xA0, 0x00, 0x00, 0x00, 0x18, 0xFF};
const Bytes kCase4 = {0x80, 0x36, 0x00, 0x03, 0x02, 0x00, 0x01};

class TestCardLibrary : public ::testing::Test {
  protected:
    // A new card and a new context; the last context's handles go with it.
    void Insert(SimCardKind kind, SimTestCardSettings settings = {}) {
        if (context_ != 0) {
            ASSERT_EQ(kSuccess, library_.CardReleaseContext(context_));
        }
        auto card = std::make_unique<SimTestCard>(kind, settings);
        card_ = card.get();
        library_.InsertCard(0, std::move(card));
        ASSERT_EQ(kSuccess, library_.CardEstablishContext(0, nullptr, nullptr, &context_));
    }

    std::uint32_t Connect(std::uint32_t shareMode, std::uint32_t preferred, std::uint32_t& handle,
                          std::uint32_t& protocol) {
        return library_.CardConnect(context_, kReader, shareMode, preferred, &handle, &protocol);
    }

    std::uint32_t Transmit(std::uint32_t handle, std::uint32_t protocol, const Bytes& command,
                           Bytes& reply, std::uint32_t room = 300) {
        const IoRequest pci{protocol, 8};
        reply.assign(room, 0);
        std::uint32_t length = room;
        const std::uint32_t code = library_.CardTransmit(handle, &pci, command.data(),
                                                         static_cast<std::uint32_t>(command.size()),
                                                         nullptr, reply.data(), &length);
        reply.resize(code == kSuccess ? length : 0);
        lastLength_ = length;
        return code;
    }

    Bytes AtrSeen() {
        ReaderState state{};
        state.reader = kReader;
        EXPECT_EQ(kSuccess, library_.CardGetStatusChange(context_, 0, &state, 1));
        return Bytes(state.atr, state.atr + state.atrLength);
    }

    SimCardLibrary library_;
    SimTestCard* card_ = nullptr;
    std::uint32_t context_ = 0;
    std::uint32_t lastLength_ = 0;
};

struct ProtocolRow {
    SimCardKind kind;
    std::uint32_t preferred;
    std::uint32_t code;
    std::uint32_t protocol;
    // A second, shared connect with these preferences, and its answer.
    std::uint32_t secondPreferred;
    std::uint32_t secondCode;
};

TEST_F(TestCardLibrary, ConnectChoosesTheProtocolAsPcscLite) {
    const ProtocolRow rows[] = {
        {SimCardKind::TestBoth, kProtocolT0, kSuccess, kProtocolT0, kProtocolT1, kProtoMismatch},
        {SimCardKind::TestBoth, kProtocolT1, kSuccess, kProtocolT1, kProtocolT0, kProtoMismatch},
        {SimCardKind::TestBoth, kProtocolT0 | kProtocolT1, kSuccess, kProtocolT1, kProtocolT1,
         kSuccess},
        {SimCardKind::TestT0, kProtocolT0 | kProtocolT1, kSuccess, kProtocolT0, kProtocolT0,
         kSuccess},
        {SimCardKind::TestT0, kProtocolT1, kProtoMismatch, 0, kProtocolT0, kSuccess},
        {SimCardKind::TestT1, kProtocolT0, kProtoMismatch, 0, kProtocolT1, kSuccess},
    };
    for (const ProtocolRow& row : rows) {
        Insert(row.kind);
        std::uint32_t handle = 0;
        std::uint32_t protocol = 0;
        EXPECT_EQ(row.code, Connect(kShareShared, row.preferred, handle, protocol));
        if (row.code == kSuccess) {
            EXPECT_EQ(row.protocol, protocol);
            EXPECT_EQ(row.protocol, card_->Protocol());
        }
        std::uint32_t second = 0;
        EXPECT_EQ(row.secondCode, Connect(kShareShared, row.secondPreferred, second, protocol));
    }
}

TEST_F(TestCardLibrary, SharingViolations) {
    struct Row {
        std::uint32_t first;
        std::uint32_t second;
        std::uint32_t code;
    };
    const Row rows[] = {{kShareShared, kShareShared, kSuccess},
                        {kShareShared, kShareExclusive, kSharingViolation},
                        {kShareExclusive, kShareShared, kSharingViolation},
                        {kShareExclusive, kShareExclusive, kSharingViolation}};
    for (const Row& row : rows) {
        Insert(SimCardKind::TestT1);
        std::uint32_t first = 0;
        std::uint32_t second = 0;
        std::uint32_t protocol = 0;
        ASSERT_EQ(kSuccess, Connect(row.first, kProtocolT1, first, protocol));
        EXPECT_EQ(row.code, Connect(row.second, kProtocolT1, second, protocol));
        if (row.code == kSuccess) {
            // Exclusive while the other handle is open, then alone.
            EXPECT_EQ(kSharingViolation,
                      library_.CardReconnect(second, kShareExclusive, kProtocolT1,
                                             kDispositionLeave, &protocol));
        }
        ASSERT_EQ(kSuccess, library_.CardDisconnect(first, kDispositionLeave));
        if (row.code != kSuccess) {
            EXPECT_EQ(kSuccess, Connect(row.second, kProtocolT1, second, protocol));
        }
        EXPECT_EQ(kSuccess, library_.CardReconnect(second, kShareExclusive, kProtocolT1,
                                                   kDispositionLeave, &protocol));
    }
}

TEST_F(TestCardLibrary, ReconnectWithUnpowerOrResetGivesTheAtrAgain) {
    Insert(SimCardKind::TestBoth);
    const Bytes atr = AtrSeen();
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(kSuccess, Connect(kShareShared, kProtocolT1, handle, protocol));
    Bytes reply;
    ASSERT_EQ(kSuccess, Transmit(handle, kProtocolT1, kSelect, reply));
    struct Row {
        std::uint32_t initialization;
        std::uint32_t preferred;
        Bytes case4;  // the case-4 reply after selecting again
    };
    const Row rows[] = {{kUnpower, kProtocolT0, {0x61, 0x03}},
                        {kDispositionReset, kProtocolT1, {0x00, 0x01, 0x02, 0x90, 0x00}},
                        {kDispositionLeave, kProtocolT1, {0x00, 0x01, 0x02, 0x90, 0x00}}};
    for (const Row& row : rows) {
        ASSERT_EQ(kSuccess, library_.CardReconnect(handle, kShareShared, row.preferred,
                                                   row.initialization, &protocol));
        EXPECT_EQ(row.preferred, protocol);
        EXPECT_EQ(atr, AtrSeen());
        // A new power-up forgets the selection; leaving the card keeps it.
        const Bytes unselected = {0x6D, 0x00};
        ASSERT_EQ(kSuccess, Transmit(handle, protocol, kCase4, reply));
        EXPECT_EQ(reply == unselected, row.initialization != kDispositionLeave);
        ASSERT_EQ(kSuccess, Transmit(handle, protocol, kSelect, reply));
        ASSERT_EQ(kSuccess, Transmit(handle, protocol, kCase4, reply));
        EXPECT_EQ(row.case4, reply);
    }
    EXPECT_EQ(kProtoMismatch, library_.CardReconnect(handle, kShareShared, kProtocolT0,
                                                     kDispositionLeave, &protocol));
}

TEST_F(TestCardLibrary, TransmitRefusals) {
    Insert(SimCardKind::TestT1);
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(kSuccess, Connect(kShareShared, kProtocolT1, handle, protocol));
    Bytes reply;
    ASSERT_EQ(kSuccess, Transmit(handle, kProtocolT1, kSelect, reply));
    const Bytes case2 = {0x80, 0x34, 0x00, 0x05, 0x05};  // 5 bytes and the status word
    EXPECT_EQ(kInsufficientBuffer, Transmit(handle, kProtocolT1, case2, reply, 6));
    EXPECT_EQ(7u, lastLength_);
    EXPECT_EQ(kSuccess, Transmit(handle, kProtocolT1, case2, reply, 7));
    EXPECT_EQ(kProtoMismatch, Transmit(handle, kProtocolT0, case2, reply));
    card_->SetFaults({.lateTimeRequest = true});
    EXPECT_EQ(SimTestCard::kNotTransacted,
              Transmit(handle, kProtocolT1, {0x80, 0x38, 0x00, 0x02}, reply));
    EXPECT_EQ(0u, lastLength_);
}

// The card works a long time request; a card taken out meanwhile ends the call at once with
// the removed-card code, and the other thread could take the lock during the work.
TEST_F(TestCardLibrary, RemovalDuringATimeRequest) {
    Insert(SimCardKind::TestT1, {std::chrono::seconds(1), {}});
    std::uint32_t handle = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(kSuccess, Connect(kShareShared, kProtocolT1, handle, protocol));
    Bytes reply;
    ASSERT_EQ(kSuccess, Transmit(handle, kProtocolT1, kSelect, reply));

    std::promise<void> locked;
    const auto start = std::chrono::steady_clock::now();
    std::future<std::uint32_t> code = std::async(std::launch::async, [&] {
        std::lock_guard guard(library_.SharedLock());
        locked.set_value();
        Bytes answer;
        return Transmit(handle, kProtocolT1, {0x80, 0x38, 0x00, 0xFF}, answer);
    });
    locked.get_future().wait();
    {
        // Granted only while the card works with the lock given up.
        std::lock_guard guard(library_.SharedLock());
        library_.RemoveCard(0);
    }
    EXPECT_EQ(kRemovedCard, code.get());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}
}  // namespace
