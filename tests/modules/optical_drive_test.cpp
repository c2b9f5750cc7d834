// The optical-drive modules run by the real engine on fake machines: drives
// go to the module of what they read, a disc image passes the read tests,
// an empty drive has no media, a blank disc holds no data and a disc with
// unreadable sectors names them.
#include "module_fixture.h"

namespace velk::moduletest {
namespace {

using velk::enginetest::Field;

constexpr const char* kCdDvd = "VeLkCdDvdDrive";
constexpr const char* kLocator = "SCSI:1:0:0:0";

class OpticalDriveTest : public ModuleTest {
  protected:
    void StartWith(const std::vector<FakeMachine::OpticalDrive>& drives,
                   const std::string& readFaults = "") {
        Machine().AddOpticalDrives(drives);
        AddModule("VeLkCdDrive");
        AddModule("VeLkDvdDrive");
        AddModule(kCdDvd, readFaults);
        StartOnMachine();
    }
};

TEST_F(OpticalDriveTest, EachDriveGoesToTheModuleOfWhatItReads) {
    FakeMachine::OpticalDrive cdOnly;
    cdOnly.name = "sr1";
    cdOnly.scsiAddress = "1:0:1:0";
    cdOnly.readsDvd = false;
    StartWith({FakeMachine::OpticalDrive{}, cdOnly});
    std::vector<std::string> both = DevicesOf(kCdDvd);
    ASSERT_EQ(both.size(), 1u);
    EXPECT_EQ(Field(both[0], "HWLOCATOR"), kLocator);
    EXPECT_EQ(Field(both[0], "DEVTYPE"), "OPTICAL");
    EXPECT_EQ(Field(both[0], "FRU_MODELNUMBER"), "Velkor DVD");
    std::vector<std::string> cd = DevicesOf("VeLkCdDrive");
    ASSERT_EQ(cd.size(), 1u);
    EXPECT_EQ(Field(cd[0], "HWLOCATOR"), "SCSI:1:0:1:0");
    EXPECT_TRUE(DevicesOf("VeLkDvdDrive").empty());
}

struct DiscCase {
    int test;
    bool discIn;
    const char* expected;
};

class DiscTest : public OpticalDriveTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscTest, EndsAsTheDiscInTheDriveCalls) {
    FakeMachine::OpticalDrive drive;
    drive.discBytes = GetParam().discIn ? drive.discBytes : 0;
    StartWith({drive});
    RunOutcome outcome = RunTest(kCdDvd, GetParam().test, kLocator);
    EXPECT_EQ(outcome.finalResult, GetParam().expected) << outcome.status;
    EXPECT_TRUE(outcome.ItemsOf("ERROR").empty());
    if (!GetParam().discIn) {
        EXPECT_TRUE(outcome.HasItem("WARN", "szWarnNoMedia", "153"));
    }
}

// An image file has no drive behind it to send commands to.
INSTANTIATE_TEST_SUITE_P(
    Tests, DiscTest,
    ::testing::Values(DiscCase{0, true, kPass}, DiscCase{1, true, kPass}, DiscCase{2, true, kPass},
                      DiscCase{3, true, kNotApplicable}, DiscCase{0, false, kNoMedia},
                      DiscCase{1, false, kNoMedia}, DiscCase{2, false, kNoMedia}));

TEST_F(OpticalDriveTest, ABlankDiscHoldsNoData) {
    FakeMachine::OpticalDrive drive;
    drive.blankDisc = true;
    StartWith({drive});
    RunOutcome outcome = RunTest(kCdDvd, 0, kLocator);
    EXPECT_EQ(outcome.finalResult, kFail);
    EXPECT_TRUE(outcome.HasItem("ERROR", "szErrNoData", "303"));
}

TEST_F(OpticalDriveTest, TheDataAreaReadNamesUnreadableSectors) {
    // 2048-byte sectors 1000 and 1001.
    StartWith({FakeMachine::OpticalDrive{}}, "2048000-2052096");
    RunOutcome outcome = RunTest(kCdDvd, 1, kLocator);
    EXPECT_EQ(outcome.finalResult, kFail);
    ASSERT_TRUE(outcome.HasItem("ERROR", "szErrUnreadable", "301"));
    std::string text = Field(outcome.ItemsOf("ERROR")[0], "TEXT").value_or("");
    EXPECT_NE(text.find("FIRST=1000 "), std::string::npos) << text;
    EXPECT_NE(text.find("COUNT=2 "), std::string::npos) << text;
}

}  // namespace
}  // namespace velk::moduletest
