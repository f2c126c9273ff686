#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/session/PcscCodes.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimReaderControl.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SimReaderControl, AnswersAsAPinPadReaderWithAndWithoutACard) {
    SimCardLibrary library({"R0", "R1"});
    library.InsertCard(1, SimCardKind::CpuT1);
    library.RemoveCard(1);
    library.InsertCard(1, SimCardKind::CpuT0);
    SimReaderControlFactory factory(library);
    const auto control = factory.Create();
    library.RemoveCard(1);  // the connection keeps the state it was made with

    ReaderAccess access{};
    EXPECT_EQ(control->Open("R9", access), pcsc_codes::kUnknownReader);
    ASSERT_EQ(control->Open("R0", access), 0u);
    EXPECT_EQ(access, ReaderAccess::Direct);
    Bytes value;
    EXPECT_EQ(control->GetAttribute(ReaderAttribute::CurrentProtocolType, value),
              pcsc_codes::kNoSmartcard);
    EXPECT_EQ(control->GetAttribute(ReaderAttribute::VendorIfdSerialNo, value),
              pcsc_codes::kUnsupportedFeature);
    ReaderStatusFacts status;
    ASSERT_EQ(control->Status(status), 0u);
    EXPECT_TRUE(status.empty && !status.present);

    ASSERT_EQ(control->Open("R1", access), 0u);
    EXPECT_EQ(access, ReaderAccess::Shared);
    ASSERT_EQ(control->Status(status), 0u);
    EXPECT_TRUE(status.present && !status.empty);
    EXPECT_EQ(status.eventCounter, 3u);
    EXPECT_EQ(status.protocol, 1u);
    ASSERT_EQ(control->GetAttribute(ReaderAttribute::AtrString, value), 0u);
    EXPECT_EQ(value, status.atr);

    // The escape command at SCARD_CTL_CODE(3500) answers the firmware string; an unknown
    // code is refused and answers nothing.
    Bytes reply;
    ASSERT_EQ(control->Control(control->ControlCode(3500), {0x01}, reply), 0u);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), kSimFirmwareId);
    EXPECT_EQ(control->Control(control->ControlCode(1), {}, reply),
              pcsc_codes::kUnsupportedFeature);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(control->Close(), 0u);
    EXPECT_EQ(control->Control(control->FeatureRequestCode(), {}, reply),
              pcsc_codes::kInvalidHandle);
}

}  // namespace
