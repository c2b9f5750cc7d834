// Reading the engine's LIST_DEVICES_AND_TESTS reply into devices, modules,
// tests and parameters, from replies built by hand (no engine involved).
#include <gtest/gtest.h>

#include <stdexcept>
#include <unistd.h>

#include <sstream>
#include <string>

#include "CycleImp.h"
#include "DeviceImp.h"
#include "ModuleImp.h"
#include "ReplyBuilder.h"
#include "ScenarioImp.h"
#include "TestImp.h"
#include "TestRunImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"
#include "TestEnvironmentImp.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Component;
using velk::dlltest::Device;
using velk::dlltest::DeviceHead;
using velk::dlltest::Element;
using velk::dlltest::Property;
using velk::dlltest::Reply;
using velk::dlltest::TestElement;

class DeviceListTest : public ::testing::Test {
  protected:
    // Reads reply into the environment and gives the number of devices.
    unsigned int Read(const std::string& data, bool adopt = false) {
        EXPECT_EQ(imp().ReadDeviceList(Reply(data).c_str(), adopt), 0);
        unsigned int size = 0;
        EXPECT_EQ(environment_.GetDeviceArraySize(size), 0);
        return size;
    }
    CTestEnvironmentImp& imp() { return *environment_.Imp(); }
    CDevice* DeviceAt(unsigned int index) {
        CDevice* device = nullptr;
        EXPECT_EQ(environment_.GetDeviceArrayElement(index, &device), 0);
        return device;
    }
    CTest* TestAt(unsigned int device, unsigned int index) {
        CTest* test = nullptr;
        EXPECT_EQ(DeviceAt(device)->GetTestArrayElement(index, &test), CDevice::OK);
        return test;
    }
    std::string Hw(unsigned int device) {
        std::string locator;
        DeviceAt(device)->GetHWLocator(locator);
        return locator;
    }
    unsigned int TestCount(unsigned int device) {
        unsigned int count = 0;
        DeviceAt(device)->GetTestArraySize(count);
        return count;
    }

    CTestEnvironment environment_;
};

std::string SimpleDevice(int index, const std::string& tests = TestElement(0, "T0")) {
    return Device(DeviceHead("Disk " + std::to_string(index), "HW:" + std::to_string(index)) +
                  Component("MOD", std::to_string(index), tests));
}

// ---- Limits ----

TEST_F(DeviceListTest, ReadsAtMostOneHundredDevices) {
    std::string data;
    for (int i = 0; i < 150; ++i) {
        data += SimpleDevice(i);
    }
    ASSERT_EQ(Read(data), 100u);
    EXPECT_EQ(Hw(0), "HW:0");
    EXPECT_EQ(Hw(99), "HW:99");
}

TEST_F(DeviceListTest, ReadsAtMostOneHundredTestsPerComponent) {
    std::string tests;
    for (int t = 0; t < 120; ++t) {
        tests += TestElement(t, "T" + std::to_string(t));
    }
    // A second component is still read after the first one hit the limit.
    std::string data = Device(DeviceHead("Disk", "HW:0") + Component("A", "0", tests) +
                              Component("B", "0", TestElement(0, "B0")));
    ASSERT_EQ(Read(data), 1u);
    ASSERT_EQ(TestCount(0), 101u);
    std::string module;
    int index = -1;
    TestAt(0, 99)->GetModuleIdAndIndex(module, index);
    EXPECT_EQ(module, "A");
    EXPECT_EQ(index, 99);
    TestAt(0, 100)->GetModuleIdAndIndex(module, index);
    EXPECT_EQ(module, "B");
    EXPECT_EQ(index, 0);
}

TEST_F(DeviceListTest, ReadsAtMostOneHundredParametersPerTest) {
    std::string properties;
    for (int p = 0; p < 150; ++p) {
        properties += Property("P" + std::to_string(p));
    }
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(0, "T0", Element("TEST_PROPERTIES", properties)))),
              1u);
    unsigned int count = 0;
    TestAt(0, 0)->GetParameterArraySize(count);
    ASSERT_EQ(count, 100u);
    CTestParameter* parameter = nullptr;
    ASSERT_EQ(TestAt(0, 0)->GetParameterArrayElement(99, &parameter), CTest::OK);
    std::string id;
    parameter->GetId(id);
    EXPECT_EQ(id, "P99");
    EXPECT_EQ(TestAt(0, 0)->GetParameterArrayElement(100, &parameter), 1);
    EXPECT_EQ(parameter, nullptr);
}

