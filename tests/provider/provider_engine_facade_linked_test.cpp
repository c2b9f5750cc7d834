// The engine facade (its lock, test cycles, stopping runs, recommended-action
// keys) and the recommended-actions table, on the provider library as a CIM
// server loads it.
#include <future>
#include <string>

#include <Pegasus/Common/InternalException.h>

#include "Cycle.h"
#include "Scenario.h"
#include "TestEnvironment.h"
#include "TestRun.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"
#include "VLK_Engine.h"
#include "VLK_RecommendedActions.h"

using namespace Pegasus;

namespace {

// The assertion text an operation fails with, or "" when it does not.
template <class Operation>
std::string assertionOf(Operation operation) {
    try {
        operation();
    } catch (const AssertionFailureException& e) {
        return text(e.getMessage());
    }
    return "";
}

bool lockedElsewhere() {
    return std::async(std::launch::async,
                      [] {
                          if (!VLK_Engine::TryLock()) {
                              return true;
                          }
                          VLK_Engine::Unlock();
                          return false;
                      })
        .get();
}

}  // namespace

class EngineLockTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        writeLogConfiguration();
        createAndInitialize();
    }
};

TEST_F(EngineLockTest, SecondLockByTheHolderFailsAndTheLockStaysHeld) {
    VLK_Engine::Lock();
    EXPECT_NE(assertionOf([] { VLK_Engine::Lock(); }).find("): stat == 0"), std::string::npos);
    EXPECT_TRUE(lockedElsewhere());
    VLK_Engine::Unlock();
    EXPECT_FALSE(lockedElsewhere());
    std::string log = logText();
    EXPECT_NE(log.find("VLK_Engine WARN ("), std::string::npos);
    EXPECT_NE(log.find(")Mutex already locked by this proces"), std::string::npos);
    EXPECT_NE(log.find(")Mutex error: "), std::string::npos);
}

TEST_F(EngineLockTest, UseWithoutTheLockFails) {
    EXPECT_NE(assertionOf([] { VLK_Engine::Unlock(); }).find("): mutexLocked"), std::string::npos);
    EXPECT_NE(assertionOf([] { VLK_Engine::getTestEnvironment(); }).find("): mutexLocked"),
              std::string::npos);
    EXPECT_NE(logText().find(")Assert Failed"), std::string::npos);
}

TEST_F(EngineLockTest, AutoLockReleasedEarlyIsNotReleasedAgain) {
    {
        VLK_Engine::AutoLock lock;
        EXPECT_TRUE(lockedElsewhere());
        lock.Unlock();
        EXPECT_FALSE(lockedElsewhere());
        VLK_Engine::Lock();  // held by this thread when the AutoLock ends
    }
    EXPECT_TRUE(lockedElsewhere());
    VLK_Engine::Unlock();
}

class EngineCycleTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
    }
};

TEST_F(EngineCycleTest, NewTestCycleHoldsOneRunOfTheNamedTestInItsOwnScenario) {
    VLK_Engine::AutoLock lock;
    VELKCORE::CTestEnvironment* te = VLK_Engine::getTestEnvironment();
    ASSERT_NE(te, nullptr);
    EXPECT_FALSE(VLK_Engine::StopTest("VeLkTest:0:Quick test", "IDE:0:0"));

    VELKCORE::CScenario* scenario = nullptr;
    EXPECT_EQ(VLK_Engine::getNewTestCycle(te, "VeLkTest:7:None", "IDE:0:0", &scenario), nullptr);
    EXPECT_EQ(VLK_Engine::getNewTestCycle(te, "VeLkTest:0:Quick test", "IDE:9:9", &scenario),
              nullptr);
    EXPECT_EQ(te->GetScenarioArraySize(), 0u);

    VELKCORE::CCycle* cycle =
        VLK_Engine::getNewTestCycle(te, "VeLkTest:1:Timed test", "IDE:0:1", &scenario);
    ASSERT_NE(cycle, nullptr);
    ASSERT_NE(scenario, nullptr);
    EXPECT_EQ(te->GetScenarioArraySize(), 1u);
    EXPECT_EQ(scenario->GetCycleArraySize(), 1u);
    ASSERT_EQ(cycle->GetTestRunArraySize(), 1u);
    int percent = 0;
    cycle->GetTestRunArrayElement(0, 0)->GetPercentToTest(percent);
    EXPECT_EQ(percent, 5);

    EXPECT_FALSE(VLK_Engine::StopTest("VeLkTest:1:Timed test", "IDE:0:0"));
    EXPECT_TRUE(VLK_Engine::StopTest("VeLkTest:1:Timed test", "IDE:0:1"));
}

TEST(RecommendedActionKeyTest, KeysComeFromModuleAndIndex) {
    EXPECT_EQ(text(VLK_Engine::getRecommnedActionsTestName("VeLkHardDrive:0:Read: all")),
              "VeLkHardDrive_0");
    EXPECT_EQ(text(VLK_Engine::getRecommnedActionsTestName("VELkCPU:12:Cache")), "VELkCPU_12");
    EXPECT_EQ(text(VLK_Engine::getRecommnedActionsTestNameNoMedia("VELkFloppy:3:Seek")),
              "VELkFloppy_NoMedia");
}

struct ActionsCase {
    const char* key;
    size_t count;
    const char* first;  // how the first and the last action begin
    const char* last;
};

class RecommendedActionsTest : public ::testing::TestWithParam<ActionsCase> {};

TEST_P(RecommendedActionsTest, LookupIgnoresCase) {
    const ActionsCase& c = GetParam();
    for (int call = 0; call < 2; call++) {
        Array<String> actions = VLK_RecommendedActions::getAllActions(c.key);
        ASSERT_EQ(actions.size(), c.count) << c.key;
        EXPECT_EQ(text(actions[0]).rfind(c.first, 0), 0u);
        EXPECT_EQ(text(actions[actions.size() - 1]).rfind(c.last, 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecommendedActionsTest,
    ::testing::Values(
        ActionsCase{"VELKHARDDRIVE_0", 5, "Verify that hard drive BIOS", "Replace drive and"},
        ActionsCase{"velkcpu_2", 3, "Verify that the microprocessor includes a Level 2",
                    "Replace microprocessor and"},
        ActionsCase{"VELkDvdDrive_NoMedia", 1, "Verify that a standard data CD is", "Verify"},
        ActionsCase{"velkparallelport_1", 5,
                    "Verify that the loopback adapter is firmly "
                    "connected to the parallel port",
                    "Replace system board and"},
        ActionsCase{"DEVICE_BUSY", 1, "Another test is already running on this device.", "Another"},
        ActionsCase{"VeLkCdDrive_5", 1, "", ""}));
