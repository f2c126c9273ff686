#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/session/ReaderInfo.h"
#include "support/MockLibraries.h"

using ::testing::_;
using ::testing::Invoke;
using ::testing::Return;

namespace {

// The library writes `text` and reports `reported` as the delivered length.
auto Deliver(std::string text, std::uint32_t reported) {
    return Invoke([text, reported](std::uint32_t, std::uint8_t* buffer, std::uint32_t* length) {
        EXPECT_EQ(*length, 16u);
        std::memcpy(buffer, text.data(), std::min<std::size_t>(text.size(), *length));
        *length = reported;
        return 0u;
    });
}

TEST(ReaderNameCaption, ShowsAtMost114CharactersOfTheName) {
    EXPECT_EQ(ReaderNameCaption("Virtual PCD 00 00"), "Reader Name: Virtual PCD 00 00");
    EXPECT_EQ(ReaderNameCaption(nullptr), "Reader Name: ");
    const std::string exact(114, 'x');
    EXPECT_EQ(ReaderNameCaption(exact.c_str()), "Reader Name: " + exact);
    const std::string longer(200, 'y');
    const std::string caption = ReaderNameCaption(longer.c_str());
    EXPECT_EQ(caption.size(), 13u + 114u);
    EXPECT_LT(caption.size(), 128u) << "fits the caption buffer with its terminator";
}

TEST(ReaderTypeQuery, ShowsTheDeliveredText) {
    MockCardLibrary library;
    ReaderTypeQuery query;
    EXPECT_CALL(library, CardReaderType(9, _, _))
        .WillOnce(Deliver("ZP-SIM Reader", 13))
        .WillOnce(Deliver("", 0))
        .WillOnce(Deliver("0123456789ABCDEF", 16));
    EXPECT_EQ(query.Run(library, 9), "Reader Type : ZP-SIM Reader");
    EXPECT_EQ(query.Run(library, 9), "Reader Type : ");
    EXPECT_EQ(query.Run(library, 9), "Reader Type : 0123456789ABCDEF");
    EXPECT_EQ(query.ReaderTypeBuffer[16], 0) << "the terminator goes into the 17th byte";
}

TEST(ReaderTypeQuery, BoundsAnOutOfContractLengthToTheSixteenAsked) {
    MockCardLibrary library;
    ReaderTypeQuery query;
    EXPECT_CALL(library, CardReaderType(_, _, _)).WillOnce(Deliver("0123456789ABCDEF", 20));
    EXPECT_EQ(query.Run(library, 1), "Reader Type : 0123456789ABCDEF");
    EXPECT_EQ(query.ReaderTypeLength, 16u);
}

TEST(ReaderTypeQuery, ShowsTheFailureCode) {
    MockCardLibrary library;
    ReaderTypeQuery query;
    EXPECT_CALL(library, CardReaderType(_, _, _)).WillOnce(Return(0x80100003u));
    EXPECT_EQ(query.Run(library, 0), "Get Reader Type Fail,return code=0x0000000080100003");
}

}  // namespace
