// The engine facade (its lock, test cycles, stopping runs, recommended-action
// keys) and the recommended-actions table, on the provider library as a CIM
// server loads it.
#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

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

bool endsWith(const std::string& whole, const std::string& end) {
    return whole.size() >= end.size() &&
           whole.compare(whole.size() - end.size(), end.size(), end) == 0;
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
    EXPECT_TRUE(endsWith(assertionOf([] { VLK_Engine::Lock(); }), ": stat == 0"));
    EXPECT_TRUE(lockedElsewhere());
    VLK_Engine::Unlock();
    EXPECT_FALSE(lockedElsewhere());
    std::string log = logText();
    EXPECT_NE(log.find("VLK_Engine WARN ("), std::string::npos);
    EXPECT_NE(log.find(")Mutex already locked by this proces"), std::string::npos);
    EXPECT_NE(log.find(")Mutex error: "), std::string::npos);
}

TEST_F(EngineLockTest, UseWithoutTheLockFails) {
    EXPECT_TRUE(endsWith(assertionOf([] { VLK_Engine::Unlock(); }), ": mutexLocked"));
    EXPECT_TRUE(endsWith(assertionOf([] { VLK_Engine::getTestEnvironment(); }), ": mutexLocked"));
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
    // Names without two colons keep what they have.
    EXPECT_EQ(text(VLK_Engine::getRecommnedActionsTestName("Plain")), "Plain");
    EXPECT_EQ(text(VLK_Engine::getRecommnedActionsTestNameNoMedia("Plain")), "Plain_NoMedia");
}

struct ActionsCase {
    const char* key;
    size_t count;
    const char* first;
    const char* last;
};

class RecommendedActionsTest : public ::testing::TestWithParam<ActionsCase> {};

TEST_P(RecommendedActionsTest, LookupIgnoresCase) {
    const ActionsCase& c = GetParam();
    for (int call = 0; call < 2; call++) {
        Array<String> actions = VLK_RecommendedActions::getAllActions(c.key);
        ASSERT_EQ(actions.size(), c.count) << c.key;
        EXPECT_EQ(text(actions[0]), c.first);
        EXPECT_EQ(text(actions[actions.size() - 1]), c.last);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecommendedActionsTest,
    ::testing::Values(
        ActionsCase{"VELKHARDDRIVE_0", 5,
                    "Verify that hard drive BIOS settings are correct and perform action again.",
                    "Replace drive and perform action again."},
        ActionsCase{"velkcpu_2", 3, "Verify that the microprocessor includes a Level 2 Cache.",
                    "Replace microprocessor and perform action again."},
        ActionsCase{"VELkDvdDrive_NoMedia", 1,
                    "Verify that a standard data CD is inserted in the drive and perform action "
                    "again. Audio CDs and DVDs are not valid media for this action.",
                    "Verify that a standard data CD is inserted in the drive and perform action "
                    "again. Audio CDs and DVDs are not valid media for this action."},
        ActionsCase{"VELkFloppy_4", 6,
                    "Verify that a standard Windows-format floppy disk is inserted in the drive "
                    "and perform action again.",
                    "Replace drive and perform action again."},
        ActionsCase{"velkparallelport_1", 5,
                    "Verify that the loopback adapter is firmly connected to the parallel port "
                    "and perform action again. The loopback adapter is required by this action.",
                    "Replace system board and perform action again."},
        ActionsCase{"DEVICE_BUSY", 1,
                    "Another test is already running on this device. Wait until that test "
                    "finishes and try the test again.",
                    "Another test is already running on this device. Wait until that test "
                    "finishes and try the test again."},
        ActionsCase{"VeLkCdDrive_5", 1, "", ""}));

TEST(RecommendedActionsFirstUseTest, ConcurrentFirstCallsSeeTheWholeTable) {
    const int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<int> complete{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&] {
            ready++;
            while (ready.load() < kThreads) {
                std::this_thread::yield();
            }
            complete += VLK_RecommendedActions::getAllActions("VELkSerialPort_4").size() == 4;
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(complete.load(), kThreads);
}
