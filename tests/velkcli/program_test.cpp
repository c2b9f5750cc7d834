// The velkcli program run as a child process in a private sandbox: its
// error lines, and its output and engine handling against the real broker
// with the scripted engines (the real engine's devices and tests are checked
// by the engine client's own tests).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Sandbox.h"
#include "VelkCore.h"

namespace {

using velk::dlltest::BecomeSubreaper;
using velk::dlltest::Child;
using velk::dlltest::ChildrenNamed;
using velk::dlltest::FifoHasReader;
using velk::dlltest::Sandbox;
using velk::dlltest::WaitUntil;

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
        for (const char* name : {"velkcore", "sleep"}) {
            for (pid_t stray : ChildrenNamed(name)) {
                ADD_FAILURE() << "stray " << name << " " << stray;
                velk::dlltest::StopProcess(stray);
            }
        }
        if (sandbox_ != nullptr) {
            EXPECT_TRUE(WaitUntil([&] { return sandbox_->Fifos().empty(); }, 10000))
                << "FIFO left: " << sandbox_->Fifos().front();
        }
    }

    Result Run(const std::vector<std::string>& arguments) {
        Child program(VELKCLI_PATH, arguments, sandbox_->Root());
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

TEST_F(ScriptedProgramTest, DevicesTableAndJson) {
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
    Result json = Run({"devices", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"name\": \"Scripted disk\",\n      \"description\": \"A disk that "
                            "answers as scripted\""),
              std::string::npos)
        << json.out;
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
    Result json = Run({"tests", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"cimName\": \"VeLkScripted:0:Quick test\""), std::string::npos);
    EXPECT_NE(json.out.find("\"hwLocator\": \"COM:1:03f8\""), std::string::npos);
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

}  // namespace
