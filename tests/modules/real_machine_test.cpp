// The drive modules on the machine the tests run on: the engine enumerates
// its real drives (whatever they are, none is fine), and every read-only test
// runs on each with a small sample, ending with a result of its own (not
// killed, not ended without one).  Nothing is written.
#include <set>

#include "module_fixture.h"

namespace velk::moduletest {
namespace {

using velk::enginetest::Field;

struct ModuleFamily {
    const char* id;
    const char* deviceType;
    std::vector<int> readOnlyTests;
    std::vector<std::string> parameters;  // of every test, bounding its time
};

const std::vector<ModuleFamily>& Families() {
    static const std::vector<ModuleFamily> families = {
        {"VeLkHardDrive", "HD", {0, 1, 3, 4}, {"VELK_BXI2_PERCENT_TO_TEST,0.01"}},
        {"VeLkCdDrive", "OPTICAL", {0, 3}, {}},
        {"VeLkDvdDrive", "OPTICAL", {0, 3}, {}},
        {"VeLkCdDvdDrive", "OPTICAL", {0, 3}, {}},
        {"VELkFloppy", "FD", {0, 3}, {}},
    };
    return families;
}

class RealMachineTest : public ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        for (const ModuleFamily& family : Families()) {
            AddModule(family.id);
        }
        StartOnMachine(true);
    }
};

TEST_F(RealMachineTest, EnumeratesTheDrivesWithTheirTypesAndLocators) {
    for (const ModuleFamily& family : Families()) {
        for (const std::string& device : DevicesOf(family.id)) {
            EXPECT_EQ(Field(device, "DEVTYPE"), family.deviceType) << device;
            EXPECT_FALSE(Field(device, "HWLOCATOR").value_or("").empty()) << device;
            EXPECT_EQ(Field(device, "OSLOCATOR").value_or("").rfind("/dev/", 0), 0u) << device;
        }
    }
}

TEST_F(RealMachineTest, ReadOnlyTestsEndWithAResultOfTheirOwn) {
    const std::set<std::string> ownResults = {kPass,          kFail,    kBusy,      kPrivilegeError,
                                              kNotApplicable, kNoMedia, kSetUpError};
    for (const ModuleFamily& family : Families()) {
        for (const std::string& device : DevicesOf(family.id)) {
            std::string locator = Field(device, "HWLOCATOR").value_or("");
            for (int test : family.readOnlyTests) {
                RunOutcome outcome = RunTest(family.id, test, locator, family.parameters);
                EXPECT_EQ(ownResults.count(outcome.finalResult), 1u)
                    << family.id << " test " << test << " on " << locator << ": " << outcome.status;
            }
        }
    }
}

}  // namespace
}  // namespace velk::moduletest
