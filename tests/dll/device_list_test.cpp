// Reading the engine's LIST_DEVICES_AND_TESTS reply into devices, modules,
// tests and parameters, from replies built by hand (no engine involved);
// devices replaced by a new list while running tests still refer to them
// stay alive, aside from the list, until no scenario uses them.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CycleImp.h"
#include "DeviceImp.h"
#include "EngineText.h"
#include "ReplyBuilder.h"
#include "ScenarioImp.h"
#include "TestEnvironmentImp.h"
#include "TestImp.h"
#include "TestRunImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using namespace velk::dlltest;

class DeviceListTest : public ::testing::Test {
  protected:
    // Reads data as a reply and gives the number of devices.
    unsigned int Read(const std::string& data, bool adopt = false) {
        EXPECT_EQ(environment_.Imp()->ReadDeviceList(Reply(data).c_str(), adopt), 0);
        unsigned int size = 0;
        environment_.GetDeviceArraySize(size);
        return size;
    }
    CDevice* DeviceAt(unsigned int index) {
        CDevice* device = nullptr;
        EXPECT_EQ(environment_.GetDeviceArrayElement(index, &device), 0);
        return device;
    }
    CTest* TestAt(unsigned int device, unsigned int index) {
        CTest* test = nullptr;
        DeviceAt(device)->GetTestArrayElement(index, &test);
        return test;
    }
    std::string Hw(unsigned int device) {
        std::string locator;
        DeviceAt(device)->GetHWLocator(locator);
        return locator;
    }
    // "module:index" of each test of a device.
    std::vector<std::string> TestIds(unsigned int device) {
        std::vector<std::string> ids;
        unsigned int count = 0;
        DeviceAt(device)->GetTestArraySize(count);
        for (unsigned int t = 0; t < count; ++t) {
            std::string module;
            int index = -1;
            TestAt(device, t)->GetModuleIdAndIndex(module, index);
            ids.push_back(module + ":" + std::to_string(index));
        }
        return ids;
    }

    CTestEnvironment environment_;
};

std::string SimpleDevice(int index, const std::string& tests = TestElement(0, "T0")) {
    return Device(DeviceHead("Disk " + std::to_string(index), "HW:" + std::to_string(index)) +
                  Component("MOD", std::to_string(index), tests));
}

std::string Running(const std::string& processId) {
    return Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", processId)));
}

// ---- Limits ----

TEST_F(DeviceListTest, AtMostOneHundredDevicesTestsPerComponentAndParameters) {
    std::string data;
    for (int i = 0; i < 150; ++i) {
        data += SimpleDevice(i);
    }
    ASSERT_EQ(Read(data), 100u);
    EXPECT_EQ(Hw(99), "HW:99");

    std::string properties;
    for (int p = 0; p < 150; ++p) {
        properties += Property("P" + std::to_string(p));
    }
    std::string tests = TestElement(0, "T", Element("TEST_PROPERTIES", properties));
    for (int t = 1; t < 150; ++t) {
        tests += TestElement(t, "T");
    }
    // The second component is still read after the first one hit the limit.
    ASSERT_EQ(Read(Device(DeviceHead("Disk", "HW:0") + Component("A", "0", tests) +
                          Component("B", "0", TestElement(0, "B0")))),
              1u);
    std::vector<std::string> ids = TestIds(0);
    ASSERT_EQ(ids.size(), 101u);
    EXPECT_EQ(ids[100], "B:0");
    unsigned int parameters = 0;
    TestAt(0, 0)->GetParameterArraySize(parameters);
    EXPECT_EQ(parameters, 100u);
    CTestParameter* parameter = reinterpret_cast<CTestParameter*>(&environment_);
    EXPECT_EQ(TestAt(0, 0)->GetParameterArrayElement(100, &parameter), 1);
    EXPECT_EQ(parameter, nullptr);
}

// ---- Which entries are kept ----

