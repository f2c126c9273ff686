#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderList.h"
#include "core/session/ReaderSession.h"
#include "support/MockLibraries.h"

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::IsEmpty;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::StrEq;

namespace {

constexpr std::uint32_t kContext = 0x1234;
constexpr std::uint32_t kFailure = 0x8010001D;

// Answers both reader-list calls with `list` (a multi-string given with its bytes) and
// reports `reportedLength` on the first call.
void ListReaders(MockCardLibrary& library, std::string list, std::uint32_t reportedLength) {
    EXPECT_CALL(library, CardListReaders(kContext, nullptr, _, _))
        .WillRepeatedly(Invoke([list, reportedLength](std::uint32_t, const char*, char* buffer,
                                                      std::uint32_t* length) {
            if (buffer == nullptr) {
                *length = reportedLength;
                return 0u;
            }
            std::memcpy(buffer, list.data(), std::min<std::size_t>(list.size(), *length));
            return 0u;
        }));
}

class ReaderSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ON_CALL(library, CardEstablishContext(0, nullptr, nullptr, _))
            .WillByDefault(DoAll(SetArgPointee<3>(kContext), Return(0u)));
    }

    // A session whose library lists `names`.
    void Initialize(const std::vector<std::string>& names) {
        std::string list;
        for (const std::string& name : names) {
            list += name;
            list.push_back('\0');
        }
        list.push_back('\0');
        ListReaders(library, list, static_cast<std::uint32_t>(list.size()));
        ASSERT_TRUE(session.InitializeReaders());
    }

    // The selected reader reports `present` on every status query.
    void CardIs(bool present) {
        ON_CALL(library, CardGetStatusChange(kContext, 0xFFFFFFFF, _, 1))
            .WillByDefault(
                Invoke([present](std::uint32_t, std::uint32_t, ReaderState* state, std::uint32_t) {
                    EXPECT_EQ(state->currentState, 0u);
                    state->eventState = present ? 0x22u : 0x12u;
                    return 0u;
                }));
    }

    NiceMock<MockCardLibrary> library;
    MemoryResponseLog log;
    ReaderSession session{library, log};
};

TEST_F(ReaderSessionTest, InitializeListsTheReadersInOrder) {
    Initialize({"Reader A 00 00", "Reader B 00 01"});
    EXPECT_EQ(session.Context(), kContext);
    EXPECT_EQ(session.ReaderCount(), 2u);
    EXPECT_STREQ(session.ReaderName(0), "Reader A 00 00");
    EXPECT_STREQ(session.ReaderName(1), "Reader B 00 01");
    EXPECT_EQ(session.ReaderName(2), nullptr);
    EXPECT_STREQ(session.Record(1)->State.reader, "Reader B 00 01");
    EXPECT_EQ(session.SelectedIndex(), 0);
    EXPECT_FALSE(session.ReaderInUse() || session.ReaderEverChosen()) << "taken, not chosen";
    EXPECT_TRUE(session.TrackingArmed());
    EXPECT_FALSE(session.CardPresent() || session.CardConnected() || session.CardBusy());
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success"));
}

TEST_F(ReaderSessionTest, EachFailingInitializationCallNamesItsBoxAndLogsNothing) {
    std::vector<std::string> errorBoxes;
    {
        NiceMock<MockCardLibrary> failing;
        ReaderSession failed(failing, log);
        EXPECT_CALL(failing, CardEstablishContext(0, nullptr, nullptr, _))
            .WillOnce(Return(kFailure));
        EXPECT_CALL(failing, CardListReaders(_, _, _, _)).Times(0);
        const Outcome opened = failed.InitializeReaders();
        EXPECT_FALSE(opened);
        errorBoxes.push_back(opened.errorBox);
        EXPECT_EQ(failed.Context(), 0u);
    }
    {
        NiceMock<MockCardLibrary> failing;
        ReaderSession failed(failing, log);
        ON_CALL(failing, CardEstablishContext(_, _, _, _)).WillByDefault(Return(0u));
        EXPECT_CALL(failing, CardListReaders(_, nullptr, nullptr, _)).WillOnce(Return(kFailure));
        const Outcome opened = failed.InitializeReaders();
        EXPECT_FALSE(opened);
        errorBoxes.push_back(opened.errorBox);
    }
    {
        NiceMock<MockCardLibrary> failing;
        ReaderSession failed(failing, log);
        ON_CALL(failing, CardEstablishContext(_, _, _, _)).WillByDefault(Return(0u));
        EXPECT_CALL(failing, CardListReaders(_, nullptr, nullptr, _))
            .WillOnce(DoAll(SetArgPointee<3>(10u), Return(0u)));
        EXPECT_CALL(failing, CardListReaders(_, nullptr, ::testing::NotNull(), _))
            .WillOnce(Return(kFailure));
        const Outcome opened = failed.InitializeReaders();
        EXPECT_FALSE(opened);
        errorBoxes.push_back(opened.errorBox);
        EXPECT_EQ(failed.ReaderCount(), 0u);
    }
    EXPECT_THAT(errorBoxes, ElementsAre("Establish Context Fail!", "SCardListReaders Fail!",
                                        "SCardListReaders Fail!"));
    EXPECT_THAT(log.Lines(), IsEmpty());
}

