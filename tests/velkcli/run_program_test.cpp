// velkcli run end to end against the real engine and the test module: the
// exit status of each outcome, the JSON document, a refused parameter value,
// the maximum time, Ctrl-C, and an engine that dies during the run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "Sandbox.h"

namespace {

using velk::dlltest::Child;
using velk::dlltest::ChildrenNamed;
using velk::dlltest::Sandbox;
using velk::dlltest::WaitUntil;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class RunProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        velk::dlltest::BecomeSubreaper();
        sandbox_ = std::make_unique<Sandbox>();
    }
    void TearDown() override {
        for (const char* name : {"velkcore", "velktest.linux", "velkcli"}) {
            // A module may still be ending when the engine that ran it has;
            // one that ended is an orphan of ours to reap, not a stray.
            WaitUntil(
                [&] {
                    for (pid_t ended : velk::testsupport::ZombieChildren(getpid())) {
                        waitpid(ended, nullptr, 0);
                    }
                    return ChildrenNamed(name).empty();
                },
                5000, 50);
            for (pid_t stray : ChildrenNamed(name)) {
                ADD_FAILURE() << "stray " << name << " " << stray;
                velk::dlltest::StopProcess(stray);
            }
        }
        EXPECT_TRUE(WaitUntil([&] { return sandbox_->Fifos().empty(); }, 10000))
            << "FIFO left: " << sandbox_->Fifos().front();
    }
    std::unique_ptr<Child> Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "run");
        return std::make_unique<Child>(VELKCLI_PATH, arguments, sandbox_->Root());
    }
    static Outcome Finish(Child& program) {
        Outcome outcome;
        std::optional<int> status = program.Wait(120000);
        EXPECT_TRUE(status.has_value()) << "velkcli did not end";
        if (status && WIFEXITED(*status)) {
            outcome.status = WEXITSTATUS(*status);
        }
        outcome.out = program.Stdout();
        outcome.err = program.Stderr();
        return outcome;
    }
    Outcome Run(const std::vector<std::string>& arguments) { return Finish(*Start(arguments)); }
    // Waits until the program shows the timed test running.
    static bool RunningShown(Child& program) {
        return WaitUntil([&] { return program.Stdout().find("progress") != std::string::npos; },
                         60000, 50);
    }

    std::unique_ptr<Sandbox> sandbox_;
};

struct ExitCase {
    std::vector<std::string> arguments;
    int status;
    const char* resultLine;  // the last line of standard output, "" for none
};

void PrintTo(const ExitCase& exit, std::ostream* os) {
    for (const std::string& argument : exit.arguments) {
        *os << argument << " ";
    }
}

class RunExitTest : public RunProgramTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(RunExitTest, ExitStatusTellsTheOutcome) {
    Outcome outcome = Run(GetParam().arguments);
    EXPECT_EQ(outcome.status, GetParam().status) << outcome.out << outcome.err;
    std::string last = outcome.out.empty() ? "" : outcome.out.substr(0, outcome.out.size() - 1);
    last = last.substr(last.rfind('\n') == std::string::npos ? 0 : last.rfind('\n') + 1);
    EXPECT_EQ(last, GetParam().resultLine) << outcome.out;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RunExitTest,
    ::testing::Values(
        ExitCase{{"VeLkTest:0:Quick test", "--device", "IDE:0:0"}, 0, "result: PASS (passed)"},
        ExitCase{{"VeLkTest:0", "--device", "IDE:0:0", "--param", "MODE=fail"},
                 1,
                 "result: FAILED (failed)"},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "MODE=crash"},
                 1,
                 "result: EXITED ABNORMALLY (failed)"},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "MODE=nomedia"},
                 6,
                 "result: NO MEDIA (could-not-run)"},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "MODE=privilege"},
                 6,
                 "result: INSUFFICIENT PRIVILEGE (could-not-run)"},
        ExitCase{{"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=60", "--max-time", "2"},
                 7,
                 "result: DISCONTINUED (stopped: the maximum time was reached)"},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--passes", "3", "--param", "MODE=fail",
                  "--error-limit", "2"},
                 1,
                 "result: FAILED (failed)"},
        ExitCase{{"No such test", "--device", "IDE:0:0"}, 4, ""},
        ExitCase{{"Quick test", "--device", "NO:SUCH:0"}, 4, ""},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "COUNT=0"}, 5, ""},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "NOPE=1"}, 5, ""},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "COUNT"}, 2, ""}));

TEST_F(RunProgramTest, RefusedValueIsOneLineAndNoRun) {
    Outcome outcome = Run({"Quick test", "--device", "IDE:0:0", "--param", "COUNT=0"});
    EXPECT_EQ(outcome.status, 5);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "velkcli: value '0' of parameter COUNT refused: VALUE_TOO_SMALL (minimum 1, "
              "maximum 100000)\n");
}

TEST_F(RunProgramTest, JsonHoldsResultMessagesAndParameters) {
    Outcome outcome = Run(
        {"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=1", "--passes", "2", "--json"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    nlohmann::json document = nlohmann::json::parse(outcome.out);
    EXPECT_EQ(document["outcome"], "passed");
    EXPECT_EQ(document["result"], "PASS");
    EXPECT_EQ(document["test"], "VeLkTest:1:Timed test");
    EXPECT_EQ(document["parameters"][0],
              (nlohmann::json{{"id", "SECONDS"}, {"value", "1"}, {"applied", true}}));
    ASSERT_EQ(document["runs"].size(), 2u);
    for (size_t pass = 0; pass < 2; ++pass) {
        const nlohmann::json& run = document["runs"][pass];
        EXPECT_EQ(run["pass"], pass);
        EXPECT_EQ(run["result"], "PASS");
        ASSERT_EQ(run["messages"].size(), 3u);
        EXPECT_EQ(run["messages"][1]["severity"], "WARNING");
        EXPECT_EQ(run["messages"][1]["eventCode"], 101);
    }
}

TEST_F(RunProgramTest, InterruptStopsTheTestInTheEngine) {
    std::unique_ptr<Child> program =
        Start({"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=60"});
    ASSERT_TRUE(RunningShown(*program)) << program->Stdout() << program->Stderr();
    ASSERT_EQ(kill(program->Pid(), SIGINT), 0);
    Outcome outcome = Finish(*program);
    EXPECT_EQ(outcome.status, 7) << outcome.err;
    EXPECT_NE(outcome.out.find("result: DISCONTINUED (stopped: interrupted)"), std::string::npos)
        << outcome.out;
}

TEST_F(RunProgramTest, EngineDeathIsEngineTrouble) {
    std::unique_ptr<Child> program =
        Start({"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=60"});
    ASSERT_TRUE(RunningShown(*program)) << program->Stdout() << program->Stderr();
    std::vector<pid_t> engines = velk::testsupport::ChildrenOf(program->Pid());
    ASSERT_EQ(engines.size(), 1u);
    ASSERT_EQ(kill(engines.front(), SIGKILL), 0);
    Outcome outcome = Finish(*program);
    EXPECT_EQ(outcome.status, 3) << outcome.out;
    EXPECT_EQ(outcome.err, "velkcli: the engine stopped answering during the run\n");
    // The dead engine's module and FIFOs.
    for (pid_t module : ChildrenNamed("velktest.linux")) {
        velk::dlltest::StopProcess(module);
    }
    for (const std::string& fifo : sandbox_->Fifos()) {
        unlink((sandbox_->PipeDir() + "/" + fifo).c_str());
    }
}

}  // namespace