// A broken device after good ones ends the list.
class DeviceEndsTheListTest : public DeviceListTest,
                              public ::testing::WithParamInterface<std::string> {};

TEST_P(DeviceEndsTheListTest, DevicesBeforeItStay) {
    EXPECT_EQ(Read(SimpleDevice(0) + SimpleDevice(1) + GetParam()), 2u);
    EXPECT_EQ(Hw(0), "HW:0");
}

std::string Without(const std::string& element) {
    std::string head = DeviceHead("Disk", "HW:2");
    std::string::size_type start = head.find("<" + element + ">");
    head.erase(start, head.find("</" + element + ">") + element.size() + 3 - start);
    return Device(head + Component("MOD", "2", TestElement(0, "T"))) + SimpleDevice(3);
}

INSTANTIATE_TEST_SUITE_P(
    Broken, DeviceEndsTheListTest,
    ::testing::Values(
        Without("NAME"), Without("OSLOCATOR"), Without("HWLOCATOR"), Without("DEVTYPE"),
        // a component with tests but without a device id
        Device(DeviceHead("Disk", "HW:2") + Component("A", "2", TestElement(0, "T")) +
               Element("COMPONENT", Element("ID", "B") + TestElement(0, "T"))) +
            SimpleDevice(3),
        // a device id that is no number
        Device(DeviceHead("Disk", "HW:2") + Component("A", "7x", TestElement(0, "T"))) +
            SimpleDevice(3),
        // unclosed: a device at the end, an element in the last
        // device, a device before a good one
        "<DEVICE><NAME>Broken</NAME>", Device(DeviceHead("Disk", "HW:2") + "<COMPONENT><ID>X</ID>"),
        "<DEVICE><NAME>x" + SimpleDevice(3)));

struct TestsCase {
    const char* what;
    std::string components;
    std::vector<std::string> tests;  // "module:index"
};

void PrintTo(const TestsCase& testsCase, std::ostream* os) {
    *os << testsCase.what;
}

class ComponentTestsTest : public DeviceListTest,
                           public ::testing::WithParamInterface<TestsCase> {};

TEST_P(ComponentTestsTest, ReadsTheValidTests) {
    ASSERT_EQ(Read(Device(DeviceHead("Disk", "HW:0") + GetParam().components)), 1u)
        << GetParam().what;
    EXPECT_EQ(TestIds(0), GetParam().tests) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComponentTestsTest,
    ::testing::Values(
        TestsCase{
            "a component without tests needs no device id",
            Element("COMPONENT", Element("ID", "A")) + Component("B", "3", TestElement(1, "T")),
            {"B:1"}},
        TestsCase{"an invalid test ends only its component",
                  Component("A", "0",
                            TestElement(0, "ok") + Element("TEST", Element("NAME", "no id")) +
                                TestElement(2, "never read")) +
                      Component("B", "0", TestElement(0, "B0") + TestElement(1, "B1")),
                  {"A:0", "B:0", "B:1"}},
        TestsCase{"a bad test id or a negative device id make tests invalid",
                  Component("A", "0", Element("TEST", Element("NAME", "x") + Element("ID", "1x"))) +
                      Component("B", "-1", TestElement(0, "negative")) +
                      Component("C", "0", TestElement(4, "fine")),
                  {"C:4"}},
        TestsCase{"a component without id keeps UNDEF as module id",
                  Element("COMPONENT", Element("DID", "0") + TestElement(0, "T")),
                  {"UNDEF:0"}}));

TEST_F(DeviceListTest, ReplyWithoutDevicesGivesAnEmptyList) {
    EXPECT_EQ(Read(""), 0u);
    EXPECT_EQ(environment_.Imp()->ReadDeviceList("not a message at all", false), 0);
    EXPECT_TRUE(environment_.Imp()->Devices().empty());
    CDevice* device = reinterpret_cast<CDevice*>(&environment_);
    EXPECT_EQ(environment_.GetDeviceArrayElement(0, &device), 0);
    EXPECT_EQ(device, nullptr);
}