TEST_F(ReaderSessionTest, KeepsAtMostFortyReaders) {
    std::vector<std::string> names;
    for (int i = 0; i < 41; ++i) {
        names.push_back("Reader " + std::to_string(i));
    }
    Initialize(names);
    EXPECT_EQ(session.ReaderCount(), 40u);
    EXPECT_STREQ(session.ReaderName(39), "Reader 39");
    EXPECT_EQ(session.ReaderName(40), nullptr);
}

TEST_F(ReaderSessionTest, AListOfOnlyTheTerminatorHasNoReaders) {
    Initialize({});
    EXPECT_EQ(session.ReaderCount(), 0u);
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success"));
}

TEST_F(ReaderSessionTest, AListWithoutItsTerminatorIsNotReadPastItsBuffer) {
    // Two names, the second without its zero and without the list's final zero.
    const std::string list("First\0Second", 12);
    ListReaders(library, list, 12);
    ASSERT_TRUE(session.InitializeReaders());
    EXPECT_EQ(session.ReaderCount(), 2u);
    EXPECT_STREQ(session.ReaderName(1), "Second");
}

TEST_F(ReaderSessionTest, AListLongerThanItsReportedLengthIsCutAtTheLength) {
    const std::string list("First\0Second\0\0", 14);
    ListReaders(library, list, 8);  // the library then fills more than it reported
    ASSERT_TRUE(session.InitializeReaders());
    EXPECT_EQ(session.ReaderCount(), 2u);
    EXPECT_STREQ(session.ReaderName(1), "Se");
}

TEST_F(ReaderSessionTest, RefreshFollowsThePresentBit) {
    Initialize({"R"});
    CardIs(true);
    ASSERT_TRUE(session.TryConnectCard());
    EXPECT_TRUE(session.RefreshCardState());
    EXPECT_TRUE(session.CardPresent());
    EXPECT_TRUE(session.CardConnected());

    EXPECT_CALL(library, CardGetStatusChange(_, _, _, _)).WillOnce(Return(kFailure));
    EXPECT_FALSE(session.RefreshCardState());
    EXPECT_TRUE(session.CardPresent() && session.CardConnected()) << "flags unchanged on failure";
    ::testing::Mock::VerifyAndClearExpectations(&library);

    CardIs(false);
    EXPECT_TRUE(session.RefreshCardState());
    EXPECT_FALSE(session.CardPresent());
    EXPECT_FALSE(session.CardConnected());
}

TEST_F(ReaderSessionTest, TryConnectPassesTheSelectedReaderAndStoresHandleAndProtocol) {
    Initialize({"R0", "R1"});
    session.SelectReader(1);
    CardIs(true);
    EXPECT_CALL(library, CardConnect(kContext, StrEq("R1"), 2, 3, _, _))
        .WillOnce(DoAll(SetArgPointee<4>(77u), SetArgPointee<5>(2u), Return(0u)));
    EXPECT_TRUE(session.TryConnectCard());
    EXPECT_EQ(session.Record(1)->Card.Handle, 77u);
    EXPECT_EQ(session.Record(1)->Card.Protocol, 2u);
    EXPECT_TRUE(session.CardPresent() && session.CardConnected());
    EXPECT_FALSE(session.ConnectFailed());
}

TEST_F(ReaderSessionTest, TryConnectFailuresSetTheirFlags) {
    Initialize({"R0"});
    CardIs(true);
    EXPECT_TRUE(session.RefreshCardState());
    CardIs(false);
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).Times(0);
    EXPECT_FALSE(session.TryConnectCard());
    EXPECT_FALSE(session.CardPresent());
    EXPECT_FALSE(session.ConnectFailed());
    ::testing::Mock::VerifyAndClearExpectations(&library);

    CardIs(true);
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).WillOnce(Return(kFailure));
    EXPECT_FALSE(session.TryConnectCard());
    EXPECT_TRUE(session.ConnectFailed());
    EXPECT_FALSE(session.CardConnected());
    ::testing::Mock::VerifyAndClearExpectations(&library);

    // Three refusals counted: nothing is called, and ConnectFailed stays as it was.
    for (int i = 0; i < ConnectFailLimit; ++i) {
        session.CountConnectFail();
    }
    EXPECT_CALL(library, CardGetStatusChange(_, _, _, _)).Times(0);
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).Times(0);
    EXPECT_FALSE(session.TryConnectCard());
    EXPECT_TRUE(session.ConnectFailed());
}

