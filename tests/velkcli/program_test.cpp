// The velkcli program run as a child process in a private sandbox: error
// lines, output and engine handling against the scripted engines, and run end
// to end against the real engine and the test module.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Sandbox.h"
#include "VelkCore.h"

namespace {

using namespace velk::dlltest;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Engines that velkcli leaves behind become children of this test,
        // so that they can be found and stopped by pid.
        BecomeSubreaper();
    }
    void TearDown() override {
        for (const char* name : {"velkcore", "velktest.linux", "velkcli", "sleep"}) {
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
                StopProcess(stray);
            }
        }
        if (sandbox_ != nullptr) {
            EXPECT_TRUE(WaitUntil([&] { return sandbox_->Fifos().empty(); }, 10000))
                << "FIFO left: " << sandbox_->Fifos().front();
        }
    }

    std::unique_ptr<Child> Start(const std::vector<std::string>& arguments) {
        return std::make_unique<Child>(VELKCLI_PATH, arguments, sandbox_->Root());
    }
    static Result Finish(Child& program) {
        Result result;
        std::optional<int> status = program.Wait(120000);
        EXPECT_TRUE(status.has_value()) << "velkcli did not end";
        if (status && WIFEXITED(*status)) {
            result.status = WEXITSTATUS(*status);
        }
        result.out = program.Stdout();
        result.err = program.Stderr();
        return result;
    }
    Result Run(const std::vector<std::string>& arguments) { return Finish(*Start(arguments)); }
    // Stops an engine that velkcli left running (an orphan of ours) the way
    // a client does, and reaps it.
    static void StopLeftEngine(const std::string& brokerFifo) {
        VELKCORE::CTestEnvironment environment;
        environment.Stop();
        EXPECT_TRUE(WaitUntil([&] { return !FifoHasReader(brokerFifo); }, 10000));
        for (pid_t engine : ChildrenNamed("velkcore")) {
            EXPECT_TRUE(
                WaitUntil([&] { return waitpid(engine, nullptr, WNOHANG) == engine; }, 10000));
        }
    }
    static int Lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    std::unique_ptr<Sandbox> sandbox_;
};

TEST_F(ProgramTest, MissingEngineIsOneLineWhereverTheHomeComesFrom) {
    sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::EMPTY);  // VELKOR_HOME = its bin
    std::string expected = "velkcli: no engine in " + sandbox_->BinDir() + " (" +
                           sandbox_->BinDir() + "/velkcore not found)\n";
    for (const auto& arguments : {std::vector<std::string>{"--home", sandbox_->BinDir(), "devices"},
                                  std::vector<std::string>{"tests"}}) {
        Result result = Run(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, expected);
    }
}

TEST_F(ProgramTest, EngineThatNeverAnswersIsReportedAndEnded) {
    sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::EMPTY);
    sandbox_->WriteScript("velkcore", "exec sleep 600");
    Result result = Run({"devices"});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "velkcli: the engine in " + sandbox_->BinDir() + " is not answering\n");
    // TearDown finds any launcher left running.
}

TEST_F(ProgramTest, UsageErrorsAreOneLine) {
    sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::EMPTY);
    Result noCommand = Run({});
    EXPECT_EQ(noCommand.status, 2);
    EXPECT_EQ(Lines(noCommand.err), 1) << noCommand.err;
    Result badLanguage = Run({"--lang", "xx", "devices"});
    EXPECT_EQ(badLanguage.status, 2);
    EXPECT_EQ(badLanguage.err, "velkcli: unknown language code 'xx'\n");
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("devices"), std::string::npos);
}

// Against the real broker with the scripted diagnostic and NLS engines: the
// outputs are known exactly.
class ScriptedProgramTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::SCRIPTED);
    }
};

TEST_F(ScriptedProgramTest, DevicesTable) {
    Result table = Run({"devices"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, "");
    EXPECT_EQ(table.out,
              "NAME           TYPE  OS LOCATOR  HW LOCATOR  MANUFACTURER  MODEL  SERIAL  FIRMWARE  "
              "FIRMWARE DATE  PHYSICAL ADDRESS\n"
              "Scripted disk  HD    /dev/sda    IDE:0:0     Velkor        -      -       -         "
              "-              -\n"
              "Serial port 1  COM   /dev/ttyS0  COM:1:03f8  -             -      -       -         "
              "-              -\n");
    EXPECT_FALSE(FifoHasReader(sandbox_->BrokerFifo())) << "the launched engine still runs";
}

TEST_F(ScriptedProgramTest, TestsInGermanKeepEnglishCimNames) {
    Result german = Run({"--lang", "de", "tests", "--device", "IDE:0:0"});
    ASSERT_EQ(german.status, 0) << german.err;
    EXPECT_EQ(german.out,
              "Skriptplatte [HD, IDE:0:0]\n"
              "  TEST                         NAME          FLAGS  TIME-OUT  EST. DURATION\n"
              "  VeLkScripted:0:Quick test    Schnelltest   risky  60 s      1 s\n"
              "  VeLkScripted:1:English only  English only  -      -         -\n"
              "  Parameters of VeLkScripted:0:Quick test:\n"
              "    PARAMETER  TYPE   DEFAULT  MIN  MAX  NAME\n"
              "    COUNT      int32  5        -    -    Anzahl\n");
}

TEST_F(ScriptedProgramTest, UnknownDeviceIsOneLine) {
    Result none = Run({"tests", "--device", "NO:SUCH:DEVICE"});
    EXPECT_EQ(none.status, 4);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "velkcli: no device with hardware locator 'NO:SUCH:DEVICE'\n");
    EXPECT_FALSE(FifoHasReader(sandbox_->BrokerFifo()));
}

