#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChipScenarios.h"
#include "sim/SimCardFactory.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"

using ::testing::ElementsAre;

namespace {

// The memory-card pages against the simulated reader, driven only through the widgets.
class SimulatedMemoryCard : public ::testing::Test {
  protected:
    SimulatedMemoryCard() {
        library.InsertCard(0, SimCardKind::SLE4442);
        EXPECT_TRUE(driver.Connect());
    }

    std::vector<std::string> Log() { return driver.Log("SLE4442Respon"); }

    SimCardLibrary library;
    SimSamLibrary sam{library};
    SimMsrLibrary msr{library};
    MemCardDriver driver{library, sam, msr};
};

TEST_F(SimulatedMemoryCard, VerifyWriteAndReadBack) {
    driver.Run({"SLE4442Verify", nullptr, nullptr, "ffffff"});
    driver.Run({"SLE4442WriteM", "64", "3", "a1b2c3"});
    driver.Run({"SLE4442ReadM", "64", "3"});
    EXPECT_TRUE(driver.Boxes().Boxes().empty());
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 16u);
    EXPECT_EQ(log[2], "SLE4442 Verify Success");
    EXPECT_EQ(log[6], "     Send Data (0x003 bytes) : A1 B2 C3 ");
    EXPECT_EQ(log[7], "SLE4432/4442 Write Main Memory Success");
    EXPECT_THAT(std::vector<std::string>(log.begin() + 9, log.end()),
                ElementsAre("SLE4432/4442 Read Main Memory :", "     Starting Address : 0x040",
                            "     Receive Length = 0x003", "SLE4432/4442 Read Main Memory Success",
                            "Receive Data : 003 bytes : ", "A1 B2 C3 ", std::string(12, ' ')));
}

TEST_F(SimulatedMemoryCard, OverlongDeliveryAndFailure) {
    library.DeliverNextLength("CardSLE4442ReadMain", 300);
    driver.Run({"SLE4442ReadM", "0", "20"});
    EXPECT_EQ(Log()[4], "Receive Data : 014 bytes : ");
    EXPECT_EQ(Log().size(), 8u);

    library.FailNext("CardSLE4442ReadMain", 6);
    driver.Run({"SLE4442ReadM", "16", "20"});
    EXPECT_THAT(driver.Boxes().Errors(), ElementsAre("SLE4432/4442 Read Main Memory Fail!"));
    EXPECT_EQ(Log()[11], "SLE4432/4442 Read Main Memory Fail, return code=0x0000000000000006");
    EXPECT_FALSE(driver.Session().CardBusy());
}

// Each family's datasheet facts, record by record, on a new simulated card.
TEST(SimulatedChips, ScenariosWriteTheirRecords) {
    for (const ChipScenario& scenario : ChipScenarios()) {
        SCOPED_TRACE(scenario.name);
        SimCardLibrary library;
        SimSamLibrary sam(library);
        SimMsrLibrary msr(library);
        library.InsertCard(0, MakeSimCardFromOption(scenario.card));
        MemCardDriver driver(library, sam, msr);
        ASSERT_TRUE(driver.Connect());
        std::vector<std::string> expected;
        driver.Play(scenario, Backend::Simulated, expected);
        EXPECT_EQ(driver.Log(scenario.log), expected);
    }
}

}  // namespace