// ---- Fields ----

TEST_F(DeviceListTest, ReadsDeviceFieldsAndAdditionalFruRecords) {
    std::string fields =
        Element("DESCRIPTION", "Serial") + Element("FRU_MANUFACTURER", "Velkor") +
        Element("FRU_MODELNUMBER", "VT-1") + Element("FRU_SERIALNUMBER", "SN9") +
        Element("FRU_FIRMWAREREV", "1.0") + Element("FRU_FIRMWAREDATE", "2024-01-01") +
        Element("FRU_PHYSADDRESS", "0x3f8") + Element("FRU_ADDINFO_FIELD", "VID") +
        Element("FRU_ADDINFO_DESC", "Vendor") + Element("FRU_ADDINFO_VALUE", "0x1234") +
        Element("FRU_ADDINFO_FIELD", "PID") + Element("FRU_ADDINFO_VALUE", "0x9");
    ASSERT_EQ(Read(Device(DeviceHead("Port", "COM:1:03f8", "COM", "/dev/ttyS0") + fields) +
                   SimpleDevice(1)),
              2u);
    CDevice* device = DeviceAt(0);
    using Getter = int (CDevice::*)(std::string&) const;
    const std::pair<Getter, const char*> expected[] = {
        {&CDevice::GetOSLocator, "/dev/ttyS0"}, {&CDevice::GetDeviceType, "COM"},
        {&CDevice::GetDescription, "Serial"},   {&CDevice::GetManufacturer, "Velkor"},
        {&CDevice::GetModelNumber, "VT-1"},     {&CDevice::GetSerialNumber, "SN9"},
        {&CDevice::GetFirmwareRev, "1.0"},      {&CDevice::GetFirmwareDate, "2024-01-01"},
        {&CDevice::GetPhysicalAddr, "0x3f8"}};
    for (const auto& [getter, value] : expected) {
        std::string text;
        (device->*getter)(text);
        EXPECT_EQ(text, value);
    }
    std::string description;
    DeviceAt(1)->GetDescription(description);
    EXPECT_EQ(description, "UNDEF");

    CDevice::CAdditionalInfo* record = nullptr;
    ASSERT_EQ(device->GetFirstAdditionalInfo(&record), CDevice::OK);
    EXPECT_EQ(record->GetDescription(), "Vendor");
    ASSERT_EQ(device->GetNextAdditionalInfo(&record), CDevice::OK);
    EXPECT_EQ(record->GetField(), "PID");
    EXPECT_EQ(record->GetDescription(), "UNDEF");
    EXPECT_EQ(device->GetNextAdditionalInfo(&record), 1);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(DeviceAt(1)->GetFirstAdditionalInfo(&record), 1);
}

struct FlagCase {
    const char* flags;  // nullptr: no FLAGS element
    unsigned int expected;
};

void PrintTo(const FlagCase& flagCase, std::ostream* os) {
    *os << (flagCase.flags != nullptr ? flagCase.flags : "no FLAGS");
}

class TestFlagsTest : public DeviceListTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(TestFlagsTest, DecodesEachBit) {
    FlagCase flagCase = GetParam();
    std::string extra = flagCase.flags != nullptr ? Element("FLAGS", flagCase.flags) : "";
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(0, "T", extra))), 1u);
    CTest* test = TestAt(0, 0);
    using Getter = int (CTest::*)(bool&) const;
    const Getter getters[] = {&CTest::GetInteractive,
                              &CTest::GetRequiresFixture,
                              &CTest::GetShowFixturePromptEveryRun,
                              &CTest::GetRisky,
                              &CTest::GetDestructive,
                              &CTest::GetSoftareDiag,
                              &CTest::GetSelfFixIfPossible,
                              &CTest::GetSelfHelp};
    for (unsigned int bit = 0; bit < 8; ++bit) {
        bool value = false;
        (test->*getters[bit])(value);
        EXPECT_EQ(value, (flagCase.expected >> bit & 1u) != 0) << "bit " << bit;
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, TestFlagsTest,
                         ::testing::Values(FlagCase{"255", 0xFF}, FlagCase{"0", 0},
                                           FlagCase{nullptr, 0}, FlagCase{"16", 0x10},
                                           FlagCase{"5", 0x05}, FlagCase{"ff", 0},
                                           FlagCase{"3 apples", 0}));

