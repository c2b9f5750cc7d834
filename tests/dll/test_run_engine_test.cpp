// Test runs, cycles and scenarios against the real engine and the test
// module, from start to release, including stops, busy devices, limits and
// an engine that dies mid-run.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <set>

#include "CycleImp.h"
#include "EngineText.h"
#include "MessageImp.h"
#include "RunFixture.h"
#include "ScenarioImp.h"
#include "TestRunImp.h"

namespace {

using namespace VELKCORE;
using namespace velk::dlltest;

class RunEngineTest : public RunFixture {
  protected:
    // A scenario with one cycle of tests, not started.
    CCycle* CycleOf(const std::vector<CTest*>& tests, unsigned int gap = 1000) {
        scenario_ = environment_->AddScenario(nullptr);
        CCycle* cycle = scenario_->AddCycle(nullptr);
        for (CTest* test : tests) {
            runs_.push_back(cycle->AddTest(test, gap));
            EXPECT_NE(runs_.back(), nullptr);
        }
        return cycle;
    }
    // A one-cycle scenario of test, started with its update thread.
    CTestRun* RunInScenario(CTest* test) {
        CycleOf({test}, 0);
        scenario_->Start(true, 100);
        return runs_.back();
    }
    // Keeps the device of test busy with a run of its own.
    std::unique_ptr<CTestRun> Occupy(CTest* test) {
        auto run = std::make_unique<CTestRun>(test);
        EXPECT_EQ(run->Imp()->Start(), CTestRun::OK);
        return run;
    }
    static bool AwaitState(CTestRun* run, CTestRun::State wanted) {
        CTestRun::State state = CTestRun::UNDEFINED;
        return WaitUntil([&] { return run->GetState(state) == 0 && state == wanted; }, 30000, 50);
    }
    CScenario* scenario_ = nullptr;
    std::vector<CTestRun*> runs_;
};

struct ModeCase {
    const char* mode;
    CTestRun::Result result;
};

void PrintTo(const ModeCase& mode, std::ostream* os) {
    *os << mode.mode;
}

class QuickModeTest : public RunEngineTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(QuickModeTest, RunEndsWithTheModulesResultAndItsMessages) {
    CTest* test = TestOn(kQuickTest);
    ASSERT_NE(test, nullptr);
    ASSERT_TRUE(Set(test, "MODE", GetParam().mode));
    CTestRun* run = RunInScenario(test);
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    CTestRun::State state = CTestRun::UNDEFINED;
    run->GetState(state);
    EXPECT_EQ(state, CTestRun::EXITED);
    EXPECT_EQ(ResultOf(run), GetParam().result);
    // Every way of ending leaves at least one log item (the module's own,
    // or the engine's note of how the module ended).
    EXPECT_FALSE(MessageTexts(run).empty());
    EXPECT_TRUE(run->Imp()->Released());
}

INSTANTIATE_TEST_SUITE_P(Modes, QuickModeTest,
                         ::testing::Values(ModeCase{"pass", CTestRun::PASS},
                                           ModeCase{"fail", CTestRun::FAILED},
                                           ModeCase{"nomedia", CTestRun::NOMEDIA},
                                           ModeCase{"setuperror", CTestRun::SETUPERROR},
                                           ModeCase{"crash", CTestRun::EXITEDABNORMALLY}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST_F(RunEngineTest, TimedRunReportsProgressAndOrderedMessages) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_NE(test, nullptr);
    ASSERT_TRUE(Set(test, "SECONDS", "3"));
    CTestRun* run = RunInScenario(test);
    std::string progress;
    int percent = -1;
    EXPECT_TRUE(WaitUntil(
        [&] {
            return run->GetProgressInformation(progress) == 0 && !progress.empty() &&
                   run->GetPercentComplete(percent) == 0 && percent > 0;
        },
        30000, 50));
    EXPECT_EQ(Finish(scenario_), CScenario::EXITED);
    EXPECT_EQ(ResultOf(run), CTestRun::PASS);
    // Start note, the warning half way and the simulated error, each once,
    // in sequence order.
    std::vector<int> sequence;
    CMessage* last = nullptr;
    CMessage* message = nullptr;
    for (int result = run->GetFirstMessage(&message); result == 0;
         result = run->GetNextMessage(&message)) {
        sequence.push_back(message->Imp().GetSequenceNo());
        last = message;
    }
    ASSERT_EQ(sequence.size(), 3u);
    EXPECT_TRUE(std::is_sorted(sequence.begin(), sequence.end()));
    EXPECT_EQ(std::set<int>(sequence.begin(), sequence.end()).size(), sequence.size());
    CMessage::Severity severity = CMessage::INFORMATIVE;
    last->GetSeverity(severity);
    EXPECT_EQ(severity, CMessage::ERROR);
    // Released: the values come from what was saved, without the engine.
    EXPECT_EQ(run->GetPercentComplete(percent), 0);
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(run->GetProgressInformation(progress), 0);
    EXPECT_EQ(progress, "");
    EXPECT_EQ(run->Imp()->FreeProcess(), 0) << "the engine still knew the released process";
}

TEST_F(RunEngineTest, StopWhileInitialisingEndsTheRunDiscontinued) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_TRUE(Set(test, "SECONDS", "60"));
    CCycle cycle;
    CTestRun* run = cycle.AddTest(test, 0);
    cycle.Start();
    cycle.Update();
    ASSERT_EQ(cycle.GetState(), CCycle::RUNNING);
    // No state query yet: the engine may not even have the module running.
    cycle.Stop();
    EXPECT_EQ(cycle.GetState(), CCycle::DISCONTINUED);
    EXPECT_TRUE(AwaitState(run, CTestRun::EXITED));
    EXPECT_EQ(ResultOf(run), CTestRun::DISCONTINUED);
}

TEST_F(RunEngineTest, StopOfARunningScenarioEndsItsRun) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_TRUE(Set(test, "SECONDS", "60"));
    CTestRun* run = RunInScenario(test);
    ASSERT_TRUE(AwaitState(run, CTestRun::RUNNING));
    scenario_->Stop();
    EXPECT_EQ(scenario_->GetState(), CScenario::DISCONTINUED);
    EXPECT_TRUE(AwaitState(run, CTestRun::EXITED));
    EXPECT_EQ(ResultOf(run), CTestRun::DISCONTINUED);
}

