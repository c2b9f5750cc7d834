// Device instances of the six classes, served by the provider loaded with
// dlopen from the real engine and the test module.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <Pegasus/Provider/ProviderException.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;

namespace {

std::string text(const String& s) {
    return std::string(s.getCString());
}

std::string stringProperty(const CIMInstance& instance, const char* name) {
    Uint32 at = instance.findProperty(CIMName(name));
    if (at == PEG_NOT_FOUND) {
        return "<missing " + std::string(name) + ">";
    }
    String value;
    instance.getProperty(at).getValue().get(value);
    return text(value);
}

size_t occurrences(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        count++;
    }
    return count;
}

struct DeviceCase {
    const char* className;
    const char* name;
    const char* deviceId;
    const char* description;
};

}  // namespace

class DeviceInstancesTest : public ProviderFixture,
                            public ::testing::WithParamInterface<DeviceCase> {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
    }
};

TEST_P(DeviceInstancesTest, ListsTheDeviceWithItsPropertiesAndKeys) {
    const DeviceCase& device = GetParam();
    CollectingPathHandler names;
    instances->enumerateInstanceNames(OperationContext(), classPath(device.className), names);
    ASSERT_EQ(names.paths().size(), 1u);
    const CIMObjectPath& path = names.paths()[0];
    EXPECT_EQ(text(path.getHost()), "testhost");
    EXPECT_EQ(text(path.getNameSpace().getString()), "root/korva");
    const Array<CIMKeyBinding> keys = path.getKeyBindings();
    ASSERT_EQ(keys.size(), 4u);
    const char* keyNames[] = {"CreationClassName", "DeviceID", "SystemName",
                              "SystemCreationClassName"};
    const char* keyValues[] = {device.className, device.deviceId, "testsystem",
                               "CIM_UnitaryComputerSystem"};
    // Paths keep their keys in an order of their own: look each one up.
    for (Uint32 k = 0; k < 4; k++) {
        std::string value = "<missing>";
        for (Uint32 i = 0; i < keys.size(); i++) {
            if (text(keys[i].getName().getString()) == keyNames[k]) {
                value = text(keys[i].getValue());
            }
        }
        EXPECT_EQ(value, keyValues[k]) << keyNames[k];
    }

    CollectingInstanceHandler got(true);
    instances->getInstance(OperationContext(), path, false, false, CIMPropertyList(), got);
    ASSERT_EQ(got.instances().size(), 1u);
    const CIMInstance& instance = got.instances()[0];
    const std::vector<std::pair<const char*, std::string>> expected = {
        {"Name", device.name},
        {"SystemName", "testsystem"},
        {"SystemCreationClassName", "CIM_UnitaryComputerSystem"},
        {"CreationClassName", device.className},
        {"DeviceID", device.deviceId},
        {"Description", device.description},
        {"Caption", device.description},
        {"Status", "Unknown"},
    };
    ASSERT_EQ(instance.getPropertyCount(), expected.size());
    for (Uint32 i = 0; i < expected.size(); i++) {
        EXPECT_EQ(text(instance.getProperty(i).getName().getString()), expected[i].first);
        EXPECT_EQ(stringProperty(instance, expected[i].first), expected[i].second);
    }

    CollectingInstanceHandler all;
    instances->enumerateInstances(OperationContext(), classPath(device.className), false, false,
                                  CIMPropertyList(), all);
    ASSERT_EQ(all.instances().size(), 1u);
    EXPECT_EQ(stringProperty(all.instances()[0], "DeviceID"), device.deviceId);
}

INSTANTIATE_TEST_SUITE_P(
    EveryClass, DeviceInstancesTest,
    ::testing::Values(DeviceCase{"VLK_OpticalDrive", "Test optical drive 0", "IDE:1:0",
                                 "Optical Drive - Test optical drive 0 - Simulated optical drive"},
                      DeviceCase{"VLK_Processor", "Test processor 0", "CPU:0",
                                 "CPU - Test processor 0 - Simulated processor"},
                      DeviceCase{"VLK_SerialPort", "Test serial port 1", "COM:1:03f8",
                                 "Serial Port - Test serial port 1 - Simulated serial port"},
                      // The engine's description equals the type text: it is not repeated.
                      DeviceCase{"VLK_ParallelPort", "Test parallel port 0", "LPT:1:0378",
                                 "Parallel Port - Test parallel port 0"},
                      DeviceCase{
                          "VLK_DisketteDrive", "Test diskette drive 0", "FD:0",
                          "Floppy Drive - Test diskette drive 0 - Simulated diskette drive"}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) {
        return std::string(info.param.className).substr(4);
    });

class DeviceBuilderTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
    }
};

TEST_F(DeviceBuilderTest, DiskDrivesComeInEngineOrder) {
    CollectingInstanceHandler all;
    instances->enumerateInstances(OperationContext(), classPath("vlk_diskdrive"), false, false,
                                  CIMPropertyList(), all);
    ASSERT_EQ(all.instances().size(), 2u);
    EXPECT_EQ(stringProperty(all.instances()[0], "DeviceID"), "IDE:0:0");
    EXPECT_EQ(stringProperty(all.instances()[1], "DeviceID"), "IDE:0:1");
    EXPECT_EQ(stringProperty(all.instances()[1], "Description"),
              "Hard Drive - Test hard drive 1 - Simulated disk drive");
}

TEST_F(DeviceBuilderTest, ReferenceThatNamesNoDeviceIsInvalid) {
    CollectingPathHandler names;
    instances->enumerateInstanceNames(OperationContext(), classPath("VLK_SerialPort"), names);
    ASSERT_EQ(names.paths().size(), 1u);
    CIMObjectPath other = names.paths()[0];
    Array<CIMKeyBinding> keys = other.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); i++) {
        if (keys[i].getName() == CIMName("DeviceID")) {
            keys[i].setValue("COM:2:02f8");
        }
    }
    other.setKeyBindings(keys);
    CollectingInstanceHandler got(true);
    try {
        instances->getInstance(OperationContext(), other, false, false, CIMPropertyList(), got);
        FAIL() << "a device that does not exist was found";
    } catch (const CIMObjectNotFoundException& e) {
        EXPECT_EQ(text(e.getMessage()), "Invalid Reference");
    }
    EXPECT_FALSE(got.protocol().isComplete());
}

TEST_F(DeviceBuilderTest, ConcurrentFirstRequestsBuildOneBuilderAndFetchTheSystemOnce) {
    const int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<int> listed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&] {
            ready++;
            while (ready.load() < kThreads) {
                std::this_thread::yield();
            }
            CollectingPathHandler names;
            instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiskDrive"),
                                              names);
            listed += static_cast<int>(names.paths().size());
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