// ---- Which entries are kept ----

TEST_F(DeviceListTest, DeviceWithoutDescriptionIsKept) {
    ASSERT_EQ(Read(SimpleDevice(0)), 1u);
    std::string description;
    DeviceAt(0)->GetDescription(description);
    EXPECT_EQ(description, "UNDEF");
}

TEST_F(DeviceListTest, DeviceMissingARequiredElementEndsTheList) {
    const char* required[] = {"NAME", "OSLOCATOR", "HWLOCATOR", "DEVTYPE"};
    for (const char* element : required) {
        std::string head = DeviceHead("Disk", "HW:1");
        std::string::size_type start = head.find(std::string("<") + element + ">");
        std::string::size_type end = head.find(std::string("</") + element + ">");
        head.erase(start, end + std::string(element).size() + 3 - start);
        std::string data = SimpleDevice(0) +
                           Device(head + Component("MOD", "1", TestElement(0, "T"))) +
                           SimpleDevice(2);
        EXPECT_EQ(Read(data), 1u) << "without " << element;
        EXPECT_EQ(Hw(0), "HW:0");
    }
}

TEST_F(DeviceListTest, ComponentWithoutDeviceIdDiscardsTheDeviceAndEndsTheList) {
    std::string broken =
        Device(DeviceHead("Disk", "HW:1") + Component("A", "1", TestElement(0, "T")) +
               Element("COMPONENT", Element("ID", "B") + TestElement(0, "T")));
    ASSERT_EQ(Read(SimpleDevice(0) + broken + SimpleDevice(2)), 1u);
    EXPECT_EQ(Hw(0), "HW:0");
}

TEST_F(DeviceListTest, GarbageDeviceIdCountsAsMissing) {
    ASSERT_EQ(Read(SimpleDevice(0) +
                   Device(DeviceHead("Disk", "HW:1") + Component("A", "7x", TestElement(0, "T")))),
              1u);
}

TEST_F(DeviceListTest, ComponentWithoutTestsNeedsNoDeviceId) {
    std::string data =
        Device(DeviceHead("Disk", "HW:0") + Element("COMPONENT", Element("ID", "A")) +
               Component("B", "3", TestElement(1, "T")));
    ASSERT_EQ(Read(data), 1u);
    ASSERT_EQ(TestCount(0), 1u);
    int did = -1;
    TestAt(0, 0)->GetDeviceID(did);
    EXPECT_EQ(did, 3);
}

TEST_F(DeviceListTest, InvalidTestEndsOnlyItsComponent) {
    std::string firstTests = TestElement(0, "ok") + Element("TEST", Element("NAME", "no id")) +
                             TestElement(2, "never read");
    std::string data = Device(DeviceHead("Disk", "HW:0") + Component("A", "0", firstTests) +
                              Component("B", "0", TestElement(0, "B0") + TestElement(1, "B1")));
    ASSERT_EQ(Read(data), 1u);
    ASSERT_EQ(TestCount(0), 3u);
    std::string name;
    TestAt(0, 0)->GetName(name);
    EXPECT_EQ(name, "ok");
    TestAt(0, 1)->GetName(name);
    EXPECT_EQ(name, "B0");
}

TEST_F(DeviceListTest, TestsWithBadIdsOrNegativeDeviceIdAreInvalid) {
    std::string data =
        Device(DeviceHead("Disk", "HW:0") +
               Component("A", "0", Element("TEST", Element("NAME", "x") + Element("ID", "1x"))) +
               Component("B", "-1", TestElement(0, "negative device")) +
               Component("C", "0", TestElement(4, "fine")));
    ASSERT_EQ(Read(data), 1u);
    ASSERT_EQ(TestCount(0), 1u);
    std::string module;
    int index = -1;
    TestAt(0, 0)->GetModuleIdAndIndex(module, index);
    EXPECT_EQ(module, "C");
    EXPECT_EQ(index, 4);
}

TEST_F(DeviceListTest, ComponentWithoutIdKeepsUndefAsModuleId) {
    std::string data = Device(DeviceHead("Disk", "HW:0") +
                              Element("COMPONENT", Element("DID", "0") + TestElement(0, "T")));
    ASSERT_EQ(Read(data), 1u);
    ASSERT_EQ(TestCount(0), 1u);
    EXPECT_EQ(TestAt(0, 0)->IsMatch("UNDEF", CTest::ANY_TEST, CTest::ANY_DEVICE), 0);
}

