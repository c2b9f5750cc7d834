// Device enumeration as a client sees it: the device list that
// LIST_DEVICES_AND_TESTS gives, merged across modules; client-driven
// enumeration (-dew, SCAN_MODULES); rescans; and modules that never
// connect, never answer or send malformed device data.
#include <signal.h>

#include <algorithm>

#include "client-connection-manager.h"
#include "engine_harness.h"

namespace velk::enginetest {
namespace {

using EnumerationTest = EngineTest;

std::vector<std::string> Locators(const std::vector<std::string>& devices) {
    std::vector<std::string> locators;
    for (const std::string& device : devices) {
        locators.push_back(Field(device, "HWLOCATOR").value_or("?"));
    }
    return locators;
}

// The DEVICE element with that hardware locator, "" when there is none.
std::string DeviceAt(const std::vector<std::string>& devices, const std::string& locator) {
    for (const std::string& device : devices) {
        if (Field(device, "HWLOCATOR") == locator) {
            return device;
        }
    }
    return {};
}

TEST_F(EnumerationTest, DeviceListReadsAsTheEngineClientReadsIt) {
    StartEngine();
    ConnectAndWaitForDevices();
    std::vector<std::string> devices = Devices();
    ASSERT_EQ(Locators(devices),
              (std::vector<std::string>{"IDE:0:0", "IDE:0:1", "CPU:0", "COM:1:03f8"}));

    // Names, test definitions, parameter ids, types and defaults as the
    // engine client reads them: dll EngineTest.StartLaunchesTheEngineAndReads-
    // TheTestsTheModuleDefines.  Here what that test does not see.
    std::string disk = DeviceAt(devices, "IDE:0:0");
    EXPECT_EQ(Field(disk, "OSLOCATOR"), "/dev/velktest0");
    EXPECT_EQ(Field(disk, "DEVTYPE"), "HD");
    EXPECT_EQ(Field(disk, "FRU_SERIALNUMBER"), "SN0001");
    EXPECT_EQ(Field(disk, "FRU_ADDINFO_VALUE"), "8 MB");
    ASSERT_EQ(Fields(disk, "COMPONENT").size(), 1u);
    std::string component = Field(disk, "COMPONENT").value_or("");
    EXPECT_EQ(Field(disk, "COMPONENT/DID"), "1");
    EXPECT_EQ(Field(component, "ID"), "VeLkTest");
    EXPECT_EQ(Field(component, "TYPE"), "1");
    EXPECT_EQ(Field(component, "NUMTESTS"), "2");
    std::vector<std::string> tests = Fields(component, "TEST");
    ASSERT_EQ(tests.size(), 2u);
    std::vector<std::string> properties = Fields(tests[0], "TEST_PROPERTIES/PROPERTY");
    ASSERT_EQ(properties.size(), 2u);
    EXPECT_EQ(Field(properties[1], "MIN_VALUE"), "1");
    EXPECT_EQ(Field(properties[1], "MAX_VALUE"), "100000");
    EXPECT_EQ(Field(properties[1], "MUST_BE_SET"), "0");
    EXPECT_EQ(Field(properties[1], "RECOMMEND_VALIDATE"), "1");
    EXPECT_FALSE(Field(properties[0], "MIN_VALUE")) << "MODE has no limits";
    EXPECT_EQ(Fields(tests[1], "TEST_PROPERTIES/PROPERTY").size(), 3u);

    // TESTS_SUPPORTED: the serial port offers test 0 only.
    std::string port = DeviceAt(devices, "COM:1:03f8");
    std::vector<std::string> portTests = Fields(Field(port, "COMPONENT").value_or(""), "TEST");
    ASSERT_EQ(portTests.size(), 1u);
    EXPECT_EQ(Field(portTests[0], "ID"), "0");
    EXPECT_FALSE(Field(DeviceAt(devices, "CPU:0"), "FRU_MANUFACTURER"));
}

TEST_F(EnumerationTest, DevicesOfSeveralModulesAreMergedByHardwareLocator) {
    // The same executable under a second name and module id reports the
    // same devices: one device each, with one component per module.
    Box().AddTestModule("velktwin",
                        Sandbox::TestModuleDefinitions({"szModuleId=VeLkTwin", "szVersion=9.9"}));
    StartEngine();
    ConnectAndWaitForDevices();
    std::vector<std::string> devices = Devices();
    ASSERT_EQ(devices.size(), 4u);
    for (const std::string& device : devices) {
        std::vector<std::string> components = Fields(device, "COMPONENT");
        ASSERT_EQ(components.size(), 2u) << device;
        EXPECT_EQ(Field(components[0], "ID"), "VeLkTest");
        EXPECT_EQ(Field(components[1], "ID"), "VeLkTwin");
        EXPECT_EQ(Field(components[1], "VERSION"), "9.9");
        EXPECT_EQ(Field(device, "COMPONENT/DID", 0), Field(device, "COMPONENT/DID", 1));
    }
    EXPECT_EQ(Field(Field(devices[0], "COMPONENT", 1).value_or(""), "NAME"),
              "<NLS mod=velktwin.vkm id=szModuleName />");
}

TEST_F(EnumerationTest, ClientDrivenEnumerationWaitsForScanModules) {
    StartEngine({"-dew"});
    ASSERT_EQ(Connect(), VELK_OPEN_OK) << "no enumeration may have happened yet";
    EXPECT_TRUE(Devices().empty());

    Box().AddTestModule("velktwin", Sandbox::TestModuleDefinitions({"szModuleId=VeLkTwin"}));
    Reply scan = Transact("SCAN_MODULES<MODULE_NAME>velktwin.vkm</MODULE_NAME>");
    EXPECT_EQ(Field(scan.message, "MSG/DATA/RESULT"), "OK");
    EXPECT_EQ(Field(scan.message, "MSG/DATA/NUMDEVICES"), "4");
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(10000, 0), 0) << "no DE_ENUM_NOTIFY";
    std::vector<std::string> devices = Devices();
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(Fields(devices[0], "COMPONENT").size(), 1u) << "only the named module was scanned";
    EXPECT_EQ(Field(Field(devices[0], "COMPONENT").value_or(""), "ID"), "VeLkTwin");

