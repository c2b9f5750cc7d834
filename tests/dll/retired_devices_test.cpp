// Devices replaced by a new device list while running tests still refer to
// them: they stay alive, aside from the list, until no scenario uses them.
#include <gtest/gtest.h>

#include <string>

#include "CycleImp.h"
#include "DeviceImp.h"
#include "ReplyBuilder.h"
#include "ScenarioImp.h"
#include "TestEnvironmentImp.h"
#include "TestImp.h"
#include "TestRunImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Component;
using velk::dlltest::Device;
using velk::dlltest::DeviceHead;
using velk::dlltest::Element;
using velk::dlltest::Reply;
using velk::dlltest::TestElement;

std::string Running(const std::string& processId) {
    return Element("RUNNING_INSTANCES", Element("TESTSTATUS", Element("PROCESS_ID", processId)));
}

std::string DeviceWithTest(const std::string& locator, const std::string& extra = "") {
    return Device(DeviceHead("Disk", locator) + Component("MOD", "1", TestElement(0, "T", extra)));
}

TEST(RetiredDevicesTest, DeviceOfAnAdoptedRunOutlivesTheListThatHeldIt) {
    CTestEnvironment environment;
    CTestEnvironmentImp& imp = *environment.Imp();
    std::string first = DeviceWithTest("HW:0", Running("4711")) + DeviceWithTest("HW:1");
    ASSERT_EQ(imp.ReadDeviceList(Reply(first).c_str(), true), 0);
    ASSERT_EQ(imp.Scenarios().size(), 1u);
    const CTestImp* adopted = imp.Scenarios()[0]->Cycles()[0]->TestRuns()[0]->Test();
    const CDeviceImp* device = imp.Devices()[0].get();
    EXPECT_TRUE(imp.Scenarios()[0]->UsesDevice(device));
    EXPECT_FALSE(imp.Scenarios()[0]->UsesDevice(imp.Devices()[1].get()));

    // A new list: the device of the running test is retired, the other one
    // deleted.
    ASSERT_EQ(imp.ReadDeviceList(Reply(DeviceWithTest("HW:7")).c_str(), false), 0);
    ASSERT_EQ(imp.Devices().size(), 1u);
    ASSERT_EQ(imp.RetiredDevices().size(), 1u);
    EXPECT_EQ(imp.RetiredDevices()[0].get(), device);
    EXPECT_EQ(adopted->Device(), device);
    EXPECT_EQ(adopted->Device()->HWLocator(), "HW:0");
    std::string name;
    adopted->Interface()->GetName(name);
    EXPECT_EQ(name, "T");

    // Still in use: a further read keeps it.
    ASSERT_EQ(imp.ReadDeviceList(Reply(DeviceWithTest("HW:8")).c_str(), false), 0);
    EXPECT_EQ(imp.RetiredDevices().size(), 1u);

    // Once no scenario holds its test, the next read deletes it.
    imp.Scenarios().clear();
    ASSERT_EQ(imp.ReadDeviceList(Reply(DeviceWithTest("HW:9")).c_str(), false), 0);
    EXPECT_TRUE(imp.RetiredDevices().empty());
}

TEST(RetiredDevicesTest, EnvironmentDestroysRetiredDevicesAfterItsScenarios) {
    // The sanitizers watch the order: scenarios refer to the retired devices'
    // tests until they are gone.
    auto* environment = new CTestEnvironment(CTestEnvironment::OPTION_ADOPT_RUNNING_TESTS);
    CTestEnvironmentImp& imp = *environment->Imp();
    ASSERT_EQ(imp.ReadDeviceList(Reply(DeviceWithTest("HW:0", Running("1"))).c_str(), true), 0);
    ASSERT_EQ(imp.ReadDeviceList(Reply(DeviceWithTest("HW:0", Running("2"))).c_str(), true), 0);
    EXPECT_EQ(imp.Scenarios().size(), 2u);
    EXPECT_EQ(imp.RetiredDevices().size(), 1u);
    delete environment;
}

}  // namespace