TEST_F(DeviceListTest, ReplyWithoutDevicesGivesAnEmptyList) {
    EXPECT_EQ(Read(""), 0u);
    EXPECT_EQ(imp().ReadDeviceList("not a message at all", false), 0);
    EXPECT_EQ(imp().Devices().size(), 0u);
}

TEST_F(DeviceListTest, ASecondReadReplacesTheList) {
    std::string data = SimpleDevice(0) + SimpleDevice(1);
    ASSERT_EQ(Read(data), 2u);
    EXPECT_EQ(Read(data), 2u);
}

TEST_F(DeviceListTest, DeviceElementPastTheEndIsNull) {
    ASSERT_EQ(Read(SimpleDevice(0)), 1u);
    CDevice* device = reinterpret_cast<CDevice*>(&environment_);
    EXPECT_EQ(environment_.GetDeviceArrayElement(1, &device), 0);
    EXPECT_EQ(device, nullptr);
    CTest* test = nullptr;
    EXPECT_EQ(DeviceAt(0)->GetTestArrayElement(1, &test), 1);
    EXPECT_EQ(test, nullptr);
}

// ---- Device fields ----

TEST_F(DeviceListTest, ReadsLocatorsTypeAndFruData) {
    std::string fru = Element("FRU_MANUFACTURER", "Velkor") + Element("FRU_MODELNUMBER", "VT-1") +
                      Element("FRU_SERIALNUMBER", "SN9") + Element("FRU_FIRMWAREREV", "1.0") +
                      Element("FRU_FIRMWAREDATE", "2024-01-01") +
                      Element("FRU_PHYSADDRESS", "0x3f8");
    ASSERT_EQ(Read(Device(DeviceHead("Port", "COM:1:03f8", "COM", "/dev/ttyS0") +
                          Element("DESCRIPTION", "Serial") + fru)),
              1u);
    CDevice* device = DeviceAt(0);
    std::string text;
    device->GetOSLocator(text);
    EXPECT_EQ(text, "/dev/ttyS0");
    device->GetDeviceType(text);
    EXPECT_EQ(text, CDevice::SERIAL);
    device->GetDescription(text);
    EXPECT_EQ(text, "Serial");
    device->GetManufacturer(text);
    EXPECT_EQ(text, "Velkor");
    device->GetModelNumber(text);
    EXPECT_EQ(text, "VT-1");
    device->GetSerialNumber(text);
    EXPECT_EQ(text, "SN9");
    device->GetFirmwareRev(text);
    EXPECT_EQ(text, "1.0");
    device->GetFirmwareDate(text);
    EXPECT_EQ(text, "2024-01-01");
    device->GetPhysicalAddr(text);
    EXPECT_EQ(text, "0x3f8");
    CDevice::State state = static_cast<CDevice::State>(9);
    device->GetState(state);
    EXPECT_EQ(state, CDevice::NORMAL);
}

TEST_F(DeviceListTest, ReadsAdditionalFruInformationInOrder) {
    std::string info = Element("FRU_ADDINFO_FIELD", "VID") + Element("FRU_ADDINFO_DESC", "Vendor") +
                       Element("FRU_ADDINFO_VALUE", "0x1234") +
                       Element("FRU_ADDINFO_FIELD", "PID") + Element("FRU_ADDINFO_VALUE", "0x9");
    ASSERT_EQ(Read(Device(DeviceHead("Disk", "HW:0") + info) + SimpleDevice(1)), 2u);
    CDevice::CAdditionalInfo* record = nullptr;
    ASSERT_EQ(DeviceAt(0)->GetFirstAdditionalInfo(&record), CDevice::OK);
    EXPECT_EQ(record->GetField(), "VID");
    EXPECT_EQ(record->GetDescription(), "Vendor");
    EXPECT_EQ(record->GetValue(), "0x1234");
    ASSERT_EQ(DeviceAt(0)->GetNextAdditionalInfo(&record), CDevice::OK);
    EXPECT_EQ(record->GetField(), "PID");
    // The second record has no description of its own: it takes none from
    // elsewhere.
    EXPECT_EQ(record->GetDescription(), "UNDEF");
    EXPECT_EQ(record->GetValue(), "0x9");
    EXPECT_EQ(DeviceAt(0)->GetNextAdditionalInfo(&record), 1);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(DeviceAt(1)->GetFirstAdditionalInfo(&record), 1);
    EXPECT_EQ(record, nullptr);
}

// ---- Test fields ----

struct FlagCase {
    const char* flags;  // nullptr: no FLAGS element
    unsigned int expected;
};

