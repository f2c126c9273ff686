#pragma once

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/session/ReaderSession.h"
#include "support/MockLibraries.h"

// Brings `session` over a mock card library to `readers` listed and reader `selected`
// chosen, and, for a non-zero `card`, to a card connected there with that handle and
// protocol: through the library calls a session makes, so its state stays its own. The
// expectations set here are verified and cleared before the test sets its own. Called again,
// it lists the readers anew under the context it has.
inline void OpenSession(ReaderSession& session, MockCardLibrary& library,
                        const std::vector<std::string>& readers, int selected,
                        std::uint32_t card = 0, std::uint32_t protocol = 0) {
    using namespace ::testing;
    std::string list;
    for (const std::string& name : readers) {
        list.append(name).push_back('\0');
    }
    list.push_back('\0');
    EXPECT_CALL(library, CardEstablishContext(_, _, _, _))
        .Times(AtMost(1))
        .WillOnce(DoAll(SetArgPointee<3>(0x5E55u), Return(0u)));
    EXPECT_CALL(library, CardListReaders(0x5E55u, _, _, _))
        .Times(2)
        .WillRepeatedly(
            Invoke([list](std::uint32_t, const char*, char* buffer, std::uint32_t* length) {
                if (buffer != nullptr) {
                    std::memcpy(buffer, list.data(), std::min<std::size_t>(list.size(), *length));
                }
                *length = static_cast<std::uint32_t>(list.size());
                return 0u;
            }));
    ASSERT_TRUE(session.RefreshReaders());
    session.SelectReader(selected);
    if (card != 0) {
        EXPECT_CALL(library, CardGetStatusChange(0x5E55u, _, _, 1))
            .WillOnce(Invoke([](std::uint32_t, std::uint32_t, ReaderState* state, std::uint32_t) {
                state->eventState = kStatePresent;
                return 0u;
            }));
        EXPECT_CALL(library, CardConnect(0x5E55u, _, _, _, _, _))
            .WillOnce(DoAll(SetArgPointee<4>(card), SetArgPointee<5>(protocol), Return(0u)));
        ASSERT_TRUE(session.TryConnectCard());
    }
    Mock::VerifyAndClearExpectations(&library);
}