TEST_F(DeviceListTest, NumbersOfTestsAndModulesTreatGarbageAsAbsent) {
    std::string component = Element(
        "COMPONENT",
        Element("ID", "VeLkTest") + Element("DID", "4") + Element("TYPE", "3") +
            Element("TESTPARLLEL", "1") + Element("CDMSUPPORTED", "2") +
            Element("DEVPARALLEL", "x") + Element("NUMTESTS", "junk") +
            TestElement(0, "good", Element("EST_DURATION", " 30 ") + Element("TIMEOUT", "600")) +
            TestElement(1, "bad", Element("EST_DURATION", "abc") + Element("TIMEOUT", "12abc")) +
            TestElement(2, "huge", Element("TIMEOUT", "99999999999")));
    ASSERT_EQ(Read(Device(DeviceHead("Disk", "HW:0") + component)), 1u);
    const int expected[3][2] = {{30, 600}, {-1, -1}, {-1, -1}};
    for (unsigned int t = 0; t < 3; ++t) {
        int duration = 0;
        int timeout = 0;
        TestAt(0, t)->GetEstimatedDuration(duration);
        TestAt(0, t)->GetTimeOut(timeout);
        EXPECT_EQ(duration, expected[t][0]) << t;
        EXPECT_EQ(timeout, expected[t][1]) << t;
    }
    CTest* test = TestAt(0, 0);
    int number = 0;
    bool flag = false;
    test->GetModuleType(number);
    EXPECT_EQ(number, 3);
    test->GetNumberTests(number);
    EXPECT_EQ(number, -1);
    test->GetDeviceID(number);
    EXPECT_EQ(number, 4);
    test->GetTestLevelParallelTesting(flag);
    EXPECT_TRUE(flag);
    test->GetCdmSupported(flag);
    EXPECT_TRUE(flag);
    test->GetDeviceLevelParallelTesting(flag);
    EXPECT_FALSE(flag);
    CDevice* device = nullptr;
    test->GetDevice(&device);
    EXPECT_EQ(device, DeviceAt(0));
}

TEST_F(DeviceListTest, ParametersKnowTheirModuleDeviceAndTest) {
    // The fields of a parameter description: see the parameter tests.
    std::string property = Element("PROPERTY", Element("NAME", "Passes") + Element("ID", "PASSES"));
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(3, "T", Element("TEST_PROPERTIES", property)))), 1u);
    CTestParameter* parameter = nullptr;
    ASSERT_EQ(TestAt(0, 0)->GetParameterArrayElement(0, &parameter), CTest::OK);
    std::string name;
    parameter->GetName(name);
    EXPECT_EQ(name, "Passes");
    CTestParamImp* imp = parameter->Imp();
    EXPECT_EQ(imp->ModuleId(), "MOD");
    EXPECT_EQ(imp->First(), 0);   // the device id
    EXPECT_EQ(imp->Second(), 3);  // the test's index
}

TEST_F(DeviceListTest, IsMatchComparesModuleIdExactlyAndHonoursWildcards) {
    ASSERT_EQ(
        Read(Device(DeviceHead("Disk", "HW:0") +
                    Component("VeLkHardDrive", "2", TestElement(0, "a") + TestElement(1, "b")))),
        1u);
    CTest* second = TestAt(0, 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 1, 2), 0);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", CTest::ANY_TEST, CTest::ANY_DEVICE), 0);
    EXPECT_EQ(second->IsMatch("velkharddrive", 1, 2), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 0, 2), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDrive", 1, 3), 1);
    EXPECT_EQ(second->IsMatch("VeLkHardDriveX", CTest::ANY_TEST, CTest::ANY_DEVICE), 1);
}

