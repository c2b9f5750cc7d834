// The diskette module run by the real engine on fake machines: read and
// write tests, write protection, empty drives, unformatted diskettes and
// unreadable sectors.
#include "TestDirectory.h"
#include "module_fixture.h"

namespace velk::moduletest {
namespace {

using velk::enginetest::Field;

constexpr const char* kModule = "VELkFloppy";
constexpr const char* kLocator = "FD:0";

class DisketteTest : public ModuleTest {
  protected:
    void StartWith(const FakeMachine::Diskette& diskette, const std::string& readFaults = "") {
        Machine().AddDiskette(diskette);
        AddModule(kModule, readFaults);
        StartOnMachine();
    }
    std::string Image() { return velk::testsupport::ReadFile(Machine().Path("/dev/fd0")); }
};

TEST_F(DisketteTest, EnumeratesTheDriveWithItsType) {
    StartWith({});
    std::vector<std::string> devices = DevicesOf(kModule);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(Field(devices[0], "HWLOCATOR"), kLocator);
    EXPECT_EQ(Field(devices[0], "DEVTYPE"), "FD");
    EXPECT_EQ(Field(devices[0], "OSLOCATOR"), "/dev/fd0");
    EXPECT_EQ(Field(devices[0], "FRU_ADDINFO_VALUE"), "1.44M 3.5\"");
}

struct DisketteCase {
    const char* name;
    FakeMachine::Diskette diskette;
    int test;
    std::vector<std::string> parameters;
    const char* expected;
    const char* severity;  // of the item that tells why ("" for none)
    const char* nlsId;
};

using Diskette = FakeMachine::Diskette;
const Diskette kProtected{.writeProtected = true};

class DisketteCaseTest : public DisketteTest, public ::testing::WithParamInterface<DisketteCase> {};

TEST_P(DisketteCaseTest, EndsAsTheDisketteCalls) {
    const DisketteCase& c = GetParam();
    StartWith(c.diskette);
    std::string before = Image();
    RunOutcome outcome = RunTest(kModule, c.test, kLocator, c.parameters);
    EXPECT_EQ(outcome.finalResult, c.expected) << outcome.status;
    if (c.severity[0] != '\0') {
        EXPECT_TRUE(outcome.HasItem(c.severity, c.nlsId)) << c.nlsId;
    }
    EXPECT_EQ(Image(), before) << "the diskette's data changed";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisketteCaseTest,
    ::testing::Values(
        DisketteCase{"Media", {}, 0, {}, kPass, "INFO", "szInfoDiskette"},
        DisketteCase{"ReadAll", {}, 1, {}, kPass, "INFO", "szInfoThroughput"},
        DisketteCase{"Seek", {}, 2, {}, kPass, "INFO", "szInfoThroughput"},
        DisketteCase{"Writable", {}, 3, {}, kPass, "INFO", "szInfoWritable"},
        DisketteCase{"WriteNotAsked", {}, 4, {}, kBadParams, "WARN", "szWarnWriteNotAsked"},
        DisketteCase{"WriteAsked", {}, 4, {"WRITE,true"}, kPass, "INFO", "szInfoWritten"},
        DisketteCase{"Protected", kProtected, 3, {}, kPass, "INFO", "szInfoWriteProtected"},
        DisketteCase{
            "ProtectedWrite", kProtected, 4, {"WRITE,true"}, kFail, "ERROR", "szErrWriteProtected"},
        DisketteCase{
            "Unformatted", {.formatted = false}, 0, {}, kFail, "ERROR", "szErrNotFormatted"},
        DisketteCase{"Empty", {.imageBytes = 0}, 0, {}, kNoMedia, "WARN", "szWarnNoMedia"}),
    [](const ::testing::TestParamInfo<DisketteCase>& info) { return info.param.name; });

TEST_F(DisketteTest, ReadingEverySectorNamesTheUnreadableOnes) {
    // Sectors 100 to 101.
    StartWith({}, "51200-52224");
    RunOutcome outcome = RunTest(kModule, 1, kLocator);
    EXPECT_EQ(outcome.finalResult, kFail);
    ASSERT_TRUE(outcome.HasItem("ERROR", "szErrUnreadable", "401"));
    std::string text = Field(outcome.ItemsOf("ERROR")[0], "TEXT").value_or("");
    EXPECT_NE(text.find("FIRST=100 "), std::string::npos) << text;
    EXPECT_NE(text.find("LAST=101 "), std::string::npos) << text;
}

}  // namespace
}  // namespace velk::moduletest