TEST_F(ReaderSessionTest, DisconnectLogsItsOutcome) {
    Initialize({"R0"});
    CardIs(true);
    ON_CALL(library, CardConnect(_, _, _, _, _, _))
        .WillByDefault(DoAll(SetArgPointee<4>(55u), Return(0u)));
    ASSERT_TRUE(session.TryConnectCard());
    EXPECT_CALL(library, CardDisconnect(55, 3)).WillOnce(Return(0x1Fu)).WillOnce(Return(0u));
    EXPECT_FALSE(session.DisconnectCard());
    EXPECT_TRUE(session.CardConnected());
    EXPECT_TRUE(session.TrackingArmed());
    EXPECT_TRUE(session.DisconnectCard());
    EXPECT_FALSE(session.CardConnected());
    EXPECT_FALSE(session.TrackingArmed());
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success",
                                         "Disconnect Card Fail, return code=0x000000000000001F", "",
                                         "Disconnect Card Success", ""));
}

TEST_F(ReaderSessionTest, ConnectButtonTable) {
    Initialize({"R0"});
    CardIs(true);
    ON_CALL(library, CardDisconnect(_, _)).WillByDefault(Return(0u));

    // Connected already: nothing.
    ASSERT_TRUE(session.TryConnectCard());
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).Times(0);
    EXPECT_EQ(session.ConnectByButton(false), ReaderSession::ConnectResult::Nothing);
    ::testing::Mock::VerifyAndClearExpectations(&library);
    CardIs(true);

    // Disarmed with Auto Connect checked: nothing until the card is out.
    ASSERT_TRUE(session.DisconnectCard());
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).Times(0);
    EXPECT_EQ(session.ConnectByButton(true), ReaderSession::ConnectResult::Nothing);
    ::testing::Mock::VerifyAndClearExpectations(&library);

    // Disarmed with Auto Connect unchecked: the button arms and connects.
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _))
        .WillOnce(Return(kFailure))
        .WillOnce(DoAll(SetArgPointee<5>(1u), Return(0u)));
    EXPECT_EQ(session.ConnectByButton(false), ReaderSession::ConnectResult::Failed);
    EXPECT_TRUE(session.TrackingArmed());
    EXPECT_EQ(session.ConnectByButton(false), ReaderSession::ConnectResult::Connected);
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success", "Disconnect Card Success", "",
                                         "Connect Fail", "", "Connect Success", ""));
}

TEST_F(ReaderSessionTest, ConnectButtonAfterThreeRefusalsWritesConnectFailWithoutTrying) {
    Initialize({"R0"});
    CardIs(true);
    EXPECT_CALL(library, CardConnect(_, _, _, _, _, _)).WillOnce(Return(kFailure));
    EXPECT_FALSE(session.TryConnectCard());
    for (int i = 0; i < ConnectFailLimit; ++i) {
        session.CountConnectFail();
    }
    EXPECT_EQ(session.ConnectByButton(true), ReaderSession::ConnectResult::Failed);
    EXPECT_EQ(session.ConnectFailCount(), 3) << "the button never changes the count";
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success", "Connect Fail", ""));
}

TEST_F(ReaderSessionTest, ConnectButtonWithoutACardWritesNothing) {
    Initialize({"R0"});
    CardIs(false);
    EXPECT_EQ(session.ConnectByButton(true), ReaderSession::ConnectResult::Nothing);
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success"));
}

TEST_F(ReaderSessionTest, DisconnectButtonOnlyActsWhenConnected) {
    Initialize({"R0"});
    EXPECT_CALL(library, CardDisconnect(_, _)).Times(0);
    EXPECT_FALSE(session.DisconnectByButton());
}

TEST_F(ReaderSessionTest, ReleaseAnswersWhetherTheContextWasReleased) {
    Initialize({"R0"});
    EXPECT_CALL(library, CardReleaseContext(kContext)).WillOnce(Return(0u));
    EXPECT_TRUE(session.ReleaseReaders());
    EXPECT_EQ(session.Context(), 0u) << "a released context is not used again";
    EXPECT_CALL(library, CardReleaseContext(0u)).WillOnce(Return(kFailure));
    EXPECT_FALSE(session.ReleaseReaders());
}

}  // namespace