TEST_F(ScriptedProgramTest, KeptEngineIsReusedAndLeftRunning) {
    Result first = Run({"--keep-engine", "devices"});
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_TRUE(FifoHasReader(sandbox_->BrokerFifo())) << "--keep-engine stopped the engine";
    std::vector<pid_t> engines = ChildrenNamed("velkcore");
    ASSERT_EQ(engines.size(), 1u);
    Result second = Run({"devices"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    EXPECT_TRUE(FifoHasReader(sandbox_->BrokerFifo())) << "a found engine must keep running";
    EXPECT_EQ(ChildrenNamed("velkcore"), engines);
    StopLeftEngine(sandbox_->BrokerFifo());
}

TEST_F(ScriptedProgramTest, TwoProgramsStartedTogetherBothListAndLeaveNoEngine) {
    // Both launch an engine; one wins the broker FIFO, the launch that lost
    // ends by itself and the winner is stopped by the client that launched it.
    for (int round = 0; round < 5; ++round) {
        std::unique_ptr<Child> first = Start({"devices"});
        std::unique_ptr<Child> second = Start({"devices"});
        for (Child* program : {first.get(), second.get()}) {
            Result result = Finish(*program);
            EXPECT_EQ(result.status, 0) << "round " << round << ": " << result.err;
            EXPECT_NE(result.out.find("COM:1:03f8"), std::string::npos) << result.out;
        }
        for (pid_t stray : ChildrenNamed("velkcore")) {
            ADD_FAILURE() << "round " << round << ": stray velkcore " << stray;
            StopProcess(stray);
        }
    }
}

// velkcli run against the real engine and the test module.
class RunProgramTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        sandbox_ = std::make_unique<Sandbox>();
    }
    std::unique_ptr<Child> StartRun(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "run");
        return Start(arguments);
    }
    Result RunTest(const std::vector<std::string>& arguments) {
        return Finish(*StartRun(arguments));
    }
    // Waits until the program shows the timed test running.
    static bool RunningShown(Child& program) {
        return WaitUntil([&] { return program.Stdout().find("progress") != std::string::npos; },
                         60000, 50);
    }
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
    Result outcome = RunTest(GetParam().arguments);
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
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "NOPE=1"}, 5, ""},
        ExitCase{{"Quick test", "--device", "IDE:0:0", "--param", "COUNT"}, 2, ""}));

TEST_F(RunProgramTest, RefusedValueIsOneLineAndNoRun) {
    Result outcome = RunTest({"Quick test", "--device", "IDE:0:0", "--param", "COUNT=0"});
    EXPECT_EQ(outcome.status, 5);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "velkcli: value '0' of parameter COUNT refused: VALUE_TOO_SMALL (minimum 1, "
              "maximum 100000)\n");
}

TEST_F(RunProgramTest, JsonHoldsResultMessagesAndParameters) {
    Result outcome = RunTest(
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
        StartRun({"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=60"});
    ASSERT_TRUE(RunningShown(*program)) << program->Stdout() << program->Stderr();
    ASSERT_EQ(kill(program->Pid(), SIGINT), 0);
    Result outcome = Finish(*program);
    EXPECT_EQ(outcome.status, 7) << outcome.err;
    EXPECT_NE(outcome.out.find("result: DISCONTINUED (stopped: interrupted)"), std::string::npos)
        << outcome.out;
}

TEST_F(RunProgramTest, EngineDeathIsEngineTrouble) {
    std::unique_ptr<Child> program =
        StartRun({"Timed test", "--device", "IDE:0:0", "--param", "SECONDS=60"});
    ASSERT_TRUE(RunningShown(*program)) << program->Stdout() << program->Stderr();
    std::vector<pid_t> engines = velk::testsupport::ChildrenOf(program->Pid());
    ASSERT_EQ(engines.size(), 1u);
    ASSERT_EQ(kill(engines.front(), SIGKILL), 0);
    Result outcome = Finish(*program);
    EXPECT_EQ(outcome.status, 3) << outcome.out;
    EXPECT_EQ(outcome.err, "velkcli: the engine stopped answering during the run\n");
    // The dead engine's module and FIFOs.
    for (pid_t module : ChildrenNamed("velktest.linux")) {
        StopProcess(module);
    }
    for (const std::string& fifo : sandbox_->Fifos()) {
        unlink((sandbox_->PipeDir() + "/" + fifo).c_str());
    }
}

}  // namespace