// ---- Running tests ----

TEST_F(DeviceListTest, RunningTestsAreAdoptedIntoOneRunningScenario) {
    std::string data = SimpleDevice(0, TestElement(0, "a", Running("4711")) + TestElement(1, "b")) +
                       SimpleDevice(1, TestElement(0, "c", Running("4712")));
    ASSERT_EQ(Read(data, true), 2u);
    ASSERT_EQ(environment_.GetScenarioArraySize(), 1u);
    CScenario* scenario = environment_.GetScenarioArrayElement(0);
    EXPECT_EQ(scenario->GetState(), CScenario::RUNNING);
    const auto& cycles = scenario->Imp()->Cycles();
    ASSERT_EQ(cycles.size(), 2u);
    EXPECT_EQ(cycles[0]->TestRuns()[0]->ProcessId(), "4711");
    EXPECT_EQ(cycles[0]->TestRuns()[0]->Test(), TestAt(0, 0)->Imp());
    EXPECT_EQ(cycles[1]->TestRuns()[0]->Test(), TestAt(1, 0)->Imp());
    EXPECT_EQ(cycles[0]->GetState(), CCycle::RUNNING);
    EXPECT_EQ(scenario->Imp()->UpdatePeriodMicroseconds(), 500000);
    try {
        environment_.RemoveScenario(0);
        FAIL() << "a running scenario was removed";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(),
                     "CTestEnvironmentImp::RemoveScenario(size_t index) cannot call while "
                     "Scenario::RUNNING or Scenario::DEVICEBUSY ");
    }
}

TEST_F(DeviceListTest, RunningTestsAreNotAdoptedWithoutTheOptionOrWithTheirDevice) {
    EXPECT_EQ(Read(SimpleDevice(0, TestElement(0, "a", Running("4711"))), false), 1u);
    std::string discarded =
        Device(DeviceHead("Disk", "HW:1") + Component("A", "1", TestElement(0, "a", Running("1"))) +
               Element("COMPONENT", Element("ID", "B") + TestElement(0, "b")));
    EXPECT_EQ(Read(SimpleDevice(0) + discarded, true), 1u);
    EXPECT_EQ(environment_.GetScenarioArraySize(), 0u);
}

// ---- Environment bookkeeping ----