namespace {

TEST_F(ReaderSessionTest, ChoosingAnotherReaderDisconnectsTheCardLeftBehind) {
    Initialize({"R0", "R1"});
    session.SelectReader(0);
    CardIs(true);
    ON_CALL(library, CardConnect(_, _, _, _, _, _))
        .WillByDefault(DoAll(SetArgPointee<4>(77u), SetArgPointee<5>(2u), Return(0u)));
    ASSERT_TRUE(session.TryConnectCard());
    session.SelectReader(0);  // the same reader again: the card stays connected
    EXPECT_TRUE(session.CardConnected());
    session.CountConnectFail();

    EXPECT_CALL(library, CardDisconnect(77, 3)).WillOnce(Return(0u));
    session.SelectReader(1);
    EXPECT_EQ(session.SelectedIndex(), 1);
    EXPECT_FALSE(session.CardConnected() || session.CardPresent() || session.ConnectFailed());
    EXPECT_TRUE(session.TrackingArmed()) << "the new reader is tracked from a clean state";
    EXPECT_EQ(session.ConnectFailCount(), 0);
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success", "Disconnect Card Success", ""));
}

TEST_F(ReaderSessionTest, ReReadingTheTableMovesEntriesWithTheirReaderAndLosesAGoneOne) {
    Initialize({"A", "B"});
    session.SelectReader(1);
    CardIs(true);
    ON_CALL(library, CardConnect(_, _, _, _, _, _))
        .WillByDefault(DoAll(SetArgPointee<4>(9u), SetArgPointee<5>(1u), Return(0u)));
    ASSERT_TRUE(session.TryConnectCard());

    session.Record(0)->Sam.Handle = 0xA;  // as the SAM page would keep it
    session.Record(1)->Sam.Handle = 0xB;
    std::vector<std::string> gone;
    session.SetReaderGoneHandler([&](ReaderRecord& record) {
        gone.push_back(record.Name + ":" + std::to_string(record.Sam.Handle));
    });

    ListReaders(library, std::string("B\0C\0\0", 5), 5);
    ASSERT_TRUE(session.RefreshReaders());
    EXPECT_EQ(session.SelectedIndex(), 0);
    EXPECT_STREQ(session.SelectedReaderName(), "B");
    EXPECT_EQ(session.SelectedCardHandle(), 9u);
    EXPECT_EQ(session.Record(0)->Sam.Handle, 0xBu) << "every part of the record moves";
    EXPECT_EQ(session.Record(1)->Card.Handle, 0u);
    EXPECT_TRUE(session.CardConnected() && session.ReaderInUse());
    EXPECT_THAT(gone, ElementsAre("A:10"));

    ListReaders(library, std::string("C\0\0", 3), 3);
    EXPECT_CALL(library, CardDisconnect(9, 0)).WillOnce(Return(0u));
    ASSERT_TRUE(session.RefreshReaders());
    EXPECT_TRUE(session.ReaderLost());
    EXPECT_FALSE(session.ReaderInUse() || session.CardConnected());
    EXPECT_EQ(session.SelectedReaderName(), nullptr);
    EXPECT_EQ(session.ReaderCount(), 1u);
    EXPECT_THAT(gone, ElementsAre("A:10", "B:11"));
    EXPECT_THAT(log.Lines(), ElementsAre("Initialize Success")) << "the release writes nothing";

    // Back under its name: the reader is chosen again, its card not yet connected.
    ListReaders(library, std::string("C\0B\0\0", 5), 5);
    ASSERT_TRUE(session.RefreshReaders());
    EXPECT_TRUE(session.RetakeChosenReader());
    EXPECT_STREQ(session.SelectedReaderName(), "B");
    EXPECT_TRUE(session.ReaderInUse());
    EXPECT_FALSE(session.CardConnected());
}

}  // namespace

