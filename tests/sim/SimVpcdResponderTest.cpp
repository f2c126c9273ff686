#include <gtest/gtest.h>

#include <vector>

#include "sim/SimCpuCard.h"
#include "sim/SimSle4442Card.h"
#include "sim/SimTestCard.h"
#include "sim/SimVpcdResponder.h"

namespace {
using V = std::vector<std::uint8_t>;
}

TEST(SimVpcdResponder, ControlMessagesAndTheAnswerToReset) {
    SimCpuCard card(SimCardKind::CpuT1);
    SimVpcdResponder responder(card);
    EXPECT_FALSE(responder.Answer(V{SimVpcdResponder::kPowerOn}));
    EXPECT_TRUE(responder.Powered());
    EXPECT_EQ(card.Atr(), responder.Answer(V{SimVpcdResponder::kGetAtr}));
    EXPECT_FALSE(responder.Answer(V{SimVpcdResponder::kPowerOff}));
    EXPECT_FALSE(responder.Powered());
    EXPECT_FALSE(responder.Answer(V{SimVpcdResponder::kReset}));
    EXPECT_TRUE(responder.Powered());
    EXPECT_FALSE(responder.Answer(V{}));
}

TEST(SimVpcdResponder, ApdusGoToTheCardWithItsT0Behaviour) {
    SimCpuCard card(SimCardKind::CpuT0);
    SimVpcdResponder responder(card);
    responder.Answer(V{SimVpcdResponder::kPowerOn});
    EXPECT_EQ(V({0x61, 0x10}), responder.Answer(V{0x00, 0xA4, 0x00, 0x00, 0x02, 0x2F, 0x00}));
    const auto fcp = responder.Answer(V{0x00, 0xC0, 0x00, 0x00, 0x10});
    ASSERT_TRUE(fcp);
    EXPECT_EQ(18u, fcp->size());
    EXPECT_EQ(V({0x6D, 0x00}), responder.Answer(V{0x00, 0x86, 0x00, 0x00, 0x08}));
}

TEST(SimVpcdResponder, ResetTakesAwayAPresentedCode) {
    SimSle4442Card card(SimCardKind::SLE4442);
    SimVpcdResponder responder(card);
    const V verify = {0xFF, 0x20, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF};
    const V update = {0xFF, 0xD6, 0x00, 0x40, 0x01, 0x5A};
    ASSERT_EQ(V({0x90, 0x00}), responder.Answer(verify));
    EXPECT_EQ(V({0x90, 0x00}), responder.Answer(update));
    responder.Answer(V{SimVpcdResponder::kReset});
    EXPECT_EQ(V({0x69, 0x82}), responder.Answer(update));
}

TEST(VpcdStream, FramesAndSplitsMessagesArrivingInPieces) {
    EXPECT_EQ(V({0x00, 0x02, 0x90, 0x00}), VpcdStream::Frame(V{0x90, 0x00}));
    const V framed = VpcdStream::Frame(V(258, 0xAB));
    ASSERT_EQ(260u, framed.size());
    EXPECT_EQ(V({0x01, 0x02}), V(framed.begin(), framed.begin() + 2));
    VpcdStream stream;
    stream.Feed(V{0x00});
    EXPECT_FALSE(stream.Next());
    stream.Feed(V{0x01, 0x04, 0x00, 0x05, 0x00, 0x84});
    EXPECT_EQ(V({0x04}), stream.Next());
    EXPECT_FALSE(stream.Next());
    stream.Feed(V{0x00, 0x00, 0x08, 0x00, 0x00});
    EXPECT_EQ(V({0x00, 0x84, 0x00, 0x00, 0x08}), stream.Next());
    EXPECT_EQ(V{}, stream.Next());  // an empty message
    EXPECT_FALSE(stream.Next());
}

// vpcd takes no PC/SC code back: an exchange the reader path refuses is answered 6F 00, the
// others reach the test card.
TEST(SimVpcdResponder, AReaderRefusalIsAnswered6F00) {
    SimTestCard card(SimCardKind::TestT1, {std::chrono::microseconds(0), {.refuseExtended = true}});
    SimVpcdResponder responder(card);
    responder.Answer(V{SimVpcdResponder::kPowerOn});
    responder.Answer(
        V{0x00, 0xA4, 0x04, 0x00, 0x09, 0xA0, 0x00, 0x00, 0x00, 0x66, 0x03, 0x01, 0xB3, 0x01});
    EXPECT_EQ(V({0x6F, 0x00}), responder.Answer(V{0x00, 0xB0, 0x00, 0x02, 0x00, 0x00, 0x02}));
    EXPECT_EQ(V({0x00, 0x01, 0x90, 0x00}), responder.Answer(V{0x00, 0x20, 0x00, 0x02, 0x02}));
    // 65533 data bytes and the status word fit a message; one byte more does not.
    SimTestCard sound(SimCardKind::TestT1, {std::chrono::microseconds(0), {}});
    SimVpcdResponder carrier(sound);
    carrier.Answer(V{SimVpcdResponder::kPowerOn});
    carrier.Answer(
        V{0x00, 0xA4, 0x04, 0x00, 0x09, 0xA0, 0x00, 0x00, 0x00, 0x66, 0x03, 0x01, 0xB3, 0x01});
    EXPECT_EQ(65535u, carrier.Answer(V{0x00, 0xB0, 0xFF, 0xFD, 0x00, 0xFF, 0xFD})->size());
    EXPECT_EQ(V({0x6F, 0x00}), carrier.Answer(V{0x00, 0xB0, 0xFF, 0xFE, 0x00, 0xFF, 0xFE}));
}