TEST_F(DeviceListTest, StreamsTheEnvironmentWithEveryDevice) {
    ASSERT_EQ(Read(SimpleDevice(0) + SimpleDevice(1, "")), 2u);
    std::ostringstream out;
    out << environment_;
    EXPECT_NE(out.str().find("Device Array Size: 2\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("HW Locator: HW:1\nDevice Type: HD\n"), std::string::npos);
}

TEST_F(DeviceListTest, ScenarioArrayAddsRemovesAndRefusesBadIndexes) {
    unsigned int index = 99;
    environment_.AddScenario(&index);
    CScenario* second = environment_.AddScenario(&index);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(environment_.RemoveScenario(0), 0);
    EXPECT_EQ(environment_.GetScenarioArrayElement(0), second);
    EXPECT_THROW(environment_.GetScenarioArrayElement(1), std::out_of_range);
    EXPECT_THROW(environment_.RemoveScenario(1), std::out_of_range);
}

// The command for good names: see the scripted engine test.
TEST_F(DeviceListTest, ScanModulesRefusesMarkupInAModuleName) {
    char bad[] = "x</MODULE_NAME>";
    char* badModules[] = {bad};
    EXPECT_FALSE(CTestEnvironmentImp::ScanModulesCommand(1, badModules).has_value());
}

TEST_F(DeviceListTest, FruRecordsReadInOnePassMatchTheIndexedReading) {
    // Records without a description or value borrow the next element of
    // that name, as reading the k-th element of each name always did.
    std::string text = DeviceHead("Disk", "HW:0");
    for (int k = 0; k < 100; ++k) {
        text += Element("FRU_ADDINFO_FIELD", "F" + std::to_string(k));
        if (k % 3 != 0) {
            text += Element("FRU_ADDINFO_DESC", "D" + std::to_string(k));
        }
        if (k % 5 != 0) {
            text += Element("FRU_ADDINFO_VALUE", "V" + std::to_string(k));
        }
    }
    CDeviceImp device;
    ASSERT_TRUE(device.initFromDeviceEnum(text.c_str()));
    ASSERT_EQ(device.FruAddInfo().size(), 100u);
    for (int k = 0; k < 100; ++k) {
        const CDevice::CAdditionalInfo& info = device.FruAddInfo()[k];
        EXPECT_EQ(info.GetField(), "F" + std::to_string(k));
        EXPECT_EQ(info.GetDescription(),
                  detail::FieldText(text.c_str(), "FRU_ADDINFO_DESC", k).value_or("UNDEF"));
        EXPECT_EQ(info.GetValue(),
                  detail::FieldText(text.c_str(), "FRU_ADDINFO_VALUE", k).value_or("UNDEF"));
    }
}

TEST_F(DeviceListTest, DeviceOfAnAdoptedRunOutlivesTheListThatHeldIt) {
    CTestEnvironmentImp& imp = *environment_.Imp();
    ASSERT_EQ(Read(SimpleDevice(0, TestElement(0, "T", Running("4711"))) + SimpleDevice(1), true),
              2u);
    ASSERT_EQ(imp.Scenarios().size(), 1u);
    const CTestImp* adopted = imp.Scenarios()[0]->Cycles()[0]->TestRuns()[0]->Test();
    const CDeviceImp* device = imp.Devices()[0].get();
    EXPECT_TRUE(imp.Scenarios()[0]->UsesDevice(device));
    EXPECT_FALSE(imp.Scenarios()[0]->UsesDevice(imp.Devices()[1].get()));
    // A new list retires the device of the running test and deletes the other.
    ASSERT_EQ(Read(SimpleDevice(7)), 1u);
    ASSERT_EQ(imp.RetiredDevices().size(), 1u);
    EXPECT_EQ(imp.RetiredDevices()[0].get(), device);
    EXPECT_EQ(adopted->Device(), device);
    EXPECT_EQ(adopted->Device()->HWLocator(), "HW:0");
    std::string name;
    adopted->Interface()->GetName(name);
    EXPECT_EQ(name, "T");
    // Still in use: a further read keeps it; unused, the next read deletes it.
    Read(SimpleDevice(8));
    EXPECT_EQ(imp.RetiredDevices().size(), 1u);
    imp.Scenarios().clear();
    Read(SimpleDevice(9));
    EXPECT_TRUE(imp.RetiredDevices().empty());
}

TEST(RetiredDevicesTest, EnvironmentDestroysRetiredDevicesAfterItsScenarios) {
    // The sanitizers watch the order: scenarios refer to the retired devices'
    // tests until they are gone.
    auto* environment = new CTestEnvironment(CTestEnvironment::OPTION_ADOPT_RUNNING_TESTS);
    CTestEnvironmentImp& imp = *environment->Imp();
    for (const char* process : {"1", "2"}) {
        std::string list = Reply(SimpleDevice(0, TestElement(0, "T", Running(process))));
        ASSERT_EQ(imp.ReadDeviceList(list.c_str(), true), 0);
    }
    EXPECT_EQ(imp.Scenarios().size(), 2u);
    EXPECT_EQ(imp.RetiredDevices().size(), 1u);
    delete environment;
}

}  // namespace
