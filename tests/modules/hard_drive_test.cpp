// The hard-drive module run by the real engine on fake machines: healthy,
// faulty, busy and empty disks each end with their own result and log items.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <sstream>
#include <string>

#include "TestDirectory.h"
#include "module_fixture.h"

namespace velk::moduletest {
namespace {

using velk::enginetest::Field;

constexpr const char* kModule = "VeLkHardDrive";
constexpr const char* kLocator = "SCSI:0:0:0:0";

class HardDriveTest : public ModuleTest {
  protected:
    void StartWith(const FakeMachine::Disk& disk, const std::string& readFaults = "") {
        Machine().AddDisk(disk);
        AddModule(kModule, readFaults);
        StartOnMachine();
    }
    // Starts test 0 on a 256 GiB disk (a hole: reads are fast, but never
    // all of it in a test's time) and waits until it runs; its process id.
    std::string StartLongScan() {
        FakeMachine::Disk disk;
        disk.imageBytes = std::uint64_t{256} << 30;
        disk.sparse = true;
        StartWith(disk);
        std::string id = Start(kModule, 0, kLocator);
        EXPECT_TRUE(!id.empty() && WaitUntilRunning(id));
        return id;
    }
};

TEST_F(HardDriveTest, EnumeratesHardwareDisksWithTheirIdentityAndSkipsVirtualOnes) {
    Machine().AddVirtualBlockDevice("loop0");
    FakeMachine::Disk disk;
    disk.model = "Velkor <Fast> Disk";
    StartWith(disk);
    std::vector<std::string> devices = DevicesOf(kModule);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(Field(devices[0], "HWLOCATOR"), kLocator);
    EXPECT_EQ(Field(devices[0], "DEVTYPE"), "HD");
    EXPECT_EQ(Field(devices[0], "OSLOCATOR"), "/dev/sda");
    EXPECT_EQ(Field(devices[0], "FRU_MODELNUMBER"), "Velkor [Fast] Disk");
    EXPECT_EQ(Field(devices[0], "FRU_SERIALNUMBER"), "VD0001");
    EXPECT_EQ(Field(devices[0], "FRU_FIRMWAREREV"), "1.00");
    // Readers split an NLS tag's attributes at blanks: the model must stay
    // one attribute, or the name shows only its first word.
    const std::string nameTag = Field(devices[0], "NAME").value_or("");
    std::istringstream name(nameTag);
    std::string attribute;
    while (name >> attribute && attribute.rfind("MODEL=", 0) != 0) {
    }
    EXPECT_NE(attribute.find("Disk"), std::string::npos) << nameTag;
}

TEST_F(HardDriveTest, SystemInformationTellsTheDrivesIdentityAndSize) {
    StartWith({});
    velk::enginetest::Reply reply = Transact(std::string("SYSINFO:") + kLocator);
    std::vector<std::string> devices = velk::enginetest::Fields(reply.message, "MSG/DATA/DEVICE");
    ASSERT_EQ(devices.size(), 1u) << reply.message;
    std::vector<std::string> keys = velk::enginetest::Fields(devices[0], "SYSINFO/SYSINFO_KEY");
    std::vector<std::string> values = velk::enginetest::Fields(devices[0], "SYSINFO/SYSINFO_VALUE");
    ASSERT_EQ(keys.size(), values.size());
    std::map<std::string, std::string> info;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        info[keys[i]] = values[i];
    }
    EXPECT_EQ(info["MODEL"], "Velkor Disk");
    EXPECT_EQ(info["SERIAL"], "VD0001");
    EXPECT_EQ(info["CAPACITY"], std::to_string(4 << 20));
}

struct HealthyCase {
    int test;
    const char* expected;
};

class HealthyDiskTest : public HardDriveTest, public ::testing::WithParamInterface<HealthyCase> {};

TEST_P(HealthyDiskTest, EndsAsAHealthyDiskShould) {
    StartWith({});
    RunOutcome outcome = RunTest(kModule, GetParam().test, kLocator);
    EXPECT_EQ(outcome.finalResult, GetParam().expected) << outcome.status;
    EXPECT_TRUE(outcome.ItemsOf("ERROR").empty());
    EXPECT_EQ(Field(outcome.status, "PERCENTDONE"), "100");
}

// An image file has no drive behind it to ask for its health.
INSTANTIATE_TEST_SUITE_P(Tests, HealthyDiskTest,
                         ::testing::Values(HealthyCase{0, kPass}, HealthyCase{1, kPass},
                                           HealthyCase{2, kPass}, HealthyCase{3, kNotApplicable},
                                           HealthyCase{4, kPass}));

class UnreadableSectorsTest : public HardDriveTest, public ::testing::WithParamInterface<int> {};

TEST_P(UnreadableSectorsTest, NamesTheSectorsThatFailToRead) {
    // Sectors 3000 to 3007 fail; the random test reads enough places to
    // meet them for certain with its fixed seed.
    StartWith({}, "1536000-1540096");
    std::vector<std::string> parameters;
    if (GetParam() == 2) {
        parameters = {"COUNT,2000", "SEED,7"};
    }
    RunOutcome outcome = RunTest(kModule, GetParam(), kLocator, parameters);
    EXPECT_EQ(outcome.finalResult, kFail) << outcome.status;
    ASSERT_TRUE(outcome.HasItem("ERROR", "szErrUnreadable", "201"));
    std::string text = Field(outcome.ItemsOf("ERROR")[0], "TEXT").value_or("");
    EXPECT_NE(text.find("FIRST=3000 "), std::string::npos) << text;
    EXPECT_NE(text.find("LAST=3007 "), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(ReadTests, UnreadableSectorsTest, ::testing::Values(0, 1, 2));

class UnstableDataTest : public HardDriveTest, public ::testing::WithParamInterface<HealthyCase> {};

TEST_P(UnstableDataTest, OnlyTheVerifyingTestsSeeDataThatDiffersBetweenReads) {
    // A device that answers every read with new data: every read works, no
    // two agree.
    FakeMachine::Disk disk;
    disk.nodeTarget = "/dev/urandom";
    StartWith(disk);
    RunOutcome outcome = RunTest(kModule, GetParam().test, kLocator);
    EXPECT_EQ(outcome.finalResult, GetParam().expected) << outcome.status;
    EXPECT_EQ(outcome.HasItem("ERROR", "szErrMismatch", "202"),
              std::string(GetParam().expected) == kFail);
    EXPECT_FALSE(outcome.HasItem("ERROR", "szErrUnreadable"));
}

INSTANTIATE_TEST_SUITE_P(ReadTests, UnstableDataTest,
                         ::testing::Values(HealthyCase{0, kPass}, HealthyCase{1, kFail},
                                           HealthyCase{2, kFail}));

TEST_F(HardDriveTest, ADiskSmallerThanTheKernelSaysFailsTheSizeCheck) {
    FakeMachine::Disk disk;
    disk.kernelBytes = disk.imageBytes + 1024 * 512;
    StartWith(disk);
    RunOutcome outcome = RunTest(kModule, 4, kLocator);
    EXPECT_EQ(outcome.finalResult, kFail);
    EXPECT_TRUE(outcome.HasItem("ERROR", "szErrSizeMismatch", "205"));
    EXPECT_TRUE(outcome.HasItem("ERROR", "szErrUnreadable", "207")) << "last sector";
}

TEST_F(HardDriveTest, ADiskHeldByAnotherProgramIsBusy) {
    StartWith({});
    int holder = ::open(Machine().Path("/dev/sda").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    RunOutcome outcome = RunTest(kModule, 0, kLocator);
    ::close(holder);
    EXPECT_EQ(outcome.finalResult, kBusy);
    EXPECT_TRUE(outcome.HasItem("WARN", "szWarnDeviceBusy", "150"));
}

TEST_F(HardDriveTest, ANodeThatPassedToAnotherDriveIsNotTested) {
    StartWith({});
    Machine().Link("/sys/block/sda/device", "../../devices/pci0000:00/host0/target0:0:0/0:0:1:0");
    RunOutcome outcome = RunTest(kModule, 0, kLocator);
    EXPECT_EQ(outcome.finalResult, kSetUpError);
    EXPECT_TRUE(outcome.HasItem("WARN", "szWarnNoDrive", "210"));
}

TEST_F(HardDriveTest, AnEmptyCardReaderHasNoMedia) {
    FakeMachine::Disk disk;
    disk.removable = true;
    disk.kernelBytes = 0;
    StartWith(disk);
    RunOutcome outcome = RunTest(kModule, 0, kLocator);
    EXPECT_EQ(outcome.finalResult, kNoMedia);
}

TEST_F(HardDriveTest, AStopRequestEndsTheScanDiscontinuedByItself) {
    std::string id = StartLongScan();
    EXPECT_EQ(Transact("STOP_TEST:" + id).Data(), "<RESULT>OK</RESULT>");
    RunOutcome outcome = Finish(id);
    EXPECT_EQ(outcome.finalResult, kDiscontinued);
    for (const std::string& item : outcome.logItems) {
        EXPECT_NE(Field(item, "EVENTCODE"), "9002") << "killed instead of stopping";
    }
}

TEST_F(HardDriveTest, ATerminationSignalEndsTheScanCleanly) {
    std::string id = StartLongScan();
    std::vector<pid_t> modules;
    ASSERT_TRUE(velk::testsupport::WaitUntil(
        [&] {
            modules.clear();
            for (pid_t pid : velk::enginetest::ProcessesUnder(Box().BinDir())) {
                std::string command =
                    velk::testsupport::ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
                // The run's own process (an enumeration may still be ending).
                if (command.find(std::string("process=") + id + '\0') != std::string::npos) {
                    modules.push_back(pid);
                }
            }
            return !modules.empty();
        },
        10000));
    ASSERT_EQ(::kill(modules[0], SIGTERM), 0);
    RunOutcome outcome = Finish(id);
    EXPECT_EQ(outcome.finalResult, kDiscontinued) << "a result, not an abnormal end";
    std::string fifo = "VELK_" + std::to_string(modules[0]);
    EXPECT_TRUE(velk::testsupport::WaitUntil(
        [&] {
            std::vector<std::string> entries = Box().PipeDirEntries();
            return std::find(entries.begin(), entries.end(), fifo) == entries.end();
        },
        10000))
        << "the module left its FIFO";
}

TEST_F(HardDriveTest, ATestEndsByItselfWithinItsDeclaredTimeOut) {
    // 256 GiB cannot be read in 5 s: the scan wraps up before the engine's
    // time-out and says how far it came.
    FakeMachine::Disk disk;
    disk.imageBytes = std::uint64_t{256} << 30;
    disk.sparse = true;
    Machine().AddDisk(disk);
    AddModule(kModule);
    OverrideDefinition(kModule, "iTestTimeout[0]", "5");
    StartOnMachine();
    RunOutcome outcome = RunTest(kModule, 0, kLocator);
    EXPECT_EQ(outcome.finalResult, kPass) << outcome.status;
    EXPECT_TRUE(outcome.HasItem("WARN", "szWarnTimeLimit", "209"));
    for (const std::string& item : outcome.logItems) {
        EXPECT_NE(Field(item, "EVENTCODE"), "9001") << "the engine's time-out struck";
    }
}

TEST_F(HardDriveTest, PercentToTestBoundsTheSample) {
    FakeMachine::Disk disk;
    disk.imageBytes = 40 << 20;
    StartWith(disk);
    RunOutcome outcome = RunTest(kModule, 0, kLocator, {"VELK_BXI2_PERCENT_TO_TEST,10"});
    EXPECT_EQ(outcome.finalResult, kPass);
    ASSERT_TRUE(outcome.HasItem("INFO", "szInfoThroughput"));
    std::string text;
    for (const std::string& item : outcome.ItemsOf("INFO")) {
        if (item.find("szInfoThroughput") != std::string::npos) {
            text = Field(item, "TEXT").value_or("");
        }
    }
    // 4 of the 40 one-MiB chunks: 4194304 bytes.
    EXPECT_NE(text.find("MB=4 "), std::string::npos) << text;
}

}  // namespace
}  // namespace velk::moduletest
