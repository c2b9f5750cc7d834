// Cycles and scenarios against the real engine and the test module: passes,
// the order in which runs on busy devices are retried, the error limit, the
// passes added to reach a minimum time, a device busy until the maximum
// time, an engine that dies mid-run, a scenario destroyed while its update
// thread ticks, and a rescan while a scenario holds tests.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include "CycleImp.h"
#include "RunFixture.h"
#include "ScenarioImp.h"
#include "TestRunImp.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::kQuickTest;
using velk::dlltest::kTimedTest;
using velk::dlltest::RunFixture;
using velk::dlltest::WaitUntil;

class CycleTest : public RunFixture {
  protected:
    // A scenario with one cycle of tests, not started.
    CCycle* CycleOf(const std::vector<CTest*>& tests) {
        scenario_ = environment_->AddScenario(nullptr);
        CCycle* cycle = scenario_->AddCycle(nullptr);
        for (CTest* test : tests) {
            EXPECT_NE(cycle->AddTest(test, 1000), nullptr);
        }
        return cycle;
    }
    // Keeps the device of test busy with a run of its own.
    std::unique_ptr<CTestRun> Occupy(CTest* test) {
        auto run = std::make_unique<CTestRun>(test);
        EXPECT_EQ(run->Imp()->Start(), CTestRun::OK);
        return run;
    }
    CScenario* scenario_ = nullptr;
};

TEST_F(CycleTest, PassesRepeatTheCyclesRunsInOrder) {
    CTest* first = TestOn(kQuickTest, 0);
    CTest* second = TestOn(kQuickTest, 1);
    CCycle* cycle = CycleOf({first, second});
    cycle->SetPasses(2);
    scenario_->Start(true, 100);
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    EXPECT_EQ(cycle->GetState(), CCycle::EXITED);
    EXPECT_EQ(cycle->GetTestRunArraySize(), 2u);
    std::vector<CTestRun*> started = Started(cycle);
    ASSERT_EQ(started.size(), 4u);
    std::vector<unsigned int> passes;
    std::vector<const CTest*> tests;
    for (CTestRun* run : started) {
        unsigned int pass = 0;
        run->GetPassCount(pass);
        passes.push_back(pass);
        const CTest* test = nullptr;
        run->GetTest(&test);
        tests.push_back(test);
        EXPECT_EQ(ResultOf(run), CTestRun::PASS);
    }
    EXPECT_EQ(passes, (std::vector<unsigned int>{0, 0, 1, 1}));
    EXPECT_EQ(tests, (std::vector<const CTest*>{first, second, first, second}));
    EXPECT_EQ(cycle->GetTestRunArrayElement(1, 1), started[3]);
}

TEST_F(CycleTest, BusyDeviceIsRetriedAfterTheOthers) {
    CTest* busyTimed = TestOn(kTimedTest, 1);
    ASSERT_TRUE(Set(busyTimed, "SECONDS", "2"));
    std::unique_ptr<CTestRun> occupier = Occupy(busyTimed);
    CTest* a = TestOn(kQuickTest, 0);
    CTest* b = TestOn(kQuickTest, 1);  // same device as the occupier
    CTest* c = TestOn(kQuickTest, 2);
    CCycle* cycle = CycleOf({a, b, c});
    scenario_->Start(true, 100);
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    std::vector<const CTest*> order;
    for (CTestRun* run : Started(cycle)) {
        const CTest* test = nullptr;
        run->GetTest(&test);
        order.push_back(test);
        EXPECT_EQ(ResultOf(run), CTestRun::PASS);
    }
    EXPECT_EQ(order, (std::vector<const CTest*>{a, c, b}));
}

TEST_F(CycleTest, ErrorLimitEndsTheCycleAtTheFirstFailure) {
    CTest* failing = TestOn(kQuickTest, 0);
    ASSERT_TRUE(Set(failing, "MODE", "fail"));
    CCycle* cycle = CycleOf({failing, TestOn(kQuickTest, 1)});
    cycle->SetErrorLimit(1);
    scenario_->SetErrorLimit(1);
    scenario_->Start(true, 100);
    EXPECT_EQ(Finish(scenario_), CScenario::ERRORLIMIT);
    EXPECT_EQ(cycle->GetState(), CCycle::ERRORLIMIT);
    EXPECT_EQ(cycle->GetErrorCount(), 1u);
    EXPECT_EQ(Started(cycle).size(), 1u);
}