class TestFlagsTest : public DeviceListTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(TestFlagsTest, DecodesEachBit) {
    FlagCase flagCase = GetParam();
    std::string extra = flagCase.flags != nullptr ? Element("FLAGS", flagCase.flags) : "";
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(0, "T", extra))), 1u);
    CTest* test = TestAt(0, 0);
    bool values[8] = {};
    test->GetInteractive(values[0]);
    test->GetRequiresFixture(values[1]);
    test->GetShowFixturePromptEveryRun(values[2]);
    test->GetRisky(values[3]);
    test->GetDestructive(values[4]);
    test->GetSoftareDiag(values[5]);
    test->GetSelfFixIfPossible(values[6]);
    test->GetSelfHelp(values[7]);
    for (unsigned int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(values[bit], (flagCase.expected >> bit & 1u) != 0) << "bit " << bit;
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, TestFlagsTest,
                         ::testing::Values(FlagCase{"255", 0xFF}, FlagCase{"0", 0},
                                           FlagCase{nullptr, 0}, FlagCase{"16", 0x10},
                                           FlagCase{"5", 0x05}, FlagCase{"ff", 0},
                                           FlagCase{"3 apples", 0}));

TEST_F(DeviceListTest, ReadsNumbersAndTreatsGarbageAsAbsent) {
    std::string tests =
        TestElement(0, "good", Element("EST_DURATION", " 30 ") + Element("TIMEOUT", "600")) +
        TestElement(1, "bad", Element("EST_DURATION", "abc") + Element("TIMEOUT", "12abc")) +
        TestElement(2, "huge", Element("TIMEOUT", "99999999999"));
    ASSERT_EQ(Read(SimpleDevice(0, tests)), 1u);
    int value = 0;
    TestAt(0, 0)->GetEstimatedDuration(value);
    EXPECT_EQ(value, 30);
    TestAt(0, 0)->GetTimeOut(value);
    EXPECT_EQ(value, 600);
    TestAt(0, 1)->GetEstimatedDuration(value);
    EXPECT_EQ(value, -1);
    TestAt(0, 1)->GetTimeOut(value);
    EXPECT_EQ(value, -1);
    TestAt(0, 2)->GetTimeOut(value);
    EXPECT_EQ(value, -1);
}

TEST_F(DeviceListTest, TestsKnowTheirDeviceAndModule) {
    std::string component =
        Element("COMPONENT", Element("ID", "VeLkTest") + Element("DID", "4") +
                                 Element("TYPE", "3") + Element("NAME", "Module") +
                                 Element("VERSION", "1.2.3") + Element("TESTPARLLEL", "1") +
                                 Element("CDMSUPPORTED", "2") + Element("DEVPARALLEL", "x") +
                                 Element("NUMTESTS", "junk") + Element("ESTTIMELEFT", "12") +
                                 TestElement(1, "T1", Element("DESCRIPTION", "Quick")));
    ASSERT_EQ(Read(Device(DeviceHead("Disk", "HW:0") + component)), 1u);
    CTest* test = TestAt(0, 0);
    CDevice* device = nullptr;
    test->GetDevice(&device);
    EXPECT_EQ(device, DeviceAt(0));
    std::string text;
    int number = 0;
    bool flag = false;
    test->GetModuleName(text);
    EXPECT_EQ(text, "Module");
    test->GetModuleVersion(text);
    EXPECT_EQ(text, "1.2.3");
    test->GetDescription(text);
    EXPECT_EQ(text, "Quick");
    test->GetModuleType(number);
    EXPECT_EQ(number, 3);
    test->GetNumberTests(number);
    EXPECT_EQ(number, -1);
    test->GetEstimatedTimeLeft(number);
    EXPECT_EQ(number, 12);
    test->GetTestLevelParallelTesting(flag);
    EXPECT_TRUE(flag);
    test->GetCdmSupported(flag);
    EXPECT_TRUE(flag);
    test->GetDeviceLevelParallelTesting(flag);
    EXPECT_FALSE(flag);
    test->GetEntryExe(text);
    EXPECT_EQ(text, "UNDEF");
    test->GetDeviceID(number);
    EXPECT_EQ(number, 4);
}