    // Later clients learn at the handshake that enumeration is complete.
    Disconnect();
    EXPECT_EQ(Connect(), VELK_OPEN_ENUM_COMPLETE);
}

TEST_F(EnumerationTest, ModulesOfAMultiInstanceEngineUseItsOwnFifo) {
    EngineProcess& engine = StartEngine({"--multi"});
    int result = VelkClient_I_OpenConnectionEx(engine.Pid(), "enginetest", "API", "", nullptr);
    ASSERT_TRUE(result == VELK_OPEN_OK || result == VELK_OPEN_ENUM_COMPLETE) << result;
    connected_ = true;
    if (result == VELK_OPEN_OK) {
        ASSERT_EQ(VelkClientWaitForEnumCompleteMessage(60000, 0), 0);
    }
    EXPECT_EQ(Devices().size(), 4u);
}

TEST_F(EnumerationTest, RescanAnswersWhenItIsDoneAndSeesNewModules) {
    StartEngine();
    ConnectAndWaitForDevices();
    ASSERT_EQ(Fields(Devices()[0], "COMPONENT").size(), 1u);
    Box().AddTestModule("velktwin", Sandbox::TestModuleDefinitions({"szModuleId=VeLkTwin"}));
    Reply rescan = Transact("RESCAN_DEVICES");
    EXPECT_EQ(Field(rescan.message, "MSG/DATA/RESULT"), "OK");
    std::vector<std::string> devices = Devices();
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(Fields(devices[0], "COMPONENT").size(), 2u);
}

TEST_F(EnumerationTest, ModuleThatNeverConnectsIsKilledAndEnumerationEnds) {
    // A module file that is only a shell script waiting forever.
    Box().WriteFile("bin/sleeper.linux", "#!/bin/sh\nwhile :; do sleep 1; done\n", 0700);
    Box().WriteFile("bin/sleeper.vkm", "[Module]\nszModuleId=VeLkSleeper\niNumTests=0\n");
    StartEngine({}, {"VELK_ENGINE_CONNECT_MS=1000"});
    ConnectAndWaitForDevices();
    EXPECT_EQ(Devices().size(), 4u);
    std::string bin = Box().BinDir();
    EXPECT_TRUE(WaitUntil([&] { return ProcessesUnder(bin).size() == 1; }, 10000))
        << "only velkcore may run from the bin directory";
}

TEST_F(EnumerationTest, ModuleThatNeverAnswersIsKilledAtTheEnumerationTimeOut) {
    Box().AddFakeModule("mute", "[Module]\nszModuleId=VeLkMute\n[Fake]\nBehaviour=silent\n");
    StartEngine({}, {"VELK_ENGINE_ENUMERATE_MS=1500"});
    // Asked (normally) before the first enumeration ends, the list comes
    // when it ends.
    int result = Connect();
    ASSERT_TRUE(connected_) << result;
    EXPECT_EQ(Devices().size(), 4u);
    Reply mute = Transact("LIST_DEVICES:mute");
    EXPECT_EQ(mute.Data(), "") << "a known module without devices";
}

TEST_F(EnumerationTest, MalformedDevicesAreDroppedAndTheRestKept) {
    std::string data =
        "<DEVICE><DID>1</DID><NAME>Good one</NAME><OSLOCATOR>x</OSLOCATOR>"
        "<HWLOCATOR>FAKE:1</HWLOCATOR><DEVTYPE>CD</DEVTYPE></DEVICE>"
        "<DEVICE><DID>2</DID><NAME>a < b</NAME><HWLOCATOR>FAKE:2</HWLOCATOR></DEVICE>"
        "<DEVICE><NAME>no id</NAME><HWLOCATOR>FAKE:3</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>x4</DID><HWLOCATOR>FAKE:4</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>5</DID><NAME>no locator</NAME></DEVICE>"
        "<DEVICE><DID>1</DID><HWLOCATOR>FAKE:6</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>7</DID><NAME>Disk <b>seven</b></NAME><HWLOCATOR>FAKE:7</HWLOCATOR>"
        "</DEVICE>"
        // The client reads a DID as a signed 32-bit number.
        "<DEVICE><DID>2147483647</DID><HWLOCATOR>FAKE:9</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>2147483648</DID><HWLOCATOR>FAKE:10</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>4294967295</DID><HWLOCATOR>FAKE:11</HWLOCATOR></DEVICE>"
        "<DEVICE><DID>8</DID><HWLOCATOR>FAKE:8";
    Box().WriteFile("broken.data", data);
    Box().AddFakeModule("broken",
                        "[Module]\nszModuleId=VeLkBroken\niNumTests=0\n[Fake]\n"
                        "Behaviour=enumdata\nDataFile=" +
                            Box().Root() + "/broken.data\n");
    StartEngine();
    ConnectAndWaitForDevices();
    std::vector<std::string> devices = Devices();
    std::vector<std::string> locators = Locators(devices);
    EXPECT_EQ(std::count(locators.begin(), locators.end(), "FAKE:1"), 1);
    EXPECT_EQ(std::count(locators.begin(), locators.end(), "FAKE:7"), 1);
    EXPECT_EQ(devices.size(), 7u) << "the four test module devices and three good ones";
    // Markup in a module's text reaches no client as markup; optical codes
    // become the client's type text; missing elements come empty.
    EXPECT_EQ(Field(DeviceAt(devices, "FAKE:7"), "NAME"), "Disk [b]seven[/b]");
    EXPECT_EQ(Field(DeviceAt(devices, "FAKE:1"), "DEVTYPE"), "OPTICAL");
    EXPECT_EQ(Field(DeviceAt(devices, "FAKE:7"), "OSLOCATOR"), "");
    // The module's own list holds the elements as it sent them.
    Reply own = Transact("LIST_DEVICES:broken.vkm");
    EXPECT_EQ(Fields(own.message, "MSG/DATA/COMPONENT/DEVICE/DID"),
              (std::vector<std::string>{"1", "7", "2147483647"}));
}

}  // namespace
}  // namespace velk::enginetest