TEST_F(CycleTest, MinimumTimeAddsPassesUntilItHasPassed) {
    CCycle* cycle = CycleOf({TestOn(kQuickTest, 0)});
    cycle->SetMinTime(3);
    scenario_->Start(true, 100);
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    EXPECT_EQ(cycle->GetState(), CCycle::EXITED);
    std::vector<CTestRun*> started = Started(cycle);
    ASSERT_GE(started.size(), 2u);
    EXPECT_EQ(cycle->GetCurrentPassCount(), started.size() - 1);
    for (CTestRun* run : started) {
        EXPECT_EQ(ResultOf(run), CTestRun::PASS);
    }
    EXPECT_GE(cycle->GetElapsedTime(), 2);
}

TEST_F(CycleTest, DeviceBusyUntilTheMaximumTimeEndsTimedOut) {
    CTest* timed = TestOn(kTimedTest, 0);
    ASSERT_TRUE(Set(timed, "SECONDS", "60"));
    std::unique_ptr<CTestRun> occupier = Occupy(timed);
    CCycle* cycle = CycleOf({TestOn(kQuickTest, 0)});
    scenario_->SetMaxTime(2);
    scenario_->Start(true, 100);
    EXPECT_EQ(Finish(scenario_), CScenario::TIMEDOUT);
    EXPECT_EQ(cycle->GetState(), CCycle::DISCONTINUED);
    EXPECT_TRUE(Started(cycle).empty());
    occupier->Stop();
}

TEST_F(CycleTest, EngineDeathEndsTheScenarioWithAnError) {
    velk::dlltest::BecomeSubreaper();
    CTest* timed = TestOn(kTimedTest, 0);
    ASSERT_TRUE(Set(timed, "SECONDS", "60"));
    CCycle* cycle = CycleOf({timed});
    scenario_->Start(true, 100);
    CTestRun* run = cycle->GetCurrentTest();
    ASSERT_NE(run, nullptr);
    CTestRun::State state = CTestRun::UNDEFINED;
    ASSERT_TRUE(WaitUntil([&] { return run->GetState(state) == 0 && state == CTestRun::RUNNING; },
                          30000, 50));
    pid_t engine = environment_->GetEnginePid();
    ASSERT_GT(engine, 0);
    ASSERT_EQ(kill(engine, SIGKILL), 0);
    EXPECT_EQ(Finish(scenario_, 120000), CScenario::ERROR);
    EXPECT_EQ(cycle->GetState(), CCycle::ERROR);
    EXPECT_EQ(ResultOf(run), CTestRun::EXITEDABNORMALLY);
    // The module the dead engine ran, and the FIFOs it could not remove.
    for (pid_t module : velk::dlltest::ChildrenNamed("velktest")) {
        velk::dlltest::StopProcess(module);
    }
    environment_->Stop();
    for (const std::string& fifo : sandbox_->Fifos()) {
        unlink((sandbox_->PipeDir() + "/" + fifo).c_str());
    }
}

TEST_F(CycleTest, ScenarioDestroyedWhileTickingReleasesItsRun) {
    CTest* timed = TestOn(kTimedTest, 0);
    ASSERT_TRUE(Set(timed, "SECONDS", "60"));
    auto scenario = std::make_unique<CScenario>();
    CCycle* cycle = scenario->AddCycle(nullptr);
    cycle->AddTest(timed, 0);
    scenario->Start(true, 100);
    ASSERT_TRUE(WaitUntil(
        [&] { return cycle->GetCurrentPassCount() == 0 && scenario->Imp()->UpdateThreadRunning(); },
        10000));
    scenario.reset();
    // The run was released, so the engine frees the device again.
    CTestRun next(TestOn(kQuickTest, 0));
    EXPECT_TRUE(WaitUntil([&] { return next.Imp()->Start() == CTestRun::OK; }, 30000, 100));
}

TEST_F(CycleTest, RescanWhileAScenarioHoldsTestsKeepsThemAlive) {
    CTest* timed = TestOn(kTimedTest, 0);
    ASSERT_TRUE(Set(timed, "SECONDS", "2"));
    CCycle* cycle = CycleOf({timed, TestOn(kQuickTest, 1)});
    scenario_->Start(true, 100);
    ASSERT_EQ(environment_->RescanDevices(), 0);
    // The cycle's tests belong to devices the new list replaced; the update
    // thread goes on using them, and so do the reads here.
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    std::vector<CTestRun*> started = Started(cycle);
    ASSERT_EQ(started.size(), 2u);
    for (CTestRun* run : started) {
        EXPECT_EQ(ResultOf(run), CTestRun::PASS);
        const CTest* test = nullptr;
        run->GetTest(&test);
        CDevice* device = nullptr;
        test->GetDevice(&device);
        std::string locator;
        device->GetHWLocator(locator);
        EXPECT_FALSE(locator.empty());
    }
}

}  // namespace
