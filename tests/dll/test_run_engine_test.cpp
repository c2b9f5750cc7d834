// Test runs against the real engine and the test module: the final result
// of each way a module ends, log messages in sequence, progress while
// running, stop (also while the run is still initialising), the release of
// the engine's process with the values kept afterwards, and the adoption of
// a run that another connection started.
#include <gtest/gtest.h>

#include <set>

#include "CycleImp.h"
#include "EngineText.h"
#include "MessageImp.h"
#include "RunFixture.h"
#include "ScenarioImp.h"
#include "TestRunImp.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::kQuickTest;
using velk::dlltest::kTimedTest;
using velk::dlltest::RunFixture;
using velk::dlltest::WaitUntil;

class TestRunTest : public RunFixture {
  protected:
    // A one-cycle scenario of test, started with its update thread.
    CTestRun* RunInScenario(CTest* test) {
        scenario_ = environment_->AddScenario(nullptr);
        CCycle* cycle = scenario_->AddCycle(nullptr);
        CTestRun* run = cycle->AddTest(test, 0);
        scenario_->Start(true, 100);
        return run;
    }
    // Polls run until the engine reports it ended.
    static CTestRun::State AwaitEnd(CTestRun* run) {
        CTestRun::State state = CTestRun::UNDEFINED;
        WaitUntil(
            [&] {
                run->GetState(state);
                return state == CTestRun::EXITED;
            },
            30000, 50);
        return state;
    }
    CScenario* scenario_ = nullptr;
};

struct ModeCase {
    const char* mode;
    CTestRun::Result result;
};

void PrintTo(const ModeCase& mode, std::ostream* os) {
    *os << mode.mode;
}

class QuickModeTest : public TestRunTest, public ::testing::WithParamInterface<ModeCase> {};

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

TEST_F(TestRunTest, TimedRunReportsProgressAndOrderedMessages) {
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

TEST_F(TestRunTest, StopWhileInitialisingEndsTheRunDiscontinued) {
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
    EXPECT_EQ(AwaitEnd(run), CTestRun::EXITED);
    EXPECT_EQ(ResultOf(run), CTestRun::DISCONTINUED);
}

TEST_F(TestRunTest, StopOfARunningScenarioEndsItsRun) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_TRUE(Set(test, "SECONDS", "60"));
    CTestRun* run = RunInScenario(test);
    CTestRun::State state = CTestRun::UNDEFINED;
    ASSERT_TRUE(WaitUntil([&] { return run->GetState(state) == 0 && state == CTestRun::RUNNING; },
                          30000, 50));
    scenario_->Stop();
    EXPECT_EQ(scenario_->GetState(), CScenario::DISCONTINUED);
    EXPECT_EQ(AwaitEnd(run), CTestRun::EXITED);
    EXPECT_EQ(ResultOf(run), CTestRun::DISCONTINUED);
}

TEST_F(TestRunTest, ParameterListThatDoesNotFitIsRefusedNotCut) {
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

TEST_F(TestRunTest, RunStartedByAnotherConnectionIsAdopted) {
    CTest* test = TestOn(kTimedTest);
    ASSERT_TRUE(Set(test, "SECONDS", "2"));
    std::string parameters;
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
    velk::dlltest::StopEnvironment(adopting);
}

}  // namespace