namespace {

// The one reader-list reader of the session and both PC/SC backends, over scripted calls:
// each step answers the length query or the fill with a code, a reported length and bytes.
TEST(ReadReaderListTable, AsksTheLengthAllocatesAndAsksAgain) {
    constexpr std::uint32_t kShort = pcsc_codes::kInsufficientBuffer;
    struct Step {
        std::uint32_t code;
        std::uint32_t length;
        std::string bytes;  // what a fill writes, cut to the length it is given
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        std::uint32_t code;
        std::vector<std::string> names;
    };
    const std::string ab("A\0B\0\0", 5);
    const std::string abc("A\0B\0C\0\0", 7);
    const Row rows[] = {
        {"plain", {{0, 5, ""}, {0, 5, ab}}, 0, {"A", "B"}},
        {"grown between the calls, then read whole",
         {{0, 5, ""}, {kShort, 7, ""}, {0, 7, ""}, {0, 7, abc}},
         0,
         {"A", "B", "C"}},
        {"without the final terminator",
         {{0, 3, ""}, {0, 3, std::string("A\0B", 3)}},
         0,
         {"A", "B"}},
        {"filled past the length reported", {{0, 3, ""}, {0, 7, abc}}, 0, {"A", "B"}},
        {"only the terminator", {{0, 1, ""}, {0, 1, std::string(1, '\0')}}, 0, {}},
        {"length query refused", {{kFailure, 0, ""}}, kFailure, {}},
        {"fill refused", {{0, 5, ""}, {kFailure, 0, ""}}, kFailure, {}},
        {"growing at every try",
         {{0, 1, ""}, {kShort, 2, ""}, {0, 2, ""}, {kShort, 3, ""}, {0, 3, ""}, {kShort, 4, ""}},
         kShort,
         {}},
        {"absurd length bounded",
         {{0, 0xFFFFFFFF, ""}, {0, 6, std::string("Only\0\0", 6)}},
         0,
         {"Only"}},
    };
    for (const Row& row : rows) {
        std::size_t next = 0;
        std::vector<std::uint32_t> offered;
        const ReaderList list = ReadReaderList([&](char* buffer, std::uint32_t* length) {
            EXPECT_LT(next, row.steps.size()) << row.name;
            const Step& step = row.steps.at(next++);
            EXPECT_EQ(buffer == nullptr, next % 2 == 1) << row.name << ": length first, then fill";
            if (buffer != nullptr) {
                offered.push_back(*length);
                std::memcpy(buffer, step.bytes.data(),
                            std::min<std::size_t>(step.bytes.size(), *length));
            }
            *length = step.length;
            return step.code;
        });
        EXPECT_EQ(next, row.steps.size()) << row.name;
        EXPECT_EQ(list.code, row.code) << row.name;
        EXPECT_EQ(list.names, row.names) << row.name;
        for (const std::uint32_t length : offered) {
            EXPECT_LE(length, kMaxReaderListLength) << row.name;
        }
    }
}

// The reader watch's question: the first look re-reads, a change re-reads, and a change
// whose re-read failed is still there on the next look.
TEST_F(ReaderSessionTest, ReaderChangesAreTakenAsSeenOnlyWhenTheReReadSucceeded) {
    std::uint32_t count = 1;
    ON_CALL(library, CardGetStatusChange(kContext, 0, _, 1))
        .WillByDefault(Invoke([&](std::uint32_t, std::uint32_t, ReaderState* state, std::uint32_t) {
            EXPECT_TRUE(IsReaderChangeNotification(state->reader));
            const std::uint32_t known = ReaderEventCount(state->currentState);
            state->eventState =
                (count << kReaderEventCountShift) | (known != 0 && known != count ? 0x2u : 0u);
            return 0u;
        }));
    Initialize({"A"});
    EXPECT_TRUE(session.FollowReaderChanges()) << "the first look";
    EXPECT_FALSE(session.FollowReaderChanges());

    ++count;
    EXPECT_CALL(library, CardListReaders(_, _, _, _)).WillOnce(Return(kFailure));
    EXPECT_FALSE(session.FollowReaderChanges());
    ::testing::Mock::VerifyAndClearExpectations(&library);
    ListReaders(library, std::string("A\0B\0\0", 5), 5);
    EXPECT_TRUE(session.FollowReaderChanges()) << "the change is still to be seen";
    EXPECT_EQ(session.ReaderCount(), 2u);
    EXPECT_FALSE(session.FollowReaderChanges());
}

// The service was down when the session opened: the watch establishes the context itself.
TEST_F(ReaderSessionTest, TheReaderWatchEstablishesAMissingContext) {
    EXPECT_CALL(library, CardEstablishContext(_, _, _, _))
        .WillOnce(Return(kFailure))
        .WillOnce(Return(kFailure))
        .WillOnce(DoAll(SetArgPointee<3>(kContext), Return(0u)));
    EXPECT_FALSE(session.InitializeReaders());
    EXPECT_FALSE(session.FollowReaderChanges());
    ListReaders(library, std::string("A\0\0", 3), 3);
    EXPECT_TRUE(session.FollowReaderChanges());
    EXPECT_EQ(session.Context(), kContext);
    EXPECT_STREQ(session.ReaderName(0), "A");
}

}  // namespace
