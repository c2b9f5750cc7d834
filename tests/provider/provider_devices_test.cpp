// Device instances of the six classes and the VLK_DiagTest catalogue,
// served by the provider loaded with dlopen from the real engine and the
// test module.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <Pegasus/Provider/ProviderException.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;

struct DeviceCase {
    const char* className;
    const char* name;
    const char* deviceId;
    const char* description;
    Uint32 count;  // devices of the class; the case names the last one
};

class DeviceTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
    }
    Array<CIMObjectPath> names(const char* className) {
        CollectingPathHandler handler;
        instances->enumerateInstanceNames(OperationContext(), classPath(className), handler);
        return handler.paths();
    }
    CIMInstance instanceAt(const CIMObjectPath& path) {
        CollectingInstanceHandler got(true);
        instances->getInstance(OperationContext(), path, false, false, CIMPropertyList(), got);
        EXPECT_EQ(got.instances().size(), 1u);
        return got.instances().size() == 1 ? got.instances()[0] : CIMInstance();
    }
};

class DeviceInstancesTest : public DeviceTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceInstancesTest, ListsTheDeviceWithItsPropertiesAndKeys) {
    const DeviceCase& device = GetParam();
    Array<CIMObjectPath> all = names(device.className);
    ASSERT_EQ(all.size(), device.count);
    Array<CIMObjectPath> paths(1, all[device.count - 1]);
    EXPECT_EQ(text(paths[0].getHost()), "testhost");
    EXPECT_EQ(text(paths[0].getNameSpace().getString()), "root/korva");
    EXPECT_EQ(paths[0].getKeyBindings().size(), 4u);
    EXPECT_EQ(keyText(paths[0], "CreationClassName"), device.className);
    EXPECT_EQ(keyText(paths[0], "DeviceID"), device.deviceId);
    EXPECT_EQ(keyText(paths[0], "SystemName"), "testsystem");
    EXPECT_EQ(keyText(paths[0], "SystemCreationClassName"), "CIM_UnitaryComputerSystem");

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Name", device.name},
        {"SystemName", "testsystem"},
        {"SystemCreationClassName", "CIM_UnitaryComputerSystem"},
        {"CreationClassName", device.className},
        {"DeviceID", device.deviceId},
        {"Description", device.description},
        {"Caption", device.description},
        {"Status", "Unknown"}};
    EXPECT_EQ(properties(instanceAt(paths[0])), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryClass, DeviceInstancesTest,
    ::testing::Values(DeviceCase{"VLK_OpticalDrive", "Test optical drive 0", "IDE:1:0",
                                 "Optical Drive - Test optical drive 0 - Simulated optical drive",
                                 1},
                      DeviceCase{"VLK_Processor", "Test processor 0", "CPU:0",
                                 "CPU - Test processor 0 - Simulated processor", 1},
                      DeviceCase{"VLK_SerialPort", "Test serial port 1", "COM:1:03f8",
                                 "Serial Port - Test serial port 1 - Simulated serial port", 1},
                      // The engine's description equals the type text: it is not repeated.
                      DeviceCase{"VLK_ParallelPort", "Test parallel port 0", "LPT:1:0378",
                                 "Parallel Port - Test parallel port 0", 1},
                      DeviceCase{"VLK_DisketteDrive", "Test diskette drive 0", "FD:0",
                                 "Floppy Drive - Test diskette drive 0 - Simulated diskette drive",
                                 1},
                      DeviceCase{"VLK_DiskDrive", "Test hard drive 1", "IDE:0:1",
                                 "Hard Drive - Test hard drive 1 - Simulated disk drive", 2}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) {
        return std::string(info.param.className).substr(4);
    });

TEST_F(DeviceTest, ReferenceThatNamesNoDeviceIsInvalid) {
    Array<CIMObjectPath> ports = names("VLK_SerialPort");
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(thrownMessage<CIMObjectNotFoundException>(
                  [&] { instanceAt(withKey(ports[0], "DeviceID", "COM:2:02f8")); }),
              "Invalid Reference");
}

// Seven devices of the test module run its two tests: two instances.
TEST_F(DeviceTest, EachModuleTestIsOneInstanceGettableByItsKeys) {
    const std::vector<std::pair<std::string, std::string>> tests = {
        {"VeLkTest:0:Quick test", "Ends at once with the result that MODE chooses"},
        {"VeLkTest:1:Timed test", "Runs for SECONDS seconds per pass and reports its progress"}};
    Array<CIMObjectPath> paths = names("VLK_DiagTest");
    ASSERT_EQ(paths.size(), tests.size());
    for (Uint32 t = 0; t < tests.size(); t++) {
        EXPECT_EQ(paths[t].getKeyBindings().size(), 4u);
        EXPECT_EQ(keyText(paths[t], "Name"), tests[t].first);
        EXPECT_EQ(keyText(paths[t], "CreationClassName"), "VLK_DiagTest");
        EXPECT_EQ(keyText(paths[t], "SystemName"), "testsystem");
        EXPECT_EQ(keyText(paths[t], "SystemCreationClassName"), "CIM_UnitaryComputerSystem");
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"Name", tests[t].first},
            {"SystemName", "testsystem"},
            {"SystemCreationClassName", "CIM_UnitaryComputerSystem"},
            {"CreationClassName", "VLK_DiagTest"},
            {"Description", tests[t].second},
            {"Caption", tests[t].second},
            {"Status", "Unknown"},
            {"StartMode", "Manual"},
            {"OtherCharacteristicDescription", ""},
            {"Characteristics", "2 7 "},
            {"ResourcesUsed", "0 1 "},
            {"IsInUse", "FALSE"},
            {"Started", "FALSE"}};
        EXPECT_EQ(properties(instanceAt(paths[t])), expected);
    }
    EXPECT_THROW(instanceAt(withKey(paths[0], "SystemName", "othersystem")),
                 CIMObjectNotFoundException);
}

TEST_F(DeviceTest, ConcurrentFirstRequestsBuildOneBuilderAndFetchTheSystemOnce) {
    const int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<int> listed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&] {
            for (ready++; ready.load() < kThreads;) {
                std::this_thread::yield();
            }
            listed += static_cast<int>(names("VLK_DiskDrive").size());
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(listed.load(), 2 * kThreads);
    std::string log = logText();
    EXPECT_EQ(occurrences(log, ") return a new instance"), 1u);
    EXPECT_EQ(occurrences(log, ") return an existing instance"), kThreads - 1u);
    EXPECT_EQ(occurrences(log, "VLK_ComputerSystem INFO"), 1u);
    EXPECT_EQ(occurrences(log, "creating new CTestEnvironment"), 1u);
}