TEST_F(DeviceListTest, ReadsParameterDescriptions) {
    std::string property =
        Element("PROPERTY", Element("NAME", "Passes") + Element("TYPE", "uint32") +
                                Element("ID", "PASSES") + Element("MASK", "##") +
                                Element("DEFAULT_VALUE", "2") + Element("DESCRIPTION", "Count") +
                                Element("RECOMMEND_VALIDATE", "1") + Element("MUST_BE_SET", "0") +
                                Element("MAX_VALUE", "10"));
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(3, "T", Element("TEST_PROPERTIES", property)))), 1u);
    CTestParameter* parameter = nullptr;
    ASSERT_EQ(TestAt(0, 0)->GetParameterArrayElement(0, &parameter), CTest::OK);
    std::string text;
    bool flag = false;
    parameter->GetName(text);
    EXPECT_EQ(text, "Passes");
    parameter->GetType(text);
    EXPECT_EQ(text, "uint32");
    parameter->GetMask(text);
    EXPECT_EQ(text, "##");
    parameter->GetDefaultValue(text);
    EXPECT_EQ(text, "2");
    parameter->GetDescription(text);
    EXPECT_EQ(text, "Count");
    parameter->HasRequestedValidation(flag);
    EXPECT_TRUE(flag);
    parameter->HasToBeApplied(flag);
    EXPECT_FALSE(flag);
    parameter->HasMinVal(flag);
    EXPECT_FALSE(flag);
    parameter->HasMaxVal(flag);
    EXPECT_TRUE(flag);
    CTestParamImp* imp = parameter->Imp();
    EXPECT_EQ(imp->ModuleId(), "MOD");
    EXPECT_EQ(imp->First(), 0);   // the device id
    EXPECT_EQ(imp->Second(), 3);  // the test's index
}

// ---- Matching ----

TEST_F(DeviceListTest, IsMatchComparesModuleIdExactlyAndHonoursWildcards) {
    ASSERT_EQ(
        Read(Device(DeviceHead("Disk", "HW:0") +
                    Component("VeLkHardDrive", "2", TestElement(0, "a") + TestElement(1, "b")))),
        1u);
    CTest* second = TestAt(0, 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 1, 2), 0);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", CTest::ANY_TEST, CTest::ANY_DEVICE), 0);
    EXPECT_EQ(TestAt(0, 0)->IsMatch("VeLkHardDrive", CTest::ANY_TEST, CTest::ANY_DEVICE), 0);
    EXPECT_EQ(second->IsMatch("velkharddrive", 1, 2), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 0, 2), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 1, 3), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDriveX", CTest::ANY_TEST, CTest::ANY_DEVICE), 1);
}

// ---- Running tests ----

TEST_F(DeviceListTest, RunningTestsAreAdoptedIntoOneRunningScenario) {
    std::string running =
        Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", "4711")));
    std::string runningToo =
        Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", "4712")));
    std::string data = SimpleDevice(0, TestElement(0, "a", running) + TestElement(1, "b")) +
                       SimpleDevice(1, TestElement(0, "c", runningToo));
    ASSERT_EQ(Read(data, true), 2u);
    ASSERT_EQ(environment_.GetScenarioArraySize(), 1u);
    CScenario* scenario = environment_.GetScenarioArrayElement(0);
    EXPECT_EQ(scenario->GetState(), CScenario::RUNNING);
    ASSERT_EQ(scenario->GetCycleArraySize(), 2u);
    const auto& cycles = scenario->Imp()->Cycles();
    ASSERT_EQ(cycles[0]->TestRuns().size(), 1u);
    EXPECT_EQ(cycles[0]->TestRuns()[0]->ProcessId(), "4711");
    EXPECT_EQ(cycles[0]->TestRuns()[0]->Test(), TestAt(0, 0)->Imp());
    EXPECT_EQ(cycles[1]->TestRuns()[0]->ProcessId(), "4712");
    EXPECT_EQ(cycles[1]->TestRuns()[0]->Test(), TestAt(1, 0)->Imp());
    EXPECT_EQ(cycles[0]->GetState(), CCycle::RUNNING);
    EXPECT_TRUE(scenario->Imp()->Threaded());
    EXPECT_EQ(scenario->Imp()->UpdatePeriodMicroseconds(), 500000);
    // A running scenario cannot be removed.
    try {
        environment_.RemoveScenario(0);
        FAIL() << "no exception";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(),
                     "CTestEnvironmentImp::RemoveScenario(size_t index) cannot call while "
                     "Scenario::RUNNING or Scenario::DEVICEBUSY ");
    }
}

TEST_F(DeviceListTest, RunningTestsAreLeftAloneWithoutTheOption) {
    std::string running =
        Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", "4711")));
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(0, "a", running)), false), 1u);
    EXPECT_EQ(environment_.GetScenarioArraySize(), 0u);
}