TEST_F(RunEngineTest, ParameterListThatDoesNotFitIsRefusedNotCut) {
    CTest* test = TestOn(kQuickTest);
    CTestParameter* mode = nullptr;
    test->GetParameterArrayElement(0, &mode);
    ASSERT_NE(mode, nullptr);
    // A value the engine can still judge, but that leaves no room for the
    // rest of the START_TEST message.
    ASSERT_EQ(mode->ApplyValue(std::string(7500, 'x')), 0);
    CTestParameter::State verdict = CTestParameter::NOT_APPLIED;
    mode->GetState(verdict);
    ASSERT_NE(verdict, CTestParameter::NOT_APPLIED);
    CTestRun run(test);
    EXPECT_EQ(run.Imp()->Start(), CTestRun::PARAMETERS_TOO_LONG);
    std::string pid;
    run.GetProcessID(pid);
    EXPECT_EQ(pid, CTestRun::UNDEF_PROCESS_ID);
}

TEST_F(RunEngineTest, RunStartedByAnotherConnectionIsAdopted) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_TRUE(Set(test, "SECONDS", "2"));
    CTestRunImp probe(test->Imp());
    std::string command = *probe.StartCommand();
    std::string reply;
    ASSERT_EQ(detail::BufferTransaction(detail::Addressee::DIAGNOSTIC_ENGINE, command, 8192, 15000,
                                        reply),
              detail::TX_OK);
    std::optional<std::string> started = detail::FieldText(reply.c_str(), "MSG/DATA/TESTPROCESSID");
    ASSERT_TRUE(started.has_value()) << reply;
    // That connection goes; a new one that adopts running tests takes the
    // run over and sees it to its end.
    ASSERT_EQ(environment_->CloseClient(), 0);
    auto adopting =
        std::make_unique<CTestEnvironment>(CTestEnvironment::OPTION_ADOPT_RUNNING_TESTS);
    ASSERT_EQ(adopting->SetVelkHomeDir(sandbox_->BinDir()), 0);
    ASSERT_EQ(adopting->Start(), 0);
    ASSERT_EQ(adopting->GetScenarioArraySize(), 1u);
    CScenario* scenario = adopting->GetScenarioArrayElement(0);
    CTestRun* run = scenario->GetCycleArrayElement(0, 0)->GetCurrentTest();
    ASSERT_NE(run, nullptr);
    std::string pid;
    run->GetProcessID(pid);
    EXPECT_EQ(pid, *started);
    EXPECT_EQ(Finish(scenario), CScenario::EXITED);
    EXPECT_EQ(ResultOf(run), CTestRun::PASS);
    EXPECT_EQ(MessageTexts(run).size(), 3u);
    StopEnvironment(adopting);
}

TEST_F(RunEngineTest, PassesRepeatTheCyclesRunsInOrder) {
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

TEST_F(RunEngineTest, BusyDeviceIsRetriedAfterTheOthers) {
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

TEST_F(RunEngineTest, ErrorLimitEndsTheCycleAtTheFirstFailure) {
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

TEST_F(RunEngineTest, MinimumTimeAddsPassesUntilItHasPassed) {
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

TEST_F(RunEngineTest, DeviceBusyUntilTheMaximumTimeEndsTimedOut) {
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

TEST_F(RunEngineTest, EngineDeathEndsTheScenarioWithAnError) {
    BecomeSubreaper();
    CTest* timed = TestOn(kTimedTest, 0);
    ASSERT_TRUE(Set(timed, "SECONDS", "60"));
    CCycle* cycle = CycleOf({timed});
    scenario_->Start(true, 100);
    CTestRun* run = cycle->GetCurrentTest();
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(AwaitState(run, CTestRun::RUNNING));
    pid_t engine = environment_->GetEnginePid();
    ASSERT_GT(engine, 0);
    ASSERT_EQ(kill(engine, SIGKILL), 0);
    EXPECT_EQ(Finish(scenario_, 120000), CScenario::ERROR);
    EXPECT_EQ(cycle->GetState(), CCycle::ERROR);
    EXPECT_EQ(ResultOf(run), CTestRun::EXITEDABNORMALLY);
    // The module the dead engine ran, and the FIFOs it could not remove.
    for (pid_t module : ChildrenNamed("velktest")) {
        StopProcess(module);
    }
    environment_->Stop();
    for (const std::string& fifo : sandbox_->Fifos()) {
        unlink((sandbox_->PipeDir() + "/" + fifo).c_str());
    }
}

TEST_F(RunEngineTest, ScenarioDestroyedWhileTickingReleasesItsRun) {
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

TEST_F(RunEngineTest, RescanWhileAScenarioHoldsTestsKeepsThemAlive) {
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