TEST_F(DeviceListTest, RunningTestOfADiscardedDeviceIsNotAdopted) {
    std::string running =
        Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", "4711")));
    std::string discarded =
        Device(DeviceHead("Disk", "HW:1") + Component("A", "1", TestElement(0, "a", running)) +
               Element("COMPONENT", Element("ID", "B") + TestElement(0, "b")));
    ASSERT_EQ(Read(SimpleDevice(0) + discarded, true), 1u);
    EXPECT_EQ(environment_.GetScenarioArraySize(), 0u);
}

// ---- Environment bookkeeping ----

TEST_F(DeviceListTest, StreamsTheEnvironmentAndItsDevices) {
    ASSERT_EQ(Read(SimpleDevice(0) + SimpleDevice(1, "")), 2u);
    std::ostringstream out;
    out << environment_;
    std::string text = out.str();
    EXPECT_EQ(text.rfind("State: 0\nDevice Array Size: 2\n**** BEGIN DEVICES ****\n"
                         "Name: Disk 0\nDescription: UNDEF\nOS Locator: /dev/sda\n"
                         "HW Locator: HW:0\nDevice Type: HD\nState: 0\nTest Array Size: 1\n"
                         "**** BEGIN TESTS ****\n\n**** END TESTS ****\n\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("Test Array Size: 0\n**** BEGIN TESTS ****\n**** END TESTS ****\n\n"
                        "**** END DEVICES ****\n"),
              std::string::npos)
        << text;
    std::ostringstream impOut;
    impOut << imp();
    EXPECT_NE(impOut.str().find("Device Vector Size: 2\n"), std::string::npos);
    std::ostringstream deviceOut;
    deviceOut << *imp().Devices()[0];
    EXPECT_NE(deviceOut.str().find("State: 0\nDevice Name: \nBus Address High: -1\n"
                                   "Bus Address Low: -1\nBust Type: -1\nPort Number: -1\n"
                                   "Bus Number: -1\nTest Array Size: 1\n"),
              std::string::npos)
        << deviceOut.str();
}

TEST_F(DeviceListTest, ScenarioArrayAddsRemovesAndRefusesBadIndexes) {
    unsigned int index = 99;
    CScenario* first = environment_.AddScenario(&index);
    EXPECT_EQ(index, 0u);
    CScenario* second = environment_.AddScenario(&index);
    EXPECT_EQ(index, 1u);
    CScenario* third = environment_.AddScenario(nullptr);
    EXPECT_EQ(environment_.GetScenarioArrayElement(2), third);
    EXPECT_EQ(environment_.GetScenarioArrayElement(0), first);
    EXPECT_EQ(environment_.RemoveScenario(0), 0);
    EXPECT_EQ(environment_.GetScenarioArrayElement(0), second);
    EXPECT_EQ(environment_.GetScenarioArraySize(), 2u);
    try {
        environment_.GetScenarioArrayElement(2);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(),
                     "CTestEnvironment::GetScenarioArrayElement(size_t index) index out of range.");
    }
    try {
        environment_.RemoveScenario(2);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(),
                     "CTestEnvironmentImp::RemoveScenario(size_t index) index out of range.");
    }
}

TEST_F(DeviceListTest, ScanModulesNamesEachModuleOnce) {
    char cpu[] = "cpu";
    char disk[] = "disk.vkm";
    char* modules[] = {cpu, disk};
    EXPECT_EQ(CTestEnvironmentImp::ScanModulesCommand(2, modules),
              "SCAN_MODULES<MODULE_NAME>cpu.vkm</MODULE_NAME>"
              "<MODULE_NAME>disk.vkm</MODULE_NAME>");
    EXPECT_EQ(CTestEnvironmentImp::ScanModulesCommand(0, nullptr), "SCAN_MODULES");
    char bad[] = "x</MODULE_NAME>";
    char* badModules[] = {bad};
    EXPECT_FALSE(CTestEnvironmentImp::ScanModulesCommand(1, badModules).has_value());
}

TEST_F(DeviceListTest, EnvironmentStartsDisconnectedInTheCurrentDirectory) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(environment_.GetVelkHomeDir(), cwd);
    EXPECT_EQ(imp().State(), CTestEnvironment::DISCONNECTED);
    EXPECT_EQ(environment_.GetEnginePid(), 0);
    CNLS* nls = nullptr;
    environment_.GetNLS(&nls);
    ASSERT_NE(nls, nullptr);
    EXPECT_EQ(nls->Imp()->TestEnvironment(), &imp());
}

}  // namespace
